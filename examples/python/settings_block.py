#!/usr/bin/env python3
"""Reads the settings the setup application stored in a motor (its
configuration block at EEPROM address 200) into a dictionary and prints it
as JSON.

    python3 settings_block.py COM3 1
"""

import argparse
import json
import time

import velkor

DATA_MARKER = 100         # 123 after a complete settings download
CONFIGURATION = 200       # 23 longs, loaded into aaa .. www

# Where each setting lands once the block is loaded into aaa .. www
# (al[26] .. al[48]; aw[] and ab[] overlay the same longs).
FIELDS = [("EncCounts", "aw[52]"), ("UserCounts", "aw[53]")]
FIELDS += [(gain, "al[%d]" % (27 + i)) for i, gain in enumerate(["KP", "KI", "KD", "KV", "KA", "KL", "KG"])]
FIELDS += [("MotorLimVal%d" % i, "al[%d]" % (34 + i)) for i in range(9)]
FIELDS += [("PowerUpOps", "ab[172]"), ("FaultOps", "ab[173]"), ("HomeOps", "ab[175]"), ("UnitsIndex", "ab[176]"),
           ("MotorLimVal9", "al[48]")]


def read_settings(motor):
    motor.WriteCommand("EPTR=%d" % DATA_MARKER)
    motor.WriteCommand("VLD(a,1)")
    time.sleep(0.05)      # the motor loads from its EEPROM before it answers again
    settings = {"DataMarker": int(motor.GetResponseOf("Ra"))}
    motor.WriteCommand("EPTR=%d" % CONFIGURATION)
    motor.WriteCommand("VLD(aaa,23)")
    time.sleep(0.15)
    for name, variable in FIELDS:
        settings[name] = int(motor.GetResponseOf("R" + variable))
    return settings


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("port", help="COMn or a device path")
    parser.add_argument("address", type=int, help="the motor's chain address")
    parser.add_argument("--baud", type=int, help="line rate to switch the motors to once addressed")
    options = parser.parse_args()

    host = velkor.Dispatch("VNXEngine.VNXHost")
    host.OpenPort(options.port)
    host.AddressMotorChain()
    if options.baud:
        host.BaudRate = options.baud
    print(json.dumps(read_settings(host.GetMotor(options.address)), indent=2))
    host.ClosePort()


if __name__ == "__main__":
    main()
