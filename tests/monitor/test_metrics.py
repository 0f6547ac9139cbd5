#!/usr/bin/env python3
"""Several boards in one zorenc monitor, and its /metrics scraped by a real
Prometheus server, against zorenc-sim processes.

ZORENC_TOOL, ZORENC_SIM and ZORENC_WORK as for test_monitor.py; PROMETHEUS
and PROMTOOL name Debian's programs (empty: absent), ZORENC_RULES the alert
rules that docs/ ships.
"""
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import time
import unittest
import urllib.parse
import urllib.request

from test_monitor import SIM, TOOL, WORK, stop



def program(variable, name):
    """The program CMake found (its NOTFOUND value: none), else the one on PATH."""
    found = os.environ.get(variable, "")
    return "" if found.endswith("NOTFOUND") else found or shutil.which(name) or ""


PROMETHEUS = program("PROMETHEUS", "prometheus")
PROMTOOL = program("PROMTOOL", "promtool")
RULES = os.environ.get("ZORENC_RULES", "")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def fetch(url, data=None, headers=None):
    request = urllib.request.Request(url, data=data, headers=headers or {})
    try:
        with urllib.request.urlopen(request, timeout=5) as answer:
            return answer.status, answer.read().decode()
    except urllib.error.HTTPError as error:
        return error.code, error.read().decode()


def until(check, what, deadline_s=10.0):
    """Calls check until it gives a true value; that value."""
    deadline = time.monotonic() + deadline_s
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"{what}: not within {deadline_s} s")
        time.sleep(0.1)


