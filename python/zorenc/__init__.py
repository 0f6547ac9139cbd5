"""Python interface to zorenc, the library of the encoder-and-trigger board.

::

    import zorenc

    with zorenc.Board("COM3") as board:
        board.set_trigger_delay(0, 1.5)
        print(board.encoder_position(0), board.digital_inputs())

The native library is loaded from the path given to :func:`load_library` (or
``Board(..., library=path)``), else from ``$ZORENC_LIBRARY``, else by its
platform name: ``libzorenc_x64.so``, ``zorenc_x64.dll`` or ``zorenc_x32.dll``.
Failures raise :class:`ZorEncError` subclasses.  :mod:`zorenc.sim` runs the
simulated board.
"""

from ._library import LIBRARY_ENV, PROTOTYPES, Library, library_file_name, load_library
from ._tools import TOOLS_LIBRARY_ENV, ToolsBoardError, ToolsError, ToolsUsageError
from .board import CHANNELS, DIGITAL_INPUTS, LINE_LIMIT, Abort, Board, TriggerControls
from .errors import (
    CODES,
    ZORENC_ERR_ABORTED,
    ZORENC_ERR_CHANNEL,
    ZORENC_ERR_CHECKSUM,
    ZORENC_ERR_FRAME,
    ZORENC_ERR_NOT_OPEN,
    ZORENC_ERR_PARAM,
    ZORENC_ERR_TIMEOUT,
    ZORENC_OK,
    CodeInfo,
    ZorEncAborted,
    ZorEncChannelError,
    ZorEncChecksumError,
    ZorEncError,
    ZorEncFrameError,
    ZorEncNotOpenError,
    ZorEncParamError,
    ZorEncStatusError,
    ZorEncTimeout,
    describe,
)

__version__ = "1.0.0"

__all__ = [
    "TOOLS_LIBRARY_ENV",
    "ToolsBoardError",
    "ToolsError",
    "ToolsUsageError",
    "Abort",
    "Board",
    "CHANNELS",
    "CODES",
    "CodeInfo",
    "DIGITAL_INPUTS",
    "LIBRARY_ENV",
    "LINE_LIMIT",
    "Library",
    "PROTOTYPES",
    "TriggerControls",
    "ZORENC_ERR_ABORTED",
    "ZORENC_ERR_CHANNEL",
    "ZORENC_ERR_CHECKSUM",
    "ZORENC_ERR_FRAME",
    "ZORENC_ERR_NOT_OPEN",
    "ZORENC_ERR_PARAM",
    "ZORENC_ERR_TIMEOUT",
    "ZORENC_OK",
    "ZorEncAborted",
    "ZorEncChannelError",
    "ZorEncChecksumError",
    "ZorEncError",
    "ZorEncFrameError",
    "ZorEncNotOpenError",
    "ZorEncParamError",
    "ZorEncStatusError",
    "ZorEncTimeout",
    "describe",
    "library_file_name",
    "load_library",
]
