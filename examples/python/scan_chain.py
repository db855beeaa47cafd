#!/usr/bin/env python3
"""Sets up the addresses of the motors on an RS232 daisy chain and prints
each motor's identity.

    python3 scan_chain.py COM3
"""

import argparse

import velkor


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("port", help="COMn or a device path")
    parser.add_argument("--baud", type=int, help="line rate to switch the motors to once addressed")
    parser.add_argument("--max", type=int, default=10, help="most motors to look for")
    options = parser.parse_args()

    host = velkor.Dispatch("VNXEngine.VNXHost")
    host.OpenPort(options.port)
    host.MaxMotors = options.max
    count = host.AddressMotorChain()
    if options.baud:
        host.BaudRate = options.baud
    print("%d motor(s) on %s" % (count, host.PortName))
    print("address  serial    model      firmware  counts/rev")
    for address in range(1, count + 1):
        motor = host.GetMotor(address)
        print("%-8d %-9s %-10s %-9s %d" % (address, motor.GetSerialNumber(), motor.GetModelStr(),
                                            motor.Version, motor.GetEncoderResolution()))
    host.ClosePort()


if __name__ == "__main__":
    main()
