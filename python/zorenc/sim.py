"""The simulated board (``zorenc-sim``) as a context manager, for tests and demos.

::

    with SimulatedBoard() as sim, zorenc.Board(sim.port) as board:
        print(board.firmware_version())          # 1.5

``zorenc-sim`` serves a pseudo-terminal (POSIX hosts only) and prints the
path to open on its first line.  With test commands on, :class:`SimCommands`
pokes registers, injects faults and sets the digital inputs over the line.
"""

from __future__ import annotations

import enum
import os
import selectors
import shutil
import signal
import subprocess
import tempfile
import time
import weakref
from typing import IO, Callable, List, Optional, Sequence, Union

from ._board import Status as Status  # the simulated board's status bytes
from .board import Board

#: Environment variable naming the zorenc-sim program.
SIM_ENV = "ZORENC_SIM"

#: The program's file name; the Linux wheel carries it in the package folder.
SIM_PROGRAM = "zorenc-sim"


class Fault(enum.IntEnum):
    """Faults the simulated board applies to its next replies."""

    NONE = 0  #: clears every fault
    SILENCE = 1  #: no reply
    DELAY = 2  #: reply after param ms, serving nothing meanwhile
    BAD_CHECKSUM = 3  #: reply checksum off by one
    STATUS = 4  #: reply status byte = param
    GARBAGE = 5  #: param bytes (default 4) of noise ahead of the reply
    DOUBLE_REPLY = 6  #: the reply sent twice
    TRUNCATE = 7  #: the last param bytes (default 1) cut off
    LATE = 8  #: reply param ms later, serving later requests meanwhile


def find_simulator(executable: Optional[Union[str, "os.PathLike[str]"]] = None) -> str:
    """The zorenc-sim program: the given path, else ``$ZORENC_SIM``, else the
    package's own copy, else the first on PATH."""
    if executable is not None:
        return os.fspath(executable)
    env = os.environ.get(SIM_ENV)
    if env:
        return env
    inside = os.path.join(os.path.dirname(os.path.abspath(__file__)), SIM_PROGRAM)
    if os.path.isfile(inside) and os.access(inside, os.X_OK):
        return inside
    found = shutil.which(SIM_PROGRAM)
    if found is None:
        raise FileNotFoundError(f"{SIM_PROGRAM} not found: pass its path or set {SIM_ENV}")
    return found


class _Captured:
    """Default of SimulatedBoard's stderr: messages kept in a temporary file."""


_CAPTURE = _Captured()


def _end(process: "subprocess.Popen[bytes]", timeout: float) -> None:
    try:
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(timeout=timeout)
    finally:
        if process.stdout is not None:
            process.stdout.close()


