"""Ports, boards found by a probe and Board by identity, through the
companion library; the machine's own ports are kept out of the listing."""

import json
import os
import shutil
import subprocess
import unittest

from support import QuietStdout, library, simulated_board

import zorenc


class Ports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        library()
        cls.saved = os.environ.get("ZORENC_SYSFS_ROOT")
        os.environ["ZORENC_SYSFS_ROOT"] = os.path.join(os.getcwd(), "no-sysfs")
        cls.quiet = QuietStdout().__enter__()
        cls.board = simulated_board()
        cls.silent = simulated_board(silent=True)

    @classmethod
    def tearDownClass(cls):
        cls.board.stop()
        cls.silent.stop()
        cls.quiet.__exit__(None, None, None)
        if cls.saved is None:
            del os.environ["ZORENC_SYSFS_ROOT"]
        else:
            os.environ["ZORENC_SYSFS_ROOT"] = cls.saved

    def test_records_are_those_of_the_tool(self):
        tool = os.environ.get("ZORENC_TOOL") or shutil.which("zorenc")
        if not tool:
            self.skipTest("no zorenc tool: set ZORENC_TOOL or put it on PATH")
        names = [self.board.port, self.silent.port]
        ports = zorenc.list_ports(probe=True, candidates=names)
        printed = subprocess.run([tool, "ports", "--probe", "--json", *names],
                                 capture_output=True, text=True, timeout=15, check=True)
        self.assertEqual([p.as_json() for p in ports], json.loads(printed.stdout))
        self.assertEqual([p.probe.result for p in ports], ["board", "no-answer"])
        self.assertEqual([p.as_json() for p in zorenc.list_ports(candidates=names)],
                         [{k: v for k, v in p.items() if k != "probe"}
                          for p in json.loads(printed.stdout)])

    def test_board_by_identity(self):
        found = zorenc.find_boards([self.silent.port, self.board.port])
        self.assertEqual([p.name for p in found], [self.board.port])
        self.assertEqual(found[0].probe.firmware_version, 1.5)
        with zorenc.Board("auto", candidates=[self.silent.port, self.board.port]) as board:
            self.assertEqual(board.port, self.board.port)
            self.assertEqual(board.firmware_version(), 1.5)
        with self.assertRaises(zorenc.ToolsNotFoundError) as caught:
            zorenc.Board("auto", candidates=[self.silent.port])
        self.assertEqual([p["name"] for p in caught.exception.details["found"]],
                         [self.silent.port])
        with self.assertRaises(zorenc.ToolsUsageError):
            zorenc.resolve_port("usb:0403")
        self.assertEqual(zorenc.resolve_port("COM3"), "COM3")
