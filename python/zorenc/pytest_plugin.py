"""The pytest plugin of the zorenc wheel (entry point ``pytest11``).

It offers the fixture ``zorenc_sim``: a simulated board started for the test
and ended by its pid afterwards, with test commands on::

    def test_trigger(zorenc_sim):
        with zorenc.Board(zorenc_sim.port) as b:
            zorenc_sim.commands(b).set_inputs(0b1)
            assert b.digital_input(0)

The fixture is a :class:`zorenc.SimulatedBoard` (``port``, ``pid``,
``commands(board)``).  Needs POSIX (a pseudo-terminal) and the zorenc-sim
program, which the Linux wheel carries; on Windows the tests that use it are
skipped.  pytest is needed only by the tests that use the fixture, not by the
package.
"""

from __future__ import annotations

import sys
from typing import Iterator

import pytest

from .sim import SimulatedBoard


@pytest.fixture
def zorenc_sim() -> Iterator[SimulatedBoard]:
    """A running simulated board with test commands, one per test."""
    if sys.platform == "win32":
        pytest.skip("the simulated board needs a POSIX pseudo-terminal")
    with SimulatedBoard(test_commands=True) as board:
        yield board
