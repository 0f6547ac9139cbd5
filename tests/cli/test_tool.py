#!/usr/bin/env python3
"""The zorenc command-line tool, run as a process.

ZORENC_TOOL names the tool and ZORENC_SIM the simulated board program; the
argument names the group to run (UsageTests, CommandsTests, FailuresTests,
LiveTests), none runs all.
"""
import json
import os
import pty
import re
import select
import signal
import subprocess
import sys
import tempfile
import time
import unittest

TOOL = os.environ.get("ZORENC_TOOL", "zorenc")
SIM = os.environ.get("ZORENC_SIM", "zorenc-sim")
MISSING_PORT = "/dev/ttyZORENC-missing0"


def run(*args, timeout=15):
    """Runs the tool; every run is bounded."""
    return subprocess.run([TOOL, *args], capture_output=True, text=True, timeout=timeout)


class SimBoard:
    """A zorenc-sim process; its slave path is the port."""

    def __init__(self, *options):
        self.process = subprocess.Popen([SIM, *options], stdout=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 10)
        if not ready:
            self.stop()
            raise RuntimeError("zorenc-sim printed no port within 10 s")
        self.port = self.process.stdout.readline().strip()

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=5)
        self.process.stdout.close()


class BoardCase(unittest.TestCase):
    """Tests that share one simulated board, started once for the class."""

    sim_options = ()

    @classmethod
    def setUpClass(cls):
        cls.board = SimBoard(*cls.sim_options)

    @classmethod
    def tearDownClass(cls):
        cls.board.stop()

    def tool(self, *args, expect=0, timeout=15):
        result = run("--port", self.board.port, *args, timeout=timeout)
        self.assertEqual(result.returncode, expect,
                         f"zorenc {' '.join(args)}\nstdout: {result.stdout}\nstderr: {result.stderr}")
        return result

    def json(self, *args):
        return json.loads(self.tool("--json", *args).stdout)


