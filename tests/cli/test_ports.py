#!/usr/bin/env python3
"""zorenc ports and --port by identity, against zorenc-sim processes.

The machine's own ports are kept out: ZORENC_SYSFS_ROOT names a tree made
here in the build folder (or none at all), so that only the simulated boards
are probed.
"""
import fcntl
import json
import os
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_tool import SimBoard, run  # noqa: E402

NO_SYSFS = {"ZORENC_SYSFS_ROOT": os.path.join(os.getcwd(), "no-sysfs")}


def run_with(env, *args, timeout=15):
    saved = {k: os.environ.get(k) for k in env}
    os.environ.update(env)
    try:
        return run(*args, timeout=timeout)
    finally:
        for key, value in saved.items():
            if value is None:
                os.environ.pop(key, None)
            else:
                os.environ[key] = value


class PortsTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.boards = [SimBoard(), SimBoard("--silent"), SimBoard(), SimBoard()]
        cls.board, cls.silent, cls.held, cls.second = (b.port for b in cls.boards)

    @classmethod
    def tearDownClass(cls):
        for board in cls.boards:
            board.stop()

    def test_probe_tells_board_no_answer_and_busy_in_one_deadline(self):
        with open(self.held, "rb", buffering=0) as holder:
            fcntl.flock(holder, fcntl.LOCK_EX | fcntl.LOCK_NB)
            started = time.monotonic()
            result = run_with(NO_SYSFS, "ports", "--probe", "--json", self.board, self.silent,
                              self.held)
            elapsed = time.monotonic() - started
        self.assertEqual(result.returncode, 0, result.stderr)
        ports = json.loads(result.stdout)
        self.assertEqual([p["name"] for p in ports], [self.board, self.silent, self.held])
        self.assertEqual([p["probe"]["result"] for p in ports], ["board", "no-answer", "busy"])
        self.assertEqual(ports[0]["probe"]["firmware_version"], 1.5)
        self.assertEqual(ports[0]["probe"]["logic_version"], 2.02)
        self.assertEqual(ports[0]["transport"], "virtual")
        self.assertLess(elapsed, 2.5)  # about 1 s: one deadline for all

    def test_no_port_is_an_empty_list(self):
        result = run_with(NO_SYSFS, "ports", "--json")
        self.assertEqual((result.returncode, result.stdout.strip()), (0, "[]"))

    def test_auto_opens_the_one_board_and_lists_what_it_found_otherwise(self):
        found = run_with(NO_SYSFS, "--port", "auto", "--candidates",
                         f"{self.silent},{self.board}", "--json", "info")
        self.assertEqual(found.returncode, 0, found.stderr)
        self.assertEqual(json.loads(found.stdout)["port"], self.board)
        for candidates in ([self.silent], [self.board, self.second]):
            with self.subTest(candidates=candidates):
                result = run_with(NO_SYSFS, "--port", "auto", "--candidates",
                                  ",".join(candidates), "info")
                self.assertEqual(result.returncode, 1)
                for name in candidates:
                    self.assertIn(name, result.stderr)

    def test_usage_errors(self):
        for args in (["--port", "/dev/null", "--candidates", "P1", "info"],
                     ["--port", "auto", "--candidates", "P1,", "info"],
                     ["--port", "usb:12:34", "info"],
                     ["--port", "COM3", "ports"]):
            with self.subTest(args=args):
                self.assertEqual(run_with(NO_SYSFS, *args).returncode, 2)

    def test_identity_and_latency_warning_from_the_listing(self):
        with tempfile.TemporaryDirectory(dir=os.getcwd()) as root:
            device = os.path.join(root, "devices", "usb1", "1-2")
            port = os.path.join(device, "1-2:1.0", "ttyUSB0")
            bus = os.path.join(root, "bus", "usb-serial")
            entry = os.path.join(root, "class", "tty", "ttyUSB0")
            for folder in (port, bus, entry):
                os.makedirs(folder)
            for name, text in (("idVendor", "0403"), ("idProduct", "6001"), ("serial", "Z9")):
                with open(os.path.join(device, name), "w") as f:
                    f.write(text + "\n")
            with open(os.path.join(port, "latency_timer"), "w") as f:
                f.write("16\n")
            with open(os.path.join(device, "product"), "wb") as f:
                f.write(b"Caf\xe9 UART\n")  # not UTF-8
            os.symlink(bus, os.path.join(port, "subsystem"))
            os.symlink(port, os.path.join(entry, "device"))
            env = {"ZORENC_SYSFS_ROOT": root}
            listed = run_with(env, "ports")
            self.assertEqual(listed.returncode, 0, listed.stderr)
            self.assertRegex(listed.stdout, r"/dev/ttyUSB0\s+usb\s+0403:6001\s+Z9\s+1-2:1.0\s+16 ms")
            self.assertIn("latency timer is 16 ms", listed.stderr)
            self.assertIn("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer", listed.stderr)
            # The adapter is found; opening the missing /dev/ttyUSB0 then fails.
            opened = run_with(env, "--port", "serial:Z9", "info")
            self.assertEqual(opened.returncode, 1)
            self.assertIn("cannot open /dev/ttyUSB0", opened.stderr)
            as_json = run_with(env, "ports", "--json")
            self.assertEqual(as_json.returncode, 0, as_json.stderr)
            self.assertEqual(json.loads(as_json.stdout)[0]["product"], "Caf\\xE9 UART")
            missing = run_with(env, "--port", "usb:0403:6015", "info")
            self.assertEqual(missing.returncode, 1)
            self.assertIn("found: /dev/ttyUSB0 (usb 0403:6001 serial Z9)", missing.stderr)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
