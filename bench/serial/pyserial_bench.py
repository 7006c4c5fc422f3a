#!/usr/bin/python3
"""pyserial as its users drive it: Serial(...) opens and configures, write() blocks, a blocking
read(1) waits for arrivals. Same command line and output as the other benchmark programs."""
import os
import resource
import struct
import sys
import time

import serial


def open_port(name, **extra):
    return serial.Serial(name, baudrate=9600, bytesize=serial.EIGHTBITS,
                         parity=serial.PARITY_NONE, stopbits=serial.STOPBITS_ONE,
                         xonxoff=False, rtscts=False, dsrdtr=False, **extra)


def usage():
    ru = resource.getrusage(resource.RUSAGE_SELF)
    return int((ru.ru_utime + ru.ru_stime) * 1e6), ru.ru_nvcsw


def main(argv):
    kind, name, count = argv[1], argv[2], int(argv[3])
    if kind == "print" and len(argv) == 6:
        with open(argv[4], "rb") as f:
            receipt = f.read()
        with open(argv[5], "rb") as f:
            trailer = f.read()
        start = time.monotonic_ns()
        for _ in range(count):
            port = open_port(name)
            if port.write(receipt) != len(receipt) or port.write(trailer) != len(trailer):
                sys.exit("short write")
            port.close()
        print(f"cycles={count}\nns={time.monotonic_ns() - start}")
    elif kind == "throughput" and len(argv) == 5:
        block = int(argv[4])
        data = bytes(k % 251 for k in range(count))
        port = open_port(name)
        start = time.monotonic_ns()
        for at in range(0, count, block):
            chunk = data[at:at + block]
            if port.write(chunk) != len(chunk):
                sys.exit("short write")
        ns = time.monotonic_ns() - start
        port.close()
        print(f"bytes={count}\nns={ns}")
    elif kind == "latency" and len(argv) == 5:
        ack = int(argv[4])
        port = open_port(name, timeout=None)
        os.write(ack, struct.pack("q", -1))
        seen = 0
        while seen < count:
            got = port.read(1)
            stamp = time.monotonic_ns()
            if not got:
                sys.exit("read returned nothing")
            seen += len(got)
            os.write(ack, struct.pack("q", stamp))
        port.close()
        print(f"samples={seen}")
    elif kind == "idle" and len(argv) == 4:
        port = open_port(name, timeout=count / 1000.0)
        cpu0, cs0 = usage()
        if port.read(1):
            sys.exit("unexpected input while idle")
        cpu1, cs1 = usage()
        port.close()
        print(f"cpu_us={cpu1 - cpu0}\nnvcsw={cs1 - cs0}")
    else:
        sys.exit(f"bad arguments for workload {kind}")


if __name__ == "__main__":
    main(sys.argv)
