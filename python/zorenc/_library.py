"""Loading the native zorenc library and declaring its 82 functions.

The library is ``libzorenc_x64.so`` on Linux, and ``zorenc_x64.dll`` or
``zorenc_x32.dll`` on Windows by the interpreter's bitness.  It is taken from
the path given, else from ``$ZORENC_LIBRARY``, else from the package's own
folder (where a wheel puts it), else from the system's search; see
:func:`library_path` for the file that was loaded.  The 32-bit DLL
uses stdcall and exports decorated names (``_ZorEncOpen@8``); the number after
the at-sign is the byte count of the arguments, which :func:`argument_bytes`
computes from the prototype, so the one table below serves every build.
"""

from __future__ import annotations

import contextlib
import ctypes
import ctypes.util
import os
import struct
import sys
import threading
from ctypes import (
    POINTER,
    c_bool,
    c_char_p,
    c_double,
    c_int32,
    c_ssize_t,
    c_ubyte,
    c_uint16,
    c_uint32,
    c_void_p,
)
from typing import (
    Any,
    Callable,
    Dict,
    Iterator,
    List,
    Optional,
    Sequence,
    Tuple,
    TypeVar,
    Union,
    cast,
)

#: Environment variable naming the library file to load.
LIBRARY_ENV = "ZORENC_LIBRARY"

#: Environment variable that silences the library's fixed lines on stdout
#: ("connected!!!!!", the close_handle() lines).  The package sets it to "1"
#: before it loads the library unless it is set already: set it to "0" (in
#: the environment, or in os.environ at any time before the call) to keep
#: the lines.  The library reads it at each open and close.
QUIET_ENV = "ZORENC_QUIET"

#: The package's own folder: a wheel carries its platform's library here.
PACKAGE_DIR = os.path.dirname(os.path.abspath(__file__))

PathArg = Union[str, "os.PathLike[str]"]

#: True on 32-bit Windows, where the library and its callbacks use stdcall.
STDCALL = sys.platform == "win32" and struct.calcsize("P") == 4

_R = TypeVar("_R")
_L = TypeVar("_L")  # a loaded library

HANDLE = c_ssize_t  # ZorEncHandle: intptr_t
RESULT = c_uint32  # ZorEncResult


class TriggerControlsStruct(ctypes.Structure):
    """The C ``TriggerControls`` word: 32 bits, bit 0 the least significant."""

    _fields_ = [
        ("nibble0", c_uint32, 4),
        ("nibble1", c_uint32, 4),
        ("nibble2", c_uint32, 4),
        ("nibble3", c_uint32, 4),
        ("nibble4", c_uint32, 4),
        ("nibble5", c_uint32, 4),
        ("nibble6", c_uint32, 4),
        ("reserved", c_uint32, 2),
        ("bit30", c_uint32, 1),
        ("bit31", c_uint32, 1),
    ]


#: ``void (ZORENC_CALL *)(const unsigned char *data, int32_t length)``
FUNCTYPE = ctypes.WINFUNCTYPE if STDCALL else ctypes.CFUNCTYPE  # type: ignore[attr-defined]
EventCallback = FUNCTYPE(None, POINTER(c_ubyte), c_int32)

_I = c_int32
_PI = POINTER(c_int32)
_D = c_double
_PD = POINTER(c_double)
_PU32 = POINTER(c_uint32)
_BYTES = POINTER(c_ubyte)  # unsigned char * (buffers and the abort flag)
_CTRL = POINTER(TriggerControlsStruct)

Prototype = Tuple[str, object, Tuple[object, ...]]

