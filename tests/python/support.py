"""Shared helpers of the Python package's tests.

The tests run against the zorenc package that the interpreter imports: under
ctest, the Linux wheel installed in a fresh virtual environment, with the
library and zorenc-sim inside the package (run_installed.py).  A missing
library or simulated board fails the tests.
"""

import os
import sys
import threading
import unittest

import zorenc
from zorenc import sim

# The source tree, for the headers the tables are checked against.
ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))

# Register addresses the tests poke and peek (see the register map).
REG_CHANNEL_BLOCK = 0x0100
REG_ENC_CALIBRATION = 0x05
REG_IDX_TRG_POSITION = 0x10
REG_DI_COUNT = 0x0501
REG_TRG_COUNT = 0x0508
REG_ENC_POSITION = 0x050C
REG_TRG_ERROR_COUNT = 0x0510
REG_FIRMWARE_VERSION = 0xF000
REG_CLEAR = 0xF005
OFFSET_ZERO = 0x80000000

# Longest a test waits for anything that should end on its own.
BOUND = 5.0


def library():
    """The library under test."""
    return zorenc.load_library()


def simulated_board(**kwargs):
    """A started SimulatedBoard."""
    return sim.SimulatedBoard(**kwargs).start()


class QuietStdout:
    """Sends the library's diagnostic lines on file descriptor 1 to
    /dev/null while the tests run (unittest reports on stderr)."""

    def __enter__(self):
        sys.stdout.flush()
        self._saved = os.dup(1)
        null = os.open(os.devnull, os.O_WRONLY)
        os.dup2(null, 1)
        os.close(null)
        return self

    def __exit__(self, *exc_info):
        sys.stdout.flush()
        os.dup2(self._saved, 1)
        os.close(self._saved)


def run_bounded(test, function, timeout=BOUND):
    """Runs function on a worker thread and gives (result, exception); fails
    the test when it has not ended within timeout (the worker is then left
    behind as a daemon)."""
    outcome = {}

    def work():
        try:
            outcome["result"] = function()
        except BaseException as e:  # handed to the test
            outcome["error"] = e

    worker = threading.Thread(target=work, daemon=True)
    worker.start()
    worker.join(timeout)
    if worker.is_alive():
        test.fail(f"still blocked after {timeout} s")
    return outcome.get("result"), outcome.get("error")


class SimTestCase(unittest.TestCase):
    """One simulated board and one open Board for the whole class; each test
    starts from a power-cycled board with no faults and no callbacks."""

    sim_options = {}

    @classmethod
    def setUpClass(cls):
        cls.lib = library()
        cls._quiet = QuietStdout().__enter__()
        cls.sim = simulated_board(**cls.sim_options)
        cls.board = zorenc.Board(cls.sim.port, library=cls.lib)
        cls.commands = sim.SimCommands(cls.board)

    @classmethod
    def tearDownClass(cls):
        cls.board.close()
        cls.sim.stop()
        cls._quiet.__exit__(None, None, None)

    def setUp(self):
        if not self.board.is_open:
            self.board.open(self.sim.port)
        self.board.on_send(None)
        self.board.on_receive(None)
        self.board.purge()
        self.commands.clear_faults()
        self.commands.reset()
