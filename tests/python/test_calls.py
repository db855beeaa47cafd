"""Every kind of member through the module, engine errors, and release,
against simulated motors."""

import gc
import unittest

import simulated_motors
import velkor


def setUpModule():
    global configuration, motors
    configuration = simulated_motors.isolate_configuration()
    motors = simulated_motors.SimulatedMotors("port chain\nmotor serial=A2001\nmotor serial=A2002 model=SV3430DE\n")


def tearDownModule():
    motors.close()
    configuration.cleanup()


class CallsTest(unittest.TestCase):
    def setUp(self):
        self.host = velkor.Dispatch("VNXEngine.VNXHost")
        self.host.OpenPort(motors.ports[0])

    def tearDown(self):
        del self.host
        gc.collect()

    def test_methods_properties_and_results(self):
        host = self.host
        self.assertEqual(host.AddressMotorChain(), 2)              # [out, retval] of a method
        self.assertEqual(host.NoOfMotors, 2)                        # get
        host.Timeout = 600                                          # put
        self.assertEqual(host.Timeout, 600)
        self.assertIs(host.Echo, True)                              # VARIANT_BOOL
        self.assertEqual(host.Parity, velkor.vnx_none)              # enumeration
        host.DefaultMotor = 2
        self.assertEqual(host.GetResponseOf("RSP").split("/")[0], "24576")   # BSTR in and out

        motor = host.GetMotor(2)                                    # object result
        self.assertEqual(velkor.interfaces(motor), ["IVNXMotor"])
        self.assertEqual((motor.GetSerialNumber(), motor.GetModelStr()), ("A2002", "SV3430DE"))
        self.assertEqual(motor, velkor.QueryInterface(motor, "IVNXMotor"))
        self.assertNotEqual(motor, host.GetMotor(1))
        # Numbers of every width, the unsigned 32-bit one above 2^31 included.
        motor.SetMotorDWord(3000, 0xFFFFFFF0)
        self.assertEqual(motor.GetMotorDWord(3000), 0xFFFFFFF0)
        motor.SetMotorLong(3004, -5)
        self.assertEqual(motor.GetMotorLong(3004), -5)
        motor.SetMotorByte(3008, True)                              # a script's True is a 1 in a byte
        self.assertEqual(motor.GetMotorByte(3008), 1)
        motor.SetMotorWord(3010, 65535)
        self.assertEqual(motor.GetMotorWord(3010), 65535)

    def test_optional_arguments_arrays_and_indexed_properties(self):
        path = velkor.QueryInterface(self.host, "IVNXPath")
        path.SetupTimeDelta(64)                                     # optional arguments left out
        path.SetupTimeDelta(32, 16, velkor.Missing)
        self.assertEqual(path.TimeDelta, 32)
        path.Acceleration = 0.05
        path.StartPoint[1] = 100.0                                  # a property with an index
        path.StartPoint[2] = -50.0
        self.assertEqual((path.StartPoint[1], path.StartPoint(2)), (100.0, -50.0))
        path.SlowToEndSpeed = True                                  # the 8-bit boolean
        self.assertIs(path.SlowToEndSpeed, True)

        rows = path.CreateLinePath(5.0, (400, 250.0))               # a sequence in, a list of rows out
        self.assertEqual(rows[0][:2], [100.0, -50.0])
        self.assertEqual(rows[-1][:2], [400.0, 250.0])
        self.assertTrue(all(len(row) == 3 for row in rows))
        clocks = [row[2] for row in rows]
        self.assertEqual(clocks, sorted(clocks))
        self.assertTrue(all(clock % 32 == 0 for clock in clocks))
        path.StartPoint[1], path.StartPoint[2] = 100.0, -50.0     # the clock goes on from the last path
        self.assertEqual([row[:2] for row in path.GenerateLinePath(5.0, [400, 250])], [row[:2] for row in rows[1:]])
        path.StartPoint[1], path.StartPoint[2] = 100.0, 0.0
        arc = path.GenerateArcPath(5.0, [0.0, 100.0], [0.0, 0.0], velkor.vnx_counterclockwise)
        self.assertEqual([round(v, 6) for v in arc[-1][:2]], [0.0, 100.0])
        self.assertTrue(all(abs(x * x + y * y - 100.0 ** 2) < 1e-6 and x >= -1e-9 for x, y, _ in arc))

        with self.assertRaises(velkor.EngineError) as caught:       # an element that is no number
            path.GenerateLinePath(5.0, [1.0, "x"])
        self.assertEqual(caught.exception.code, 19)
        with self.assertRaises(ValueError):
            path.GenerateLinePath(5.0, [[1, 2], [3]])
        with self.assertRaises(TypeError):
            path.GenerateLinePath(5.0)
        with self.assertRaises(AttributeError):                     # an interface seen alone
            path.BaudRate

    def test_failures_raise_engine_errors(self):
        with self.assertRaises(velkor.EngineError) as caught:
            self.host.GetMotor(9)
        error = caught.exception
        self.assertEqual((error.description, error.code, error.parameter, error.source),
                         ("Invalid Data!", 19, 0, "No Source"))
        self.assertEqual(error.hresult, 0x80004005)
        self.assertEqual(error.interface_id, velkor.TYPE_LIBRARY.interfaces["IVNXComm"].uuid)

        # A failure of the runtime itself is not described by the engine's
        # earlier error.
        with self.assertRaises(velkor.EngineError) as caught:
            self.host.Timeout = "soon"
        self.assertEqual((caught.exception.hresult, caught.exception.code), (0x80020005, None))
        with self.assertRaises(velkor.EngineError) as caught:
            velkor.Dispatch("VNXEngine.NoSuchClass")
        self.assertEqual(caught.exception.hresult, 0x800401F3)
        with self.assertRaises(AttributeError):
            self.host.Baudrate = 19200                              # no attribute is made up
        with self.assertRaises(AttributeError):
            self.host.NoOfMotors = 3                                # get only

    def test_a_dropped_object_is_released(self):
        second = velkor.Dispatch("VNXEngine.VNXHost")
        with self.assertRaises(velkor.EngineError) as caught:
            second.OpenPort(motors.ports[0])                        # still held by the first host
        self.assertEqual(caught.exception.code, 2)
        self.host.AddressMotorChain()
        motor = self.host.GetMotor(1)
        del self.host
        gc.collect()
        self.assertEqual(motor.GetSerialNumber(), "A2001")          # the motor keeps its host alive
        del motor
        gc.collect()
        second.OpenPort(motors.ports[0])
        self.assertEqual(second.AddressMotorChain(), 2)
        self.host = second


if __name__ == "__main__":
    unittest.main()
