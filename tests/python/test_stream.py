"""Raw stream reads with their abort flag, frame callbacks, and the lifetime
of a Board."""

import gc
import threading
import time
import unittest

from support import (
    BOUND,
    REG_FIRMWARE_VERSION,
    QuietStdout,
    SimTestCase,
    library,
    run_bounded,
    simulated_board,
)

import zorenc

# The request and reply of a read of the firmware version (1.50).
FIRMWARE_REQUEST = bytes.fromhex("02 52 00 f0 00 00 00 00 00 42 03")
FIRMWARE_REPLY = bytes.fromhex("02 52 00 f0 96 00 00 00 00 d8 03")


class RawReads(SimTestCase):
    def test_read_bytes_takes_a_queued_reply(self):
        self.board.send_only("R", REG_FIRMWARE_VERSION)
        self.assertEqual(self.board.read_bytes(11, abort=zorenc.Abort.after(BOUND)), FIRMWARE_REPLY)

    def test_read_until_stops_at_its_terminator(self):
        self.board.send_only("R", REG_FIRMWARE_VERSION)
        abort = zorenc.Abort.after(BOUND)
        self.assertEqual(self.board.read_until(b"R", abort=abort), FIRMWARE_REPLY[:2])
        self.assertEqual(self.board.read_until(0x03, abort=abort), FIRMWARE_REPLY[2:])

    def test_purge_drops_what_has_arrived(self):
        self.board.send_only("R", REG_FIRMWARE_VERSION)
        self.board.read_bytes(1, abort=zorenc.Abort.after(BOUND))  # the reply is arriving
        time.sleep(0.1)
        self.board.purge()
        with self.assertRaises(zorenc.ZorEncAborted):
            self.board.read_bytes(1, abort=zorenc.Abort.after(0.3))

    def test_an_abort_from_another_thread_ends_a_blocked_read(self):
        # Nothing arrives: only the abort can end these reads.
        reads = {
            "read_bytes": lambda abort: self.board.read_bytes(5, abort=abort),
            "read_until": lambda abort: self.board.read_until(b"\n", abort=abort),
        }
        for name, read in reads.items():
            with self.subTest(name):
                abort = zorenc.Abort()
                threading.Timer(0.3, abort.raise_).start()
                started = time.monotonic()
                _, error = run_bounded(self, lambda: read(abort))
                elapsed = time.monotonic() - started
                self.assertIsInstance(error, zorenc.ZorEncAborted)
                self.assertEqual(error.code, zorenc.ZORENC_ERR_ABORTED)
                self.assertGreaterEqual(elapsed, 0.25)
                self.assertLess(elapsed, 2.0)

class FrameCallbacks(SimTestCase):
    def test_callbacks_see_the_frames(self):
        sent, received = [], []
        self.board.on_send(sent.append)
        self.board.on_receive(received.append)
        self.assertAlmostEqual(self.board.firmware_version(), 1.5)
        self.assertEqual((sent, received), ([FIRMWARE_REQUEST], [FIRMWARE_REPLY]))
        self.board.send_only("R", REG_FIRMWARE_VERSION)  # sent, no reply awaited
        self.assertEqual((len(sent), len(received)), (2, 1))
        self.board.on_send(None)
        self.board.on_receive(None)
        self.board.purge()
        self.board.firmware_version()
        self.assertEqual((len(sent), len(received)), (2, 1))

    def test_callbacks_stay_alive_while_registered(self):
        seen = []

        def register():  # the only references are local to this frame
            self.board.on_send(lambda frame: seen.append(len(frame)))
            self.board.on_receive(lambda frame: seen.append(-len(frame)))

        register()
        gc.collect()
        self.board.close_port()  # registrations outlive a closed port
        self.board.open(self.sim.port)
        self.board.trigger_delay(0)
        self.assertEqual(seen, [11, -11])

    def test_an_exception_in_a_callback_comes_out_of_the_call(self):
        def fail(frame):
            raise KeyError(frame[1])

        self.board.on_receive(fail)
        with self.assertRaises(KeyError) as caught:
            self.board.firmware_version()
        self.assertEqual(caught.exception.args, (ord("R"),))
        self.board.on_receive(None)
        self.assertAlmostEqual(self.board.firmware_version(), 1.5)

    def test_a_callback_cannot_call_its_own_board(self):
        self.board.on_send(lambda frame: self.board.trigger_delay(1))
        with self.assertRaises(RuntimeError):
            self.board.trigger_delay(0)
        self.board.on_send(None)
        self.board.purge()


class Lifetime(unittest.TestCase):
    # Ports open exclusively: these tests' boards need a simulated board of their own.
    @classmethod
    def setUpClass(cls):
        cls.lib = library()
        cls.quiet = QuietStdout().__enter__()
        cls.sim = simulated_board()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()
        cls.quiet.__exit__(None, None, None)

    def test_the_with_block_closes_the_handler_when_its_body_raises(self):
        lib = self.lib
        with self.assertRaises(ZeroDivisionError):
            with zorenc.Board(self.sim.port) as board:
                handle = board.handle
                self.assertTrue(lib.ZorEncIsOpen(handle))
                1 / 0
        self.assertFalse(lib.ZorEncIsValidHandle(handle))
        self.assertFalse(board.is_open)

    def test_a_board_opened_later(self):
        with zorenc.Board() as board:
            self.assertTrue(board.is_valid)
            self.assertFalse(board.is_open)
            board.open(self.sim.port)
            self.assertEqual(board.port, self.sim.port)
            self.assertAlmostEqual(board.firmware_version(), 1.5)

    def test_a_forgotten_board_releases_its_handler(self):
        lib = self.lib
        board = zorenc.Board(self.sim.port)
        handle = board.handle
        board.on_send(lambda frame: None)
        del board
        gc.collect()
        self.assertFalse(lib.ZorEncIsValidHandle(handle))

    def test_creating_a_board_waits_for_calls_on_others(self):
        # The library's table may not change while a call runs on any handle.
        with zorenc.Board(self.sim.port) as busy:
            ended = {}

            def blocked_read():
                try:
                    busy.read_bytes(1, abort=zorenc.Abort.after(0.5))
                except zorenc.ZorEncAborted:
                    pass  # the expected end of the read
                finally:
                    ended["read"] = time.monotonic()

            reader = threading.Thread(target=blocked_read, daemon=True)
            reader.start()
            time.sleep(0.1)  # let the read begin
            with zorenc.Board() as other:
                ended["create"] = time.monotonic()
                self.assertTrue(other.is_valid)
            reader.join(BOUND)
            self.assertGreaterEqual(ended["create"], ended["read"])

    def test_a_closed_board_refuses_calls(self):
        board = zorenc.Board(self.sim.port)
        board.close()
        board.close()
        self.assertEqual(board.handle, 0)
        with self.assertRaises(zorenc.ZorEncNotOpenError):
            board.trigger_delay(0)
        # The port is free again.
        with zorenc.Board(self.sim.port) as again:
            self.assertAlmostEqual(again.firmware_version(), 1.5)


if __name__ == "__main__":
    unittest.main()
