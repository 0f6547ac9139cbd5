"""The board as a Python object: a handler of the zorenc library with its port.

Every method performs at most one register transaction (or one raw read) and
raises a :class:`~zorenc.errors.ZorEncError` when the library reports a
failure; getters return the decoded value.
"""

from __future__ import annotations

import contextlib
import ctypes
import decimal
import operator
import os
import sys
import threading
import weakref
from ctypes import byref, c_double, c_int32, c_ubyte, c_uint32
from dataclasses import dataclass
from typing import (
    TYPE_CHECKING,
    Any,
    Callable,
    Dict,
    Iterable,
    Iterator,
    List,
    Optional,
    Tuple,
    Type,
    TypeVar,
    Union,
    cast,
)

from . import _tools
from .capture import Capture
from ._library import (
    HANDLER_TABLE,
    EventCallback,
    Library,
    TriggerControlsStruct,
    load_library,
)
from .errors import (
    ZORENC_ERR_CHANNEL,
    ZORENC_ERR_NOT_OPEN,
    ZORENC_ERR_PARAM,
    ZorEncChecksumError,
    ZorEncError,
    ZorEncFrameError,
    ZorEncNotOpenError,
    ZorEncStatusError,
    error_for,
)
from ._board import CHANNELS, DIGITAL_INPUTS
from .ports import is_identity, resolve_port

PortName = Union[str, bytes, "os.PathLike[str]"]
FrameCallback = Callable[[bytes], None]

#: Bytes a line read (:meth:`Board.read_until`) gathers at most.
LINE_LIMIT = 128

_INT32_MIN = -(1 << 31)
_INT32_MAX = (1 << 31) - 1
_UINT32_MAX = (1 << 32) - 1

#: The values of settings whose range is narrower than their C type, as
#: (setting, value) -> (lowest, highest); the names are those of ``zorenc
#: help set``, whose settings table holds the same ranges (a test of the
#: toolkit, tests/companion/ranges_test.cpp, compares the two).  A setter
#: refuses a value outside them with :class:`ZorEncParamError` and sends
#: nothing.
VALUE_RANGES: Dict[Tuple[str, str], Tuple[int, int]] = {
    ("encoder-multi-for-analog", "MULTIPLIER"): (0, 2147483647),
    ("virtual-encoder-frequency", "FREQUENCY"): (0, 2147483647),
    ("trigger-controls", "N0"): (0, 15),
    ("trigger-controls", "N1"): (0, 15),
    ("trigger-controls", "N2CODE"): (0, 15),
    ("trigger-controls", "N3"): (0, 15),
    ("trigger-controls", "N4"): (0, 15),
    ("trigger-controls", "N5"): (0, 15),
    ("trigger-controls", "N6"): (0, 15),
    ("trigger-controls", "BIT30"): (0, 1),
    ("trigger-controls", "BIT31"): (0, 1),
    ("trigger-generator", "UPPER"): (0, 65535),
    ("trigger-generator", "LOWER"): (0, 65535),
    ("index-trigger-last-index", "INDEX"): (0, 239),
}

if TYPE_CHECKING:
    from ctypes import _SimpleCData

_T = TypeVar("_T")


# ---- Values ------------------------------------------------------------------------------


@dataclass
class TriggerControls:
    """The 32-bit control word of a trigger channel.

    nibble0..nibble6 are bits 0-3, 4-7, ... 24-27 (0..15 each); bit30 and
    bit31 the two top bits; reserved holds bits 28-29, which no setting
    names.  On reading, the board's nibble2 comes back only when it is 2 or
    4 and as 0 otherwise.
    """

    nibble0: int = 0
    nibble1: int = 0
    nibble2: int = 0
    nibble3: int = 0
    nibble4: int = 0
    nibble5: int = 0
    nibble6: int = 0
    bit30: bool = False
    bit31: bool = False
    reserved: int = 0

    _NIBBLES = ("nibble0", "nibble1", "nibble2", "nibble3", "nibble4", "nibble5", "nibble6")

    def to_word(self) -> int:
        """The word, 0..0xFFFFFFFF; ValueError for a field out of its width."""
        word = 0
        for i, field in enumerate(self._NIBBLES):
            nibble = operator.index(getattr(self, field))
            if not 0 <= nibble <= 0xF:
                raise ValueError(f"{field} must be 0..15, not {nibble}")
            word |= nibble << (4 * i)
        reserved = operator.index(self.reserved)
        if not 0 <= reserved <= 3:
            raise ValueError(f"reserved must be 0..3, not {reserved}")
        return word | reserved << 28 | bool(self.bit30) << 30 | bool(self.bit31) << 31

    @classmethod
    def from_word(cls, word: int) -> "TriggerControls":
        """The fields of a word, 0..0xFFFFFFFF."""
        word = operator.index(word)
        if not 0 <= word <= _UINT32_MAX:
            raise ValueError(f"a control word has 32 bits, not {word:#x}")
        n = [(word >> (4 * i)) & 0xF for i in range(7)]
        return cls(
            n[0], n[1], n[2], n[3], n[4], n[5], n[6],
            bit30=bool(word >> 30 & 1),
            bit31=bool(word >> 31 & 1),
            reserved=word >> 28 & 3,
        )


