"""Loading the companion library ``zorenc_tools`` and calling it.

The companion library holds the toolkit's logic that the zorenc tool and the
bindings share (finding ports and boards, configuration files, ...).  Each of
its functions takes plain arguments (board handles, a JSON request) and
answers with one JSON document, ``{"ok": true, "result": ...}`` or
``{"ok": false, "error": {"kind": ..., "message": ..., ...}}``.  :func:`call`
turns the first into its result and the second into a :class:`ToolsError`
subclass chosen by the kind, so that the Python features built on it stay a
line or two each.

The file is ``libzorenc_tools.so`` on Linux and ``zorenc_tools_x64.dll`` or
``zorenc_tools_x32.dll`` on Windows (cdecl on both).  It is looked for at
``$ZORENC_TOOLS_LIBRARY``, else in the folder of the board library that
:func:`zorenc.load_library` loaded, else by the system's loader.  It calls
that same board library, so handles of :class:`zorenc.Board` are valid there.
"""

from __future__ import annotations

import ctypes
import json
import os
import sys
from ctypes import c_char_p, c_ssize_t, c_void_p
from typing import Any, Dict, List, Optional, Tuple

from ._library import HANDLER_TABLE, STDCALL, Library, load_first, load_library, loaded_once

#: Environment variable naming the companion library file to load.
TOOLS_LIBRARY_ENV = "ZORENC_TOOLS_LIBRARY"


class ToolsError(Exception):
    """A call of the companion library that did not succeed.

    Attributes:
        kind: ``"usage"``, ``"board"``, ``"not-found"`` or ``"internal"``.
        message: what went wrong, in words.
        details: the error document's other keys (documented per call).
        function: the C function that answered.
    """

    kind = "internal"

    def __init__(self, message: str, details: Optional[Dict[str, Any]] = None,
                 function: Optional[str] = None):
        self.message = message
        self.details: Dict[str, Any] = dict(details or {})
        self.function = function
        super().__init__(f"{function}: {message}" if function else message)

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        return (type(self), (self.message, self.details, self.function))


class ToolsUsageError(ToolsError, ValueError):
    """A malformed request or value; nothing was done."""

    kind = "usage"


class ToolsBoardError(ToolsError, OSError):
    """The port or the board failed.

    A configuration apply that failed (``details["reason"]`` "write" or
    "flash") lists every setting that differed in one of :attr:`verified`,
    :attr:`unconfirmed` and :attr:`not_sent`.  ``details["written"]`` is
    :attr:`verified` and ``details["not_written"]`` is :attr:`unconfirmed`
    followed by :attr:`not_sent`: the keys of earlier releases, kept for one
    more release.
    """

    kind = "board"

    def _labels(self, key: str) -> List[str]:
        return [str(label) for label in self.details.get(key) or []]

    @property
    def verified(self) -> List[str]:
        """Settings written and read back equal ("trigger-delay 2")."""
        return self._labels("verified")

    @property
    def unconfirmed(self) -> List[str]:
        """Settings sent whose outcome is unknown (no reply, a malformed or
        refused one, a read-back that failed or differed): the board may or
        may not hold them; read them again, or apply again."""
        return self._labels("unconfirmed")

    @property
    def not_sent(self) -> List[str]:
        """Settings that were to be written and were not sent."""
        return self._labels("not_sent")


class ToolsNotFoundError(ToolsError, LookupError):
    """Nothing matched what was asked for, or more than one thing did."""

    kind = "not-found"


class ToolsInternalError(ToolsError):
    """The companion library failed in a way it did not foresee."""

    kind = "internal"


_KINDS = {cls.kind: cls for cls in (ToolsUsageError, ToolsBoardError, ToolsNotFoundError,
                                      ToolsInternalError)}


def tools_file_name() -> str:
    """The file name of the companion library this platform and interpreter load."""
    if sys.platform == "win32":
        return "zorenc_tools_x32.dll" if STDCALL else "zorenc_tools_x64.dll"
    if sys.platform == "darwin":
        return "libzorenc_tools.dylib"
    return "libzorenc_tools.so"