class SimulatedBoard:
    """Runs ``zorenc-sim`` for the duration of a ``with`` block.

    Args:
        executable: the program (default: ``$ZORENC_SIM``, then the
            package's own copy, then PATH).
        test_commands: answer the test commands of :class:`SimCommands`.
        silent: record requests and answer none.
        paced: send replies at 115200 8N1 wire speed.
        inputs: digital inputs 0-6 at power-up, as bits.
        flash: file that keeps the flash (default: in memory).
        extra_args: further options for the program.
        start_timeout: seconds to wait for the port's path.
        stderr: where the program's messages go (as for subprocess.Popen).
            By default they are kept in a temporary file and reported when
            the program fails to start.

    Attributes:
        port: the path to open (the pty slave); set once started.
        pid: the process id of the running program.
    """

    def __init__(
        self,
        executable: Optional[Union[str, "os.PathLike[str]"]] = None,
        *,
        test_commands: bool = True,
        silent: bool = False,
        paced: bool = False,
        inputs: Optional[int] = None,
        flash: Optional[Union[str, "os.PathLike[str]"]] = None,
        extra_args: Sequence[str] = (),
        start_timeout: float = 5.0,
        stderr: Union[int, IO[bytes], None, "_Captured"] = _CAPTURE,
    ) -> None:
        self.executable = find_simulator(executable)
        args: List[str] = [self.executable]
        if test_commands:
            args.append("--test-commands")
        if silent:
            args.append("--silent")
        if paced:
            args.append("--paced")
        if inputs is not None:
            args += ["--inputs", hex(inputs)]
        if flash is not None:
            args += ["--flash", os.fspath(flash)]
        args += list(extra_args)
        self.args = args
        self.start_timeout = start_timeout
        self.stderr = stderr
        self._messages: Optional[IO[bytes]] = None
        self.port: Optional[str] = None
        self._process: "Optional[subprocess.Popen[bytes]]" = None

    @property
    def pid(self) -> Optional[int]:
        return self._process.pid if self._process is not None else None

    @property
    def running(self) -> bool:
        return self._process is not None and self._process.poll() is None

    def start(self) -> "SimulatedBoard":
        """Starts the program and waits (bounded) for the path of its port."""
        if self._process is not None:
            raise RuntimeError("the simulated board is already running")
        stderr = self.stderr
        if isinstance(stderr, _Captured):
            # A file, not a pipe: a program outliving this process never
            # holds anyone's pipe open.
            self._messages = stderr = tempfile.TemporaryFile()
        self._process = subprocess.Popen(
            self.args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=stderr
        )
        # Ended at the latest when this object goes or the interpreter exits.
        weakref.finalize(self, _end, self._process, 5.0)
        try:
            self.port = self._first_line()
        except BaseException:
            self.stop()
            raise
        return self

    def _first_line(self) -> str:
        assert self._process is not None and self._process.stdout is not None
        out = self._process.stdout
        deadline = time.monotonic() + self.start_timeout
        data = b""
        with selectors.DefaultSelector() as selector:
            selector.register(out, selectors.EVENT_READ)
            while b"\n" not in data:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(f"zorenc-sim printed no port within {self.start_timeout} s")
                if not selector.select(left):
                    continue
                chunk = os.read(out.fileno(), 4096)
                if not chunk:
                    code = self._process.wait(timeout=self.start_timeout)
                    raise RuntimeError(
                        f"zorenc-sim ended with code {code} before giving a port"
                        + self._last_messages()
                    )
                data += chunk
        return data.split(b"\n", 1)[0].decode().strip()

    def _last_messages(self) -> str:
        if self._messages is None:
            return ""
        self._messages.seek(0)
        text = self._messages.read()[-2000:].decode(errors="replace").strip()
        return f": {text}" if text else ""

    def stop(self, timeout: float = 5.0) -> None:
        """Ends the program (SIGTERM to its pid, SIGKILL if it lingers)."""
        process, self._process = self._process, None
        if process is not None:
            _end(process, timeout)
        if self._messages is not None:
            self._messages.close()
            self._messages = None

    def unplug(self) -> None:
        """Takes the port away (SIGUSR1): its pty and ``--link`` go, the
        board keeps its state.  :meth:`plug` brings a new pty back.  Returns
        once they are gone (at most ``start_timeout``)."""
        self._signal(signal.SIGUSR1)
        paths = [p for p in (self.port, self._link()) if p is not None]
        self._wait_until(lambda: not any(os.path.lexists(p) for p in paths), "unplugged")

    def plug(self) -> None:
        """Plugs the port back in (SIGUSR2): a new pty; a ``--link`` given in
        ``extra_args`` follows it, :attr:`port` does not.  Returns once the
        link is back (at most ``start_timeout``)."""
        self._signal(signal.SIGUSR2)
        link = self._link()
        if link is not None:
            path: str = link
            self._wait_until(lambda: os.path.exists(path), "plugged in")

    def _link(self) -> Optional[str]:
        if "--link" in self.args[:-1]:
            return self.args[self.args.index("--link") + 1]
        return None

    def _wait_until(self, done: "Callable[[], bool]", what: str) -> None:
        deadline = time.monotonic() + self.start_timeout
        while not done():
            if time.monotonic() > deadline:
                raise RuntimeError(f"the simulated board was not {what} within "
                                   f"{self.start_timeout} s")
            time.sleep(0.01)

    def _signal(self, number: int) -> None:
        if not self.running:
            raise RuntimeError("the simulated board is not running")
        assert self._process is not None
        self._process.send_signal(number)

    def board(self, **kwargs: object) -> Board:
        """A :class:`zorenc.Board` opened on this simulated board."""
        if self.port is None:
            raise RuntimeError("the simulated board is not running")
        return Board(self.port, **kwargs)  # type: ignore[arg-type]

    def commands(self, board: Board) -> "SimCommands":
        """The test commands, sent through board (open on :attr:`port`)."""
        return SimCommands(board)

    def __enter__(self) -> "SimulatedBoard":
        return self if self._process is not None else self.start()

    def __exit__(self, *exc_info: object) -> None:
        self.stop()

    def __repr__(self) -> str:
        return f"<zorenc.sim.SimulatedBoard pid={self.pid} port={self.port!r}>"


class SimCommands:
    """The simulated board's test commands, sent through an open board
    (the board must run with test commands on)."""

    def __init__(self, board: Board) -> None:
        self.board = board

    def poke(self, address: int, value: int) -> None:
        """Stores a register value without side effects (counters, positions
        and versions included)."""
        self.board.send("P", address, value)

    def peek(self, address: int) -> int:
        """The register's value as a read would see it."""
        return self.board.send("K", address)

    def fault(self, kind: Fault, param: int = 0, count: int = 1) -> None:
        """Applies a fault to the next count requests."""
        self.board.send("F", int(kind) | count << 8, param)

    def clear_faults(self) -> None:
        self.board.send("F", Fault.NONE)

    def set_inputs(self, bits: int) -> int:
        """Sets the digital inputs (bits 0-6; rising edges count)."""
        return self.board.send("I", 0, bits)

    def reset(self) -> None:
        """Power-cycles the board: settings from flash, counters zero."""
        self.board.send("Z", 0)

    def request_count(self) -> int:
        """Number of request frames recorded (test commands excluded)."""
        return self.board.send("C", 0)

    def clear_requests(self) -> None:
        self.board.send("X", 0)

    def request(self, back: int = 0) -> bytes:
        """A recorded request frame as its raw bytes: 0 the last, 1 the one
        before, ..."""
        length = self.board.send("L", back)
        return bytes(self.board.send("Q", i, back) for i in range(length))
