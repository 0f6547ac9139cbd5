"""Each exception class raised by a real failure of the library or the board."""

import math
import os
import subprocess
import sys
import tempfile
import time
import unittest

from support import (
    BOUND,
    REG_CLEAR,
    REG_FIRMWARE_VERSION,
    QuietStdout,
    SimTestCase,
    library,
    simulated_board,
)

import zorenc
from zorenc.sim import Fault, Status


class RefusedArguments(SimTestCase):
    def test_out_of_range_numbers_raise_channel_errors(self):
        b = self.board
        calls = {
            "channel 4": lambda: b.set_trigger_delay(4, 1.0),
            "channel -1": lambda: b.encoder_position(-1),
            "getter channel 4": lambda: b.trigger_generator(4),
            "frequency channel 4": lambda: b.virtual_encoder_frequency(4),
            "clear channel 4": lambda: b.clear_trigger_count(4),
            "input 7": lambda: b.digital_input(7),
            "input count 7": lambda: b.clear_digital_input_count(7),
            "index 0xF0": lambda: b.index_trigger_position(0, 0xF0),
            # Would wrap to channel 0 if passed to C unchecked.
            "channel 2**32": lambda: b.set_trigger_delay(1 << 32, 3.0),
            "index 2**32": lambda: b.set_index_trigger_position(0, 1 << 32, 9),
        }
        b.set_trigger_delay(0, 0.5)
        for case, call in calls.items():
            with self.subTest(case), self.assertRaises(zorenc.ZorEncChannelError) as caught:
                call()
            self.assertIsInstance(caught.exception, ValueError)
            self.assertEqual(caught.exception.code, zorenc.ZORENC_ERR_CHANNEL)
        self.assertEqual(b.trigger_delay(0), 0.5)
        self.assertEqual(b.index_trigger_position(0, 0), 0)

    def test_unrepresentable_values_raise_param_errors(self):
        b = self.board
        calls = {
            "NaN delay": lambda: b.set_trigger_delay(0, math.nan),
            "infinite pulse width": lambda: b.set_trigger_pulse_width(1, math.inf),
            "delay beyond 32 bits": lambda: b.set_trigger_delay(0, 21474836.48),
            "negative resolution": lambda: b.set_encoder_resolution(-0.5),
            "resolution 2**32 thousandths": lambda: b.set_encoder_resolution(4294967.296),
            "micrometre period 0": lambda: b.set_trigger_position_micrometer0(0, 10, 4, 0.0),
            "NaN analog period": lambda: b.encoder_position_for_analog(0, 8, math.nan),
            "position beyond 32 bits": lambda: b.set_trigger_position0(0, 1 << 31),
            "generator half of 17 bits": lambda: b.set_trigger_generator(0, 0x10000, 0),
            "address of 17 bits": lambda: b.read(0x10000),
            "control nibble of 5 bits": lambda: b.set_trigger_controls(
                0, zorenc.TriggerControls(nibble1=16)
            ),
            "raw read of 0 bytes": lambda: b.read_bytes(0),
        }
        b.set_trigger_delay(0, 0.25)
        for case, call in calls.items():
            with self.subTest(case), self.assertRaises(zorenc.ZorEncParamError) as caught:
                call()
            self.assertIsInstance(caught.exception, ValueError)
            self.assertEqual(caught.exception.code, zorenc.ZORENC_ERR_PARAM)
        self.assertEqual(b.trigger_delay(0), 0.25)
        self.assertEqual(b.trigger_position0(0), 0)


class BoardReplies(SimTestCase):
    def test_status_bytes_raise_status_errors(self):
        cases = [
            ("write to a read-only register", lambda: self.board.write(REG_FIRMWARE_VERSION, 1),
             Status.READ_ONLY),
            ("read of a write-only register", lambda: self.board.read(REG_CLEAR),
             Status.WRITE_ONLY),
        ]
        for case, call, status in cases:
            with self.subTest(case), self.assertRaises(zorenc.ZorEncStatusError) as caught:
                call()
            self.assertEqual((caught.exception.status, caught.exception.code), (status, status))
            self.assertEqual(caught.exception.name, "ZORENC_STATUS")

    def test_a_status_keeps_the_value_of_its_reply(self):
        self.commands.fault(Fault.STATUS, 0x42)
        with self.assertRaises(zorenc.ZorEncStatusError) as caught:
            self.board.read(REG_FIRMWARE_VERSION)
        self.assertEqual((caught.exception.status, caught.exception.value), (0x42, 0x96))
        self.assertAlmostEqual(self.board.firmware_version(), 1.5)

    def test_a_bad_checksum_raises_checksum_error(self):
        self.commands.fault(Fault.BAD_CHECKSUM)
        with self.assertRaises(zorenc.ZorEncChecksumError) as caught:
            self.board.read(REG_FIRMWARE_VERSION)
        self.assertEqual(caught.exception.code, zorenc.ZORENC_ERR_CHECKSUM)
        self.assertEqual(caught.exception.value, 0x96)
        self.commands.fault(Fault.BAD_CHECKSUM)
        with self.assertRaises(zorenc.ZorEncChecksumError):
            self.board.logic_version()

    def test_a_silent_reply_times_out_and_the_next_works(self):
        self.commands.fault(Fault.SILENCE)
        started = time.monotonic()
        with self.assertRaises(zorenc.ZorEncTimeout) as caught:
            self.board.trigger_delay(0)
        elapsed = time.monotonic() - started
        self.assertIsInstance(caught.exception, TimeoutError)
        self.assertEqual(caught.exception.code, zorenc.ZORENC_ERR_TIMEOUT)
        self.assertGreaterEqual(elapsed, 0.9)
        self.assertLess(elapsed, BOUND)
        self.assertEqual(self.board.trigger_delay(0), 0.0)

    def test_an_overlong_line_raises_frame_error_with_its_bytes(self):
        # 200 bytes of noise (never 0x02 or 0x03) ahead of a reply.
        self.commands.fault(Fault.GARBAGE, 200)
        self.board.send_only("R", REG_FIRMWARE_VERSION)
        with self.assertRaises(zorenc.ZorEncFrameError) as caught:
            self.board.read_until(0x03, abort=zorenc.Abort.after(BOUND))
        self.assertEqual(caught.exception.code, zorenc.ZORENC_ERR_FRAME)
        self.assertEqual(len(caught.exception.data), zorenc.LINE_LIMIT)
        self.assertNotIn(0x03, caught.exception.data)


