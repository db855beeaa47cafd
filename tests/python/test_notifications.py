"""A Python callable as the notification window: it sees a download's
progress and cancels it by returning 0."""

import os
import unittest

import simulated_motors
import velkor

PROGRAM = "MP A=100 V=1000\nP=4000 G\nWHILE a<30\n  a=a+1\nLOOP\nEND\n"


def setUpModule():
    global configuration, motors, image
    configuration = simulated_motors.isolate_configuration()
    motors = simulated_motors.SimulatedMotors("port chain\nmotor address=1\n")
    source = os.path.join(configuration.name, "loop.src")
    with open(source, "w") as file:
        file.write(PROGRAM)
    image = os.path.join(configuration.name, "loop.vqx")
    velkor.Dispatch("VNXEngine.VNXScan").MakeVQX2(source, image)


def tearDownModule():
    motors.close()
    configuration.cleanup()


class NotificationsTest(unittest.TestCase):
    def setUp(self):
        self.host = velkor.Dispatch("VNXEngine.VNXHost")
        self.host.OpenPort(motors.ports[0])
        self.host.AddressMotorChain()
        self.motor = self.host.GetMotor(1)

    def tearDown(self):
        del self.motor, self.host

    def download(self, answer):
        seen = []

        def progress(code, number):
            seen.append((code, number))
            return answer(code, number)

        self.host.InitializeNotification(progress, 0x400)
        return self.motor.DownloadEx(image, 0), seen

    def test_progress_is_seen_and_a_zero_cancels(self):
        done, seen = self.download(lambda code, number: None)
        self.assertEqual(done, 1)
        self.assertEqual(seen[0][0], 1)
        length = seen[0][1]
        self.assertEqual(seen[-1], (3, 0))
        steps = [number for code, number in seen if code == 2]
        self.assertEqual(steps, sorted(steps))
        self.assertGreater(len(steps), 2)
        self.assertTrue(length - 8 <= steps[-1] <= length)
        stored = self.motor.GetResponseOf("RCKS")

        self.motor.ClearProgram(0)
        done, seen = self.download(lambda code, number: 0 if code == 2 and number >= 16 else 1)
        self.assertEqual(done, 0)
        # Nothing more of the program was sent; the engine then clears the
        # motor's program with a download of its own.
        self.assertEqual(seen[:4], [(1, length), (2, 8), (2, 16), (3, 0)])
        self.assertEqual(seen[4][0], 1)
        self.assertNotEqual(self.motor.GetResponseOf("RCKS"), stored)

    def test_an_exception_in_the_callback_cancels_and_is_raised(self):
        def failing(code, number):
            if code == 2:
                raise KeyError("stop here")
            return 1

        self.host.InitializeNotification(failing, 0x400)
        with self.assertRaises(KeyError):
            self.motor.DownloadEx(image, 0)
        # The window stays registered and the link usable.
        self.host.InitializeNotification(velkor.NotificationWindow(lambda code, number: True), 0x400)
        self.assertEqual(self.motor.DownloadEx(image, 0), 1)


if __name__ == "__main__":
    unittest.main()