def _candidates(board: Library) -> Tuple[str, ...]:
    env = os.environ.get(TOOLS_LIBRARY_ENV)
    if env:
        return (env,)
    name = tools_file_name()
    found: List[str] = []
    folder = os.path.dirname(os.path.abspath(board.path)) if os.path.dirname(board.path) else ""
    if folder and os.path.exists(os.path.join(folder, name)):
        found.append(os.path.join(folder, name))
    found.append(name)
    return tuple(found)


class ToolsLibrary:
    """The loaded companion library; :meth:`call` calls one of its functions."""

    path: str

    def __init__(self, board: Library):
        self.board = board
        # cdecl everywhere, the 32-bit Windows build included.
        dll, self.path = load_first(_candidates(board), ctypes.CDLL,
                                    "the zorenc companion library",
                                    f"put it beside {board.path} or set {TOOLS_LIBRARY_ENV}")
        self.dll = dll
        self._free = dll.ZorToolsFree
        self._free.restype = None
        self._free.argtypes = (c_void_p,)
        self._functions: Dict[str, Any] = {}

    def _function(self, name: str) -> Any:
        function = self._functions.get(name)
        if function is None:
            try:
                function = getattr(self.dll, name)
            except AttributeError:
                raise AttributeError(f"the companion library {self.path} has no {name}") from None
            function.restype = c_void_p  # the document, freed by ZorToolsFree
            self._functions[name] = function
        return function

    def call(self, name: str, *args: Any, exclusive: bool = False) -> Any:
        """Calls a function and gives the result of its answer.

        Integers pass as board handles (``intptr_t``), dicts and lists as
        JSON requests, strings as text, None as NULL.  ``exclusive`` runs the
        call while no call of a Board runs, for functions that create or
        destroy handlers of their own (the board library's handler table
        allows nothing else meanwhile).  Raises the ToolsError subclass of the
        error's kind, MemoryError when the library had no memory to answer.
        """
        function = self._function(name)
        converted = tuple(_argument(a) for a in args)
        address: Any
        if exclusive:
            address = HANDLER_TABLE.change(function, *converted)
        else:
            with HANDLER_TABLE.call():
                address = function(*converted)
        if not address:
            raise MemoryError(f"{name}: the companion library had no memory for its answer")
        try:
            text = ctypes.string_at(address).decode("utf-8")
        finally:
            self._free(address)
        return _result(name, json.loads(text))

    def __repr__(self) -> str:
        return f"<zorenc.ToolsLibrary {self.path!r}>"


def _argument(value: Any) -> Any:
    if value is None:
        return c_char_p(None)
    if isinstance(value, bool):
        raise TypeError("booleans are not companion-library arguments; pass them in the request")
    if isinstance(value, int):
        return c_ssize_t(value)
    if isinstance(value, (dict, list)):
        return c_char_p(json.dumps(value).encode("utf-8"))
    if isinstance(value, str):
        return c_char_p(value.encode("utf-8"))
    if isinstance(value, bytes):
        return c_char_p(value)
    raise TypeError(f"cannot pass {type(value).__name__} to the companion library")


def _result(name: str, document: Any) -> Any:
    """The result of an answer document, or its error raised."""
    if not isinstance(document, dict) or "ok" not in document:
        raise ToolsInternalError(f"malformed answer {document!r}", function=name)
    if document["ok"]:
        return document.get("result")
    error = dict(document.get("error") or {})
    kind = error.pop("kind", "internal")
    message = error.pop("message", "no message")
    raise _KINDS.get(kind, ToolsInternalError)(message, error, name)


def load_tools(library: Optional[Library] = None) -> ToolsLibrary:
    """The companion library beside ``library`` (default: the board library
    :func:`zorenc.load_library` gives); loaded once and shared."""
    board = library if library is not None else load_library()
    key = "tools|" + os.environ.get(TOOLS_LIBRARY_ENV, "") + "|" + board.path
    return loaded_once(key, lambda: ToolsLibrary(board))


def call(function_name: str, *args: Any, exclusive: bool = False) -> Any:
    """Calls ``function_name`` of the default companion library and gives the
    result of its answer; see :meth:`ToolsLibrary.call`."""
    return load_tools().call(function_name, *args, exclusive=exclusive)
