"""Captures of a board's traffic in pcapng files, the format of
``zorenc --capture``: open them in Wireshark with the ``zorenc.lua``
dissector, or replay them with ``zorenc-sim --replay``.

::

    with zorenc.Board("COM3") as board, board.capture("session.pcapng"):
        board.read(0xF000)

The capture is written by the companion library (see :mod:`zorenc._tools`);
a capture that cannot start or stop raises the :class:`ToolsError` subclass
of the companion's error kind (:class:`ToolsUsageError` for a file that
cannot be written, :class:`ToolsBoardError` when writing it failed).
"""

from __future__ import annotations

import contextlib
import os
from typing import TYPE_CHECKING, Any, Dict, Iterator, Optional, Union, cast

from ._tools import ToolsError

if TYPE_CHECKING:  # pragma: no cover
    from .board import Board

#: What a capture that cannot start or stop raises (``kind`` says why).
CaptureError = ToolsError


class Capture:
    """A running capture of one board, made by :meth:`zorenc.Board.capture`."""

    def __init__(self, board: "Board", path: Union[str, "os.PathLike[str]"]) -> None:
        self._board = board
        self.path = os.fspath(path)
        self.summary: Optional[Dict[str, Any]] = None
        board._tools("ZorToolsCaptureStart", {"path": self.path, "port": board.port or "zorenc"})

    def note(self, result: int) -> None:
        """Tells the capture how the board's last call ended."""
        self._board._tools("ZorToolsCaptureNote", int(result))

    def stop(self) -> Dict[str, Any]:
        """Ends the capture: ``{"path", "requests", "replies", "annotated"}``."""
        if self.summary is None:
            self.summary = cast(Dict[str, Any], self._board._tools("ZorToolsCaptureStop"))
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
