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
