"""The examples in examples/python, run as a user runs them, against
simulated motors."""

import json
import os
import re
import subprocess
import sys
import unittest

import simulated_motors
import velkor


def setUpModule():
    global configuration
    configuration = simulated_motors.isolate_configuration()


def tearDownModule():
    configuration.cleanup()


def run_example(name, *arguments):
    script = os.path.join(simulated_motors.EXAMPLES_FOLDER, name)
    return subprocess.run([sys.executable, script, *arguments], capture_output=True, text=True, timeout=120)


def open_host(port):
    host = velkor.Dispatch("VNXEngine.VNXHost")
    host.OpenPort(port)
    host.AddressMotorChain()
    return host


class ExamplesTest(unittest.TestCase):
    def test_scan_prints_the_chain(self):
        scenario = "port chain\nmotor serial=A3001\nmotor serial=A3002 model=SV2320D firmware=462 resolution=8000\n"
        with simulated_motors.SimulatedMotors(scenario) as motors:
            run = run_example("scan_chain.py", motors.ports[0])
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("2 motor(s) on " + motors.ports[0], run.stdout)
        self.assertRegex(run.stdout, r"\n1 +A3001 +SV2315D +450 +4000\n")
        self.assertRegex(run.stdout, r"\n2 +A3002 +SV2320D +462 +8000\n")

    def test_download_compiles_and_shows_progress(self):
        source = os.path.join(configuration.name, "square.src")
        with open(source, "w") as file:
            file.write("MP A=100 V=1000\nP=4000 G\nTWAIT\nP=0 G\nEND\n")
        with simulated_motors.SimulatedMotors("port chain\nmotor\nmotor\n") as motors:
            run = run_example("download_program.py", motors.ports[0], "2", source)
            self.assertEqual(run.returncode, 0, run.stderr)
            image = os.path.join(configuration.name, "square.vqx")
            self.assertIn("downloaded %s to motor 2" % image, run.stdout)
            bar = re.findall(r"\] (\d+)/(\d+)", run.stderr)
            self.assertTrue(bar and bar[-1][0] == bar[-1][1], run.stderr)
            # The motor runs what the image holds: its checksum answer is the
            # image header's.
            with open(image, encoding="latin-1") as file:
                header = file.read(23)
            self.assertEqual(open_host(motors.ports[0]).GetMotor(2).GetResponseOf("RCKS"),
                             "%s %s P" % (header[17:23], header[5:11]))

            with open(source, "a") as file:
                file.write("WHILE\n")
            run = run_example("download_program.py", motors.ports[0], "2", source)
            self.assertEqual(run.returncode, 1)
            self.assertIn("square.src:6:", run.stderr)
            self.assertIn("not compiled", run.stderr)

    def test_arc_streams_to_two_motors(self):
        with simulated_motors.SimulatedMotors(
                "port chain\nmotor address=1 drive=on\nmotor address=2 drive=on\n") as motors:
            run = run_example("arc_path.py", motors.ports[0], "--radius", "2000", "--speed", "10")
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertRegex(run.stdout, r"^streamed \d+ samples; the arc ends at \(2000, 2000\)")
            host = open_host(motors.ports[0])
            for address in (1, 2):
                self.assertEqual(host.GetMotor(address).GetResponseOf("RP"), "2000")

    def test_settings_block_reads_into_a_dictionary(self):
        with simulated_motors.SimulatedMotors("port chain\nmotor\n") as motors:
            host = open_host(motors.ports[0])
            motor = host.GetMotor(1)
            # A block as a settings download leaves it.
            for command in ("a=123", "EPTR=100", "VST(a,1)", "aw[52]=4000", "aw[53]=360", "al[27]=120",
                            "al[33]=-7", "al[42]=5000", "ab[172]=3", "ab[175]=4", "ab[176]=2", "al[48]=-250",
                            "EPTR=200", "VST(aaa,23)", "a=0", "al[27]=0", "al[48]=0"):
                motor.WriteCommand(command)
            host.ClosePort()
            del motor, host
            run = run_example("settings_block.py", motors.ports[0], "1")
        self.assertEqual(run.returncode, 0, run.stderr)
        settings = json.loads(run.stdout)
        expected = {"DataMarker": 123, "EncCounts": 4000, "UserCounts": 360, "KP": 120, "KG": -7,
                    "MotorLimVal8": 5000, "PowerUpOps": 3, "HomeOps": 4, "UnitsIndex": 2, "MotorLimVal9": -250}
        self.assertEqual({name: settings[name] for name in expected}, expected)
        self.assertEqual(len(settings), 24)


if __name__ == "__main__":
    unittest.main()
