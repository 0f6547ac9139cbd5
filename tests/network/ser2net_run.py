#!/usr/bin/env python3
"""Runs a test program against Debian's ser2net in front of the simulated board.

usage: ser2net_run.py --mode {rfc2217,tcp} --sim ZORENC_SIM --work DIR [--wine]
                      -- COMMAND [ARGS...]

Starts zorenc-sim --test-commands, then ser2net (-n -c FILE -P PIDFILE, files
in DIR) on free loopback ports with two connections to the board's pty: the one
under test (RFC 2217 or plain TCP, kickolduser) and one of the other kind, and
scripted servers that misbehave. The program finds them in its environment:

  ZORENC_TEST_PORT    the connection under test, e.g. rfc2217://127.0.0.1:PORT
  ZORENC_NET_OTHER    the server's other connection to the same board
  ZORENC_NET_REFUSED  a port where nobody listens
  ZORENC_NET_SILENT   (rfc2217) a server that accepts and never negotiates
  ZORENC_NET_CLOSE    a server that closes the connection when a request comes
  ZORENC_NET_HALF     ... after sending half a reply
  ZORENC_NET_RESET    ... resetting it (RST) after half a reply
  ZORENC_NET_CONTROL  a folder: the program writes an action to "request"
                      (stop-server, start-server, pause-server, resume-server)
                      and waits for "done"; with --wine in the Z: form

Ends everything it started by PID and exits with the program's code. Without
ser2net it exits with 77 (skipped), unless CI is set: then with 1.
"""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time

IAC, SB, SE, WILL, DO = 255, 250, 240, 251, 253
COM_PORT = 44
SKIPPED = 77


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_listening(port, process, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError("ser2net ended at start-up")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"ser2net does not listen on {port}")


class ScriptedServer:
    """Accepts connections on a free port and misbehaves as kind says."""

    def __init__(self, kind, telnet):
        self.kind, self.telnet = kind, telnet
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.connections = []
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            self.connections.append(conn)
            threading.Thread(target=self.handle, args=(conn,), daemon=True).start()

    def handle(self, conn):
        conn.settimeout(30)
        try:
            if self.kind == "silent":
                while conn.recv(1024):
                    pass
                return
            if self.telnet:
                conn.sendall(bytes([IAC, DO, COM_PORT, IAC, WILL, 0, IAC, DO, 0]))
            received, done = b"", 0
            while True:
                data = conn.recv(1024)
                if not data:
                    return
                received += data
                done, frame_end = self.scan(conn, received, done)
                if frame_end is not None:
                    break
            if self.kind in ("half", "reset"):
                conn.sendall(b"\x02\x52\x00")
                time.sleep(0.05)
            if self.kind == "reset":
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
            conn.close()
        except OSError:
            pass

    def scan(self, conn, data, i):
        """Goes on from index i: answers each COM-PORT command with its code +
        100 (telnet). Returns the index reached and that of a request frame's
        end (0x03 outside commands), or None."""
        while i < len(data):
            if self.telnet and data[i] == IAC:
                if i + 1 >= len(data):
                    return i, None
                if data[i + 1] == SB:
                    end = data.find(bytes([IAC, SE]), i)
                    if end < 0:
                        return i, None
                    body = data[i + 2:end]
                    if len(body) >= 2 and body[0] == COM_PORT:
                        conn.sendall(bytes([IAC, SB, COM_PORT, body[1] + 100]) + body[2:] +
                                     bytes([IAC, SE]))
                    i = end + 2
                    continue
                if data[i + 1] in (251, 252, 253, 254):
                    if i + 2 >= len(data):
                        return i, None
                    i += 3
                else:
                    i += 2
                continue
            if data[i] == 3:
                return i + 1, i
            i += 1
        return i, None

    def close(self):
        self.listener.close()
        for c in self.connections:
            try:
                c.close()
            except OSError:
                pass


