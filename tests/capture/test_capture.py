#!/usr/bin/env python3
"""Captures end to end: a session of the zorenc tool against zorenc-sim with
--capture, each file read by tshark through the generated dissector, the
session replayed by zorenc-sim --replay. (Python's board.capture() is tested
from the installed wheel in tests/python/test_capture.py.)
"""
import concurrent.futures
import os
import resource
import select
import shutil
import signal
import subprocess
import unittest

import zorenc
from zorenc.sim import Fault, SimCommands

TOOL = os.environ["ZORENC_TOOL"]
SIM = os.environ["ZORENC_SIM"]
LUA = os.environ["ZORENC_LUA"]
TSHARK = os.environ.get("ZORENC_TSHARK", "tshark")
DIR = os.environ["ZORENC_CAPTURE_DIR"]
os.environ.setdefault("ZORENC_QUIET", "1")  # the library's "connected!!!!!" of Board()

FIELDS = ["zorenc.kind", "zorenc.command", "zorenc.address", "zorenc.register",
          "zorenc.channel", "zorenc.value", "zorenc.status", "zorenc.checksum_ok",
          "frame.comment", "frame.interface_name", "zorenc.response_time"]

# The session: name, the tool's arguments, its exit status, a fault the board
# applies to the command's one request.
SESSION = [
    ("write", ["write", "0xF00A", "3"], 0, None),
    ("set", ["set", "trigger-delay", "1", "1.5"], 0, None),
    ("read", ["read", "0xF000"], 0, None),
    ("status", ["status"], 0, None),
    ("checksum", ["read", "0xF001"], 1, Fault.BAD_CHECKSUM),
    ("timeout", ["read", "0xF006"], 1, Fault.SILENCE),
]

# The frames each capture must hold: kind, command, address, register,
# channel, value, status, checksum correct, comment holding.
EXPECTED = {
    "write": [("request", "W", 0xF00A, "REG_TRG_MODE", None, 3, 0, True, None),
              ("reply", "W", 0xF00A, "REG_TRG_MODE", None, 3, 0, True, None)],
    "set": [("request", "W", 0x010A, "REG_TRG_DELAY", 1, 150, 0, True, None),
            ("reply", "W", 0x010A, "REG_TRG_DELAY", 1, 150, 0, True, None),
            ("request", "R", 0x010A, "REG_TRG_DELAY", 1, 0, 0, True, None),
            ("reply", "R", 0x010A, "REG_TRG_DELAY", 1, 150, 0, True, None)],
    "read": [("request", "R", 0xF000, "REG_FIRMWARE_VERSION", None, 0, 0, True, None),
             ("reply", "R", 0xF000, "REG_FIRMWARE_VERSION", None, 0x96, 0, True, None)],
    "checksum": [("request", "R", 0xF001, "REG_LOGIC_VERSION", None, 0, 0, True, None),
                 ("reply", "R", 0xF001, "REG_LOGIC_VERSION", None, 0xCA, 0, False, None)],
    "timeout": [("request", "R", 0xF006, "REG_ENC_RESOLUTION", None, 0, 0, True,
                 "ZORENC_ERR_TIMEOUT")],
}


class Sim:
    def __init__(self, *options):
        self.process = subprocess.Popen([SIM, *options], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 10)
        if not ready:
            self.stop()
            raise RuntimeError("zorenc-sim printed no port")
        self.port = self.process.stdout.readline().strip()

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        _, err = self.process.communicate(timeout=10)
        return err

    def fault(self, kind):
        with zorenc.Board(self.port) as board:
            SimCommands(board).fault(kind)


def tool(port, args, capture=None):
    extra = ["--capture", capture] if capture else []
    result = subprocess.run([TOOL, "--port", port, *extra, *args], capture_output=True,
                            text=True, timeout=20)
    # The port is the one thing a replay changes.
    return (result.returncode, result.stdout.replace(port, "PORT"),
            result.stderr.replace(port, "PORT"))


def tshark(path, *args):
    result = subprocess.run([TSHARK, "-X", "lua_script:" + LUA, "-r", path, *args],
                            capture_output=True, text=True, timeout=30)
    assert "Lua" not in result.stderr and "Lua Error" not in result.stdout, result.stderr
    return result


def frames(path):
    fields = [a for f in FIELDS for a in ("-e", f)]
    result = tshark(path, "-T", "fields", "-E", "separator=|", *fields)
    assert result.returncode == 0, result.stderr
    rows = []
    for line in result.stdout.splitlines():
        kind, command, address, register, channel, value, status, ok, comment, port, rtt = \
            line.split("|")
        rows.append({"kind": kind, "command": command, "address": int(address, 16),
                     "register": register, "channel": int(channel) if channel else None,
                     "value": int(value, 16), "status": int(status, 16),
                     "checksum_ok": ok in ("1", "True"), "comment": comment, "port": port,
                     "response_time": float(rtt) if rtt else None})
    return rows


def path_of(name):
    return os.path.join(DIR, name + ".pcapng")


class CaptureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(DIR, ignore_errors=True)
        os.makedirs(DIR)
        sim = Sim("--test-commands")
        cls.port = sim.port
        cls.live = {}
        try:
            for name, args, _, fault in SESSION:
                if fault is not None:
                    sim.fault(fault)
                cls.live[name] = tool(sim.port, args, capture=path_of(name))
        finally:
            sim.stop()
        # tshark mostly waits while it starts: run them side by side.
        names = list(EXPECTED) + ["status"]
        with concurrent.futures.ThreadPoolExecutor(4) as pool:
            decoded = pool.map(lambda name: frames(path_of(name)), names)
            experts = pool.map(lambda name: tshark(path_of(name), "-q", "-z", "expert").stdout,
                               names)
            cls.decoded = dict(zip(names, decoded))
            cls.experts = dict(zip(names, experts))

    def test_live_session_ran_as_planned(self):
        for name, _, status, _ in SESSION:
            self.assertEqual(self.live[name][0], status, (name, self.live[name]))

    def test_each_frame_decodes(self):
        for name, expected in EXPECTED.items():
            got = self.decoded[name]
            self.assertEqual(len(got), len(expected), (name, got))
            for row, want in zip(got, expected):
                kind, command, address, register, channel, value, status, ok, comment = want
                self.assertEqual(
                    (row["kind"], row["command"], row["address"], row["register"],
                     row["channel"], row["value"], row["status"], row["checksum_ok"]),
                    (kind, command, address, register, channel, value, status, ok), name)
                if comment:
                    self.assertIn(comment, row["comment"], name)
                self.assertEqual(row["port"], self.port)

    def test_status_reads_pair_up(self):
        got = self.decoded["status"]
        self.assertGreater(len(got), 10)
        self.assertEqual([r["kind"] for r in got], ["request", "reply"] * (len(got) // 2))
        self.assertTrue({"REG_ENC_POSITION", "REG_DI_STATE"} <= {r["register"] for r in got})
        self.assertTrue(all(r["status"] == 0 and r["checksum_ok"] for r in got))
        times = [r["response_time"] for r in got if r["kind"] == "reply"]
        self.assertEqual(len(times), len(got) // 2)
        self.assertTrue(all(t is not None and 0 < t < 1 for t in times))

    def test_expert_info_only_where_frames_are_bad(self):
        for name, report in self.experts.items():
            bad = "Errors" in report or "Warns" in report or "Warnings" in report
            self.assertEqual(bad, name == "checksum", (name, report))

    def test_malformed_frame_and_truncated_file(self):
        with open(path_of("read"), "rb") as f:
            data = f.read()
        header = b"zorenc\x00\x00\x00\x00\x00\x00"
        at = data.index(header) + len(header)  # the first frame's 0x02
        broken = path_of("broken")
        with open(broken, "wb") as out:
            out.write(data[:at] + b"\x55" + data[at + 1:])
        report = tshark(broken, "-q", "-z", "expert").stdout
        self.assertIn("Malformed", report)
        with open(broken, "wb") as out:
            out.write(data[:len(data) - 9])
        result = tshark(broken)
        self.assertIn("cut short", result.stderr)

    def test_replay_answers_the_session_identically(self):
        sim = Sim(*[a for name, *_ in SESSION for a in ("--replay", path_of(name))])
        try:
            replayed = {name: tool(sim.port, args) for name, args, _, _ in SESSION}
            unknown = tool(sim.port, ["read", "0xF008"])
        finally:
            err = sim.stop()
        for name, *_ in SESSION:
            self.assertEqual(replayed[name], self.live[name], name)
        self.assertEqual(unknown[0], 1)
        self.assertIn("status 0x08", unknown[2])
        self.assertIn("not recorded", unknown[2])
        self.assertIn("no request R 0xF008 0x00000000 in the capture", err)

    def test_a_full_disk_fails_the_run_and_leaves_whole_packets(self):
        # The file may not grow past 4 KiB, as on a full disk: the run fails,
        # and the packets written before still open to their end.
        path = path_of("full")

        def full_disk():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))

        result = subprocess.run([TOOL, "--sim", "--capture", path, "config", "save", "-"],
                                capture_output=True, text=True, timeout=60,
                                preexec_fn=full_disk)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("the capture is incomplete", result.stderr)
        self.assertLessEqual(os.path.getsize(path), 4096)
        self.assertGreater(len(frames(path)), 10)

    def test_replay_reads_only_regular_files(self):
        result = subprocess.run([SIM, "--replay", "/dev/zero"], capture_output=True, text=True,
                                timeout=20)
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertIn("/dev/zero is not a regular file", result.stderr)

    def test_test_commands_are_named_not_taken_for_registers(self):
        # A fault command's address holds kind 1 and count 1 (0x0101), which
        # is no trigger generator; a poke's is a register.
        path = path_of("test-commands")
        sim = Sim("--test-commands")
        try:
            with zorenc.Board(sim.port) as board, board.capture(path):
                SimCommands(board).fault(Fault.SILENCE)
                SimCommands(board).poke(0x010A, 150)
        finally:
            sim.stop()
        rows = frames(path)
        self.assertEqual([(r["command"], r["register"]) for r in rows],
                         [("F", "none (test: fault: silence x1)")] * 2 +
                         [("P", "REG_TRG_DELAY")] * 2)

    def test_unwritable_capture_is_a_usage_error_before_the_port(self):
        result = subprocess.run([TOOL, "--port", "/dev/ttyZORENC-missing0", "--capture",
                                 "/nonexistent-dir/x.pcapng", "info"],
                                capture_output=True, text=True, timeout=20)
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertIn("--capture: cannot write /nonexistent-dir/x.pcapng", result.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
