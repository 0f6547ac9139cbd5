"""The companion library (``libzorenc_tools.so``, ``zorenc_tools_x64.dll``,
``zorenc_tools_x32.dll``): configuration files and settings by name, one
implementation shared with the zorenc tool.

It is looked for at ``$ZORENC_TOOLS_LIBRARY``, then in the folder of the
board library that :mod:`zorenc._library` loaded, then by the system loader.
Every function answers with a JSON document; :func:`call` returns its result
or raises the error it names.
"""

from __future__ import annotations

import ctypes
import json
import os
import sys
import threading
from ctypes import c_char_p, c_ssize_t, c_void_p
from typing import Any, Dict, Optional

from ._library import STDCALL, Library

#: Environment variable naming the companion library file.
TOOLS_LIBRARY_ENV = "ZORENC_TOOLS_LIBRARY"

# (name, takes a board handle) of the functions used here; all cdecl.
_FUNCTIONS = (
    ("ZorToolsVersion", None),
    ("ZorToolsConfigSave", True),
    ("ZorToolsConfigCheck", False),
    ("ZorToolsConfigDiff", True),
    ("ZorToolsConfigApply", True),
    ("ZorToolsGetSetting", True),
    ("ZorToolsSetSetting", True),
)


class ToolsError(Exception):
    """An error document of the companion library: ``kind``, the message, and
    ``details`` (the error's other keys, such as ``faults`` or ``written``)."""

    kind = "internal"

    def __init__(self, message: str, details: Optional[Dict[str, Any]] = None) -> None:
        super().__init__(message)
        self.details: Dict[str, Any] = dict(details or {})


class ToolsUsageError(ToolsError, ValueError):
    """A malformed request or value (a faulty configuration): nothing was done."""

    kind = "usage"


class ToolsBoardError(ToolsError):
    """The port or the board failed."""

    kind = "board"


class ToolsNotFoundError(ToolsError, LookupError):
    kind = "not-found"


_ERRORS = {cls.kind: cls for cls in (ToolsUsageError, ToolsBoardError, ToolsNotFoundError)}


def tools_file_name() -> str:
    if sys.platform == "win32":
        return "zorenc_tools_x32.dll" if STDCALL else "zorenc_tools_x64.dll"
    return "libzorenc_tools.so"


_loaded: Dict[str, ctypes.CDLL] = {}
_lock = threading.Lock()


def _load(board_library: Optional[Library]) -> ctypes.CDLL:
    candidates = []
    if os.environ.get(TOOLS_LIBRARY_ENV):
        candidates.append(os.environ[TOOLS_LIBRARY_ENV])
    if board_library is not None:
        folder = os.path.dirname(os.path.abspath(board_library.path))
        candidates.append(os.path.join(folder, tools_file_name()))
    candidates.append(tools_file_name())
    errors = []
    with _lock:
        for candidate in candidates:
            if candidate in _loaded:
                return _loaded[candidate]
            try:
                dll = ctypes.CDLL(candidate)
            except OSError as e:
                errors.append(f"{candidate}: {e}")
                continue
            dll.ZorToolsFree.restype = None
            dll.ZorToolsFree.argtypes = (c_void_p,)
            for name, handle in _FUNCTIONS:
                function = getattr(dll, name)
                function.restype = c_void_p
                function.argtypes = ((c_ssize_t,) if handle else ()) + (
                    (c_char_p,) if handle is not None else ()
                )
            _loaded[candidate] = dll
            return dll
    raise OSError(
        "cannot load the zorenc companion library ("
        + "; ".join(errors)
        + f"); set {TOOLS_LIBRARY_ENV}"
    )


def call(function_name: str, *args: Any, board_library: Optional[Library] = None) -> Any:
    """Calls a companion function; a dict argument is sent as its JSON
    request. Returns the answer's result, or raises its error."""
    dll = _load(board_library)
    converted = [
        json.dumps(a).encode() if isinstance(a, dict) else a for a in args
    ]
    pointer = getattr(dll, function_name)(*converted)
    if not pointer:
        raise MemoryError(f"{function_name}: no memory for the answer")
    try:
        answer = json.loads(ctypes.string_at(pointer).decode("utf-8", "replace"))
    finally:
        dll.ZorToolsFree(pointer)
    if answer.get("ok"):
        return answer.get("result")
    error = dict(answer.get("error") or {})
    kind = error.pop("kind", "internal")
    message = error.pop("message", "the companion library failed")
    raise _ERRORS.get(kind, ToolsError)(f"{function_name}: {message}", error)
