"""Captures of a board's traffic in pcapng files, the format of
``zorenc --capture``: open them in Wireshark with the ``zorenc.lua``
dissector, or replay them with ``zorenc-sim --replay``.

::

    with zorenc.Board("COM3") as board, board.capture("session.pcapng"):
        board.read(0xF000)

The capture is written by the companion library (``libzorenc_tools.so``,
``zorenc_tools_x64.dll``, ``zorenc_tools_x32.dll``), looked for at
``$ZORENC_TOOLS_LIBRARY``, then beside the board library, then by the
system loader.
"""

from __future__ import annotations

import contextlib
import ctypes
import json
import os
import struct
import sys
import threading
from ctypes import c_char_p, c_ssize_t, c_uint32, c_void_p
from typing import TYPE_CHECKING, Any, Dict, Iterator, List, Optional, Union

if TYPE_CHECKING:  # pragma: no cover
    from .board import Board

#: Environment variable naming the companion library file.
TOOLS_ENV = "ZORENC_TOOLS_LIBRARY"


class CaptureError(Exception):
    """A capture could not start or stop; ``kind`` is the companion
    library's error kind ("usage", "not-found", "board", "internal")."""

    def __init__(self, kind: str, message: str) -> None:
        super().__init__(message)
        self.kind = kind


def _file_names() -> List[str]:
    if sys.platform == "win32":
        return ["zorenc_tools_x32.dll" if struct.calcsize("P") == 4 else "zorenc_tools_x64.dll"]
    return ["libzorenc_tools.so", "libzorenc_tools.so.1"]


_tools: Dict[str, ctypes.CDLL] = {}
_tools_lock = threading.Lock()


def _load(board_library: str) -> ctypes.CDLL:
    folder = os.path.dirname(os.path.abspath(board_library))
    candidates = [os.environ[TOOLS_ENV]] if os.environ.get(TOOLS_ENV) else []
    candidates += [os.path.join(folder, name) for name in _file_names()] + _file_names()
    with _tools_lock:
        for candidate in candidates:
            if candidate in _tools:
                return _tools[candidate]
        errors = []
        for candidate in candidates:
            try:
                dll = ctypes.CDLL(candidate)
            except OSError as e:
                errors.append(f"{candidate}: {e}")
                continue
            for name, args in (
                ("ZorToolsCaptureStart", [c_ssize_t, c_char_p]),
                ("ZorToolsCaptureNote", [c_ssize_t, c_uint32]),
                ("ZorToolsCaptureStop", [c_ssize_t]),
            ):
                fn = getattr(dll, name)
                fn.argtypes = args
                fn.restype = c_void_p
            dll.ZorToolsFree.argtypes = [c_void_p]
            dll.ZorToolsFree.restype = None
            _tools[candidate] = dll
            return dll
        raise OSError(
            "cannot load the zorenc companion library (" + "; ".join(errors) + f"); set {TOOLS_ENV}"
        )


def _call(dll: ctypes.CDLL, name: str, *args: object) -> Any:
    document = getattr(dll, name)(*args)
    if not document:
        raise MemoryError(f"{name}: the companion library is out of memory")
    try:
        answer = json.loads(ctypes.string_at(document).decode("utf-8"))
    finally:
        dll.ZorToolsFree(document)
    if not answer.get("ok"):
        error = answer.get("error", {})
        raise CaptureError(error.get("kind", "internal"), f"{name}: {error.get('message', '?')}")
    return answer["result"]


class Capture:
    """A running capture of one board, made by :meth:`zorenc.Board.capture`."""

    def __init__(self, board: "Board", path: Union[str, "os.PathLike[str]"]) -> None:
        self._board = board
        self._handle = board.handle  # kept: closing the board ends the capture
        self._dll = _load(board.library.path)
        self.path = os.fspath(path)
        self.summary: Optional[Dict[str, Any]] = None
        request = json.dumps({"path": self.path, "port": board.port or "zorenc"})
        _call(self._dll, "ZorToolsCaptureStart", self._handle, request.encode("utf-8"))

    def note(self, result: int) -> None:
        """Tells the capture how the board's last call ended."""
        _call(self._dll, "ZorToolsCaptureNote", self._handle, result)

    def stop(self) -> Dict[str, Any]:
        """Ends the capture: ``{"path", "requests", "replies", "annotated"}``."""
        if self.summary is None:
            self.summary = _call(self._dll, "ZorToolsCaptureStop", self._handle)
        return self.summary


@contextlib.contextmanager
def capture(board: "Board", path: Union[str, "os.PathLike[str]"]) -> Iterator[Capture]:
    """Captures the board's frames to path for the block; the board's own
    frame callbacks are set aside meanwhile and put back after it."""
    running = Capture(board, path)
    board._capture = running
    try:
        yield running
    finally:
        board._capture = None
        try:
            running.stop()
        finally:
            board._restore_callbacks()