class Abort:
    """The abort flag of raw reads: one byte that another thread may raise.

    ::

        abort = Abort()
        threading.Timer(2.0, abort.raise_).start()   # or Abort.after(2.0)
        board.read_bytes(10, abort=abort)             # ZorEncAborted after 2 s

    The library never lowers the flag; :meth:`clear` it before reusing it.
    """

    def __init__(self) -> None:
        self._flag = c_ubyte(0)
        self._timer: Optional[threading.Timer] = None

    @classmethod
    def after(cls, seconds: float) -> "Abort":
        """A flag that raises itself after seconds (a bound for a raw read)."""
        abort = cls()
        abort._timer = threading.Timer(seconds, abort.raise_)
        abort._timer.daemon = True
        abort._timer.start()
        return abort

    def raise_(self) -> None:
        """Raises the flag: a raw read using it ends within about 100 ms."""
        self._flag.value = 1

    def clear(self) -> None:
        """Lowers the flag again."""
        self._flag.value = 0

    def cancel(self) -> None:
        """Stops the timer of :meth:`after`, if any."""
        if self._timer is not None:
            self._timer.cancel()

    @property
    def raised(self) -> bool:
        return self._flag.value != 0

    def __repr__(self) -> str:
        return f"<zorenc.Abort raised={self.raised}>"


# ---- Argument checks ---------------------------------------------------------------------
# ctypes silently keeps only the low bits of an integer that does not fit its
# C type; these refuse such values instead, with the library's codes.


def _refuse(code: int, what: str, value: object) -> ZorEncError:
    return error_for(code, detail=f"{what} {value!r} is out of range")


def _channel(value: int, what: str = "channel") -> int:
    value = operator.index(value)
    if not _INT32_MIN <= value <= _INT32_MAX:
        raise _refuse(ZORENC_ERR_CHANNEL, what, value)
    return value


def _int32(value: int, what: str) -> int:
    value = operator.index(value)
    if not _INT32_MIN <= value <= _INT32_MAX:
        raise _refuse(ZORENC_ERR_PARAM, what, value)
    return value


def _word(value: int, what: str) -> int:
    """A raw 32-bit value, signed or unsigned, as the int32_t the C side takes."""
    value = operator.index(value)
    if not _INT32_MIN <= value <= _UINT32_MAX:
        raise _refuse(ZORENC_ERR_PARAM, what, value)
    return value - (1 << 32) if value > _INT32_MAX else value


def _ranged(setting: str, name: str, value: int) -> int:
    """A value of a setting within its range of :data:`VALUE_RANGES`."""
    value = operator.index(value)
    low, high = VALUE_RANGES[(setting, name)]
    if not low <= value <= high:
        raise error_for(
            ZORENC_ERR_PARAM, detail=f"{name} {value} is out of range {low}..{high} ({setting})"
        )
    return value


def _unsigned(value: int, bits: int, what: str) -> int:
    value = operator.index(value)
    if not 0 <= value < (1 << bits):
        raise _refuse(ZORENC_ERR_PARAM, what, value)
    return value


def _byte(value: Union[int, str, bytes], what: str) -> int:
    if isinstance(value, (str, bytes)):
        if len(value) != 1:
            raise _refuse(ZORENC_ERR_PARAM, what, value)
        return ord(value)
    return _unsigned(value, 8, what)


def _real(value: float) -> float:
    return float(value)  # NaN and infinities go through: the library refuses them


def _exact(value: float, places: int) -> float:
    """The value to hand a setter that keeps value x 10**places truncated, so
    that it keeps the decimal as written (0.29 -> 29 hundredths, not the 28
    of its binary neighbour): the middle of that count's interval. Zero
    counts, NaN and infinities go through unchanged, for the library to
    truncate or refuse as before."""
    value = float(value)
    try:
        count = int(decimal.Decimal(repr(value)).scaleb(places))
        if count == 0:
            return value
        return float((count + (0.5 if count > 0 else -0.5)) / 10**places)
    except (decimal.InvalidOperation, OverflowError, ValueError):
        return value


# ---- The board ---------------------------------------------------------------------------


