#!/usr/bin/env python3
"""Every front end on a network port, through ser2net (run by ser2net_run.py).

usage: ser2net_run.py ... -- test_front_ends.py --tool ZORENC [--python VENV_PYTHON]

The tool's commands, its captures and its port listing, the monitor (which
reconnects when the server goes and comes back) and the installed Python
package, all on the URL in ZORENC_TEST_PORT.
"""
import argparse
import http.client
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
PORT = os.environ.get("ZORENC_TEST_PORT", "")


def tool(*args, timeout=30):
    return subprocess.run([ARGS.tool, *args], capture_output=True, text=True, timeout=timeout)


def control(action):
    """Asks ser2net_run.py to stop or start the server, and waits until done."""
    folder = os.environ["ZORENC_NET_CONTROL"]
    done = os.path.join(folder, "done")
    if os.path.exists(done):
        os.remove(done)
    with open(os.path.join(folder, "request"), "w") as f:
        f.write(action)
    deadline = time.monotonic() + 10
    while not os.path.exists(done):
        if time.monotonic() > deadline:
            raise TimeoutError(action)
        time.sleep(0.02)


class FrontEnds(unittest.TestCase):
    def test_the_tool_reads_writes_and_lists_a_network_port(self):
        for args in (["set", "trigger-delay", "2", "1.5"], ["get", "trigger-delay", "2"]):
            result = tool("--port", PORT, "--json", *args)
            self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(json.loads(result.stdout)["value"], 1.5)

        listed = tool("ports", "--probe", "--json", "--candidates", PORT)
        self.assertEqual(listed.returncode, 0, listed.stderr)
        probe = {p["name"]: p["probe"] for p in json.loads(listed.stdout)}
        self.assertEqual(probe[PORT]["result"], "board")

    def test_a_capture_is_named_after_the_url(self):
        with tempfile.TemporaryDirectory(dir=os.environ.get("TMPDIR")) as folder:
            path = os.path.join(folder, "net.pcapng")
            result = tool("--port", PORT, "--capture", path, "get", "trigger-delay", "0")
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(path, "rb") as f:
                self.assertIn(PORT.encode(), f.read())

    def test_a_failed_open_says_why_and_names_the_port(self):
        for name in (os.environ["ZORENC_NET_REFUSED"], "socket://127.0.0.1", "ftp://x:1"):
            with self.subTest(name=name):
                started = time.monotonic()
                result = tool("--port", name, "status")
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("cannot open " + name, result.stderr)
                self.assertLess(time.monotonic() - started, 5)

    def test_status_watch_waits_for_the_server_and_goes_on(self):
        watch = subprocess.Popen([ARGS.tool, "--port", PORT, "--json", "status", "--watch",
                                  "--for", "8"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                 text=True)
        try:
            ready, _, _ = select.select([watch.stdout], [], [], 10)
            self.assertTrue(ready, "no refresh within 10 s")
            control("stop-server")
            time.sleep(1.5)
            control("start-server")
            self.assertEqual(watch.wait(timeout=20), 0)
            stderr = watch.stderr.read()
            times = [json.loads(line)["elapsed"] for line in watch.stdout.read().splitlines()]
        finally:
            if watch.poll() is None:
                watch.kill()
                watch.wait()
            watch.stdout.close()
            watch.stderr.close()
        self.assertIn(f"zorenc: the port {PORT} is gone; waiting for it to come back", stderr)
        self.assertIn(f"zorenc: the port {PORT} is back", stderr)
        self.assertGreater(max(times), 7)  # refreshed again once the server was back

    def test_the_monitor_reconnects_when_the_server_comes_back(self):
        monitor = subprocess.Popen([ARGS.tool, "--port", PORT, "monitor", "--listen", "127.0.0.1:0"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            ready, _, _ = select.select([monitor.stdout], [], [], 10)
            line = monitor.stdout.readline() if ready else ""
            self.assertIn("http://", line)
            port = int(line.split("http://", 1)[1].split("/", 1)[0].rsplit(":", 1)[1])

            def state():
                connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
                try:
                    connection.request("GET", "/api/state")
                    return json.loads(connection.getresponse().read())["result"]["connection"]["state"]
                finally:
                    connection.close()

            def wait_for(wanted, seconds=15):
                deadline = time.monotonic() + seconds
                while (seen := state()) != wanted:
                    self.assertLess(time.monotonic(), deadline, f"still {seen}, not {wanted}")
                    time.sleep(0.1)

            wait_for("connected")
            control("stop-server")
            wait_for("port-gone")
            control("start-server")
            wait_for("connected")
        finally:
            monitor.send_signal(signal.SIGINT)
            try:
                monitor.wait(timeout=10)
            except subprocess.TimeoutExpired:
                monitor.kill()
                monitor.wait()
            monitor.stdout.close()
            monitor.stderr.close()

    def test_python_tells_a_closed_connection_from_a_silent_board(self):
        if not ARGS.python or not os.path.exists(ARGS.python):
            self.skipTest("no installed package")
        script = ("import sys, time, zorenc\n"
                  "with zorenc.Board(sys.argv[1]) as board:\n"
                  "    board.firmware_version()\n"
                  "    print('ready', flush=True)\n"
                  "    sys.stdin.readline()\n"
                  "    try:\n"
                  "        board.firmware_version()\n"
                  "    except zorenc.ZorEncPortGone as e:\n"
                  "        print('gone', isinstance(e, TimeoutError), flush=True)\n"
                  "    sys.stdin.readline()\n"
                  "    deadline = time.monotonic() + 10\n"
                  "    while True:\n"
                  "        try:\n"
                  "            board.reopen()\n"
                  "            break\n"
                  "        except zorenc.ZorEncNotOpenError:\n"
                  "            if time.monotonic() > deadline:\n"
                  "                raise\n"
                  "            time.sleep(0.1)\n"
                  "    print('back', board.firmware_version(), flush=True)\n")
        child = subprocess.Popen([ARGS.python, "-c", script, PORT], stdin=subprocess.PIPE,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            self.assertEqual(child.stdout.readline().strip(), "ready")
            control("stop-server")
            child.stdin.write("\n")
            child.stdin.flush()
            self.assertEqual(child.stdout.readline().strip(), "gone False")
            control("start-server")
            child.stdin.write("\n")
            child.stdin.flush()
            self.assertTrue(child.stdout.readline().startswith("back "))
            self.assertEqual(child.wait(timeout=20), 0, child.stderr.read())
        finally:
            if child.poll() is None:
                child.kill()
                child.wait()
            for stream in (child.stdin, child.stdout, child.stderr):
                stream.close()

    def test_the_python_package_opens_the_url(self):
        if not ARGS.python or not os.path.exists(ARGS.python):
            self.skipTest("no installed package")
        script = ("import sys, zorenc\n"
                  "with zorenc.Board(sys.argv[1]) as board:\n"
                  "    print('firmware', board.firmware_version())\n")
        result = subprocess.run([ARGS.python, "-c", script, PORT], capture_output=True, text=True,
                                timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        firmware = [line for line in result.stdout.splitlines() if line.startswith("firmware ")]
        self.assertEqual(len(firmware), 1, result.stdout)
        self.assertGreater(float(firmware[0].split()[1]), 0)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--python")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], "-v", *rest])
