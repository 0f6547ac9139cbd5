"""A user's test suite in miniature: run by run_installed.py from a scratch
folder with only the installed wheel, so it sees the zorenc_sim fixture
exactly as a user's pytest does."""

import zorenc


def test_trigger(zorenc_sim):
    with zorenc.Board(zorenc_sim.port) as b:
        zorenc_sim.commands(b).set_inputs(0b1000001)
        assert b.digital_inputs()[::6] == (True, True)
        assert b.firmware_version() > 0


def test_each_test_has_a_board_of_its_own(zorenc_sim):
    with zorenc.Board(zorenc_sim.port) as b:
        assert not any(b.digital_inputs())
