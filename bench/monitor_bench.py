#!/usr/bin/env python3
"""Figures of `zorenc monitor` on a paced simulated board (not a test).

usage: bench/monitor_bench.py BUILD_DIR [--seconds S]

Starts zorenc-sim --paced (115200 8N1 wire timing) and the monitor on it,
then prints: position samples per second (all four channels in each), board
transactions per second with one event stream open and with ten, and the
monitor's CPU use (share of one core) with one stream open and no requests.
Everything it makes lives in BUILD_DIR/bench-monitor and is removed.
"""
import http.client
import json
import os
import shutil
import signal
import subprocess
import sys
import threading
import time


def stream(port, stop, counts, index):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    connection.request("GET", "/api/events")
    response = connection.getresponse()
    event = None
    while not stop.is_set():
        line = response.fp.readline().decode()
        if not line:
            break
        if line.startswith("event: "):
            event = line[7:].strip()
        elif line.startswith("data: ") and event == "samples":
            counts[index] += len(json.loads(line[6:])["positions"])
    connection.close()


def stats(port):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    connection.request("GET", "/api/stats")
    result = json.loads(connection.getresponse().read())["result"]
    connection.close()
    return result


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure(port, pid, clients, seconds):
    stop = threading.Event()
    counts = [0] * clients
    threads = [threading.Thread(target=stream, args=(port, stop, counts, i))
               for i in range(clients)]
    for t in threads:
        t.start()
    time.sleep(1.0)  # streams open, first batches in
    start_counts = list(counts)
    start = stats(port)
    cpu0, t0 = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    cpu1, t1 = cpu_seconds(pid), time.monotonic()
    end = stats(port)
    received = counts[0] - start_counts[0]
    stop.set()
    for t in threads:
        t.join(timeout=10)
    elapsed = t1 - t0
    return {
        "samples_per_s": (end["samples"] - start["samples"]) / elapsed,
        "received_per_s": received / elapsed,
        "transactions_per_s": (end["transactions"] - start["transactions"]) / elapsed,
        "cpu_share": (cpu1 - cpu0) / elapsed,
    }


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = sys.argv[1]
    seconds = float(sys.argv[sys.argv.index("--seconds") + 1]) if "--seconds" in sys.argv else 5
    work = os.path.join(build, "bench-monitor")
    os.makedirs(work, exist_ok=True)
    link = os.path.join(work, "port")
    sim = subprocess.Popen([os.path.join(build, "sim", "zorenc-sim"), "--paced", "--link", link],
                           stdout=subprocess.PIPE, text=True)
    sim.stdout.readline()
    monitor = subprocess.Popen([os.path.join(build, "cli", "zorenc"), "--port", link, "monitor",
                                "--listen", "127.0.0.1:0"], stdout=subprocess.PIPE, text=True)
    try:
        url = monitor.stdout.readline().strip()
        port = int(url.rsplit(":", 1)[1].strip("/"))
        one = measure(port, monitor.pid, 1, seconds)
        ten = measure(port, monitor.pid, 10, seconds)
        print("| figure | one client | ten clients |")
        print("|---|---:|---:|")
        print(f"| position samples/s (4 channels each) | {one['samples_per_s']:.0f} "
              f"| {ten['samples_per_s']:.0f} |")
        print(f"| samples/s received by a client | {one['received_per_s']:.0f} "
              f"| {ten['received_per_s']:.0f} |")
        print(f"| board transactions/s | {one['transactions_per_s']:.0f} "
              f"| {ten['transactions_per_s']:.0f} |")
        print(f"| board transactions per position sample | "
              f"{one['transactions_per_s'] / max(one['samples_per_s'], 1e-9):.2f} "
              f"| {ten['transactions_per_s'] / max(ten['samples_per_s'], 1e-9):.2f} |")
        print(f"| monitor CPU, share of one core | {100 * one['cpu_share']:.1f}% "
              f"| {100 * ten['cpu_share']:.1f}% |")
        checks = [
            ("at least 50 position samples/s", one["samples_per_s"] >= 50),
            ("ten clients cost the board no more transactions than one (per second and "
             "per sample, within 5%)",
             ten["transactions_per_s"] <= one["transactions_per_s"] * 1.05 and
             ten["transactions_per_s"] / ten["samples_per_s"] <=
             1.05 * one["transactions_per_s"] / one["samples_per_s"]),
            ("idle CPU with one client below 5% of a core", one["cpu_share"] < 0.05),
        ]
        for text, ok in checks:
            print(f"{'ok  ' if ok else 'MISS'} {text}")
    finally:
        monitor.send_signal(signal.SIGINT)
        monitor.wait(timeout=10)
        sim.send_signal(signal.SIGTERM)
        sim.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