class Ser2net:
    def __init__(self, binary, work, pty, mode, main_port, other_port):
        self.binary, self.work = binary, work
        self.config = os.path.join(work, "ser2net.yaml")
        self.pidfile = os.path.join(work, "ser2net.pid")
        self.main_port = main_port
        kinds = {"rfc2217": "telnet(rfc2217),tcp(nodelay)", "tcp": "tcp(nodelay)"}
        other = "tcp" if mode == "rfc2217" else "rfc2217"
        with open(self.config, "w") as f:
            f.write("%YAML 1.1\n---\n")
            for name, kind, port in (("main", mode, main_port), ("other", other, other_port)):
                f.write(f"connection: &{name}\n"
                        f"  accepter: {kinds[kind]},127.0.0.1,{port}\n"
                        f"  connector: serialdev(nouucplock=true),{pty},115200n81,local,nobreak\n"
                        f"  options:\n    kickolduser: true\n    chardelay: false\n")
        self.process = None
        self.start()

    def start(self):
        self.log = open(os.path.join(self.work, "ser2net.log"), "a")
        self.process = subprocess.Popen([self.binary, "-n", "-c", self.config, "-P", self.pidfile],
                                        stdout=self.log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)
        wait_listening(self.main_port, self.process)

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGCONT)
            os.kill(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                os.kill(self.process.pid, signal.SIGKILL)
                self.process.wait()
        self.process = None
        self.log.close()

    def signal(self, number):
        os.kill(self.process.pid, number)


def serve_control(folder, server, stop_event):
    request = os.path.join(folder, "request")
    actions = {
        "stop-server": server.stop,
        "start-server": server.start,
        "pause-server": lambda: server.signal(signal.SIGSTOP),
        "resume-server": lambda: server.signal(signal.SIGCONT),
    }
    while not stop_event.is_set():
        if os.path.exists(request):
            with open(request) as f:
                action = f.read().strip()
            os.remove(request)
            print(f"ser2net_run: {action}", flush=True)
            actions[action]()
            with open(os.path.join(folder, "done"), "w") as f:
                f.write(action)
        time.sleep(0.02)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=("rfc2217", "tcp"), required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command

    binary = shutil.which("ser2net") or ("/usr/sbin/ser2net" if os.path.exists("/usr/sbin/ser2net")
                                         else None)
    if binary is None:
        if os.environ.get("CI"):
            print("ser2net_run: ser2net is not installed (bash scripts/setup.sh full)")
            return 1
        print("ser2net_run: SKIPPED: ser2net is not installed (bash scripts/setup.sh full)")
        return SKIPPED

    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    control = os.path.join(work, "control")
    os.makedirs(control)
    sim = subprocess.Popen([args.sim, "--test-commands"], stdout=subprocess.PIPE,
                           stderr=open(os.path.join(work, "sim.err"), "w"),
                           stdin=subprocess.DEVNULL, text=True)
    server = None
    scripted = []
    stop_event = threading.Event()
    try:
        pty = sim.stdout.readline().strip()
        if not pty:
            print("ser2net_run: the simulated board gave no port")
            return 1
        main_port, other_port = free_port(), free_port()
        server = Ser2net(binary, work, pty, args.mode, main_port, other_port)
        scheme = {"rfc2217": "rfc2217", "tcp": "socket"}
        other = "socket" if args.mode == "rfc2217" else "rfc2217"
        telnet = args.mode == "rfc2217"
        env = dict(os.environ)
        env["ZORENC_TEST_PORT"] = f"{scheme[args.mode]}://127.0.0.1:{main_port}"
        env["ZORENC_NET_OTHER"] = f"{other}://127.0.0.1:{other_port}"
        env["ZORENC_NET_REFUSED"] = f"{scheme[args.mode]}://127.0.0.1:{free_port()}"
        kinds = ["close", "half", "reset"] + (["silent"] if telnet else [])
        for kind in kinds:
            s = ScriptedServer(kind, telnet)
            scripted.append(s)
            env[f"ZORENC_NET_{kind.upper()}"] = f"{scheme[args.mode]}://127.0.0.1:{s.port}"
        env["ZORENC_NET_CONTROL"] = windows_path(control) if args.wine else control
        controller = threading.Thread(target=serve_control, args=(control, server, stop_event),
                                      daemon=True)
        controller.start()
        print(f"ser2net_run: {env['ZORENC_TEST_PORT']} -> {pty}", flush=True)
        program = subprocess.Popen(command, env=env)
        try:
            return program.wait()
        finally:
            if program.poll() is None:
                program.terminate()
                program.wait()
    finally:
        stop_event.set()
        for s in scripted:
            s.close()
        if server is not None:
            server.stop()
        sim.terminate()
        try:
            sim.wait(5)
        except subprocess.TimeoutExpired:
            sim.kill()
            sim.wait()


if __name__ == "__main__":
    sys.exit(main())
