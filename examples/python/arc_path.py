#!/usr/bin/env python3
"""Generates a quarter-circle arc for two axes and streams it in host mode to
motors 1 and 2 of an RS232 daisy chain (their drives on).

    python3 arc_path.py COM3 --radius 2000
"""

import argparse

import velkor


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("port", help="COMn or a device path")
    parser.add_argument("--baud", type=int, help="line rate to switch the motors to once addressed")
    parser.add_argument("--radius", type=float, default=1000.0, help="in encoder counts")
    parser.add_argument("--speed", type=float, default=20.0, help="counts per sample period")
    parser.add_argument("--acceleration", type=float, default=0.5)
    parser.add_argument("--time-delta", type=int, default=64, help="sample periods between two samples")
    options = parser.parse_args()

    host = velkor.Dispatch("VNXEngine.VNXHost")
    host.OpenPort(options.port)
    host.AddressMotorChain()
    if options.baud:
        host.BaudRate = options.baud

    # From (0, 0) clockwise round the centre (r, 0) to (r, r).
    r = options.radius
    host.StartPoint[1] = 0.0
    host.StartPoint[2] = 0.0
    host.SetupTimeDelta(options.time_delta)
    host.Acceleration = options.acceleration
    samples = host.CreateArcPath(options.speed, [r, r], [r, 0.0], velkor.vnx_clockwise)

    host.Initialize(2)
    for x, y, clock in samples:
        host.WritePosition(1, round(x))
        host.WritePosition(2, round(y))
        host.WriteClock(0, int(clock))
    host.EndHostMode()
    x, y, clock = samples[-1]
    print("streamed %d samples; the arc ends at (%d, %d) after %d sample periods" % (len(samples), round(x), round(y), clock))
    host.ClosePort()


if __name__ == "__main__":
    main()
