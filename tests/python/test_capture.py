"""board.capture() through the companion library: the frames and the
time-out's annotation in the pcapng file, the board's own callbacks back
afterwards, a file that cannot be written refused before the capture starts.
(The dissector's reading of such files is checked in tests/capture.)"""

import os
import struct
import tempfile
import unittest

from support import SimTestCase, REG_FIRMWARE_VERSION

import zorenc
from zorenc.sim import Fault

ENHANCED_PACKET = 6


def packets(path):
    """The file's bytes and its enhanced packet blocks (little-endian), whole."""
    with open(path, "rb") as f:
        data = f.read()
    blocks, at = [], 0
    while at + 12 <= len(data):
        kind, length = struct.unpack_from("<II", data, at)
        if length < 12 or at + length > len(data):
            raise AssertionError(f"broken block at {at}")
        if kind == ENHANCED_PACKET:
            blocks.append(data[at:at + length])
        at += length
    return data, blocks


class Capture(SimTestCase):
    sim_options = {"test_commands": True}

    def test_frames_annotation_and_callbacks_back(self):
        sent = []
        with tempfile.TemporaryDirectory(dir=os.getcwd()) as folder:
            path = os.path.join(folder, "python.pcapng")
            self.board.on_send(sent.append)
            with self.board.capture(path) as capture:
                self.board.read(REG_FIRMWARE_VERSION)
                self.commands.fault(Fault.SILENCE)  # its own request is captured too
                with self.assertRaises(zorenc.ZorEncTimeout):
                    self.board.read(REG_FIRMWARE_VERSION + 1)
            self.assertEqual((capture.summary["requests"], capture.summary["replies"],
                              capture.summary["annotated"]), (3, 2, 1))
            self.board.read(REG_FIRMWARE_VERSION)
            self.assertEqual(len(sent), 1)  # only the read after the capture
            data, blocks = packets(path)
        self.assertEqual(len(blocks), 5)
        self.assertIn(self.sim.port.encode(), data)  # the interface's name
        self.assertIn(b"ZORENC_ERR_TIMEOUT", blocks[-1])
        self.assertNotIn(b"ZORENC_ERR", b"".join(blocks[:-1]))

    def test_unwritable_file_is_a_usage_error(self):
        with self.assertRaises(zorenc.ToolsUsageError):
            with self.board.capture("/nonexistent-dir/x.pcapng"):
                pass
        self.board.read(REG_FIRMWARE_VERSION)  # no capture left running


if __name__ == "__main__":
    unittest.main()