#: (name, result type, argument types) of every exported function, in the
#: order of the header.  A ``None`` result is ``void``.
PROTOTYPES: Tuple[Prototype, ...] = (
    # handler table
    ("ZorEncCreateHandler", HANDLE, ()),
    ("ZorEncIsValidHandle", c_bool, (HANDLE,)),
    ("ZorEncCloseHandler", None, (HANDLE,)),
    ("ZorEncRelease", None, ()),
    # connection and register transactions
    ("ZorEncOpen", c_bool, (HANDLE, c_char_p)),
    ("ZorEncClose", c_int32, (HANDLE,)),
    ("ZorEncIsOpen", c_bool, (HANDLE,)),
    ("ZorEncSendData", RESULT, (HANDLE, c_ubyte, c_uint16, c_uint32, _PU32)),
    ("ZorEncSendOnly", RESULT, (HANDLE, c_ubyte, c_uint16, c_uint32)),
    ("ZorEncSendRead", RESULT, (HANDLE, c_uint16, c_uint32, _PU32)),
    ("ZorEncSendWrite", RESULT, (HANDLE, c_uint16, c_uint32, _PU32)),
    # raw stream reads and callbacks
    ("ZorEncPurge", c_bool, (HANDLE,)),
    ("ZorEncRead", RESULT, (HANDLE, _BYTES, _I, _I, _BYTES)),
    ("ZorEncReadUntil", RESULT, (HANDLE, _BYTES, c_ubyte, _BYTES)),
    ("ZorEncRegisterSendEvent", RESULT, (HANDLE, EventCallback)),
    ("ZorEncRegisterRecvEvent", RESULT, (HANDLE, EventCallback)),
    ("ZorEncRegisterErrorEvent", RESULT, (HANDLE, EventCallback)),
    # encoder channels
    ("ZorEncGetEncoderPosition", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncGetEncoderPositionForAnalog", RESULT, (HANDLE, _I, _I, _D, _PI)),
    ("ZorEncGetEncoderPositionMicrometer", RESULT, (HANDLE, _I, _I, _D, _PI)),
    ("ZorEncGetEncoderDirection", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetEncoderDirection", RESULT, (HANDLE, _I, _I)),
    ("ZorEncGetEncoderInversion", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetEncoderInversion", RESULT, (HANDLE, _I, _I)),
    ("ZorEncGetEncoderMultiForAnalog", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetEncoderMultiForAnalog", RESULT, (HANDLE, _I, _I)),
    ("ZorEncGetEncoderResetValue", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetEncoderResetValue", RESULT, (HANDLE, _I, _I)),
    ("ZorEncStartCalibration", RESULT, (HANDLE, _I)),
    ("ZorEncStopCalibration", RESULT, (HANDLE, _I)),
    # device settings and maintenance
    ("ZorEncGetEncoderResolution", RESULT, (HANDLE, _PD)),
    ("ZorEncSetEncoderResolution", RESULT, (HANDLE, _D)),
    ("ZorEncGetFirmwareVersion", RESULT, (HANDLE, _PD)),
    ("ZorEncGetLogicVersion", RESULT, (HANDLE, _PD)),
    ("ZorEncGetPositiveRun", RESULT, (HANDLE, _PI)),
    ("ZorEncSetPositiveRun", RESULT, (HANDLE, _I)),
    ("ZorEncGetNegativeRun", RESULT, (HANDLE, _PI)),
    ("ZorEncSetNegativeRun", RESULT, (HANDLE, _I)),
    ("ZorEncGetTrgMode", RESULT, (HANDLE, _PI)),
    ("ZorEncSetTrgMode", RESULT, (HANDLE, _I)),
    ("ZorEncGetVirtualEncoderFrequency", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetVirtualEncoderFrequency", RESULT, (HANDLE, _I, _I)),
    ("ZorEncLoadDefaultParameters", RESULT, (HANDLE,)),
    ("ZorEncSaveFlash", RESULT, (HANDLE,)),
    ("ZorEncLoadFlash", RESULT, (HANDLE,)),
    # trigger channels
    ("ZorEncGetTriggerControls", RESULT, (HANDLE, _I, _CTRL)),
    ("ZorEncSetTriggerControls", RESULT, (HANDLE, _I, _CTRL)),
    ("ZorEncSetTriggerControlsEachTrigger", RESULT, (HANDLE, _I) + (_I,) * 9),
    ("ZorEncGetTriggerGenerator", RESULT, (HANDLE, _I, _PI, _PI)),
    ("ZorEncSetTriggerGenerator", RESULT, (HANDLE, _I, _I, _I)),
    ("ZorEncGetTriggerGeneratorRoll", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetTriggerGeneratorRoll", RESULT, (HANDLE, _I, _I)),
    ("ZorEncGetTriggerOutputMode", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetTriggerOutputMode", RESULT, (HANDLE, _I, _I)),
    ("ZorEncGetTriggerPosition0", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetTriggerPosition0", RESULT, (HANDLE, _I, _I)),
    ("ZorEncGetTriggerPosition1", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetTriggerPosition1", RESULT, (HANDLE, _I, _I)),
    ("ZorEncSetTriggerPositionMicrometer0", RESULT, (HANDLE, _I, _I, _I, _D, _I)),
    ("ZorEncSetTriggerPositionMicrometer1", RESULT, (HANDLE, _I, _I, _I, _D, _I)),
    ("ZorEncGetTriggerPulseWidth", c_double, (HANDLE, _I, _PD)),
    ("ZorEncSetTriggerPulseWidth", RESULT, (HANDLE, _I, _D)),
    ("ZorEncGetTriggerDelay", RESULT, (HANDLE, _I, _PD)),
    ("ZorEncSetTriggerDelay", RESULT, (HANDLE, _I, _D)),
    ("ZorEncGetIndexTriggerLastIndex", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncSetIndexTriggerLastIndex", RESULT, (HANDLE, _I, _I)),
    ("ZorEncGetIndexTriggerPosition", RESULT, (HANDLE, _I, _I, _PI)),
    ("ZorEncSetIndexTriggerPosition", RESULT, (HANDLE, _I, _I, _I)),
    # digital inputs, counters and clears
    ("ZorEncGetDI", RESULT, (HANDLE,) + (_PI,) * 7),
    ("ZorEncGetDIState", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncGetDiCount", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncGetTriggerCount", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncGetTriggerErrorCount", RESULT, (HANDLE, _I, _PI)),
    ("ZorEncClearAll", RESULT, (HANDLE,)),
    ("ZorEncClearDiAll", RESULT, (HANDLE,)),
    ("ZorEncClearDiCount", RESULT, (HANDLE, _I)),
    ("ZorEncClearTriggerAll", RESULT, (HANDLE,)),
    ("ZorEncClearTriggerCount", RESULT, (HANDLE, _I)),
    ("ZorEncClearEncoderPositionAll", RESULT, (HANDLE,)),
    ("ZorEncClearEncoderPosition", RESULT, (HANDLE, _I)),
    ("ZorEncClearErrorCountAll", RESULT, (HANDLE,)),
    ("ZorEncClearErrorCount", RESULT, (HANDLE, _I)),
)


def argument_bytes(argtypes: Sequence[object]) -> int:
    """Bytes of arguments on the 32-bit stdcall stack: 8 for a double, 4 for
    anything else (handles, integers, pointers; narrower integers are
    widened to 4)."""
    return sum(8 if t is c_double else 4 for t in argtypes)


def export_name(name: str, argtypes: Sequence[object]) -> str:
    """The name under which this build's library exports a function."""
    return f"_{name}@{argument_bytes(argtypes)}" if STDCALL else name


def library_file_name() -> str:
    """The file name of the library this platform and interpreter load."""
    if sys.platform == "win32":
        return "zorenc_x32.dll" if STDCALL else "zorenc_x64.dll"
    if sys.platform == "darwin":
        return "libzorenc_x64.dylib"
    return "libzorenc_x64.so"


def _candidates(path: Optional[PathArg]) -> Tuple[str, ...]:
    """The files to try, in order: the given path alone, else
    ``$ZORENC_LIBRARY`` alone, else the package's copy and the system's."""
    if path is not None:
        return (os.fspath(path),)
    env = os.environ.get(LIBRARY_ENV)
    if env:
        return (env,)
    name = library_file_name()
    found = []
    inside = os.path.join(PACKAGE_DIR, name)
    if os.path.exists(inside):
        found.append(inside)
    if sys.platform == "win32":
        # Bare names are not looked up on PATH by LoadLibraryEx here.
        located = ctypes.util.find_library(os.path.splitext(name)[0])
        if located:
            found.append(located)
    found.append(name)
    return tuple(found)


def load_first(candidates: Sequence[str], loader: Callable[[str], _L], what: str,
               hint: str) -> Tuple[_L, str]:
    """The first of candidates that loader loads, and which one it was; the
    one loader of both libraries.  OSError naming every failure otherwise."""
    errors = []
    for candidate in candidates:
        try:
            return loader(candidate), candidate
        except OSError as e:
            errors.append(f"{candidate}: {e}")
    raise OSError(f"cannot load {what} (" + "; ".join(errors) + f"); {hint}")


_loaded: Dict[str, Any] = {}
_loaded_lock = threading.Lock()


def loaded_once(key: str, make: Callable[[], _L]) -> _L:
    """What make() gave the first time for key: each library is loaded once
    per process and path, and shared."""
    with _loaded_lock:
        if key not in _loaded:
            _loaded[key] = make()
        return cast(_L, _loaded[key])


def quiet_by_default() -> None:
    """Sets ``ZORENC_QUIET=1`` unless the program or its user has set the
    variable (to anything, "0" included).  os.environ reaches the C library:
    putenv on POSIX, SetEnvironmentVariableW on Windows."""
    os.environ.setdefault(QUIET_ENV, "1")


class _DlInfo(ctypes.Structure):
    _fields_ = [
        ("dli_fname", c_char_p),
        ("dli_fbase", c_void_p),
        ("dli_sname", c_char_p),
        ("dli_saddr", c_void_p),
    ]


def _loaded_file(dll: ctypes.CDLL, symbol: str, candidate: str) -> str:
    """The absolute path of the file the loader took for candidate (which may
    be a bare name that the system's search resolved)."""
    if sys.platform == "win32":
        buffer = ctypes.create_unicode_buffer(32768)
        if ctypes.windll.kernel32.GetModuleFileNameW(
            ctypes.c_void_p(dll._handle), buffer, len(buffer)
        ):
            return buffer.value
    else:
        try:
            dladdr = ctypes.CDLL(None).dladdr
        except (OSError, AttributeError):
            dladdr = None
        if dladdr is not None:
            dladdr.argtypes = (c_void_p, POINTER(_DlInfo))
            dladdr.restype = ctypes.c_int
            info = _DlInfo()
            address = ctypes.cast(dll[symbol], c_void_p)
            if dladdr(address, ctypes.byref(info)) and info.dli_fname:
                return os.path.abspath(os.fsdecode(info.dli_fname))
    return os.path.abspath(candidate) if os.path.sep in candidate else candidate


class _HandlerTable:
    """Keeps the library's rule for its process-wide handler table: creating
    or destroying a handler overlaps no other call of the library.

    Calls count themselves in and run side by side; a change waits until no
    call runs.  A handler whose Board was garbage-collected while calls were
    running is destroyed as soon as they have ended.
    """

    def __init__(self) -> None:
        # Reentrant: a finalizer may run in a thread that holds it.
        self._cond = threading.Condition(threading.RLock())
        self._calls = 0
        self._local = threading.local()
        self._doomed: List[Tuple[Callable[[int], None], int, Dict[str, object]]] = []

    def _depth(self) -> int:
        return getattr(self._local, "depth", 0)

    def in_call(self) -> bool:
        """Whether this thread is inside a call (in a frame callback)."""
        return self._depth() > 0

    @contextlib.contextmanager
    def call(self) -> Iterator[None]:
        with self._cond:
            self._calls += 1
        self._local.depth = self._depth() + 1
        try:
            yield
        finally:
            self._local.depth -= 1
            with self._cond:
                self._calls -= 1
                if self._calls == 0:
                    self._destroy_doomed()
                    self._cond.notify_all()

    def change(self, function: Callable[..., _R], *args: object) -> _R:
        """Runs function (create, close or release) once no call runs."""
        if self.in_call():
            raise RuntimeError("boards cannot be created or closed from a frame callback")
        with self._cond:
            while self._calls:
                self._cond.wait()
            self._destroy_doomed()
            return function(*args)

    def destroy(self, close_handler: Callable[[int], None], handle: int,
                keep: Dict[str, object]) -> None:
        """Destroys a handler now, or once the running calls have ended;
        never waits (it runs from finalizers)."""
        with self._cond:
            self._doomed.append((close_handler, handle, keep))
            if self._calls == 0:
                self._destroy_doomed()

    def _destroy_doomed(self) -> None:
        while self._doomed:
            close_handler, handle, keep = self._doomed.pop()
            close_handler(handle)
            keep.clear()  # the callbacks may go once the library has forgotten them


#: The one guard of the process's handler table.
HANDLER_TABLE = _HandlerTable()


class Library:
    """The loaded native library with every function declared.

    Each function is an attribute under its C name (``lib.ZorEncOpen``) and
    in :attr:`functions`.  These are the raw C calls: they return result
    codes and raise nothing; :class:`zorenc.Board` is the Python interface.
    """

    #: The file loaded, as an absolute path (see :func:`library_path`).
    path: str
    #: The ctypes function of each C name.
    functions: Dict[str, Any]

    def __init__(self, path: Optional[PathArg] = None) -> None:
        quiet_by_default()
        loader = ctypes.WinDLL if STDCALL else ctypes.CDLL  # type: ignore[attr-defined]
        dll, candidate = load_first(_candidates(path), loader, "the zorenc library",
                                    f"pass its path or set {LIBRARY_ENV}")
        self.path = _loaded_file(dll, export_name("ZorEncRelease", ()), candidate)
        self.dll = dll
        self.functions = {}
        for name, restype, argtypes in PROTOTYPES:
            function = dll[export_name(name, argtypes)]
            function.restype = restype
            function.argtypes = argtypes
            self.functions[name] = function
            setattr(self, name, function)

    def release(self) -> None:
        """``ZorEncRelease``: destroys every handler of the process.

        Boards still holding a handle then name a slot that a later handler
        may take over; close them first.
        """
        HANDLER_TABLE.change(self.functions["ZorEncRelease"])

    def __repr__(self) -> str:
        return f"<zorenc.Library {self.path!r}>"


def load_library(path: Optional[PathArg] = None) -> Library:
    """The library at path, else at ``$ZORENC_LIBRARY``, else the package's
    own copy, else the system's; loaded once per path and shared afterwards."""
    key = os.fspath(path) if path is not None else os.environ.get(LIBRARY_ENV, "")
    return loaded_once("board|" + key, lambda: Library(path))


def library_path(path: Optional[PathArg] = None) -> str:
    """The file that :func:`load_library` (with the same argument) takes,
    as an absolute path; loads it if that has not happened yet.

    The companion library of the toolkit is looked for in the same folder.
    """
    return load_library(path).path
