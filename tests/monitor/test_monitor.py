#!/usr/bin/env python3
"""zorenc monitor over HTTP, against zorenc-sim processes.

ZORENC_TOOL names the tool, ZORENC_SIM the simulated board program and
ZORENC_WORK a folder of the build tree for the port links and request logs.
"""
import http.client
import json
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import time
import unittest

TOOL = os.environ.get("ZORENC_TOOL", "zorenc")
SIM = os.environ.get("ZORENC_SIM", "zorenc-sim")
WORK = os.environ.get("ZORENC_WORK", os.getcwd())


def stop(process, sig=signal.SIGTERM):
    """Ends a process we started; returns its exit status."""
    if process.poll() is None:
        process.send_signal(sig)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=5)
    return process.returncode


def outward_address():
    """This machine's address beyond loopback, None without one."""
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        probe.connect(("192.0.2.1", 9))  # no packet is sent
        address = probe.getsockname()[0]
    except OSError:
        return None
    finally:
        probe.close()
    return None if address.startswith("127.") else address


class Rig:
    """A simulated board with a request log, and a monitor on it."""

    def __init__(self, name, *monitor_args, sim_args=(), link="port"):
        monitor_args = monitor_args or ("--listen", "127.0.0.1:0")
        self.dir = os.path.join(WORK, f"monitor-{name}-{os.getpid()}")
        os.makedirs(self.dir, exist_ok=True)
        self.link = os.path.join(self.dir, link)
        self.log = os.path.join(self.dir, "requests.log")
        self.sim = subprocess.Popen([SIM, "--link", self.link, "--request-log", self.log,
                                     *sim_args],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.sim.stdout.readline()
        self.monitor = None
        try:
            self.start_monitor(*monitor_args)
        except Exception:
            self.close()
            raise

    def start_monitor(self, *args):
        self.monitor = subprocess.Popen([TOOL, "--port", self.link, "monitor", *args],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        ready, _, _ = select.select([self.monitor.stdout], [], [], 10)
        line = self.monitor.stdout.readline().strip() if ready else ""
        if "http://" not in line:
            stop(self.monitor)
            raise RuntimeError("the monitor printed no URL: " + line + self.monitor.stderr.read())
        self.url = line[line.index("http://"):]
        hostport = self.url[len("http://"):].split("/")[0]
        self.host, port = hostport.rsplit(":", 1)
        self.port = int(port)
        query = self.url[self.url.index("?"):] if "?" in self.url else ""
        self.token = self.get("/api/session" + query)[1]["result"]["token"]

    def stop_monitor(self):
        """Ctrl-C; returns the exit status and what was printed on stderr."""
        status = stop(self.monitor, signal.SIGINT)
        stderr = self.monitor.stderr.read()
        self.monitor.stdout.close()
        self.monitor.stderr.close()
        return status, stderr

    def close(self):
        if self.monitor is not None and self.monitor.poll() is None:
            self.stop_monitor()
        stop(self.sim)
        self.sim.stdout.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def request(self, method, path, body=None, headers=None, host="127.0.0.1"):
        connection = http.client.HTTPConnection(host, self.port, timeout=5)
        try:
            data = body if body is None or isinstance(body, bytes) else json.dumps(body)
            connection.request(method, path, body=data, headers=headers or {})
            response = connection.getresponse()
            text = response.read().decode()
            try:
                document = json.loads(text)
            except ValueError:
                document = text
            return response.status, document, response
        finally:
            connection.close()

    def get(self, path, **kwargs):
        status, document, _ = self.request("GET", path, **kwargs)
        return status, document

    def post(self, path, body, token=True, headers=None):
        headers = dict(headers or {})
        if token:
            headers["X-Zorenc-Token"] = self.token
        status, document, _ = self.request("POST", path, body, headers)
        return status, document

    def raw(self, data, timeout=5):
        """Sends bytes as they are; the answer's status (0: none), the whole
        answer, and the seconds it took."""
        started = time.monotonic()
        answer = b""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as raw:
            raw.sendall(data)
            try:
                while chunk := raw.recv(65536):
                    answer += chunk
            except OSError:  # reset after the answer, or out of time
                pass
        status = int(answer.split(b" ", 2)[1]) if answer.startswith(b"HTTP/1.1 ") else 0
        return status, answer, time.monotonic() - started

    def writes(self):
        """The write requests the board received so far."""
        with open(self.log) as log:
            return [line.split() for line in log if line.startswith("W ")]


class EventStream:
    """An open /api/events stream, read event by event."""

    def __init__(self, rig, path="/api/events"):
        self.connection = http.client.HTTPConnection("127.0.0.1", rig.port, timeout=5)
        self.connection.request("GET", path)
        self.response = self.connection.getresponse()

    def next(self, name, deadline_s=5.0):
        """The data of the next event called name."""
        deadline = time.monotonic() + deadline_s
        event = None
        while time.monotonic() < deadline:
            line = self.response.fp.readline().decode()
            if not line:
                break
            line = line.rstrip("\n")
            if line.startswith("event: "):
                event = line[7:]
            elif line.startswith("data: ") and event == name:
                return json.loads(line[6:])
        raise AssertionError(f"no '{name}' event within {deadline_s} s")

    def wait_state(self, wanted, deadline_s=5.0):
        """Reads state events until one says wanted."""
        deadline = time.monotonic() + deadline_s
        while True:
            state = self.next("state", max(0.1, deadline - time.monotonic()))["state"]
            if state == wanted:
                return
            if time.monotonic() > deadline:
                raise AssertionError(f"the state became {state}, not {wanted}")

    def close(self):
        self.connection.close()


class MonitorTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rig = Rig("main")
        # All four virtual encoders run; the line carries only the monitor's
        # requests, so they are set through it.
        for channel in range(4):
            status, doc = cls.rig.post("/api/settings/virtual-encoder-frequency",
                                       {"channel": channel, "values": [2000 + 500 * channel]})
            assert status == 200, doc

    @classmethod
    def tearDownClass(cls):
        cls.rig.close()

    def test_page_is_one_document_with_the_plotting_library_and_its_licence(self):
        status, page = self.rig.get("/")
        self.assertEqual(status, 200)
        self.assertNotRegex(page, r"<script src=|<link rel=\"stylesheet\" href=")
        self.assertIn("var uPlot=", page)
        self.assertIn("Copyright (c) 2022 Leon Sorokin", page)

    def test_pushed_samples_advance_on_every_channel(self):
        stream = EventStream(self.rig)
        try:
            stream.wait_state("connected")
            first = stream.next("samples")["positions"][-1]
            time.sleep(0.3)
            stream.next("samples")
            last = stream.next("samples")["positions"][-1]
            status = stream.next("status", 3)
        finally:
            stream.close()
        for channel in range(4):
            self.assertGreater(last[channel], first[channel], f"channel {channel}")
        self.assertEqual(len(status["channels"]), 4)
        self.assertEqual(len(status["inputs"]), 7)

    def test_sixteen_clients_get_samples(self):
        streams = [EventStream(self.rig) for _ in range(16)]
        try:
            for stream in streams:
                self.assertEqual(len(stream.next("samples")["positions"][0]), 4)
            self.assertGreaterEqual(self.rig.get("/api/stats")[1]["result"]["clients"], 16)
        finally:
            for stream in streams:
                stream.close()

    def test_trigger_delay_written_and_read_back(self):
        before = len(self.rig.writes())
        status, doc = self.rig.post("/api/settings/trigger-delay",
                                    {"channel": 1, "values": ["0.29"]})
        self.assertEqual(status, 200, doc)
        # The board keeps hundredths: 0.29 is held as 29, the decimal as
        # written (as `zorenc set`).
        self.assertEqual(doc["result"]["readings"][0]["value"], 0.29)
        self.assertEqual(self.rig.writes()[before:], [["W", "010A", "0000001D"]])
        status, doc = self.rig.get("/api/settings/trigger-delay?channel=1")
        self.assertEqual(doc["result"]["readings"][0]["text"]["value"], "0.29")

    def test_invalid_requests_write_nothing(self):
        cases = [
            ("/api/settings/trigger-delay", {"channel": 1, "values": ["abc"]}, 400),
            ("/api/settings/trigger-delay", {"channel": 1, "values": ["1e12"]}, 400),
            ("/api/settings/trigger-delay", {"channel": 9, "values": ["1"]}, 400),
            ("/api/settings/trigger-delay", {"values": ["1"]}, 400),
            ("/api/settings/trigger-delay", {"channel": 1, "values": ["1", "2"]}, 400),
            ("/api/settings/trigger-count", {"channel": 1, "values": ["1"]}, 400),
            ("/api/settings/no-such-setting", {"values": ["1"]}, 404),
            ("/api/clear", {"what": "everything"}, 400),
            ("/api/clear", {"what": "trigger-count", "channel": 4}, 400),
            ("/api/flash", {"action": "erase"}, 400),
        ]
        before = len(self.rig.writes())
        for path, body, expected in cases:
            with self.subTest(path=path, body=body):
                status, doc = self.rig.post(path, body)
                self.assertEqual(status, expected, doc)
                self.assertFalse(doc["ok"])
                self.assertTrue(doc["error"]["message"])
        status, doc, _ = self.rig.request("POST", "/api/settings/trigger-delay", None,
                                          {"X-Zorenc-Token": self.rig.token})
        self.assertEqual(status, 400)
        self.assertEqual(self.rig.writes()[before:], [])

    def test_changes_without_token_or_from_elsewhere_are_refused(self):
        port = self.rig.port
        body = {"channel": 1, "values": ["2"]}
        cases = [
            ("no token", False, {}),
            ("wrong token", False, {"X-Zorenc-Token": "0" * 64}),
            ("foreign origin", True, {"Origin": "http://evil.example"}),
            ("foreign host", True, {"Host": f"evil.example:{port}"}),
            ("rebinding host", True, {"Host": f"rebind.example:{port}",
                                      "Origin": f"http://rebind.example:{port}"}),
        ]
        before = len(self.rig.writes())
        for name, token, headers in cases:
            with self.subTest(name):
                status, doc = self.rig.post("/api/settings/trigger-delay", body, token, headers)
                self.assertEqual(status, 403, doc)
                self.assertNotIn("Access-Control-Allow-Origin", json.dumps(doc))
        status, _ = self.rig.post("/api/clear", {"what": "all"}, False)
        self.assertEqual(status, 403)
        self.assertEqual(self.rig.writes()[before:], [])

    def test_gets_write_nothing(self):
        before = len(self.rig.writes())
        for path in ["/", "/api/session", "/api/state", "/api/stats", "/api/settings",
                     "/api/settings/trigger-delay?channel=1", "/api/settings/di-count",
                     "/api/frames", "/api/config", "/api/clear", "/api/flash",
                     "/api/settings/virtual-encoder-frequency?channel=0"]:
            with self.subTest(path):
                status, _ = self.rig.get(path)
                self.assertIn(status, (200, 405))
        stream = EventStream(self.rig)
        stream.next("samples")
        stream.close()
        self.assertEqual(self.rig.writes()[before:], [])

    def test_config_download_faulty_apply_and_diff(self):
        status, doc = self.rig.get("/api/config")
        self.assertEqual(status, 200, doc)
        saved = doc["result"]
        self.assertEqual(saved["format"], "zorenc-board-config")
        status, text, response = self.rig.request("GET", "/api/config?download")
        self.assertEqual(status, 200)
        self.assertIn("attachment", response.getheader("Content-Disposition"))
        self.assertEqual(text["settings"], saved["settings"])

        # One good change and one fault: refused whole, nothing written.
        faulty = json.loads(json.dumps(saved))
        faulty["settings"]["trigger-delay"][2] = 3.5
        faulty["settings"]["trigger-delay"][3] = 1e12
        before = len(self.rig.writes())
        cases = [({"config": faulty}, "trigger-delay"), ({"text": "{\n \"format\":"}, "line 2"),
                 ({"config": saved, "flash": "yes"}, "flash")]
        for body, named in cases:
            with self.subTest(named):
                status, doc = self.rig.post("/api/config/apply", body)
                self.assertEqual(status, 400, doc)
                self.assertIn(named, json.dumps(doc["error"]))
        self.assertEqual(self.rig.writes()[before:], [])

        status, doc = self.rig.post("/api/settings/trigger-delay",
                                    {"channel": 2, "values": ["3.5"]})
        self.assertEqual(status, 200, doc)
        status, doc = self.rig.post("/api/config/diff", {"config": saved})
        self.assertEqual(status, 200, doc)
        self.assertEqual([(d["setting"], d["channel"], d["board"]) for d in doc["result"]],
                         [("trigger-delay", 2, 3.5)])
        status, doc = self.rig.post("/api/config/apply", {"config": saved})
        self.assertEqual(doc["result"]["written"], ["trigger-delay 2"], doc)
        self.assertEqual(self.rig.post("/api/config/diff", {"config": saved})[1]["result"], [])

    def test_malformed_bodies_are_refused_with_their_place(self):
        before = len(self.rig.writes())
        cases = [
            (b'{"settings": ' + b"[" * 75000, "/api/config/diff", 1, 29, "nested deeper than"),
            (b'{"config": {"version": 1e309}}', "/api/config/apply", 1, 24, "the number 1e309"),
            (b'{"what": "positions",\n "what": "all"}', "/api/clear", 2, 7,
             'the key "what" is given twice'),
            (b'{"action": "save"', "/api/flash", 1, 17, "syntax error"),
        ]
        for body, path, line, column, named in cases:
            with self.subTest(path=path, named=named):
                status, doc = self.rig.post(path, body)
                self.assertEqual(status, 400, doc)
                error = doc["error"]
                self.assertEqual((error["line"], error["column"]), (line, column), error)
                self.assertIn(f"line {line}, column {column}: {named}", error["message"])
        self.assertEqual(self.rig.writes()[before:], [])

    def test_frames_are_decoded(self):
        status, doc = self.rig.get("/api/frames")
        self.assertEqual(status, 200)
        frames = doc["result"]
        self.assertTrue(any(f["dir"] == "tx" and f["register"].startswith("REG_ENC_POSITION")
                            for f in frames))
        self.assertTrue(any(f["dir"] == "rx" and f.get("status") == 0 for f in frames))


class CaptureTests(unittest.TestCase):
    def test_capture_holds_the_monitors_frames(self):
        path = os.path.join(WORK, f"monitor-capture-{os.getpid()}", "monitor.pcapng")
        rig = Rig("capture", "--listen", "127.0.0.1:0", "--capture", path)
        try:
            time.sleep(0.3)
            status, doc = rig.get("/api/frames")  # the console still sees the frames
            self.assertTrue(any(f["dir"] == "tx" for f in doc["result"]), doc)
            self.assertEqual(rig.stop_monitor()[0], 0)
            with open(path, "rb") as capture:
                data = capture.read()
        finally:
            rig.close()
        self.assertEqual(data[:4], b"\x0a\x0d\x0d\x0a")  # a section header block
        packets, at = 0, 0
        while at + 8 <= len(data):
            kind, length = struct.unpack_from("<II", data, at)
            packets += kind == 6  # an enhanced packet block: one frame
            at += max(length, 12)
        self.assertGreater(packets, 20)


class ListenTests(unittest.TestCase):
    def test_beyond_loopback_every_request_needs_the_secret(self):
        rig = Rig("listen", "--listen", "0.0.0.0:0")
        try:
            secret = rig.url.split("?secret=")[1]
            status, doc, _ = rig.request("GET", "/api/state")
            self.assertEqual(status, 403, doc)
            status, doc, _ = rig.request("GET", "/api/state?secret=" + "0" * len(secret))
            self.assertEqual(status, 403, doc)
            status, doc, response = rig.request("GET", "/api/state?secret=" + secret)
            self.assertEqual(status, 200, doc)
            cookie = response.getheader("Set-Cookie").split(";")[0]
            # Each monitor a cookie of its own: two on one machine keep theirs.
            self.assertTrue(cookie.startswith(f"zorenc_secret_{rig.port}="), cookie)
            status, doc, _ = rig.request("GET", "/api/state", headers={"Cookie": cookie})
            self.assertEqual(status, 200, doc)
            status, stderr = rig.stop_monitor()
            self.assertEqual(status, 0)
            self.assertIn("warning", stderr)
        finally:
            rig.close()

    def test_wildcard_takes_exact_host_names_only(self):
        rig = Rig("hosts", "--listen", "0.0.0.0:0", "--allow-host", "Monitor.Example")
        try:
            secret = rig.url.split("?secret=")[1]
            machine = rig.host  # the URL names the machine
            port = rig.port
            cases = [
                (f"{machine}:{port}", 200),
                (f"{machine}.evil.example:{port}", 403),  # DNS rebinding
                (f"monitor.example:{port}", 200),  # --allow-host
                (f"monitor.example.evil:{port}", 403),
                (f"127.0.0.1:{port}", 200),  # the address reached
                (f"10.255.255.1:{port}", 403),  # not reached
            ]
            for host, expected in cases:
                with self.subTest(host):
                    status, doc = rig.get("/api/state", headers={"Host": host,
                                                                  "X-Zorenc-Secret": secret})
                    self.assertEqual(status, expected, doc)
        finally:
            rig.close()
        result = subprocess.run([TOOL, "--sim", "monitor", "--allow-host", "evil.example:80"],
                                capture_output=True, text=True, timeout=10)
        self.assertEqual(result.returncode, 2)
        self.assertIn("--allow-host", result.stderr)

    def test_default_is_loopback_on_the_fixed_port_or_a_later_one(self):
        rig = Rig("default", "--listen", "127.0.0.1:0")
        try:
            rig.stop_monitor()
            rig.start_monitor()  # no --listen
            self.assertRegex(rig.url, r"^http://127\.0\.0\.1:83[3-5]\d/$")
            address = outward_address()
            if address is None:
                self.skipTest("no address beyond loopback")
            with self.assertRaises(OSError):
                socket.create_connection((address, rig.port), timeout=2).close()
        finally:
            rig.close()


class UnplugTests(unittest.TestCase):
    def test_port_gone_pushed_and_resumed(self):
        rig = Rig("unplug")
        stream = EventStream(rig)
        try:
            stream.wait_state("connected")
            rig.sim.send_signal(signal.SIGUSR1)
            stream.wait_state("port-gone")
            rig.sim.send_signal(signal.SIGUSR2)
            stream.wait_state("connected")
            self.assertEqual(len(stream.next("samples", 3)["positions"][0]), 4)
        finally:
            stream.close()
            rig.close()


    def test_silent_board_is_not_answering_and_requests_fail_plainly(self):
        rig = Rig("silent", sim_args=("--silent",))
        stream = EventStream(rig)
        try:
            stream.wait_state("not-answering", 8)
            status, doc = rig.post("/api/settings/trigger-delay", {"channel": 1, "values": ["1"]})
            self.assertEqual(status, 502, doc)
            self.assertEqual(doc["error"]["kind"], "board")
            self.assertIn("ZORENC_ERR_TIMEOUT", doc["error"]["message"])
        finally:
            stream.close()
            rig.close()


class StopTests(unittest.TestCase):
    def test_ctrl_c_during_a_configuration_download_stops_at_once(self):
        # A download reads about 1010 registers, 2 s on a paced line: Ctrl-C
        # ends it at its next read instead of waiting for the last.
        rig = Rig("stop", sim_args=("--paced", "--paced-receive"))
        try:
            mark = os.path.getsize(rig.log)
            connection = http.client.HTTPConnection("127.0.0.1", rig.port, timeout=10)
            connection.request("GET", "/api/config")
            while os.path.getsize(rig.log) < mark + 2000:  # the download is under way
                time.sleep(0.01)
            began = time.monotonic()
            self.assertEqual(rig.stop_monitor()[0], 0)
            self.assertLess(time.monotonic() - began, 1.0)
            connection.close()
        finally:
            rig.close()


class HoldTests(unittest.TestCase):
    def test_board_holds_a_write_after_the_monitor_stopped(self):
        rig = Rig("hold")
        try:
            status, doc = rig.post("/api/settings/trigger-delay",
                                   {"channel": 1, "values": ["1.5"]})
            self.assertEqual(status, 200, doc)
            self.assertEqual(rig.stop_monitor()[0], 0)
            result = subprocess.run([TOOL, "--port", rig.link, "--json", "get", "trigger-delay",
                                     "1"], capture_output=True, text=True, timeout=15)
            self.assertEqual(json.loads(result.stdout)["value"], 1.5, result.stderr)
        finally:
            rig.close()


class HostileTests(unittest.TestCase):
    """No request and no client ends the monitor or locks others out."""

    @classmethod
    def setUpClass(cls):
        cls.rig = Rig("hostile")
        cls.host = f"Host: 127.0.0.1:{cls.rig.port}\r\n".encode()

    @classmethod
    def tearDownClass(cls):
        cls.rig.close()

    def test_malformed_requests_get_their_4xx_and_a_log_line(self):
        # Each kind of refusal has its case in http_request_test.cpp; here
        # the monitor's answers, its log and that it serves on.
        rig = Rig("malformed")
        host = f"Host: 127.0.0.1:{rig.port}\r\n".encode()
        post = b"POST /api/clear HTTP/1.1\r\n" + host + b"Connection: close\r\n"
        cases = [
            # Boost.Beast throws for a field of 64 KB: it ended the monitor.
            ("trailer of 64 KB", post + b"Transfer-Encoding: chunked\r\n\r\n0\r\nX: " +
             b"a" * 65540 + b"\r\n\r\n", 431),
            ("path not utf-8", b"GET /\xff\xfe HTTP/1.1\r\n" + host + b"\r\n", 400),
            ("body over 256 KB", post + b"Content-Length: 300000\r\n\r\n", 413),
            ("not http", b"\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 400),
        ]
        try:
            for name, data, expected in cases:
                with self.subTest(name):
                    status, answer, _ = rig.raw(data)
                    self.assertEqual(status, expected, answer[:300])
                    self.assertIn(b'"kind":"usage"', answer)
            self.assertEqual(rig.get("/api/state")[0], 200)
            self.assertIsNone(rig.monitor.poll())
            status, stderr = rig.stop_monitor()
        finally:
            rig.close()
        self.assertEqual(status, 0)
        self.assertIn("refused a request: 431", stderr)
        self.assertIn("refused a request: 400 the request target is not UTF-8", stderr)

    def test_idle_sockets_leave_room_for_a_request(self):
        request = b"GET /api/state HTTP/1.1\r\n" + self.host + b"\r\n"
        cases = [("silent", 64, b""), ("half a request", 64, request[:20]),
                 ("kept alive", 100, request)]
        for name, count, data in cases:
            with self.subTest(name):
                sockets = []
                try:
                    for _ in range(count):
                        held = socket.create_connection(("127.0.0.1", self.rig.port), timeout=5)
                        sockets.append(held)
                        if data:
                            held.sendall(data)
                        if data == request:
                            held.recv(65536)
                    started = time.monotonic()
                    status, _ = self.rig.get("/api/state")
                    self.assertEqual(status, 200)
                    self.assertLess(time.monotonic() - started, 2.0)
                finally:
                    for held in sockets:
                        held.close()

    def test_idle_and_slow_clients_are_let_go_in_seconds(self):
        silent = socket.create_connection(("127.0.0.1", self.rig.port))
        slow = socket.create_connection(("127.0.0.1", self.rig.port))
        started = time.monotonic()
        closed = {}
        try:
            slow.sendall(b"GET / HTTP/1.1\r\n")
            while len(closed) < 2 and time.monotonic() - started < 20:
                for name, held in (("silent", silent), ("slow", slow)):
                    if name in closed:
                        continue
                    try:
                        if name == "slow":
                            held.sendall(b"X-Byte: 1\r\n")  # never the end of the header
                        ready, _, _ = select.select([held], [], [], 0)
                        if ready and not held.recv(65536):
                            closed[name] = time.monotonic() - started
                    except OSError:
                        closed[name] = time.monotonic() - started
                time.sleep(0.5)
        finally:
            silent.close()
            slow.close()
        # 5 s for a request's first byte, 10 s from it to the end of its header.
        self.assertTrue(4 <= closed.get("silent", 99) <= 8, closed)
        self.assertTrue(9 <= closed.get("slow", 99) <= 14, closed)

    def test_head_continue_and_allow(self):
        for path in ["/", "/api/state", "/api/events"]:
            with self.subTest("HEAD " + path):
                status, body, response = self.rig.request("HEAD", path)
                self.assertEqual((status, body), (200, ""))
                self.assertEqual(response.getheader("Content-Type").split(";")[0],
                                 {"/": "text/html", "/api/events": "text/event-stream"}
                                 .get(path, "application/json"))
        _, page, response = self.rig.request("GET", "/")
        _, _, head = self.rig.request("HEAD", "/")
        self.assertEqual(head.getheader("Content-Length"), response.getheader("Content-Length"))
        status, _, response = self.rig.request("POST", "/api/state", {},
                                               {"X-Zorenc-Token": self.rig.token})
        self.assertEqual((status, response.getheader("Allow")), (405, "GET, HEAD"))

        # curl waits 1 s for the 100 that was never sent.
        body = b'{"what": "everything"}'
        with socket.create_connection(("127.0.0.1", self.rig.port), timeout=2) as raw:
            raw.sendall(b"POST /api/clear HTTP/1.1\r\n" + self.host +
                        b"X-Zorenc-Token: " + self.rig.token.encode() +
                        b"\r\nExpect: 100-continue\r\nContent-Length: %d\r\n\r\n" % len(body))
            self.assertEqual(raw.recv(100), b"HTTP/1.1 100 Continue\r\n\r\n")
            raw.sendall(body)
            self.assertTrue(raw.recv(65536).startswith(b"HTTP/1.1 400 "))

    def test_port_path_not_utf8_is_shown_escaped(self):
        rig = Rig("port-name", link=os.fsdecode(b"port-\xff"))
        try:
            status, doc = rig.get("/api/session")
            self.assertEqual(status, 200)
            self.assertTrue(doc["result"]["port"].endswith("port-\\xff"), doc)
            stream = EventStream(rig)
            try:
                self.assertTrue(stream.next("state")["port"].endswith("port-\\xff"))
            finally:
                stream.close()
            self.assertIsNone(rig.monitor.poll())
        finally:
            rig.close()


class WineTests(unittest.TestCase):
    """zorenc.exe under Wine: the page, a pushed sample, a write (ZORENC_WINE_RUN: the
    harness command and the program, separated by '|')."""

    def test_windows_build_serves_the_monitor(self):
        command = os.environ.get("ZORENC_WINE_RUN")
        if not command:
            self.skipTest("no Windows build")
        harness = subprocess.Popen([*command.split("|"), "--port", "COM7", "monitor", "--listen",
                                    "127.0.0.1:0"], stdout=subprocess.PIPE, text=True,
                                   start_new_session=True)
        try:
            ready, _, _ = select.select([harness.stdout], [], [], 90)  # a first prefix: ~15 s
            line = harness.stdout.readline() if ready else ""
            self.assertIn("http://127.0.0.1:", line)
            rig = Rig.__new__(Rig)
            rig.port = int(line.strip().rsplit(":", 1)[1].strip("/"))
            status, page = rig.get("/")
            self.assertEqual(status, 200)
            self.assertIn("<html", page)
            stream = EventStream(rig)
            try:
                self.assertEqual(len(stream.next("samples", 10)["positions"][0]), 4)
            finally:
                stream.close()
            rig.token = rig.get("/api/session")[1]["result"]["token"]
            status, doc = rig.post("/api/settings/trigger-delay",
                                   {"channel": 1, "values": ["0.29"]})
            self.assertEqual(doc["result"]["readings"][0]["value"], 0.29)
        finally:
            stop(harness)  # the harness ends the program, the board and Wine
            harness.stdout.close()


if __name__ == "__main__":
    unittest.main()