class SilentBoard(unittest.TestCase):
    def test_a_board_that_never_answers_times_out(self):
        library()
        with QuietStdout(), simulated_board(silent=True) as sim, zorenc.Board(sim.port) as board:
            started = time.monotonic()
            with self.assertRaises(zorenc.ZorEncTimeout):
                board.firmware_version()
            self.assertGreaterEqual(time.monotonic() - started, 0.9)
            self.assertLess(time.monotonic() - started, BOUND)


class GonePorts(unittest.TestCase):
    def test_an_unplugged_port_is_gone_not_silent_and_reopens(self):
        library()
        with tempfile.TemporaryDirectory(dir=os.getcwd()) as scratch:
            link = os.path.join(scratch, "port")
            with QuietStdout(), simulated_board(extra_args=["--link", link]) as sim, \
                    zorenc.Board(link) as board:
                board.set_trigger_delay(1, 2.5)
                sim.unplug()
                started = time.monotonic()
                with self.assertRaises(zorenc.ZorEncPortGone) as caught:
                    board.firmware_version()
                self.assertLess(time.monotonic() - started, BOUND)
                self.assertNotIsInstance(caught.exception, TimeoutError)
                self.assertEqual(caught.exception.port, link)
                self.assertIn(f"the port {link} is gone", str(caught.exception))
                with self.assertRaises(zorenc.ZorEncNotOpenError):
                    board.reopen()  # not back yet
                sim.plug()
                deadline = time.monotonic() + BOUND
                while True:
                    try:
                        board.reopen()
                        break
                    except zorenc.ZorEncNotOpenError:
                        self.assertLess(time.monotonic(), deadline, "the port did not come back")
                        time.sleep(0.05)
                self.assertEqual(board.trigger_delay(1), 2.5)  # the same board, state kept

    def test_reopen_needs_an_opened_board(self):
        with zorenc.Board(library=library()) as board, self.assertRaises(RuntimeError):
            board.reopen()


class LibraryLines(unittest.TestCase):
    """The package sets ZORENC_QUIET before it loads the library; a value the
    program's environment gives wins."""

    def test_lines_only_when_asked_for(self):
        script = ("import zorenc\n"
                  "try:\n    zorenc.Board('/dev/ttyZORENC-missing0')\n"
                  "except zorenc.ZorEncNotOpenError:\n    pass\n")
        for quiet, printed in [(None, False), ("0", True), ("1", False)]:
            env = dict(os.environ)
            env.pop("ZORENC_QUIET", None)
            if quiet is not None:
                env["ZORENC_QUIET"] = quiet
            with self.subTest(quiet=quiet):
                out = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True,
                                     text=True, timeout=30)
                self.assertEqual(out.returncode, 0, out.stderr)
                self.assertEqual("connecting failed." in out.stdout, printed, out.stdout)


class ClosedPorts(SimTestCase):
    def test_calls_on_a_closed_port_raise_not_open(self):
        self.board.close_port()
        self.assertTrue(self.board.is_valid)
        self.assertFalse(self.board.is_open)
        calls = {
            "getter": self.board.firmware_version,
            "setter": lambda: self.board.set_trigger_delay(0, 1.0),
            "pulse width": lambda: self.board.trigger_pulse_width(0),
            "raw read": lambda: self.board.read(0),
            "stream read": lambda: self.board.read_bytes(4),
            "line read": lambda: self.board.read_until(b"\n"),
            "purge": self.board.purge,
        }
        for case, call in calls.items():
            with self.subTest(case), self.assertRaises(zorenc.ZorEncNotOpenError) as caught:
                call()
            self.assertEqual(caught.exception.code, zorenc.ZORENC_ERR_NOT_OPEN)
        self.board.open(self.sim.port)
        self.assertAlmostEqual(self.board.firmware_version(), 1.5)

    def test_a_port_that_cannot_open_raises_and_leaves_no_handler(self):
        lib = library()
        with zorenc.Board(library=lib) as probe:
            next_handle = probe.handle
        with self.assertRaises(zorenc.ZorEncNotOpenError):
            zorenc.Board("/nonexistent/zorenc-port", library=lib)
        self.assertFalse(lib.ZorEncIsValidHandle(next_handle))


if __name__ == "__main__":
    unittest.main()
