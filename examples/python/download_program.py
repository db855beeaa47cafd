#!/usr/bin/env python3
"""Compiles a motor program (unless it is a compiled .vqx image already) and
downloads it into one motor of an RS232 daisy chain, with a progress bar.
Ctrl-C cancels the download cleanly.

    python3 download_program.py COM3 1 move.src
"""

import argparse
import os
import sys

import velkor

PROGRESS_MESSAGE = 0x0400   # any number: the window gets only this message


def compile_program(source):
    image = os.path.splitext(source)[0] + ".vqx"
    scan = velkor.Dispatch("VNXEngine.VNXScan")
    scan.MakeVQX2(source, image)
    if scan.NoOfErrors:
        scan.GoFirst()
        for index in range(scan.NoOfErrors + scan.NoOfWarnings):
            if index:
                scan.GoNext()
            kind = "warning" if scan.IsWarning else "error"
            print("%s:%d:%d: %s %d: %s" % (source, scan.Line, scan.Column, kind, scan.Code, scan.Description),
                  file=sys.stderr)
        sys.exit("%s: not compiled" % source)
    return image


class ProgressBar:
    """The engine's transfer notifications: 1 = start (length), 2 = bytes
    done, 3 = end. Returning 0 would cancel."""

    def __init__(self, out=sys.stderr, width=40):
        self.out, self.width, self.total = out, width, 0

    def __call__(self, code, number):
        if code == 1:
            self.total = number
        elif code == 2 and self.total:
            self.draw(number)
        elif code == 3 and self.total:
            self.draw(self.total)   # the last few bytes go without a step of their own
            self.out.write("\n")
            self.total = 0
        return 1

    def draw(self, number):
        done = self.width * number // self.total
        self.out.write("\rdownloading [%s%s] %d/%d" % ("#" * done, "." * (self.width - done), number, self.total))
        self.out.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("port", help="COMn or a device path")
    parser.add_argument("address", type=int, help="the motor's chain address")
    parser.add_argument("program", help="motor program source, or a compiled .vqx image")
    parser.add_argument("--baud", type=int, help="line rate to switch the motors to once addressed")
    options = parser.parse_args()

    image = options.program if options.program.lower().endswith(".vqx") else compile_program(options.program)
    host = velkor.Dispatch("VNXEngine.VNXHost")
    host.OpenPort(options.port)
    host.AddressMotorChain()
    if options.baud:
        host.BaudRate = options.baud
    motor = host.GetMotor(options.address)
    host.InitializeNotification(ProgressBar(), PROGRESS_MESSAGE)
    try:
        done = motor.DownloadEx(image, 0)
    except KeyboardInterrupt:
        done = 0
    print("downloaded %s to motor %d" % (image, options.address) if done else "download cancelled")
    host.ClosePort()
    return 0 if done else 1


if __name__ == "__main__":
    sys.exit(main())