class Fleet:
    """Simulated boards, one monitor watching all of them as --port NAME=LINK."""

    def __init__(self, label, names, listen=("--listen", "127.0.0.1:0")):
        self.dir = os.path.join(WORK, f"fleet-{label}-{os.getpid()}")
        os.makedirs(self.dir, exist_ok=True)
        self.sims = {}
        self.links = {}
        self.monitor = None
        try:
            for name in names:
                self.links[name] = os.path.join(self.dir, name)
                self.sims[name] = subprocess.Popen(
                    [SIM, "--link", self.links[name], "--request-log",
                     os.path.join(self.dir, name + ".log")],
                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
                self.sims[name].stdout.readline()
            ports = [arg for name in names for arg in ("--port", f"{name}={self.links[name]}")]
            self.monitor = subprocess.Popen([TOOL, *ports, "monitor", *listen],
                                            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                            text=True)
            ready, _, _ = select.select([self.monitor.stdout], [], [], 10)
            line = self.monitor.stdout.readline().strip() if ready else ""
            if "http://" not in line:
                raise RuntimeError("the monitor printed no URL: " + line)
            url = urllib.parse.urlsplit(line[line.index("http://"):])
            self.secret = urllib.parse.parse_qs(url.query).get("secret", [""])[0]
            self.url = f"http://127.0.0.1:{url.port}"
            self.token = self.get("/api/session?secret=" + self.secret)[1]["result"]["token"]
        except Exception:
            self.close()
            raise

    def get(self, path):
        status, text = fetch(self.url + path)
        try:
            return status, json.loads(text)
        except ValueError:
            return status, text

    def post(self, path, body):
        status, text = fetch(self.url + path, json.dumps(body).encode(),
                             {"X-Zorenc-Token": self.token, "Content-Type": "application/json"})
        return status, json.loads(text)

    def writes(self, name):
        with open(os.path.join(self.dir, name + ".log")) as log:
            return [line.split() for line in log if line.startswith("W ")]

    def close(self):
        if self.monitor is not None:
            stop(self.monitor, signal.SIGINT)
            self.monitor.stdout.close()
            self.monitor.stderr.close()
        for sim in self.sims.values():
            stop(sim)
            sim.stdout.close()
        shutil.rmtree(self.dir, ignore_errors=True)


class FleetTests(unittest.TestCase):
    def test_board_lists_refused_before_any_port_opens(self):
        many = [arg for n in range(17) for arg in ("--port", f"b{n}=/dev/null")]
        cases = [
            (["--port", "a=/x", "--port", "a=/y", "monitor"], "two boards are named 'a'"),
            (["--port", "a=/x", "--port", "b=/x", "monitor"], "given twice"),
            ([*many, "monitor"], "1 to 16 boards"),
            (["--port", "/x", "--port", "/y", "status"], "only monitor takes several"),
            (["--port", "a=", "monitor"], "names no port"),
        ]
        for args, message in cases:
            with self.subTest(args=args[:4]):
                done = subprocess.run([TOOL, *args], capture_output=True, text=True, timeout=10)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertIn(message, done.stderr)

    def test_each_board_at_its_own_paths(self):
        fleet = Fleet("paths", ["left", "right"])
        try:
            status, session = fleet.get("/api/session")
            self.assertEqual(status, 200)
            self.assertEqual(session["result"]["boards"], ["left", "right"])
            self.assertNotIn("board", session["result"])  # the overview's session
            self.assertEqual(fleet.get("/api/state")[0], 404)
            self.assertEqual(fleet.get("/board/nobody/api/state")[0], 404)
            status, page = fleet.get("/board/left/")
            self.assertEqual(status, 200)
            self.assertIn("<html", page)
            for name in ("left", "right"):
                status, state = fleet.get(f"/board/{name}/api/session")
                self.assertEqual(state["result"]["board"], name)
                self.assertEqual(state["result"]["port"], fleet.links[name])
            # A write goes to the board it names, and to no other.
            status, doc = fleet.post("/board/right/api/settings/trigger-delay",
                                     {"channel": 1, "values": ["12"]})
            self.assertEqual(status, 200, doc)
            until(lambda: fleet.writes("right"), "the write in right's request log", 2)
            self.assertFalse(fleet.writes("left"))
            boards = until(lambda: (lambda found: found if len(found) == 2 else None)(
                [b for b in fleet.get("/api/boards")[1]["result"]
                 if b["last_answer"] and b["firmware"]]), "both boards answered", 5)
            self.assertEqual([b["name"] for b in boards], ["left", "right"])
            self.assertEqual(boards[0]["state"]["state"], "connected")
        finally:
            fleet.close()


    def test_metrics_beyond_loopback_need_the_secret_as_bearer_and_a_known_host(self):
        fleet = Fleet("bearer", ["a"], ("--listen", "0.0.0.0:0", "--allow-host", "scraper.example"))
        try:
            bearer = {"Authorization": "Bearer " + fleet.secret}
            cases = [
                ({}, 403),
                ({"Authorization": "Bearer " + fleet.secret[:-1]}, 403),
                (bearer, 200),
                ({**bearer, "Host": "elsewhere.example:" + fleet.url.rsplit(":", 1)[1]}, 403),
                ({**bearer, "Host": "scraper.example:" + fleet.url.rsplit(":", 1)[1]}, 200),
            ]
            for headers, expected in cases:
                with self.subTest(headers=headers):
                    status, text = fetch(fleet.url + "/metrics", headers=headers)
                    self.assertEqual(status, expected, text[:200])
                    if status == 200:
                        self.assertIn('zorenc_board_up{board="a"}', text)
            # It only reads.
            status, _ = fetch(fleet.url + "/metrics", b"", {**bearer, "X-Zorenc-Token": fleet.token})
            self.assertEqual(status, 405)
        finally:
            fleet.close()


class Prometheus:
    """Debian's prometheus, scraping one target every 250 ms, its data in WORK."""

    def __init__(self, target, folder):
        self.dir = folder
        os.makedirs(self.dir, exist_ok=True)
        config = os.path.join(self.dir, "prometheus.yml")
        with open(config, "w") as file:
            file.write("global:\n  scrape_interval: 250ms\n  scrape_timeout: 200ms\n"
                       "scrape_configs:\n  - job_name: zorenc\n"
                       f"    static_configs:\n      - targets: ['{target}']\n")
        self.url = f"http://127.0.0.1:{free_port()}"
        self.log = open(os.path.join(self.dir, "log"), "w")
        self.process = subprocess.Popen(
            [PROMETHEUS, f"--config.file={config}",
             f"--storage.tsdb.path={os.path.join(self.dir, 'data')}",
             f"--web.listen-address={self.url[len('http://'):]}", "--log.level=warn"],
            stdout=subprocess.DEVNULL, stderr=self.log)
        try:
            until(self._ready, "prometheus ready", 10)
        except AssertionError:
            self.close()
            raise

    def _ready(self):
        try:
            return fetch(self.url + "/-/ready")[0] == 200
        except OSError:
            return False

    def query(self, expression):
        """{board, or (board, channel or input): (value, labels)} of an instant query."""
        status, text = fetch(self.url + "/api/v1/query?" +
                             urllib.parse.urlencode({"query": expression}))
        document = json.loads(text)
        assert status == 200 and document["status"] == "success", text
        found = {}
        for series in document["data"]["result"]:
            labels = series["metric"]
            number = labels.get("channel", labels.get("input"))
            key = labels["board"] if number is None else (labels["board"], number)
            found[key] = (float(series["value"][1]), labels)
        return found

    def close(self):
        stop(self.process)
        self.log.close()


class PrometheusTests(unittest.TestCase):
    def test_promtool_accepts_the_alert_rules(self):
        done = subprocess.run([PROMTOOL, "check", "rules", RULES], capture_output=True,
                              text=True, timeout=30)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)

    def test_three_boards_scraped_unplugged_and_back(self):
        names = ["a", "b", "c"]
        fleet = Fleet("prom", names)
        prometheus = None
        try:
            for n, name in enumerate(names):
                status, doc = fleet.post(f"/board/{name}/api/settings/virtual-encoder-frequency",
                                         {"channel": 0, "values": [1000 + 500 * n]})
                self.assertEqual(status, 200, doc)
            until(lambda: "firmware=\"1.50\"" in fleet.get("/metrics")[1], "versions read", 5)
            text = fleet.get("/metrics")[1]
            checked = subprocess.run([PROMTOOL, "check", "metrics"], input=text,
                                     capture_output=True, text=True, timeout=30)
            self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)

            prometheus = Prometheus(fleet.url[len("http://"):], os.path.join(fleet.dir, "prom"))
            up = until(lambda: (lambda found: found if len(found) == 3 else None)(
                prometheus.query("zorenc_board_up == 1")), "every board up", 15)
            self.assertEqual(set(up), set(names))
            info = prometheus.query("zorenc_board_info")
            for name in names:
                labels = info[name][1]
                # Prometheus drops a label whose value is empty (serial, here).
                self.assertEqual((labels["port"], labels["firmware"], labels["logic"],
                                  labels.get("serial")), (fleet.links[name], "1.50", "2.02", None))
            triggers = prometheus.query("zorenc_triggers_total")
            self.assertEqual(len(triggers), 12)
            self.assertTrue(all(value == 0 for value, _ in triggers.values()))
            self.assertEqual(len(prometheus.query("zorenc_digital_input")), 21)
            self.assertEqual(len(prometheus.query("zorenc_trigger_errors_total")), 12)
            self.assertEqual(len(prometheus.query("zorenc_digital_input_edges_total")), 21)
            self.assertEqual(set(prometheus.query(
                'zorenc_transactions_total{result="ok"} > 0')), set(names))

            def positions():
                found = prometheus.query('zorenc_encoder_position{channel="0"}')
                return {name: found[(name, "0")][0] for name in names if (name, "0") in found}

            # a unplugged: its link drops to 0, b and c keep counting.
            fleet.sims["a"].send_signal(signal.SIGUSR1)
            until(lambda: prometheus.query('zorenc_board_up{board="a"} == 0'), "a down", 10)
            before = positions()
            until(lambda: all(positions()[n] > before[n] for n in ("b", "c")),
                  "b and c count on", 5)
            self.assertEqual(set(prometheus.query("zorenc_board_up == 1")), {"b", "c"})

            fleet.sims["a"].send_signal(signal.SIGUSR2)
            until(lambda: prometheus.query('zorenc_board_up{board="a"} == 1'), "a back", 10)
            self.assertGreaterEqual(
                prometheus.query('zorenc_reconnects_total{board="a"}')["a"][0], 1)
        finally:
            if prometheus is not None:
                prometheus.close()
            fleet.close()


if __name__ == "__main__":
    if "PrometheusTests" in sys.argv[1:] and not (PROMETHEUS and PROMTOOL):
        if os.environ.get("CI"):
            sys.exit("prometheus and promtool are required in CI (scripts/setup.sh full)")
        print("skipped: prometheus or promtool is not installed (scripts/setup.sh full)")
        sys.exit(77)
    unittest.main()
