"""Serial ports with their USB identity, boards found by a probe, and ports
named by identity.

The companion library does the work (the same code as ``zorenc ports``);
these are thin wrappers that turn its records into :class:`PortInfo`::

    for port in zorenc.list_ports():
        print(port.name, port.transport, port.vid, port.pid, port.serial_number)
    boards = zorenc.find_boards()
    with zorenc.Board("serial:A1B2C3") as board:  # or "usb:0403:6001", "auto"
        ...
"""

from __future__ import annotations

import dataclasses
from dataclasses import dataclass
from typing import Any, Dict, Iterable, List, Optional

from ._library import Library
from ._tools import load_tools


@dataclass(frozen=True)
class ProbeResult:
    """What the probe found on a port: ``result`` is ``"board"`` (with the
    versions; the logic version only when that read answered too),
    ``"no-answer"``, ``"busy"`` (another program holds the port) or
    ``"error"`` (``error`` says why)."""

    result: str
    firmware_version: Optional[float] = None
    logic_version: Optional[float] = None
    error: Optional[str] = None


@dataclass(frozen=True)
class PortInfo:
    """A serial port; None where the system does not tell.  ``transport`` is
    ``"usb"``, ``"native"``, ``"bluetooth"``, ``"virtual"`` or ``"unknown"``;
    ``probe`` is set by a probe only."""

    name: str
    description: str
    transport: str
    vid: Optional[int] = None
    pid: Optional[int] = None
    manufacturer: Optional[str] = None
    product: Optional[str] = None
    serial_number: Optional[str] = None
    location: Optional[str] = None
    latency_timer_ms: Optional[int] = None
    probe: Optional[ProbeResult] = None

    @classmethod
    def from_json(cls, record: Dict[str, Any]) -> "PortInfo":
        fields = dict(record)
        probe = fields.pop("probe", None)
        return cls(**fields, probe=ProbeResult(**probe) if probe is not None else None)

    def as_json(self) -> Dict[str, Any]:
        """The record as ``zorenc ports --json`` prints it."""
        record = dataclasses.asdict(self)
        if self.probe is None:
            del record["probe"]
        return record


def list_ports(probe: bool = False, candidates: Iterable[str] = (), *,
               library: Optional[Library] = None) -> List[PortInfo]:
    """The machine's serial ports, sorted by name, then the ``candidates``
    that the system does not list (a simulated board's pseudo-terminal).

    With ``probe`` every port is asked at once whether a board is there
    (about 1 s in all); the probe waits until no call of a Board runs, as it
    creates handlers of its own.
    """
    request = {"probe": bool(probe), "ports": list(candidates)}
    records = load_tools(library).call("ZorToolsListPorts", request, exclusive=bool(probe))
    return [PortInfo.from_json(record) for record in records]


def find_boards(candidates: Iterable[str] = (), *,
                library: Optional[Library] = None) -> List[PortInfo]:
    """The ports where a probe finds a board (listed ports and candidates)."""
    return [port for port in list_ports(True, candidates, library=library)
            if port.probe is not None and port.probe.result == "board"]


def is_identity(port: str) -> bool:
    """Whether port names a port by identity rather than by name."""
    return port == "auto" or port.startswith(("serial:", "usb:"))


def resolve_port(port: str, candidates: Iterable[str] = (), *,
                 library: Optional[Library] = None) -> str:
    """The name of the one port that ``port`` names: ``"serial:SN"``,
    ``"usb:VVVV:PPPP"``, ``"auto"`` (the one port with a board among the
    listed ports and ``candidates``) or a plain name, returned as it is.

    Raises :class:`ToolsNotFoundError` (a LookupError; ``details["found"]``
    holds the ports seen) when none or several match, and
    :class:`ToolsUsageError` for a malformed identity.
    """
    if not is_identity(port):
        return port
    request = {"port": port, "candidates": list(candidates)}
    result = load_tools(library).call("ZorToolsResolvePort", request, exclusive=port == "auto")
    return str(result["name"])