class Board:
    """A board on a serial port.

    ``Board("COM3")`` creates a handler and opens the port, raising
    :class:`ZorEncNotOpenError` when it cannot; ``Board()`` creates the handler
    alone (open it later with :meth:`open`).  Use it in a ``with`` block, or
    call :meth:`close`, to destroy the handler::

        with zorenc.Board("/dev/ttyUSB0") as board:
            board.set_trigger_delay(0, 1.5)
            print(board.encoder_position(0))

    Channels are 0..3, digital inputs 0..6 and index-trigger indices 0..0xEF;
    others raise :class:`ZorEncChannelError`.  Values the library cannot
    represent raise :class:`ZorEncParamError`.

    Calls on one board are serialised by a lock; a frame callback must not
    call its own board.  Calls on different boards may run in different
    threads at once; creating or closing a board waits until no call on any
    board runs (the library's handler table allows nothing else), so a raw
    read blocked on one board holds that up until it ends.
    """

    def __init__(
        self,
        port: Optional[PortName] = None,
        *,
        candidates: Iterable[str] = (),
        library: Union[Library, str, "os.PathLike[str]", None] = None,
    ) -> None:
        self._lib = library if isinstance(library, Library) else load_library(library)
        self._fn = self._lib.functions
        self._lock = threading.Lock()
        self._owner: Optional[int] = None
        self._port: Optional[str] = None
        # Callback objects the library holds pointers to, and the exceptions
        # the callbacks raised during the current call.
        self._callbacks: Dict[str, object] = {}
        self._callback_errors: List[BaseException] = []
        self._capture: Optional[Capture] = None  # the running capture
        handle = HANDLER_TABLE.change(self._fn["ZorEncCreateHandler"])
        if not handle:
            raise MemoryError("the library could not create a handler")
        self._handle: int = int(handle)
        self._finalizer = weakref.finalize(
            self, HANDLER_TABLE.destroy, self._fn["ZorEncCloseHandler"], handle, self._callbacks
        )
        if port is not None:
            try:
                self.open(port, candidates=candidates)
            except BaseException:
                self.close()
                raise

    # ---- calling the library ----

    def _invoke(self, name: str, *args: object) -> Any:
        if self._owner == threading.get_ident():
            raise RuntimeError(f"{name}: a frame callback cannot call its own board")
        with self._lock:
            self._owner = threading.get_ident()
            try:
                with HANDLER_TABLE.call():
                    result = self._fn[name](self._handle, *args)
            finally:
                self._owner = None
            if self._callback_errors:
                error = self._callback_errors[0]
                self._callback_errors.clear()
                raise error
        return result

    def _noted(self, result: object) -> None:
        if self._capture is not None:
            self._capture.note(int(cast(int, result)))

    def _do(self, name: str, *args: object) -> None:
        result = self._invoke(name, *args)
        self._noted(result)
        if result:
            raise error_for(int(result), name)

    def _get(self, name: str, ctype: "Type[_SimpleCData[_T]]", *args: object) -> _T:
        out = ctype()
        self._do(name, *args, byref(out))
        return out.value

    def _transact(self, name: str, *args: object) -> int:
        out = c_uint32(0)
        result = int(self._invoke(name, *args, byref(out)))
        self._noted(result)
        if result:
            error = error_for(result, name)
            if isinstance(error, (ZorEncStatusError, ZorEncChecksumError)):
                error.value = out.value  # a reply came, with its value
            raise error
        return out.value

    # ---- handler and connection ----

    @property
    def library(self) -> Library:
        """The native library this board calls."""
        return self._lib

    @property
    def handle(self) -> int:
        """The library's handle of this board; 0 once closed."""
        return self._handle

    @property
    def port(self) -> Optional[str]:
        """The name the port was last opened with."""
        return self._port

    @property
    def is_valid(self) -> bool:
        """Whether the handler exists (its port may be closed)."""
        return bool(self._invoke("ZorEncIsValidHandle"))

    @property
    def is_open(self) -> bool:
        """Whether the handler exists and its port is open."""
        return bool(self._invoke("ZorEncIsOpen"))

    def open(self, port: PortName, *, candidates: Iterable[str] = ()) -> None:
        """Opens the port (COM3, /dev/ttyUSB0, ...) at 115200 8N1.

        The port may also be named by identity: ``"serial:SN"`` (the USB
        adapter with that serial number), ``"usb:VVVV:PPPP"`` (the adapter
        with those ids) or ``"auto"`` (the one port where a probe finds a
        board, among the listed ports and ``candidates``); none or several
        matches raise :class:`ToolsNotFoundError` listing what was found.

        An open port stays open on its first name.  Raises
        :class:`ZorEncNotOpenError` when the port cannot be opened.
        """
        if isinstance(port, str) and is_identity(port):
            port = resolve_port(port, candidates, library=self._lib)
        name = port if isinstance(port, bytes) else os.fsencode(port)
        if not self._invoke("ZorEncOpen", name):
            raise ZorEncNotOpenError(
                ZORENC_ERR_NOT_OPEN, "ZorEncOpen", f"cannot open port {os.fsdecode(name)!r}"
            )
        self._port = os.fsdecode(name)

    def close_port(self) -> None:
        """Closes the port and keeps the handler and its callbacks."""
        result = self._invoke("ZorEncClose")
        if result == ZORENC_ERR_NOT_OPEN:
            raise error_for(ZORENC_ERR_NOT_OPEN, "ZorEncClose")
        if result:
            raise OSError(result, "ZorEncClose: the port did not close")

    def close(self) -> None:
        """Destroys the handler, closing its port; later calls raise
        :class:`ZorEncNotOpenError`.  Closing twice does nothing."""
        if HANDLER_TABLE.in_call():
            raise RuntimeError("boards cannot be created or closed from a frame callback")
        if self._capture is not None:
            self._capture.stop()  # the file is complete before the handler goes
        with self._lock:
            if not self._finalizer.alive:
                return
            # From here on calls name no handler; the handler itself goes
            # once no call on any board runs, without holding up this
            # board's lock meanwhile.
            self._finalizer.detach()
            handle, self._handle = self._handle, 0
        close_handler = self._fn["ZorEncCloseHandler"]
        try:
            HANDLER_TABLE.change(close_handler, handle)
        except BaseException:  # interrupted while waiting: leave it to the table
            HANDLER_TABLE.destroy(close_handler, handle, dict(self._callbacks))
            raise
        self._callbacks.clear()

    def __enter__(self) -> "Board":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"<zorenc.Board handle={self._handle} port={self._port!r}>"

    # ---- raw register transactions ----

    def read(self, address: int) -> int:
        """Reads a register (address 0..0xFFFF); its value, 0..0xFFFFFFFF."""
        return self._transact("ZorEncSendRead", _unsigned(address, 16, "address"), 0)

    def write(self, address: int, value: int) -> int:
        """Writes a register; gives the value of the board's reply."""
        return self._transact(
            "ZorEncSendWrite",
            _unsigned(address, 16, "address"),
            _word(value, "value") & _UINT32_MAX,
        )

    def send(self, command: Union[int, str, bytes], address: int, value: int = 0) -> int:
        """One transaction with any command byte (``'R'``, ``'W'``, ...);
        gives the value of the reply."""
        return self._transact(
            "ZorEncSendData",
            _byte(command, "command"),
            _unsigned(address, 16, "address"),
            _word(value, "value") & _UINT32_MAX,
        )

    def send_only(self, command: Union[int, str, bytes], address: int, value: int = 0) -> None:
        """Sends a request without waiting: its reply stays in the receive
        queue (for :meth:`read_bytes`, or the next transaction)."""
        self._do(
            "ZorEncSendOnly",
            _byte(command, "command"),
            _unsigned(address, 16, "address"),
            _word(value, "value") & _UINT32_MAX,
        )

    # ---- raw stream ----

    def purge(self) -> None:
        """Empties the port's transmit and receive queues."""
        if not self._invoke("ZorEncPurge"):
            raise error_for(ZORENC_ERR_NOT_OPEN, "ZorEncPurge")

    def read_bytes(self, count: int, abort: Optional[Abort] = None) -> bytes:
        """Reads exactly count bytes from the port.

        Blocks until they have all arrived or abort is raised (then
        :class:`ZorEncAborted`, and the bytes read so far are lost).  Without
        abort it waits for as long as that takes; ``Abort.after(seconds)``
        bounds it.
        """
        count = _int32(count, "count")
        abort = abort if abort is not None else Abort()
        buffer = (c_ubyte * max(count, 1))()
        self._do("ZorEncRead", buffer, 0, count, byref(abort._flag))
        return bytes(buffer)

    def read_until(
        self, terminator: Union[int, str, bytes], abort: Optional[Abort] = None
    ) -> bytes:
        """Reads up to and including the terminator byte; bytes behind it
        stay queued.

        128 bytes without the terminator raise :class:`ZorEncFrameError`
        whose ``data`` holds them.  Blocks as :meth:`read_bytes` does.
        """
        end = _byte(terminator, "terminator")
        abort = abort if abort is not None else Abort()
        buffer = (c_ubyte * LINE_LIMIT)()
        try:
            self._do("ZorEncReadUntil", buffer, end, byref(abort._flag))
        except ZorEncFrameError as error:
            error.data = bytes(buffer)
            raise
        # The first terminator is the last byte read: none came before it.
        data = bytes(buffer)
        return data[: data.index(end) + 1]

    # ---- frame callbacks ----

    def _register(self, kind: str, c_name: str, callback: Optional[FrameCallback]) -> None:
        if callback is None:
            self._do(c_name, EventCallback())  # a null pointer: no callback
            self._callbacks.pop(kind, None)
            return
        errors = self._callback_errors  # not self: the finalizer keeps the callbacks
        deliver = callback

        def trampoline(data: "ctypes._Pointer[c_ubyte]", length: int) -> None:
            try:
                deliver(ctypes.string_at(data, length) if length > 0 else b"")
            except BaseException as e:  # raised again when the call returns
                errors.append(e)

        c_callback = EventCallback(trampoline)
        self._do(c_name, c_callback)
        self._callbacks[kind] = c_callback  # kept alive while registered

    @contextlib.contextmanager
    def capture(self, path: Union[str, "os.PathLike[str]"]) -> Iterator[Capture]:
        """Writes every frame sent and received to the pcapng file path while
        the ``with`` block runs (see :mod:`zorenc.capture`); the board's own
        frame callbacks are set aside meanwhile and put back after it::

            with board.capture("session.pcapng"):
                board.read(0xF000)
        """
        running = Capture(self._tools, path, self.port or "zorenc")
        self._capture = running
        try:
            yield running
        finally:
            self._capture = None
            try:
                running.stop()
            finally:
                self._restore_callbacks()

    def _restore_callbacks(self) -> None:
        # A capture took the library's callback slots: give them back.
        for kind, c_name in (("send", "ZorEncRegisterSendEvent"),
                             ("receive", "ZorEncRegisterRecvEvent")):
            callback = self._callbacks.get(kind)
            if callback is not None and self._handle and self.is_valid:
                self._invoke(c_name, callback)

    def on_send(self, callback: Optional[FrameCallback]) -> None:
        """Calls callback(frame_bytes) with every request as written; None
        removes it.  An exception it raises comes out of the board call that
        sent the frame."""
        self._register("send", "ZorEncRegisterSendEvent", callback)

    def on_receive(self, callback: Optional[FrameCallback]) -> None:
        """Calls callback(frame_bytes) with every reply as received (all
        bytes collected for it); None removes it."""
        self._register("receive", "ZorEncRegisterRecvEvent", callback)

    def on_error(self, callback: Optional[FrameCallback]) -> None:
        """Stores an error callback; the library keeps it but never calls it."""
        self._register("error", "ZorEncRegisterErrorEvent", callback)

    # ---- encoder channels ----

    def encoder_position(self, channel: int) -> int:
        """The channel's position counter, in counts (-2**31..2**31-1)."""
        return self._get("ZorEncGetEncoderPosition", c_int32, _channel(channel))

    def encoder_position_for_analog(self, channel: int, multiplier: int, period: float) -> int:
        """The position of an analog encoder in period's unit: count x period /
        multiplier, the multiplier held to 8..1023, truncated toward zero."""
        return self._get(
            "ZorEncGetEncoderPositionForAnalog",
            c_int32,
            _channel(channel),
            _int32(multiplier, "multiplier"),
            _real(period),
        )

    def encoder_position_micrometer(self, channel: int, multiplier: int, period: float) -> int:
        """The position in micrometres: count x period / multiplier, period
        being the micrometres of multiplier counts (2 or 4; any other counts
        as 1), truncated toward zero."""
        return self._get(
            "ZorEncGetEncoderPositionMicrometer",
            c_int32,
            _channel(channel),
            _int32(multiplier, "multiplier"),
            _real(period),
        )

    def encoder_direction(self, channel: int) -> int:
        """Counting direction: 0 counts up; other values are the board's (the
        simulated board counts down).  The register of the inversion too."""
        return self._get("ZorEncGetEncoderDirection", c_int32, _channel(channel))

    def set_encoder_direction(self, channel: int, direction: int) -> None:
        """Sets the counting direction: any 32-bit word (-2**31..2**32-1), 0
        counting up."""
        self._do("ZorEncSetEncoderDirection", _channel(channel), _word(direction, "direction"))

    def encoder_inversion(self, channel: int) -> int:
        """Inversion: the direction register under its other name."""
        return self._get("ZorEncGetEncoderInversion", c_int32, _channel(channel))

    def set_encoder_inversion(self, channel: int, inversion: int) -> None:
        """Sets the inversion (the direction register): any 32-bit word."""
        self._do("ZorEncSetEncoderInversion", _channel(channel), _word(inversion, "inversion"))

    def encoder_multi_for_analog(self, channel: int) -> int:
        """The channel's multiplier for analog encoders, a whole number of the
        board's, 0..2**31-1."""
        return self._get("ZorEncGetEncoderMultiForAnalog", c_int32, _channel(channel))

    def set_encoder_multi_for_analog(self, channel: int, multiplier: int) -> None:
        """Sets the multiplier for analog encoders, 0..2**31-1 (a negative one
        raises :class:`ZorEncParamError`)."""
        self._do(
            "ZorEncSetEncoderMultiForAnalog",
            _channel(channel),
            _ranged("encoder-multi-for-analog", "MULTIPLIER", multiplier),
        )

    def encoder_reset_value(self, channel: int) -> int:
        """The position, in counts, that a clear of the position counter sets."""
        return self._get("ZorEncGetEncoderResetValue", c_int32, _channel(channel))

    def set_encoder_reset_value(self, channel: int, value: int) -> None:
        """Sets the reset position, in counts (-2**31..2**31-1)."""
        self._do("ZorEncSetEncoderResetValue", _channel(channel), _int32(value, "reset value"))

    def start_calibration(self, channel: int) -> None:
        """Starts the calibration of the channel's encoder (the board's)."""
        self._do("ZorEncStartCalibration", _channel(channel))

    def stop_calibration(self, channel: int) -> None:
        """Stops the calibration of the channel's encoder."""
        self._do("ZorEncStopCalibration", _channel(channel))

    # ---- device settings and maintenance ----

    def encoder_resolution(self) -> float:
        """Encoder resolution, in the board's unit, to three decimal places
        (kept in thousandths), 0..4294967.295."""
        return self._get("ZorEncGetEncoderResolution", c_double)

    def set_encoder_resolution(self, resolution: float) -> None:
        """Sets the resolution, in the board's unit, 0..4294967.295, kept in
        thousandths: the decimal as written, cut to three places (1.005 stays
        1.005, 1.0005 is stored as 1).  Out of range: :class:`ZorEncParamError`."""
        self._do("ZorEncSetEncoderResolution", _exact(resolution, 3))

    def firmware_version(self) -> float:
        """Firmware version, two decimal places, 0..655.35."""
        return self._get("ZorEncGetFirmwareVersion", c_double)

    def logic_version(self) -> float:
        """Logic version, two decimal places, 0..42949672.95."""
        return self._get("ZorEncGetLogicVersion", c_double)

    def positive_run(self) -> int:
        """Positive run, in the board's unit: a 32-bit value the board gives
        its meaning, passed through unchanged."""
        return self._get("ZorEncGetPositiveRun", c_int32)

    def set_positive_run(self, run: int) -> None:
        """Sets the positive run: any 32-bit word (-2**31..2**32-1)."""
        self._do("ZorEncSetPositiveRun", _word(run, "run"))

    def negative_run(self) -> int:
        """Negative run, in the board's unit: a 32-bit value the board gives
        its meaning, passed through unchanged."""
        return self._get("ZorEncGetNegativeRun", c_int32)

    def set_negative_run(self, run: int) -> None:
        """Sets the negative run: any 32-bit word (-2**31..2**32-1)."""
        self._do("ZorEncSetNegativeRun", _word(run, "run"))

    def trg_mode(self) -> int:
        """The board's trigger mode, a code the board defines (passed through
        unchanged)."""
        return self._get("ZorEncGetTrgMode", c_int32)

    def set_trg_mode(self, mode: int) -> None:
        """Sets the trigger mode: any 32-bit word (-2**31..2**32-1)."""
        self._do("ZorEncSetTrgMode", _word(mode, "trigger mode"))

    def virtual_encoder_frequency(self, channel: int) -> int:
        """Frequency of the channel's virtual encoder, in the board's unit (the
        simulated board counts this many per second), 0..2**31-1; 0 stops it."""
        return self._get("ZorEncGetVirtualEncoderFrequency", c_int32, _channel(channel))

    def set_virtual_encoder_frequency(self, channel: int, frequency: int) -> None:
        """Sets the virtual encoder's frequency, 0..2**31-1 (0 stops it; a
        negative one raises :class:`ZorEncParamError`)."""
        self._do(
            "ZorEncSetVirtualEncoderFrequency",
            _channel(channel),
            _ranged("virtual-encoder-frequency", "FREQUENCY", frequency),
        )

    def load_default_parameters(self) -> None:
        """The board's default settings replace those in use (not saved)."""
        self._do("ZorEncLoadDefaultParameters")

    def save_flash(self) -> None:
        """The board keeps its settings in use across power cycles."""
        self._do("ZorEncSaveFlash")

    def load_flash(self) -> None:
        """The settings saved last replace those in use."""
        self._do("ZorEncLoadFlash")

    # ---- configuration files, through the companion library ----

    def _tools(self, name: str, *args: Any) -> Any:
        # A companion-library function on this board's handle (and args),
        # serialised with the board's own calls.
        if self._owner == threading.get_ident():
            raise RuntimeError(f"{name}: a frame callback cannot call its own board")
        with self._lock:
            self._owner = threading.get_ident()
            try:
                return _tools.load_tools(self._lib).call(name, self._handle, *args)
            finally:
                self._owner = None

    @staticmethod
    def _config_request(config: Union[Dict[str, Any], str]) -> Dict[str, Any]:
        return {"text": config} if isinstance(config, str) else {"config": config}

    def save_config(self, serial_number: Optional[str] = None) -> Dict[str, Any]:
        """Every setting the board keeps in flash, as a configuration document
        (``docs/config.md``); ``json.dump`` it to make a file."""
        request = {"port": self._port, "serial_number": serial_number}
        return cast(Dict[str, Any], self._tools("ZorToolsConfigSave", request))

    def diff_config(self, config: Union[Dict[str, Any], str]) -> List[Dict[str, Any]]:
        """The settings where the board and config (a document, or a file's
        text) differ: ``{"setting", "channel", "index", "board", "file"}``
        each; empty when they match.  A faulty config raises
        :class:`ToolsUsageError` with every fault in ``details["faults"]``."""
        request = self._config_request(config)
        return cast(List[Dict[str, Any]], self._tools("ZorToolsConfigDiff", request))

    def apply_config(
        self, config: Union[Dict[str, Any], str], flash: bool = False, force: bool = False
    ) -> Dict[str, Any]:
        """Writes the settings of config that differ, reading each back, and
        with flash saves to flash after all were verified.  Raises before any
        write for a faulty config (:class:`ToolsUsageError`) or one saved from
        other firmware or logic versions without force (:class:`ToolsBoardError`,
        ``details["reason"] == "version"``); a failure midway raises
        :class:`ToolsBoardError` whose :attr:`~ToolsBoardError.verified`,
        :attr:`~ToolsBoardError.unconfirmed` (sent, outcome unknown: read
        them again or apply again) and :attr:`~ToolsBoardError.not_sent`
        list every setting that differed.  Returns ``{"verified",
        "unconfirmed", "not_sent", "written", "not_written", "unchanged",
        "flash", "warnings"}``: after success every setting that differed is
        verified (``written`` repeats ``verified``; ``not_written`` is
        unconfirmed then not sent, kept from earlier releases for one more);
        the warnings name values with more decimals than their unit and what
        the board was given instead."""
        request = self._config_request(config)
        request.update(flash=bool(flash), force=bool(force))
        return cast(Dict[str, Any], self._tools("ZorToolsConfigApply", request))

    # ---- trigger channels ----

    def trigger_controls(self, channel: int) -> TriggerControls:
        """The control word of a trigger channel: nibbles 0-6 and bits 30 and
        31, whose meanings the board defines."""
        out = TriggerControlsStruct()
        self._do("ZorEncGetTriggerControls", _channel(channel), byref(out))
        return TriggerControls.from_word(int.from_bytes(bytes(out), sys.byteorder))

    def set_trigger_controls(self, channel: int, controls: Union[TriggerControls, int]) -> None:
        """Writes the control word as given (a TriggerControls or a 32-bit word)."""
        if isinstance(controls, TriggerControls):
            try:
                word = controls.to_word()
            except ValueError as e:
                raise error_for(ZORENC_ERR_PARAM, detail=str(e)) from None
        else:
            word = _word(controls, "control word") & _UINT32_MAX
        value = TriggerControlsStruct.from_buffer_copy(word.to_bytes(4, sys.byteorder))
        self._do("ZorEncSetTriggerControls", _channel(channel), byref(value))

    def set_trigger_controls_each_trigger(
        self,
        channel: int,
        nibble0: int = 0,
        nibble1: int = 0,
        nibble2_code: int = 0,
        nibble3: int = 0,
        nibble4: int = 0,
        nibble5: int = 0,
        nibble6: int = 0,
        bit30: int = 0,
        bit31: int = 0,
    ) -> None:
        """Writes the control word packed field by field: each nibble 0..15,
        nibble2 stored as 1 for a code of 2, 2 for 4 and 0 for any other code
        (0..15), bit30 and bit31 0 or 1.  A field out of its range raises
        :class:`ZorEncParamError` and nothing is sent."""
        fields = (nibble0, nibble1, nibble2_code, nibble3, nibble4, nibble5, nibble6, bit30, bit31)
        names = ("N0", "N1", "N2CODE", "N3", "N4", "N5", "N6", "BIT30", "BIT31")
        self._do(
            "ZorEncSetTriggerControlsEachTrigger",
            _channel(channel),
            *(_ranged("trigger-controls", n, f) for n, f in zip(names, fields)),
        )

    def trigger_generator(self, channel: int) -> Tuple[int, int]:
        """The trigger generator as (upper half, lower half), bits 16-31 and
        0-15, 0..0xFFFF each, values the board defines."""
        upper, lower = c_int32(), c_int32()
        self._do("ZorEncGetTriggerGenerator", _channel(channel), byref(upper), byref(lower))
        return upper.value, lower.value

    def set_trigger_generator(self, channel: int, upper: int, lower: int) -> None:
        """Sets the trigger generator from its halves, 0..0xFFFF each."""
        self._do(
            "ZorEncSetTriggerGenerator",
            _channel(channel),
            _ranged("trigger-generator", "UPPER", upper),
            _ranged("trigger-generator", "LOWER", lower),
        )

    def trigger_generator_roll(self, channel: int) -> int:
        """The trigger generator register as one 32-bit word (signed)."""
        return self._get("ZorEncGetTriggerGeneratorRoll", c_int32, _channel(channel))

    def set_trigger_generator_roll(self, channel: int, value: int) -> None:
        """Sets the trigger generator as one word: any 32-bit word."""
        self._do("ZorEncSetTriggerGeneratorRoll", _channel(channel), _word(value, "value"))

    def trigger_output_mode(self, channel: int) -> int:
        """The trigger output mode, a code the board defines (passed through
        unchanged)."""
        return self._get("ZorEncGetTriggerOutputMode", c_int32, _channel(channel))

    def set_trigger_output_mode(self, channel: int, mode: int) -> None:
        """Sets the trigger output mode: any 32-bit word (-2**31..2**32-1)."""
        self._do("ZorEncSetTriggerOutputMode", _channel(channel), _word(mode, "mode"))

    def trigger_position0(self, channel: int) -> int:
        """The first trigger position, in counts of the channel's encoder."""
        return self._get("ZorEncGetTriggerPosition0", c_int32, _channel(channel))

    def set_trigger_position0(self, channel: int, position: int) -> None:
        """Sets the first trigger position, in counts (-2**31..2**31-1)."""
        self._do("ZorEncSetTriggerPosition0", _channel(channel), _int32(position, "position"))

    def trigger_position1(self, channel: int) -> int:
        """The second trigger position, in counts of the channel's encoder."""
        return self._get("ZorEncGetTriggerPosition1", c_int32, _channel(channel))

    def set_trigger_position1(self, channel: int, position: int) -> None:
        """Sets the second trigger position, in counts (-2**31..2**31-1)."""
        self._do("ZorEncSetTriggerPosition1", _channel(channel), _int32(position, "position"))

    def set_trigger_position_micrometer0(
        self, channel: int, position: int, multiplier: int, period: float, convert: bool = True
    ) -> None:
        """Sets trigger position 0 from micrometres: position x multiplier /
        period counts, period being the micrometres of multiplier counts; or
        from counts when convert is false."""
        self._micrometer("ZorEncSetTriggerPositionMicrometer0", channel, position, multiplier,
                         period, convert)

    def set_trigger_position_micrometer1(
        self, channel: int, position: int, multiplier: int, period: float, convert: bool = True
    ) -> None:
        """Trigger position 1 as :meth:`set_trigger_position_micrometer0` sets 0."""
        self._micrometer("ZorEncSetTriggerPositionMicrometer1", channel, position, multiplier,
                         period, convert)

    def _micrometer(self, name: str, channel: int, position: int, multiplier: int,
                    period: float, convert: bool) -> None:
        self._do(
            name,
            _channel(channel),
            _int32(position, "position"),
            _int32(multiplier, "multiplier"),
            _real(period),
            1 if convert else 0,
        )

    def trigger_pulse_width(self, channel: int) -> float:
        """Trigger pulse width, in the board's unit, to two decimal places
        (kept in hundredths), -21474836.47..21474836.47."""
        out = c_double()
        name = "ZorEncGetTriggerPulseWidth"
        result = self._invoke(name, _channel(channel), byref(out))
        # This one function gives its result code as a double.
        if result:
            raise error_for(int(result), name)
        return out.value

    def set_trigger_pulse_width(self, channel: int, width: float) -> None:
        """Sets the pulse width, in the board's unit, -21474836.47..21474836.47,
        kept in hundredths: the decimal as written, cut to two places (1.5
        stays 1.5, 0.299 is stored as 0.29)."""
        self._do("ZorEncSetTriggerPulseWidth", _channel(channel), _exact(width, 2))

    def trigger_delay(self, channel: int) -> float:
        """Trigger delay, in the board's unit, to two decimal places (kept in
        hundredths), -21474836.47..21474836.47."""
        return self._get("ZorEncGetTriggerDelay", c_double, _channel(channel))

    def set_trigger_delay(self, channel: int, delay: float) -> None:
        """Sets the delay, in the board's unit, -21474836.47..21474836.47, kept
        in hundredths: the decimal as written, cut to two places (0.29 stays
        0.29, -1.239 is stored as -1.23)."""
        self._do("ZorEncSetTriggerDelay", _channel(channel), _exact(delay, 2))

    def index_trigger_last_index(self, channel: int) -> int:
        """The last index of the channel's index-trigger table in use, 0..239."""
        return self._get("ZorEncGetIndexTriggerLastIndex", c_int32, _channel(channel))

    def set_index_trigger_last_index(self, channel: int, last_index: int) -> None:
        """Sets the last index in use, 0..239 (others raise
        :class:`ZorEncParamError`)."""
        self._do(
            "ZorEncSetIndexTriggerLastIndex",
            _channel(channel),
            _ranged("index-trigger-last-index", "INDEX", last_index),
        )

    def index_trigger_position(self, channel: int, index: int) -> int:
        """Position of index trigger index (0..0xEF), in counts of the
        channel's encoder."""
        return self._get(
            "ZorEncGetIndexTriggerPosition", c_int32, _channel(channel), _channel(index, "index")
        )

    def set_index_trigger_position(self, channel: int, index: int, position: int) -> None:
        """Sets index trigger index (0..0xEF), in counts (-2**31..2**31-1)."""
        self._do(
            "ZorEncSetIndexTriggerPosition",
            _channel(channel),
            _channel(index, "index"),
            _int32(position, "position"),
        )

    # ---- digital inputs, counters and clears ----

    def digital_inputs(self) -> Tuple[bool, ...]:
        """The states of the seven digital inputs (True: on), input 0 first."""
        states = [c_int32() for _ in range(DIGITAL_INPUTS)]
        self._do("ZorEncGetDI", *(byref(s) for s in states))
        return tuple(bool(s.value) for s in states)

    def digital_input(self, input: int) -> bool:
        """The state of one digital input (0..6)."""
        return bool(self._get("ZorEncGetDIState", c_int32, _channel(input, "input")))

    def digital_input_count(self, input: int) -> int:
        """The board's counter of a digital input (0..6), 0..2**32-1 as the
        board counts (the simulated board counts rising edges), returned as
        a signed 32-bit number."""
        return self._get("ZorEncGetDiCount", c_int32, _channel(input, "input"))

    def trigger_count(self, channel: int) -> int:
        """Triggers fired on the channel, a count (signed 32-bit)."""
        return self._get("ZorEncGetTriggerCount", c_int32, _channel(channel))

    def trigger_error_count(self, channel: int) -> int:
        """Trigger errors of the channel, a count the board keeps (signed
        32-bit)."""
        return self._get("ZorEncGetTriggerErrorCount", c_int32, _channel(channel))

    def clear_all(self) -> None:
        """Clears every counter and encoder position."""
        self._do("ZorEncClearAll")

    def clear_digital_input_counts(self) -> None:
        self._do("ZorEncClearDiAll")

    def clear_digital_input_count(self, input: int) -> None:
        self._do("ZorEncClearDiCount", _channel(input, "input"))

    def clear_trigger_counts(self) -> None:
        self._do("ZorEncClearTriggerAll")

    def clear_trigger_count(self, channel: int) -> None:
        self._do("ZorEncClearTriggerCount", _channel(channel))

    def clear_encoder_positions(self) -> None:
        """Sets every channel's position to its reset value."""
        self._do("ZorEncClearEncoderPositionAll")

    def clear_encoder_position(self, channel: int) -> None:
        self._do("ZorEncClearEncoderPosition", _channel(channel))

    def clear_error_counts(self) -> None:
        self._do("ZorEncClearErrorCountAll")

    def clear_error_count(self, channel: int) -> None:
        self._do("ZorEncClearErrorCount", _channel(channel))
