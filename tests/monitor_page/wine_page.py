#!/usr/bin/env python3
"""zorenc.exe under Wine serves the monitor's page and pushes samples.

usage: wine_page.py COMMAND...
COMMAND runs `zorenc.exe --port COMn monitor --listen 127.0.0.1:0` under Wine
(tests/wine/run.sh, with a simulated board). This fetches the page, checks that
it is the embedded one, reads one pushed position sample, then stops the run.
"""
import http.client
import json
import select
import subprocess
import sys
import time

STARTUP_S = 90  # the first run makes the Wine prefix
SAMPLE_S = 20


def url_of(process):
    """The URL that the monitor prints on its first line, within a bound."""
    deadline = time.monotonic() + STARTUP_S
    while time.monotonic() < deadline:
        ready, _, _ = select.select([process.stdout], [], [], 1)
        if ready:
            line = process.stdout.readline()
            if not line:
                break
            if "http://" in line:
                return line[line.index("http://"):].strip()
    raise AssertionError("zorenc.exe printed no URL")


def check(url):
    host, port = url[len("http://"):].split("/")[0].rsplit(":", 1)
    connection = http.client.HTTPConnection(host, int(port), timeout=10)
    connection.request("GET", "/")
    response = connection.getresponse()
    page = response.read().decode()
    assert response.status == 200, response.status
    assert "<title>zorenc monitor</title>" in page, "not the monitor's page"
    assert "uPlot" in page and 'id="channel-list"' in page, "the page's parts are not embedded"
    connection.close()

    connection = http.client.HTTPConnection(host, int(port), timeout=SAMPLE_S)
    connection.request("GET", "/api/events")
    response = connection.getresponse()
    assert response.status == 200, response.status
    deadline = time.monotonic() + SAMPLE_S
    event = None
    while time.monotonic() < deadline:
        line = response.fp.readline().decode()
        if not line:
            break
        if line.startswith("event: "):
            event = line[7:].strip()
        elif line.startswith("data: ") and event == "samples":
            samples = json.loads(line[6:])
            assert len(samples["positions"][0]) == 4, samples
            connection.close()
            return samples
    raise AssertionError("no pushed sample")


def main():
    process = subprocess.Popen(sys.argv[1:], stdout=subprocess.PIPE, text=True)
    try:
        samples = check(url_of(process))
        print("page served; pushed sample:", json.dumps(samples)[:120])
        print("1 passed, 0 failed")
        return 0
    except AssertionError as error:
        print("FAILED:", error)
        return 1
    finally:
        # run.sh ends zorenc.exe, the simulated board and the prefix's wineserver.
        process.terminate()
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


if __name__ == "__main__":
    sys.exit(main())
