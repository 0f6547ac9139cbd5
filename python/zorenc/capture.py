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

import os
from typing import Any, Callable, Dict, Optional, Union, cast

from ._tools import ToolsError

#: What a capture that cannot start or stop raises (``kind`` says why).
CaptureError = ToolsError

#: Calls a companion-library function on the captured board's handle:
#: ``call(name, *args)`` gives the function's result.
ToolsCall = Callable[..., Any]


class Capture:
    """A running capture of one board's frames, made by
    :meth:`zorenc.Board.capture`, which starts and stops it with the board."""

    def __init__(self, call: ToolsCall, path: Union[str, "os.PathLike[str]"], port: str) -> None:
        self._call = call
        self.path = os.fspath(path)
        self.summary: Optional[Dict[str, Any]] = None
        call("ZorToolsCaptureStart", {"path": self.path, "port": port})

    def note(self, result: int) -> None:
        """Tells the capture how the board's last call ended."""
        self._call("ZorToolsCaptureNote", int(result))

    def stop(self) -> Dict[str, Any]:
        """Ends the capture: ``{"path", "requests", "replies", "annotated"}``."""
        if self.summary is None:
            self.summary = cast(Dict[str, Any], self._call("ZorToolsCaptureStop"))
        return self.summary
