#!/usr/bin/env python3
"""One setting request, three front ends: `zorenc set`, the monitor's
POST /api/settings/NAME and the companion library's ZorToolsSetSetting take
the same requests through one path, so they must put the same writes on the
wire, refuse with the same words (the tool may add a hint after them) and
note the same where a value is not stored as written.

ZORENC_TOOL, ZORENC_SIM and ZORENC_WORK as for test_monitor.py;
ZORENC_LIBRARY and ZORENC_TOOLS_LIBRARY name the board and companion
libraries that the C interface is called through.
"""
import ctypes
import json
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_monitor import TOOL, Rig, stop  # noqa: E402

# (setting, keys, values as typed on the tool's command line); the first
# ones are taken, the others refused before anything is sent.
REQUESTS = [
    ("trigger-delay", {"channel": 1}, ["0.29"]),
    ("trigger-generator", {"channel": 0}, ["0x10", "20"]),
    ("index-trigger-position", {"channel": 2, "index": 17}, ["-1500"]),
    ("trigger-controls", {"channel": 3}, ["0x40000201"]),
    ("encoder-resolution", {}, ["4294967.295"]),
    ("trigger-delay", {"channel": 1}, ["abc"]),
    ("trigger-delay", {"channel": 1}, ["1", "2"]),
    ("trigger-delay", {"channel": 5}, ["1"]),
    ("trigger-generator", {"channel": 0}, ["65536", "0"]),
    ("encoder-resolution", {}, ["-1"]),
    ("firmware-version", {}, ["2"]),
    ("trigger-delay", {"channel": 1}, ["1.5x"]),
    ("trigger-delay", {"channel": 1}, ["0.299"]),  # taken, with a note
    ("virtual-encoder-frequency", {"channel": 1}, ["-200"]),
]


def words(keys, values):
    return [str(keys[k]) for k in ("channel", "index", "input") if k in keys] + values


class Companion:
    """The C interface on a handler of its own."""

    def __init__(self, port):
        self.board = ctypes.CDLL(os.environ["ZORENC_LIBRARY"])
        self.tools = ctypes.CDLL(os.environ["ZORENC_TOOLS_LIBRARY"])
        self.board.ZorEncCreateHandler.restype = ctypes.c_ssize_t
        self.board.ZorEncOpen.argtypes = [ctypes.c_ssize_t, ctypes.c_char_p]
        self.board.ZorEncCloseHandler.argtypes = [ctypes.c_ssize_t]
        self.tools.ZorToolsSetSetting.argtypes = [ctypes.c_ssize_t, ctypes.c_char_p]
        self.tools.ZorToolsSetSetting.restype = ctypes.c_void_p
        self.tools.ZorToolsFree.argtypes = [ctypes.c_void_p]
        self.handle = self.board.ZorEncCreateHandler()
        if not self.board.ZorEncOpen(self.handle, port.encode()):
            raise RuntimeError("cannot open " + port)

    def set(self, request):
        answer = self.tools.ZorToolsSetSetting(self.handle, json.dumps(request).encode())
        try:
            return json.loads(ctypes.string_at(answer).decode())
        finally:
            self.tools.ZorToolsFree(answer)

    def close(self):
        self.board.ZorEncCloseHandler(self.handle)


class OnePathTests(unittest.TestCase):
    def setUp(self):
        os.environ["ZORENC_QUIET"] = "1"
        self.rig = Rig("one-path")
        self.addCleanup(self.rig.close)

    def writes(self, since):
        """The writes the board received since the log held since lines."""
        with open(self.rig.log) as log:
            lines = log.read().splitlines()
        return [line for line in lines[since:] if line.startswith("W ")], len(lines)

    def log_length(self):
        return self.writes(0)[1]

    def through_monitor(self):
        outcomes = []
        for setting, keys, values in REQUESTS:
            mark = self.log_length()
            status, document, _ = self.rig.request(
                "POST", "/api/settings/" + setting, dict(keys, values=values),
                headers={"X-Zorenc-Token": self.rig.token})
            message = None if document["ok"] else document["error"]["message"]
            note = document["result"].get("note") if document["ok"] else None
            outcomes.append((message, self.writes(mark)[0], note))
            self.assertEqual(status, 200 if message is None else 400, (setting, values, message))
        return outcomes

    def through_tool(self):
        outcomes = []
        for setting, keys, values in REQUESTS:
            mark = self.log_length()
            result = subprocess.run([TOOL, "--port", self.rig.link, "--json", "set", setting,
                                     *words(keys, values)],
                                    capture_output=True, text=True, timeout=30)
            message = None
            note = None
            if result.returncode != 0:
                self.assertEqual(result.returncode, 2, result.stderr)
                message = result.stderr.splitlines()[0][len("zorenc: "):]
            else:
                note = json.loads(result.stdout).get("note")
            outcomes.append((message, self.writes(mark)[0], note))
        return outcomes

    def through_interface(self):
        companion = Companion(self.rig.link)
        try:
            outcomes = []
            for setting, keys, values in REQUESTS:
                mark = self.log_length()
                answer = companion.set(dict(keys, setting=setting, values=values))
                message = None if answer["ok"] else answer["error"]["message"]
                note = answer["result"].get("note") if answer["ok"] else None
                if message is not None:
                    self.assertEqual(answer["error"]["kind"], "usage", message)
                outcomes.append((message, self.writes(mark)[0], note))
            return outcomes
        finally:
            companion.close()

    def test_same_writes_and_same_words(self):
        monitor = self.through_monitor()
        self.rig.stop_monitor()
        tool = self.through_tool()
        interface = self.through_interface()
        for n, request in enumerate(REQUESTS):
            with self.subTest(request=request):
                self.assertEqual(monitor[n], interface[n])
                self.assertEqual(tool[n][1], interface[n][1])  # the writes
                self.assertEqual(tool[n][2], interface[n][2])  # the notes
                if interface[n][0] is None:
                    self.assertIsNone(tool[n][0])
                    self.assertEqual(len(interface[n][1]), 1)  # taken: one write
                else:
                    self.assertTrue(tool[n][0].startswith(interface[n][0]),
                                    (tool[n][0], interface[n][0]))
                    self.assertEqual(interface[n][1], [])  # refused: nothing written


if __name__ == "__main__":
    unittest.main()
