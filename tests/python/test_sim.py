"""The simulated board as a process: start, port, stop by pid."""

import os
import unittest

from support import BOUND, QuietStdout, library, simulated_board

import zorenc
from zorenc import sim


class SimulatedBoardProcess(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.quiet = QuietStdout().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.quiet.__exit__(None, None, None)

    def test_the_port_is_served_until_the_block_ends(self):
        library()
        with simulated_board(inputs=0x41) as board_sim:
            process = board_sim._process
            self.assertTrue(os.path.exists(board_sim.port))
            with zorenc.Board(board_sim.port) as board:
                self.assertEqual(board.digital_inputs()[::6], (True, True))
        self.assertIsNotNone(process.wait(timeout=BOUND))
        self.assertFalse(board_sim.running)

    def test_a_failing_body_still_ends_the_process(self):
        with self.assertRaises(RuntimeError):
            with simulated_board() as board_sim:
                process = board_sim._process
                raise RuntimeError("body failed")
        self.assertIsNotNone(process.wait(timeout=BOUND))

    def test_a_program_that_ends_early_is_reported(self):
        board_sim = sim.SimulatedBoard(extra_args=["--no-such-option"])
        with self.assertRaisesRegex(RuntimeError, "unknown option --no-such-option"):
            board_sim.start()
        self.assertFalse(board_sim.running)


if __name__ == "__main__":
    unittest.main()