class UsageTests(unittest.TestCase):
    """Wrong use is refused with exit status 2 before any port is opened: the
    port given does not exist, which would otherwise end in exit status 1."""

    CASES = [
        (["bogus"], "unknown command 'bogus'"),
        (["info", "--frob"], "unknown option '--frob'"),
        (["info", "extra"], "info takes no arguments"),
        (["info", "--watch"], "--watch is not an option of info"),
        (["get", "trigger-delay", "5"], "channel 5 is out of range 0..3 (ZORENC_ERR_CHANNEL)"),
        (["get", "trigger-delay", "-1"], "channel -1 is out of range 0..3 (ZORENC_ERR_CHANNEL)"),
        (["get", "trigger-delay", "one"], "'one' is not a valid channel"),
        (["get", "index-trigger-position", "0", "240"], "index 240 is out of range 0..239"),
        (["get", "di-state", "7"], "input 7 is out of range 0..6"),
        (["get", "nope"], "unknown setting 'nope'"),
        (["get"], "get needs a SETTING"),
        (["get", "encoder-position-micrometer", "0"], "takes MULTIPLIER PERIOD, got 0 arguments"),
        (["get", "trigger-position0-micrometer", "0"], "can only be set"),
        (["set", "trigger-delay", "0", "fast"], "'fast' is not a valid DELAY"),
        (["set", "trigger-delay", "0"], "usage: zorenc set trigger-delay CH DELAY"),
        (["set", "trigger-delay", "0", "3e7"], "out of range"),
        (["set", "trigger-position0", "0", "1.5"], "'1.5' is not a valid POSITION"),
        (["set", "trigger-position0", "0", "2147483648"], "out of range"),
        (["set", "trigger-generator", "0", "65536", "0"], "UPPER 65536 is out of range 0..65535"),
        (["set", "trigger-controls", "0", "16", "0", "0", "0", "0", "0", "0", "0", "0"],
         "N0 16 is out of range 0..15"),
        (["set", "trigger-controls", "0", "1", "2"], "takes WORD, or N0 N1"),
        (["set", "encoder-resolution", "-1"], "RESOLUTION -1 is out of range"),
        (["set", "virtual-encoder-frequency", "1", "-200"],
         "FREQUENCY -200 is out of range 0..2147483647"),
        (["set", "encoder-multi-for-analog", "0", "-1"],
         "MULTIPLIER -1 is out of range 0..2147483647"),
        (["set", "index-trigger-last-index", "0", "240"], "INDEX 240 is out of range 0..239"),
        (["config", "save", "/nonexistent-dir/x.json"],
         "cannot write /nonexistent-dir/x.json: No such file or directory"),
        (["set", "trigger-position0-micrometer", "0", "10", "4", "0"], "PERIOD must not be 0"),
        (["set", "firmware-version", "2"], "firmware-version is read only"),
        (["set", "trigger-count", "0", "0"], "clear with: clear trigger-count CH"),
        (["clear"], "clear needs to know what"),
        (["clear", "everything"], "unknown clear target 'everything'"),
        (["clear", "trigger-count", "4"], "channel 4 is out of range 0..3"),
        (["clear", "di-count", "7"], "input 7 is out of range 0..6"),
        (["clear", "all", "1"], "too many arguments"),
        (["calibration", "begin", "0"], "calibration start|stop CH"),
        (["calibration", "start", "9"], "channel 9 is out of range"),
        (["flash", "erase"], "flash save|load|defaults"),
        (["read", "0x10000"], "ADDR 0x10000 is out of range 0..65535"),
        (["read", "0xZZ"], "'0xZZ' is not a valid ADDR"),
        (["read", "REG_NOPE"], "no board-wide register is named REG_NOPE"),
        (["write", "0xF00A"], "usage: zorenc write ADDR VALUE"),
        (["write", "0xF00A", "0x100000000"], "VALUE 0x100000000 is out of range"),
        (["status", "--for", "1"], "--for goes with --watch"),
        (["status", "--watch", "--for", "0"], "--for takes seconds"),
        (["status", "--watch", "--interval", "5"], "out of range 50..10000"),
        (["status", "--watch", "--for"], "--for needs a number of seconds"),
        (["tour", "--json"], "has no --json output"),
        (["--sim", "info"], "give either --port or --sim, not both"),
    ]

    def test_refused_before_the_port_is_opened(self):
        for args, message in self.CASES:
            with self.subTest(args=args):
                result = run("--port", MISSING_PORT, *args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertIn(message, result.stderr)
                self.assertRegex(result.stderr, r"^zorenc: ")
                self.assertIn("usage: zorenc", result.stderr)

    def test_no_board_chosen(self):
        for args in (["info"], ["status", "--watch", "--for", "1"], []):
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual(result.returncode, 2)
                if args:
                    self.assertIn("no board chosen", result.stderr)
                    self.assertIn("--port NAME", result.stderr)
                    self.assertIn("--sim", result.stderr)
                else:
                    self.assertIn("no command given", result.stderr)

    def test_help(self):
        tool_help = run("--help")
        self.assertEqual(tool_help.returncode, 0)
        for command in ("info", "status", "get", "set", "clear", "calibration", "flash", "read",
                        "write", "dump", "tour"):
            self.assertRegex(tool_help.stdout, rf"\n  {command} ")
        self.assertIn("Exit status", tool_help.stdout)
        self.assertRegex(tool_help.stdout, r"1  the port or the board failed")
        self.assertRegex(tool_help.stdout, r"2  usage error")
        self.assertEqual(run("help").stdout, tool_help.stdout)
        for command in ("set", "clear", "status"):
            with self.subTest(command=command):
                by_help = run("help", command)
                by_option = run(command, "--help")
                self.assertEqual(by_help.returncode, 0)
                self.assertEqual(by_help.stdout, by_option.stdout)
                self.assertIn(f"usage: zorenc (--port NAME | --sim) [--json] [--trace] {command}",
                              by_help.stdout)
        self.assertEqual(run("help", "nope").returncode, 2)
        self.assertIn("--candidates P1,P2", run("help", "ports").stdout)

    def test_help_lists_every_setting_named_in_the_brief(self):
        listed = set(re.findall(r"^  ([a-z0-9-]+) ", run("help", "set").stdout, re.M))
        for name in ("trigger-delay", "trigger-controls", "virtual-encoder-frequency",
                     "encoder-direction", "encoder-inversion", "encoder-multi-for-analog",
                     "encoder-reset-value", "encoder-resolution", "positive-run",
                     "negative-run", "trg-mode", "trigger-generator", "trigger-generator-roll",
                     "trigger-output-mode", "trigger-position0", "trigger-position1",
                     "trigger-pulse-width", "index-trigger-last-index",
                     "index-trigger-position"):
            self.assertIn(name, listed)


def settings_from_help():
    """(name, key, values) of each setting, as the tool's own help lists them."""
    text = run("help", "get").stdout.split("\nSettings")[1]
    rows = []
    for line in text.splitlines()[2:]:
        m = re.match(r"  (\S+)\s{2,}(\[?[A-Z]+(?: INDEX)?\]?)?\s{2,}(.*)$", line)
        if m:
            rows.append((m.group(1), m.group(2) or "", m.group(3)))
    return rows


class CommandsTests(BoardCase):
    """Each command against a zorenc-sim process, human and JSON output."""

    sim_options = ("--inputs", "0x55")

    def test_info(self):
        info = self.json("info")
        self.assertEqual(info["port"], self.board.port)
        self.assertEqual(info["firmware_version"], 1.5)
        self.assertEqual(info["logic_version"], 2.02)
        for key in ("encoder_resolution", "trg_mode", "positive_run", "negative_run"):
            self.assertIn(key, info)
        human = self.tool("info").stdout
        self.assertNotIn("connected", human)
        self.assertRegex(human, r"(?m)^firmware-version\s+1\.5$")
        self.assertRegex(human, r"(?m)^logic-version\s+2\.02$")

    def test_status(self):
        status = self.json("status")
        self.assertEqual([c["channel"] for c in status["channels"]], [0, 1, 2, 3])
        for channel in status["channels"]:
            self.assertEqual(set(channel), {"channel", "position", "trigger_count",
                                            "trigger_error_count", "direction"})
        self.assertEqual(status["inputs"], [1, 0, 1, 0, 1, 0, 1])
        lines = self.tool("status").stdout.splitlines()
        self.assertEqual(lines[0].split(), ["channel", "position", "triggers", "errors",
                                            "direction"])
        self.assertEqual([line.split()[0] for line in lines[1:5]], ["0", "1", "2", "3"])
        self.assertEqual(lines[-1].split(), ["state", "1", "0", "1", "0", "1", "0", "1"])

    # (setting, key, values, fields expected back, raw register check or None)
    ROUND_TRIPS = [
        ("trigger-delay", ["0"], ["1.5"], {"value": 1.5}, (0x000A, 150)),
        ("trigger-delay", ["1"], ["0.29"], {"value": 0.29}, (0x010A, 29)),
        ("trigger-delay", ["2"], ["-1.239"], {"value": -1.23}, (0x020A, 0xFFFFFF85)),
        ("trigger-pulse-width", ["2"], ["-2.5"], {"value": -2.5}, (0x0209, 0xFFFFFF06)),
        ("trigger-position0", ["1"], ["-1500"], {"value": -1500}, (0x0102, 0x80000000 - 1500)),
        ("trigger-position1", ["3"], ["2147483647"], {"value": 2147483647}, (0x0303, 0xFFFFFFFF)),
        ("encoder-reset-value", ["2"], ["-5"], {"value": -5}, (0x020B, 0x7FFFFFFB)),
        ("encoder-multi-for-analog", ["1"], ["8"], {"value": 8}, (0x0104, 8)),
        ("encoder-resolution", [], ["1.005"], {"value": 1.005}, (0xF006, 1005)),
        ("positive-run", [], ["0x10"], {"value": 16}, (0xF008, 16)),
        ("negative-run", [], ["-7"], {"value": -7}, (0xF009, 0xFFFFFFF9)),
        ("trg-mode", [], ["3"], {"value": 3}, (0xF00A, 3)),
        ("virtual-encoder-frequency", ["3"], ["0"], {"value": 0}, (0x0403, 0)),
        ("trigger-generator", ["1"], ["0x1234", "65535"], {"upper": 0x1234, "lower": 0xFFFF},
         (0x0101, 0x1234FFFF)),
        ("trigger-generator-roll", ["2"], ["0x12345678"], {"value": 0x12345678},
         (0x0201, 0x12345678)),
        ("trigger-output-mode", ["0"], ["2"], {"value": 2}, (0x0008, 2)),
        ("trigger-controls", ["2"], ["0x40000400"],
         {"word": 0x40000400, "nibble2": 4, "bit30": 1, "bit31": 0}, (0x0200, 0x40000400)),
        # Fields packed by the library: N2CODE 4 stores 2, which reads back.
        ("trigger-controls", ["3"], ["15", "2", "4", "15", "0", "0", "3", "1", "0"],
         {"word": 0x4300F22F, "nibble0": 15, "nibble1": 2, "nibble2": 2, "nibble6": 3},
         (0x0300, 0x4300F22F)),
        ("index-trigger-last-index", ["0"], ["17"], {"value": 17}, (0x000C, 17)),
        ("index-trigger-position", ["3", "5"], ["-1"], {"value": -1, "index": 5},
         (0x0315, 0x7FFFFFFF)),
        ("encoder-direction", ["3"], ["1"], {"value": 1}, (0x0307, 1)),
        # Number forms: signed hex, a full unsigned word shown signed, an explicit sign.
        ("trigger-position0", ["2"], ["-0x10"], {"value": -16}, (0x0202, 0x7FFFFFF0)),
        ("positive-run", [], ["0xFFFFFFFF"], {"value": -1}, (0xF008, 0xFFFFFFFF)),
        ("trigger-delay", ["3"], ["+1e-2"], {"value": 0.01}, (0x030A, 1)),
    ]

    def test_set_reads_back_and_get_agrees(self):
        for name, key, values, fields, (address, raw) in self.ROUND_TRIPS:
            with self.subTest(setting=name, values=values):
                after_set = self.json("set", name, *key, *values)
                self.assertEqual(after_set["setting"], name)
                for field, value in fields.items():
                    self.assertEqual(after_set[field], value)
                if key:
                    self.assertEqual(after_set["channel"], int(key[0]))
                after_set.pop("note", None)  # -1.239 is stored as -1.23
                self.assertEqual(self.json("get", name, *key), after_set)
                self.assertEqual(self.json("read", hex(address))["raw"], raw)

    def test_values_read_as_people_write_them(self):
        self.assertRegex(self.tool("set", "trigger-delay", "1", "100").stdout, r"\b100\n")
        self.assertIn('"value": 150}',
                      self.tool("--json", "set", "trigger-pulse-width", "3", "150").stdout)
        cut = self.tool("set", "trigger-delay", "1", "0.299")
        self.assertRegex(cut.stdout, r"\b0\.29\n")
        self.assertIn("note: 0.299 is stored as 0.29 (trigger-delay is kept in hundredths)",
                      cut.stderr)
        self.assertEqual(self.json("set", "trigger-delay", "1", "0.299")["note"],
                         "0.299 is stored as 0.29 (trigger-delay is kept in hundredths)")
        self.assertNotIn("e+", self.tool("config", "save", "-").stdout)

    def test_inversion_is_the_direction_register(self):
        self.tool("set", "encoder-inversion", "2", "1")
        self.assertEqual(self.json("get", "encoder-direction", "2")["value"], 1)
        self.tool("set", "encoder-direction", "2", "0")
        self.assertEqual(self.json("get", "encoder-inversion", "2")["value"], 0)

    def test_micrometre_setter_reads_back_the_position(self):
        after = self.json("set", "trigger-position0-micrometer", "1", "1000", "4", "20")
        self.assertEqual(after, {"setting": "trigger-position0", "channel": 1, "value": 200})

    def test_every_listed_setting_can_be_read(self):
        rows = settings_from_help()
        self.assertGreaterEqual(len(rows), 25)
        for name, key, values in rows:
            if values.startswith("set only"):
                continue
            with self.subTest(setting=name):
                args = {"": [], "[CH]": ["1"], "CH": ["1"], "CH INDEX": ["1", "7"],
                        "[INPUT]": ["6"]}[key]
                if "get: MULTIPLIER PERIOD" in values:
                    args += ["4", "20"]
                reading = self.json("get", name, *args)
                self.assertEqual(reading["setting"], name)
                if key == "[INPUT]":
                    self.assertEqual(reading["input"], 6)
                if name == "di-state":
                    self.assertEqual(reading["value"], 1)  # inputs 0x55: bit 6 set

    def test_get_without_channel_reads_all(self):
        self.tool("set", "trigger-delay", "3", "2.25")
        readings = self.json("get", "trigger-delay")
        self.assertEqual([r["channel"] for r in readings], [0, 1, 2, 3])
        self.assertEqual(readings[3]["value"], 2.25)
        self.assertEqual(len(self.json("get", "di-state")), 7)
        lines = self.tool("get", "trigger-delay").stdout.splitlines()
        self.assertEqual(lines[0].split(), ["channel", "trigger-delay"])
        self.assertEqual(lines[4].split(), ["3", "2.25"])
        # Numbers aligned to the right: every line as wide as the header.
        self.assertEqual({len(line) for line in lines}, {len(lines[0])})

    def wait_for(self, condition, seconds=5):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return True
            time.sleep(0.05)
        return False

    def test_clear(self):
        ch = "1"
        for args in (["encoder-reset-value", ch, "0"], ["trigger-position0", ch, "100"],
                     ["trigger-position1", ch, "-100"], ["encoder-direction", ch, "0"],
                     ["virtual-encoder-frequency", ch, "20000"]):
            self.tool("set", *args)
        try:
            self.assertTrue(self.wait_for(
                lambda: self.json("get", "trigger-count", ch)["value"] >= 1))
        finally:
            self.tool("set", "virtual-encoder-frequency", ch, "0")
        self.assertGreater(self.json("get", "encoder-position", ch)["value"], 100)

        cleared = self.json("clear", "encoder-position", ch)
        self.assertEqual(cleared, {"cleared": "encoder-position", "channel": 1})
        self.assertEqual(self.json("get", "encoder-position", ch)["value"], 0)
        self.assertEqual(self.tool("clear", "trigger-count", ch).stdout,
                         "cleared trigger-count of channel 1\n")
        self.assertEqual(self.json("get", "trigger-count", ch)["value"], 0)
        for target in ("all", "positions", "triggers", "errors", "inputs"):
            with self.subTest(target=target):
                self.assertEqual(self.json("clear", target), {"cleared": target})
        self.assertEqual(self.json("clear", "di-count", "6"), {"cleared": "di-count", "input": 6})
        self.assertEqual(self.json("clear", "trigger-error-count"),
                         {"cleared": "trigger-error-count"})

    def test_flash(self):
        self.tool("set", "trg-mode", "5")
        self.assertEqual(self.json("flash", "save"), {"flash": "save"})
        self.tool("set", "trg-mode", "9")
        self.assertEqual(self.tool("flash", "load").stdout, "settings loaded from flash\n")
        self.assertEqual(self.json("get", "trg-mode")["value"], 5)
        self.assertEqual(self.json("flash", "defaults"), {"flash": "defaults"})
        self.assertEqual(self.json("get", "trg-mode")["value"], 0)

    def test_calibration(self):
        self.assertEqual(self.json("calibration", "start", "2"),
                         {"calibration": "start", "channel": 2})
        self.assertEqual(self.tool("calibration", "stop", "2").stdout,
                         "calibration stopped on channel 2\n")

    def test_read_and_write(self):
        for address in ("0xF000", "61440", "REG_FIRMWARE_VERSION"):
            with self.subTest(address=address):
                self.assertEqual(self.json("read", address),
                                 {"address": 0xF000, "register": "REG_FIRMWARE_VERSION",
                                  "raw": 150, "value": 1.5})
        self.assertEqual(self.json("read", "0x050E"),
                         {"address": 0x050E, "register": "REG_ENC_POSITION", "channel": 2,
                          "raw": self.json("read", "0x050E")["raw"],
                          "value": self.json("get", "encoder-position", "2")["value"]})
        human = self.tool("read", "0xF001").stdout.splitlines()
        self.assertEqual(human[1].split(), ["0xF001", "REG_LOGIC_VERSION", "0x000000CA", "2.02"])

        written = self.json("write", "0xF00A", "7")
        self.assertEqual(written["register"], "REG_TRG_MODE")
        self.assertEqual(written["value"], 7)
        self.assertEqual(self.json("get", "trg-mode")["value"], 7)
        self.tool("write", "0x0009", "-150")
        self.assertEqual(self.json("get", "trigger-pulse-width", "0")["value"], -1.5)

    def test_refused_register_access_is_a_board_error(self):
        refused = self.tool("write", "0xF000", "1", expect=1)
        self.assertIn("cannot write 0x00000001 to register 0xF000 (REG_FIRMWARE_VERSION)",
                      refused.stderr)
        self.assertIn("(ZORENC_STATUS)", refused.stderr)
        self.assertIn("written only", self.tool("read", "0xF003", expect=1).stderr)
        self.assertIn("not in the register map", self.tool("read", "0x0006", expect=1).stderr)

    def test_dump(self):
        self.tool("set", "trigger-delay", "2", "-0.5")
        entries = self.json("dump")
        self.assertEqual(len(entries), 74)  # 11 x 4 channel-block, 24 global, 6 board-wide
        addresses = [e["address"] for e in entries]
        self.assertEqual(addresses, sorted(addresses))
        names = {e["register"] for e in entries}
        self.assertFalse(names & {"REG_SAVE_FLASH", "REG_CLEAR", "REG_ENC_CALIBRATION",
                                  "REG_IDX_TRG_POSITION"})
        by_name = {(e["register"], e.get("channel")): e for e in entries}
        self.assertEqual(by_name[("REG_TRG_DELAY", 2)]["value"], -0.5)
        self.assertEqual(by_name[("REG_FIRMWARE_VERSION", None)]["value"], 1.5)
        self.assertEqual(by_name[("REG_DI_STATE", None)]["value"], [1, 0, 1, 0, 1, 0, 1])
        self.assertEqual(len(self.tool("dump").stdout.splitlines()), 75)
        self.assertEqual(len(self.json("dump", "--all")), 74 + 4 * 240)

    def test_options_anywhere(self):
        expected = self.json("get", "trigger-delay", "0")
        for args in (["get", "--json", "trigger-delay", "0"],
                     ["get", "trigger-delay", "0", "--json"]):
            with self.subTest(args=args):
                self.assertEqual(json.loads(self.tool(*args).stdout), expected)
        # --port=NAME, after --json (the helper above puts --port first).
        result = run("--json", "--port=" + self.board.port, "get", "trigger-delay", "0")
        self.assertEqual((result.returncode, json.loads(result.stdout)), (0, expected),
                         result.stderr)

    def test_trace(self):
        result = self.tool("--trace", "--json", "get", "trigger-delay", "0")
        self.assertEqual(json.loads(result.stdout)["setting"], "trigger-delay")
        frames = re.findall(r"\] (tx|rx)((?: [0-9A-F]{2})+)$", result.stderr, re.M)
        self.assertEqual([d for d, _ in frames], ["tx", "rx"])
        self.assertTrue(frames[0][1].startswith(" 02 52 0A 00"))  # 'R', address 0x000A
        self.assertTrue(frames[0][1].endswith(" 03"))
        self.assertNotIn("] tx", self.tool("get", "trigger-delay", "0").stderr)


def start_watch(port_args, seconds):
    """zorenc --json status --watch on the given port for so many seconds."""
    return subprocess.Popen([TOOL, *port_args, "--json", "status", "--watch", "--for", seconds],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def end_watch(watch):
    """Ends a watch that is still running and closes its pipes."""
    if watch.poll() is None:
        watch.kill()
        watch.wait(timeout=5)
    watch.stdout.close()
    watch.stderr.close()


class FailuresTests(unittest.TestCase):
    """The port or the board fails: exit status 1 with the reason."""

    def assert_refreshes(self, watch):
        ready, _, _ = select.select([watch.stdout], [], [], 5)
        self.assertTrue(ready, "no refresh within 5 s")

    def test_missing_port(self):
        result = run("--port", MISSING_PORT, "info")
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "")
        self.assertEqual(result.stderr, f"zorenc: cannot open {MISSING_PORT}: no such device\n")

    def test_not_a_serial_device(self):
        result = run("--port", "/dev/null", "info")
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot open /dev/null", result.stderr)

    def test_silent_board_times_out(self):
        board = SimBoard("--silent")
        try:
            for extra in (["--trace"], ["--json"]):
                with self.subTest(extra=extra):
                    started = time.monotonic()
                    result = run("--port", board.port, *extra, "info", timeout=10)
                    elapsed = time.monotonic() - started
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(result.stdout, "")
                    self.assertIn("no reply from the board within 1000 ms (ZORENC_ERR_TIMEOUT)",
                                  result.stderr)
                    self.assertIn(board.port, result.stderr)
                    self.assertGreaterEqual(elapsed, 0.9)
                    self.assertLess(elapsed, 2.5)
                    if extra == ["--trace"]:
                        self.assertRegex(result.stderr, r"\] tx 02 52 00 F0")  # firmware version
                        self.assertNotIn("] rx", result.stderr)
        finally:
            board.stop()

    def test_watch_waits_for_a_port_that_is_gone(self):
        # Unplugged and plugged back in: the watch announces both on stderr
        # and goes on; unplugged for good, --for ends it with "is gone".
        link = os.path.join(os.getcwd(), "zorenc-watch-port")
        board = SimBoard("--link", link)
        watch = start_watch(["--port", link], "6")
        try:
            self.assert_refreshes(watch)
            board.process.send_signal(signal.SIGUSR1)
            time.sleep(1.5)
            board.process.send_signal(signal.SIGUSR2)
            time.sleep(1.5)
            board.process.send_signal(signal.SIGUSR1)
            self.assertEqual(watch.wait(timeout=10), 1)
            stderr = watch.stderr.read()
            frames = [json.loads(line) for line in watch.stdout.read().splitlines()]
        finally:
            end_watch(watch)
            board.stop()
        gone = f"zorenc: the port {link} is gone; waiting for it to come back"
        self.assertEqual(stderr.count(gone), 2, stderr)
        self.assertIn(f"zorenc: the port {link} is back\n", stderr)
        self.assertRegex(stderr, f"the port {re.escape(link)} is gone; check the cable")
        self.assertNotIn("ZORENC_ERR_TIMEOUT", stderr)
        back = [f["elapsed"] for f in frames if f["elapsed"] > 2.5]
        self.assertTrue(back, "no refresh after the port came back")

    def test_watch_finds_a_port_given_by_identity_under_its_new_name(self):
        # --port auto: the board comes back on another port (an adapter
        # plugged into another socket); the watch resolves it again there.
        first = os.path.join(os.getcwd(), "zorenc-watch-first")
        second = os.path.join(os.getcwd(), "zorenc-watch-second")
        board = SimBoard("--link", first)
        other = None
        watch = start_watch(["--port", "auto", "--candidates", f"{first},{second}"], "7")
        try:
            self.assert_refreshes(watch)
            board.stop()
            time.sleep(1)
            other = SimBoard("--link", second)
            self.assertEqual(watch.wait(timeout=15), 0)
            stderr = watch.stderr.read()
        finally:
            end_watch(watch)
            board.stop()
            if other is not None:
                other.stop()
        self.assertIn(f"zorenc: the port {first} is gone; waiting for it to come back", stderr)
        self.assertIn(f"zorenc: the port {second} is back\n", stderr)

    def test_network_ports_say_why_they_did_not_open(self):
        for name, reason in [
            ("rfc2217://127.0.0.1:1", "connection refused by 127.0.0.1:1"),
            ("socket://no-such-host.invalid:4001", "cannot resolve host no-such-host.invalid"),
            ("socket://127.0.0.1", "not a network port name"),
            ("socket://[::1:4001", "not a network port name"),
        ]:
            with self.subTest(name=name):
                result = run("--port", name, "info")
                self.assertEqual(result.returncode, 1)
                self.assertTrue(result.stderr.startswith(f"zorenc: cannot open {name}: {reason}"),
                                result.stderr)


class LiveTests(BoardCase):
    """status --watch, the in-process board and the tour."""

    def test_watch_for_ends_by_itself(self):
        started = time.monotonic()
        result = self.tool("--json", "status", "--watch", "--for", "1", timeout=10)
        elapsed = time.monotonic() - started
        self.assertGreaterEqual(elapsed, 0.9)
        self.assertLess(elapsed, 4)
        frames = [json.loads(line) for line in result.stdout.splitlines()]
        self.assertGreaterEqual(len(frames), 3)  # every 250 ms: about 5
        times = [f["elapsed"] for f in frames]
        self.assertEqual(times, sorted(times))
        self.assertGreaterEqual(times[-1], 0.9)
        self.assertEqual(len(frames[-1]["channels"]), 4)
        # The port was closed and can be opened again at once.
        self.assertEqual(self.json("info")["port"], self.board.port)

    def test_watch_without_terminal_prints_each_refresh(self):
        out = self.tool("status", "--watch", "--for", "0.6", "--interval", "100").stdout
        self.assertGreaterEqual(out.count("channel  position"), 3)
        self.assertNotIn("\x1b", out)

    def test_watch_on_a_terminal_redraws_in_place(self):
        main, secondary = pty.openpty()
        watch = subprocess.Popen([TOOL, "--port", self.board.port, "status", "--watch", "--for",
                                  "0.6", "--interval", "100"], stdout=secondary,
                                 stderr=subprocess.PIPE)
        os.close(secondary)
        out = b""
        try:
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline:
                ready, _, _ = select.select([main], [], [], 0.5)
                if ready:
                    try:
                        chunk = os.read(main, 65536)
                    except OSError:  # the tool has closed the terminal
                        break
                    if not chunk:
                        break
                    out += chunk
                elif watch.poll() is not None:
                    break
            self.assertEqual(watch.wait(timeout=5), 0)
        finally:
            if watch.poll() is None:
                watch.kill()
                watch.wait(timeout=5)
            watch.stderr.close()
            os.close(main)
        text = out.decode()
        frames = text.count("channel  position")
        self.assertGreaterEqual(frames, 3)
        # Each refresh after the first moves up over the last one: title, 5
        # channel lines, a blank line and 2 input lines.
        self.assertEqual(text.count("\x1b[9A"), frames - 1)

    def test_watch_ends_on_ctrl_c(self):
        watch = subprocess.Popen([TOOL, "--port", self.board.port, "--json", "status",
                                  "--watch"], stdout=subprocess.PIPE, text=True)
        try:
            ready, _, _ = select.select([watch.stdout], [], [], 5)
            self.assertTrue(ready, "no refresh within 5 s")
            self.assertIn("channels", json.loads(watch.stdout.readline()))
            watch.send_signal(signal.SIGINT)
            self.assertEqual(watch.wait(timeout=5), 0)
            for line in watch.stdout.read().splitlines():
                json.loads(line)  # every refresh complete
        finally:
            if watch.poll() is None:
                watch.kill()
                watch.wait(timeout=5)
            watch.stdout.close()
        self.tool("info")

    def test_in_process_board(self):
        result = run("--sim", "--json", "info")
        self.assertEqual(result.returncode, 0, result.stderr)
        info = json.loads(result.stdout)
        self.assertEqual(info["firmware_version"], 1.5)
        self.assertTrue(info["port"].startswith("/dev/"))

    def test_tour(self):
        started = time.monotonic()
        result = run("--sim", "tour", "--for", "2.5", "--interval", "100", timeout=20)
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(result.returncode, 0, result.stderr)
        out = result.stdout
        self.assertRegex(out, r"(?m)^firmware-version\s+1\.5$")
        self.assertIn("$ zorenc set trigger-position0 0 500", out)
        self.assertIn("$ zorenc set virtual-encoder-frequency 0 1000", out)
        positions = [int(m) for m in re.findall(r"(?m)^\s+0\s+(-?\d+)\s+\d+\s+\d+\s+\d+$", out)]
        self.assertGreaterEqual(len(positions), 5)
        self.assertGreater(max(positions), min(positions))
        counts = [int(m) for m in re.findall(r"(?m)^\s+0\s+-?\d+\s+(\d+)\s+\d+\s+\d+$", out)]
        self.assertEqual(counts, sorted(counts))
        self.assertGreater(counts[-1], counts[0])
        fired = re.search(r"fired (\d+) triggers?\.$", out.strip())
        self.assertIsNotNone(fired, out[-400:])
        self.assertEqual(int(fired.group(1)), counts[-1])


class ConfigTests(unittest.TestCase):
    """config save, diff and apply between two zorenc-sim processes."""

    def setUp(self):
        self.a = SimBoard()
        self.b = SimBoard()

    def tearDown(self):
        self.a.stop()
        self.b.stop()

    def config(self, board, *args, stdin=None, expect=0):
        result = subprocess.run([TOOL, "--port", board.port, "config", *args], input=stdin,
                                capture_output=True, text=True, timeout=30)
        self.assertEqual(result.returncode, expect, result.stderr)
        return result

    def test_clone_then_diff(self):
        for args in (["trigger-delay", "2", "0.29"], ["index-trigger-position", "3", "239", "-7"],
                     ["encoder-resolution", "1.005"], ["trigger-controls", "1", "0x40000412"]):
            run("--port", self.a.port, "set", *args).check_returncode()
        # zorenc --port A config save - | zorenc --port B config apply - --flash
        saver = subprocess.Popen([TOOL, "--port", self.a.port, "config", "save", "-"],
                                 stdout=subprocess.PIPE)
        applied = subprocess.run([TOOL, "--port", self.b.port, "config", "apply", "-", "--flash"],
                                 stdin=saver.stdout, capture_output=True, text=True, timeout=30)
        saver.stdout.close()
        self.assertEqual(saver.wait(timeout=30), 0)
        self.assertEqual(applied.returncode, 0, applied.stderr)
        self.assertIn("4 settings written and verified", applied.stdout)
        self.assertIn("saved to flash", applied.stdout)
        text = self.config(self.a, "save", "-").stdout
        self.assertEqual(self.config(self.b, "diff", "-", stdin=text).stdout,
                         "the board matches the file\n")
        run("--port", self.b.port, "set", "trigger-delay", "2", "0.3").check_returncode()
        diff = self.config(self.b, "--json", "diff", "-", stdin=text, expect=3).stdout
        self.assertEqual(json.loads(diff), [{"setting": "trigger-delay", "channel": 2,
                                             "index": None, "board": 0.3, "file": 0.29}])
        # Without --flash the output says the settings are not kept yet.
        self.assertIn("not yet saved to flash", self.config(self.b, "apply", "-", stdin=text).stdout)

    def test_a_board_lost_midway_reports_what_it_received(self):
        # 960 index positions to write on a paced line (seconds of traffic);
        # the board is unplugged once the third write has reached it. Every
        # write the board received is verified or unconfirmed, never "not
        # sent"; the first is verified.
        document = json.loads(self.config(self.a, "save", "-").stdout)
        document["settings"]["index-trigger-position"] = [
            [ch * 1000 + i + 1 for i in range(240)] for ch in range(4)]
        with tempfile.TemporaryDirectory(dir=os.getcwd()) as scratch:
            log = os.path.join(scratch, "requests.log")
            paced = SimBoard("--paced", "--request-log", log)
            try:
                apply = subprocess.Popen(
                    [TOOL, "--port", paced.port, "--json", "config", "apply", "-"],
                    stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                    text=True)
                apply.stdin.write(json.dumps(document))
                apply.stdin.close()
                deadline = time.monotonic() + 20
                while time.monotonic() < deadline:
                    with open(log) as f:
                        if sum(line.startswith("W ") for line in f) >= 3:
                            break
                    time.sleep(0.005)
                paced.process.send_signal(signal.SIGUSR1)
                self.assertEqual(apply.wait(timeout=30), 1)
                report = json.loads(apply.stdout.read())["error"]
                stderr = apply.stderr.read()
                apply.stdout.close()
                apply.stderr.close()
                with open(log) as f:
                    received = [line.split() for line in f if line.startswith("W ")]
            finally:
                paced.stop()
        self.assertNotIn("usage:", stderr)
        self.assertEqual(report["kind"], "board")
        self.assertEqual(report["verified"][0], "index-trigger-position 0 0")
        self.assertEqual(report["not_sent"][-1], "index-trigger-position 3 239")
        self.assertEqual(len(report["verified"]) + len(report["unconfirmed"]) +
                         len(report["not_sent"]), 960)
        self.assertEqual(report["written"], report["verified"])
        self.assertEqual(report["not_written"], report["unconfirmed"] + report["not_sent"])
        sent = set(report["verified"] + report["unconfirmed"])
        for _, address, _ in received:
            channel, index = int(address, 16) >> 8, (int(address, 16) & 0xFF) - 0x10
            self.assertIn(f"index-trigger-position {channel} {index}", sent)

    def test_faulty_files_are_refused_before_the_port_is_opened(self):
        document = json.loads(self.config(self.a, "save", "-").stdout)
        document["version"] = 7
        document["settings"]["virtual-encoder-frequency"][0] = -200
        document["settings"]["nope"] = 1
        deep = '{"format": "zorenc-board-config",\n "settings": ' + "[" * 100000
        for text, messages in [
            (json.dumps(document), ["version: 7",
                                    "virtual-encoder-frequency[0]: value -200 is out of range",
                                    "settings.nope: unknown setting", "3 faults"]),
            ('{"format":\n  "zorenc-board-config",,}', ["line 2, column 25"]),
            (deep, ["line 2, column 29: nested deeper than 16 levels"]),
            ('{"version": 1e309}', ["line 1, column 13: the number 1e309 is beyond"]),
            ('{"version": 1, "version": 1}', ['the key "version" is given twice']),
            ('{"version": 1.0, "extra": 0}', ["version: 1.0 is not", "extra: unknown key"]),
            (" " * (1 << 20) + "{}", ["larger than 1048576 bytes"]),
        ]:
            for as_json in (False, True):
                with self.subTest(messages=messages, json=as_json):
                    result = subprocess.run(
                        [TOOL, "--port", MISSING_PORT] + ["--json"] * as_json +
                        ["config", "apply", "-"],
                        input=text, capture_output=True, text=True, timeout=15)
                    self.assertEqual(result.returncode, 2, result.stderr)
                    # The faults are the file's: no usage line follows them.
                    self.assertNotIn("usage:", result.stderr)
                    error = json.loads(result.stdout)["error"] if as_json else None
                    said = ("\n".join(error["faults"] + [error["message"]]) if as_json
                            else result.stderr)
                    for message in messages:
                        self.assertIn(message, said)

    def test_extra_decimals_in_a_file_are_cut_with_a_warning(self):
        document = json.loads(self.config(self.a, "save", "-").stdout)
        document["settings"]["trigger-delay"][0] = 0.295
        diff = self.config(self.a, "--json", "diff", "-", stdin=json.dumps(document), expect=3)
        self.assertIn("stdin: warning: settings.trigger-delay[0]: 0.295 is stored as 0.29 "
                      "(trigger-delay is kept in hundredths)", diff.stderr)
        self.assertEqual(json.loads(diff.stdout)[0]["file"], 0.295)

    def test_other_firmware_needs_force(self):
        document = json.loads(self.config(self.a, "save", "-").stdout)
        document["board"]["firmware_version"] = 1.49
        document["settings"]["trg-mode"] = 6
        text = json.dumps(document)
        refused = self.config(self.b, "apply", "-", stdin=text, expect=1)
        self.assertIn("firmware 1.49", refused.stderr)
        self.assertIn('"value": 0', run("--port", self.b.port, "--json", "get", "trg-mode").stdout)
        self.config(self.b, "apply", "-", "--force", stdin=text)
        self.assertIn('"value": 6', run("--port", self.b.port, "--json", "get", "trg-mode").stdout)


if __name__ == "__main__":
    groups = sys.argv[1:] or None
    unittest.main(argv=[sys.argv[0], "-v", *(groups or [])])
