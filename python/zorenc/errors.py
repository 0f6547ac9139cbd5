"""Result codes of the zorenc library and the exceptions they become.

Every function of the library that reports a result gives ``ZORENC_OK`` (0), a
status byte of the board (1 to 255; 0xFA means the reply's checksum did not
match) or one of the library's own codes.  The Python side turns every
non-zero result into an instance of :class:`ZorEncError` or one of its
subclasses, so that no caller has a code to remember to check.

The names and meanings below are those of ``zorenc_codes.h``.
"""

from __future__ import annotations

from typing import Any, Dict, NamedTuple, Optional, Tuple, Type

ZORENC_OK = 0x0000
ZORENC_ERR_CHECKSUM = 0x00FA
ZORENC_ERR_PARAM = 0xFFF1
ZORENC_ERR_NOT_OPEN = 0xFFF2
ZORENC_ERR_ABORTED = 0xFFF3
ZORENC_ERR_CHANNEL = 0xFFF4
ZORENC_ERR_FRAME = 0xFFF6
ZORENC_ERR_TIMEOUT = 0xFFF9

#: code -> (name, meaning), in the order of the C table.
CODES: Dict[int, Tuple[str, str]] = {
    ZORENC_OK: ("ZORENC_OK", "success"),
    ZORENC_ERR_CHECKSUM: ("ZORENC_ERR_CHECKSUM", "the reply's checksum did not match"),
    ZORENC_ERR_PARAM: (
        "ZORENC_ERR_PARAM",
        "a required pointer is null, or a length or value is out of range",
    ),
    ZORENC_ERR_NOT_OPEN: ("ZORENC_ERR_NOT_OPEN", "the handle is not valid or its port is not open"),
    ZORENC_ERR_ABORTED: ("ZORENC_ERR_ABORTED", "the read was aborted by its abort flag"),
    ZORENC_ERR_CHANNEL: ("ZORENC_ERR_CHANNEL", "a channel, input or index is out of range"),
    ZORENC_ERR_FRAME: (
        "ZORENC_ERR_FRAME",
        "the reply frame is malformed, or a line is longer than 128 bytes",
    ),
    ZORENC_ERR_TIMEOUT: ("ZORENC_ERR_TIMEOUT", "no reply from the board within 1000 ms"),
}

STATUS_NAME = "ZORENC_STATUS"
STATUS_MEANING = "the board answered with a non-zero status"
UNKNOWN_NAME = "ZORENC_UNKNOWN"
UNKNOWN_MEANING = "an unknown result code"


class CodeInfo(NamedTuple):
    """A result code with its name and meaning."""

    code: int
    name: str
    meaning: str


def describe(code: int) -> CodeInfo:
    """The name and meaning of a result code.

    A board status byte (1..255 but 0xFA) is ``ZORENC_STATUS``; anything that
    is neither a known code nor a status byte is ``ZORENC_UNKNOWN``.
    """
    if code in CODES:
        name, meaning = CODES[code]
        return CodeInfo(code, name, meaning)
    if 1 <= code <= 255:
        return CodeInfo(code, STATUS_NAME, STATUS_MEANING)
    return CodeInfo(code, UNKNOWN_NAME, UNKNOWN_MEANING)


class ZorEncError(Exception):
    """A zorenc call that did not succeed.

    Attributes:
        code: the library's result code.
        name: its symbolic name, e.g. ``"ZORENC_ERR_TIMEOUT"``.
        meaning: what it means, in words.
        function: the C function that gave it, when known.
    """

    code: int
    name: str
    meaning: str
    function: Optional[str]

    def __init__(self, code: int, function: Optional[str] = None, detail: Optional[str] = None):
        info = describe(code)
        self.code = code
        self.name = info.name
        self.meaning = info.meaning
        self.function = function
        text = f"{info.name} (0x{code:04X}): {info.meaning}"
        if detail:
            text += f"; {detail}"
        if function:
            text = f"{function}: {text}"
        super().__init__(text)

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        # Rebuilt from its own arguments, not from the formatted text.
        return (type(self), (self.code, self.function))


