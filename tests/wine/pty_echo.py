#!/usr/bin/env python3
"""A stand-in board for the harness's own tests: opens a pseudo-terminal,
prints the slave's path on its first line and echoes every byte written to it
until SIGTERM. Its contract is the simulator's: path first, then run until
told to stop."""
import os
import pty
import select
import signal
import sys
import tty


def main():
    master, slave = pty.openpty()
    tty.setraw(slave)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(os.ttyname(slave), flush=True)
    # The slave stays open here, so the master never sees a hang-up when a
    # test closes the port.
    while True:
        ready, _, _ = select.select([master], [], [], 1.0)
        if ready:
            os.write(master, os.read(master, 4096))


if __name__ == "__main__":
    main()
