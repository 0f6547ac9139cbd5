"""Where the package takes its library and zorenc-sim from, in order: the
path given, the environment variable, the package's own copy, the system."""

import os
import shutil
import unittest
from unittest import mock

from support import library

import zorenc
from zorenc import _library, sim

NAME = zorenc.library_file_name()
INSIDE = os.path.join(_library.PACKAGE_DIR, NAME)
SIM_INSIDE = os.path.join(_library.PACKAGE_DIR, sim.SIM_PROGRAM)


def environment(**values):
    """The process environment with ZORENC_* replaced by values."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("ZORENC_")}
    env.update(values)
    return mock.patch.dict(os.environ, env, clear=True)


class LibraryOrder(unittest.TestCase):
    def test_candidates_in_order(self):
        packaged = (INSIDE,) if os.path.exists(INSIDE) else ()
        rows = [
            # given, $ZORENC_LIBRARY, the files tried in order
            ("/given/lib.so", "/env/lib.so", ("/given/lib.so",)),
            (None, "/env/lib.so", ("/env/lib.so",)),
            (None, "", packaged + (NAME,)),
        ]
        for given, env, expected in rows:
            with self.subTest(given=given, env=env), environment(ZORENC_LIBRARY=env):
                self.assertEqual(_library._candidates(given), expected)

    def test_a_given_path_that_fails_is_not_replaced_by_another(self):
        missing = os.path.join(_library.PACKAGE_DIR, "no-such-library.so")
        with self.assertRaisesRegex(OSError, "no-such-library.so") as caught:
            zorenc.Library(missing)
        self.assertNotIn(INSIDE + ":", str(caught.exception))

    def test_library_path_is_the_absolute_file_loaded(self):
        loaded = library().path
        self.assertTrue(os.path.isabs(loaded) and os.path.isfile(loaded), loaded)
        self.assertEqual(zorenc.library_path(), loaded)
        relative = os.path.relpath(loaded)
        self.assertEqual(zorenc.library_path(relative), loaded)


class SimulatorOrder(unittest.TestCase):
    def test_found_in_order(self):
        packaged = SIM_INSIDE if os.path.exists(SIM_INSIDE) else shutil.which(sim.SIM_PROGRAM)
        rows = [
            ("/given/zorenc-sim", "/env/zorenc-sim", "/given/zorenc-sim"),
            (None, "/env/zorenc-sim", "/env/zorenc-sim"),
            (None, "", packaged),
        ]
        for given, env, expected in rows:
            with self.subTest(given=given, env=env), environment(ZORENC_SIM=env):
                if expected is None:  # a source folder without zorenc-sim on PATH
                    self.assertRaises(FileNotFoundError, sim.find_simulator, given)
                else:
                    self.assertEqual(sim.find_simulator(given), expected)


if __name__ == "__main__":
    unittest.main()