class ZorEncTimeout(ZorEncError, TimeoutError):
    """The board did not answer within 1000 ms (``ZORENC_ERR_TIMEOUT``)."""


class ZorEncNotOpenError(ZorEncError):
    """The handler is not valid or its port is not open (``ZORENC_ERR_NOT_OPEN``);
    also raised when a port cannot be opened."""


class ZorEncPortGone(ZorEncError):
    """The port is gone, not merely silent: its device vanished (an adapter
    pulled out), or the library closed it (a network connection that the
    server or the network closed, a driver that gave up on the port).

    ``code`` is what the call answered (``ZORENC_ERR_TIMEOUT`` or
    ``ZORENC_ERR_NOT_OPEN``); ``port`` is the port's name.  Not a
    :class:`TimeoutError`: waiting longer does not help.
    :meth:`zorenc.Board.reopen` opens the same port again once it is back.
    """

    port: Optional[str] = None

    def __init__(self, code: int, function: Optional[str] = None, detail: Optional[str] = None,
                 port: Optional[str] = None):
        self.port = port
        super().__init__(code, function, detail or (f"the port {port} is gone" if port else None))

    def __reduce__(self) -> Tuple[Any, Tuple[Any, ...]]:
        return (type(self), (self.code, self.function, None, self.port))


class ZorEncChecksumError(ZorEncError):
    """The reply's checksum did not match (``ZORENC_ERR_CHECKSUM``).

    ``value`` holds the register value as received, when the call had one.
    """

    value: Optional[int] = None


class ZorEncFrameError(ZorEncError):
    """A malformed reply, or a line longer than 128 bytes (``ZORENC_ERR_FRAME``).

    ``data`` holds the 128 bytes a line read gathered without meeting its
    terminator; it is None for a malformed reply.
    """

    data: Optional[bytes] = None


class ZorEncAborted(ZorEncError):
    """A raw read ended because its abort flag was raised (``ZORENC_ERR_ABORTED``)."""


class ZorEncChannelError(ZorEncError, ValueError):
    """A channel, digital input or index out of range (``ZORENC_ERR_CHANNEL``)."""


class ZorEncParamError(ZorEncError, ValueError):
    """A value the library cannot represent or take (``ZORENC_ERR_PARAM``)."""


class ZorEncStatusError(ZorEncError):
    """The board answered with a non-zero status byte.

    ``status`` is that byte (also ``code``); ``value`` holds the register value
    of the reply, when the call had one.
    """

    value: Optional[int] = None

    @property
    def status(self) -> int:
        return self.code


_CLASSES: Dict[int, Type[ZorEncError]] = {
    ZORENC_ERR_CHECKSUM: ZorEncChecksumError,
    ZORENC_ERR_PARAM: ZorEncParamError,
    ZORENC_ERR_NOT_OPEN: ZorEncNotOpenError,
    ZORENC_ERR_ABORTED: ZorEncAborted,
    ZORENC_ERR_CHANNEL: ZorEncChannelError,
    ZORENC_ERR_FRAME: ZorEncFrameError,
    ZORENC_ERR_TIMEOUT: ZorEncTimeout,
}


def error_for(
    code: int, function: Optional[str] = None, detail: Optional[str] = None
) -> ZorEncError:
    """The exception for a non-zero result code (not raised)."""
    if code == ZORENC_OK:
        raise ValueError("ZORENC_OK is not an error")
    cls = _CLASSES.get(code)
    if cls is None:
        cls = ZorEncStatusError if 1 <= code <= 255 else ZorEncError
    return cls(code, function, detail)


def check(code: int, function: Optional[str] = None) -> None:
    """Raises the exception of a result code unless it is ``ZORENC_OK``."""
    if code != ZORENC_OK:
        raise error_for(code, function)
