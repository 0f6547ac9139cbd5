"""Python interface to zorenc, the library of the encoder-and-trigger board.

::

    import zorenc

    with zorenc.Board("COM3") as board:
        board.set_trigger_delay(0, 1.5)
        print(board.encoder_position(0), board.digital_inputs())

The native library is loaded from the path given to :func:`load_library` (or
``Board(..., library=path)``), else from ``$ZORENC_LIBRARY``, else from the
package's own folder (a wheel's copy), else by its platform name from the
system: ``libzorenc_x64.so``, ``zorenc_x64.dll`` or ``zorenc_x32.dll``;
:func:`library_path` names the file taken.  Failures raise
:class:`ZorEncError` subclasses.  :func:`list_ports` and :func:`find_boards`
find the board's port (``Board("auto")``, ``Board("serial:A1B2C3")`` open it by
identity) through the companion library ``zorenc_tools``, loaded from beside
the board library.  :class:`SimulatedBoard` runs the simulated board; the
pytest plugin of the wheel offers it as the fixture ``zorenc_sim``.
"""

from importlib import metadata as _metadata

from ._library import (
    LIBRARY_ENV,
    PROTOTYPES,
    Library,
    library_file_name,
    library_path,
    load_library,
)
from ._tools import (
    TOOLS_LIBRARY_ENV,
    ToolsBoardError,
    ToolsError,
    ToolsInternalError,
    ToolsLibrary,
    ToolsNotFoundError,
    ToolsUsageError,
    load_tools,
)
from .ports import PortInfo, ProbeResult, find_boards, list_ports, resolve_port
from ._board import CHANNELS, DIGITAL_INPUTS, INDEX_TRIGGERS
from .board import LINE_LIMIT, Abort, Board, TriggerControls
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
from .sim import SimCommands, SimulatedBoard

try:
    __version__ = _metadata.version(__name__)
except _metadata.PackageNotFoundError:  # a source folder, not an installed wheel
    __version__ = "0+source"

__all__ = [
    "CHANNELS",
    "CODES",
    "DIGITAL_INPUTS",
    "INDEX_TRIGGERS",
    "LIBRARY_ENV",
    "LINE_LIMIT",
    "PROTOTYPES",
    "TOOLS_LIBRARY_ENV",
    "ZORENC_ERR_ABORTED",
    "ZORENC_ERR_CHANNEL",
    "ZORENC_ERR_CHECKSUM",
    "ZORENC_ERR_FRAME",
    "ZORENC_ERR_NOT_OPEN",
    "ZORENC_ERR_PARAM",
    "ZORENC_ERR_TIMEOUT",
    "ZORENC_OK",
    "describe",
    "find_boards",
    "library_file_name",
    "library_path",
    "list_ports",
    "load_library",
    "load_tools",
    "resolve_port",
    "Abort",
    "Board",
    "CodeInfo",
    "Library",
    "PortInfo",
    "ProbeResult",
    "SimCommands",
    "SimulatedBoard",
    "ToolsBoardError",
    "ToolsError",
    "ToolsInternalError",
    "ToolsLibrary",
    "ToolsNotFoundError",
    "ToolsUsageError",
    "TriggerControls",
    "ZorEncAborted",
    "ZorEncChannelError",
    "ZorEncChecksumError",
    "ZorEncError",
    "ZorEncFrameError",
    "ZorEncNotOpenError",
    "ZorEncParamError",
    "ZorEncStatusError",
    "ZorEncTimeout",
]
