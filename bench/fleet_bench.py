#!/usr/bin/env python3
"""Figures of `zorenc monitor` watching several paced simulated boards (not a
test).

usage: bench/fleet_bench.py BUILD_DIR [--seconds S]

For 1, 4 and 16 boards (zorenc-sim --paced: 115200 8N1 wire timing each),
one monitor watching all of them: position samples per second per board
(lowest, median, highest, from zorenc_samples_total of /metrics) and the
monitor's CPU use (share of one core) with no client but the measurement.
With 16 boards also the time of a GET /metrics (median and worst of 50).
Targets: every one of 16 boards at least 20 samples/s; a scrape within
50 ms. Everything it makes lives in BUILD_DIR/bench-fleet and is removed.
"""
import http.client
import os
import re
import shutil
import signal
import subprocess
import sys
import time


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def scrape(port):
    started = time.perf_counter()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    connection.request("GET", "/metrics")
    text = connection.getresponse().read().decode()
    connection.close()
    return text, time.perf_counter() - started


def samples(text):
    return {m.group(1): float(m.group(2))
            for m in re.finditer(r'^zorenc_samples_total\{board="([^"]+)"\} (\S+)$', text, re.M)}


def run(build, work, boards, seconds):
    sims = []
    monitor = None
    try:
        ports = []
        for n in range(boards):
            link = os.path.join(work, f"b{n}")
            sim = subprocess.Popen([os.path.join(build, "sim", "zorenc-sim"), "--link", link,
                                    "--paced", "--paced-receive"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            sims.append(sim)
            sim.stdout.readline()
            ports += ["--port", f"b{n}={link}"]
        monitor = subprocess.Popen([os.path.join(build, "cli", "zorenc"), *ports, "monitor",
                                    "--listen", "127.0.0.1:0"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = monitor.stdout.readline()
        port = int(line.strip().rstrip("/").rsplit(":", 1)[1])
        time.sleep(2.0)  # every board sampling
        first, _ = scrape(port)
        cpu = cpu_seconds(monitor.pid)
        started = time.monotonic()
        time.sleep(seconds)
        last, _ = scrape(port)
        elapsed = time.monotonic() - started
        used = (cpu_seconds(monitor.pid) - cpu) / elapsed
        a, b = samples(first), samples(last)
        rates = sorted((b[name] - a[name]) / elapsed for name in a)
        row = (f"{boards:2d} boards: samples/s per board lowest {rates[0]:6.1f}, "
               f"median {rates[len(rates) // 2]:6.1f}, highest {rates[-1]:6.1f}; "
               f"monitor CPU {100 * used:5.1f}% of one core")
        print(row, flush=True)
        if boards == 16:
            times = sorted(scrape(port)[1] for _ in range(50))
            print(f"   GET /metrics with 16 boards ({len(last)} bytes): median "
                  f"{1000 * times[25]:.2f} ms, worst of 50 {1000 * times[-1]:.2f} ms", flush=True)
    finally:
        if monitor is not None:
            monitor.send_signal(signal.SIGINT)
            monitor.wait(timeout=10)
        for sim in sims:
            sim.terminate()
            sim.wait(timeout=10)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[2] == "--seconds" else 5.0
    work = os.path.join(build, "bench-fleet")
    os.makedirs(work, exist_ok=True)
    try:
        print(f"zorenc monitor, paced simulated boards, {seconds:.0f} s each "
              f"({os.cpu_count()} cores)")
        for boards in (1, 4, 16):
            run(build, work, boards, seconds)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
