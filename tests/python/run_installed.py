"""Runs the Python tests against the installed Linux wheel.

usage: run_installed.py WHEEL VERSION WORK_DIR [--tool-dir DIR] [PYTEST_ARG...]

Makes a fresh virtual environment in WORK_DIR/venv (Debian's interpreter,
--system-site-packages for its pytest and pip; --without-pip saves seconds),
installs WHEEL from the file (no index, no network), and then, with no ZORENC_* variable and no source or
build folder on any path, from the scratch folder WORK_DIR/scratch:
  1. opens a SimulatedBoard and reads its firmware version, checking that
     the package, its library, its companion library and zorenc-sim are the
     installed ones;
  2. runs a user's test file that uses only the zorenc_sim fixture;
  3. runs pytest with PYTEST_ARGS (the package's tests), with DIR (the zorenc
     tool's folder) on PATH for the tests that compare with its output.
"""

import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

# Step 1, in the environment's interpreter.
SMOKE = r"""
import ctypes, json, os, sys
import zorenc

version = sys.argv[1]
package = os.path.dirname(os.path.abspath(zorenc.__file__))
assert sys.prefix != sys.base_prefix and package.startswith(sys.prefix + os.sep), package
assert zorenc.__version__ == version, zorenc.__version__
assert zorenc.library_path() == os.path.join(package, "libzorenc_x64.so"), zorenc.library_path()
with zorenc.SimulatedBoard() as s, zorenc.Board(s.port) as b:
    firmware = b.firmware_version()
assert s.executable == os.path.join(package, "zorenc-sim"), s.executable
# The companion library, loaded after the board library as the package does.
tools = ctypes.CDLL(os.path.join(os.path.dirname(zorenc.library_path()), "libzorenc_tools_x64.so"))
tools.ZorToolsVersion.restype = ctypes.c_void_p
tools.ZorToolsFree.argtypes = (ctypes.c_void_p,)
answer = tools.ZorToolsVersion()
document = json.loads(ctypes.string_at(answer))
tools.ZorToolsFree(answer)
assert document["ok"] and document["result"]["version"] == version, document
print(f"zorenc {zorenc.__version__} from {package}: firmware {firmware}, companion {document}")
"""


def run(args, **kwargs):
    print("+", " ".join(args), flush=True)
    subprocess.run(args, check=True, **kwargs)


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    wheel, version, work = sys.argv[1:4]
    wheel, work = os.path.abspath(wheel), os.path.abspath(work)
    pytest_args = sys.argv[4:]
    tool_dir = None
    if pytest_args[:1] == ["--tool-dir"]:
        # The zorenc tool, for the tests that compare with its output: on PATH
        # for the test suite only, never for the smoke test or the fixture.
        tool_dir, pytest_args = pytest_args[1], pytest_args[2:]
    venv = os.path.join(work, "venv")
    scratch = os.path.join(work, "scratch")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(scratch)

    env = {
        k: v
        for k, v in os.environ.items()
        if not k.startswith(("ZORENC_", "PYTHON", "PIP_")) and k != "VIRTUAL_ENV"
    }
    env["PYTHONDONTWRITEBYTECODE"] = "1"  # nothing written beside the tests
    run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", "--without-pip", venv],
        env=env)
    python = os.path.join(venv, "bin", "python")
    run([python, "-m", "pip", "install", "--no-index", "--no-deps", "--quiet",
         "--disable-pip-version-check", wheel], env=env, cwd=scratch)
    run([python, "-c", SMOKE, version], env=env, cwd=scratch)
    shutil.copy(os.path.join(HERE, "fixture_example.py"),
                os.path.join(scratch, "test_user_suite.py"))
    pytest = [python, "-m", "pytest", "-p", "no:cacheprovider", "-q", "--rootdir", scratch]
    run(pytest + ["test_user_suite.py"], env=env, cwd=scratch)
    if pytest_args:
        if tool_dir:
            env["PATH"] = tool_dir + os.pathsep + env.get("PATH", "")
        run(pytest + pytest_args, env=env, cwd=scratch)


if __name__ == "__main__":
    try:
        main()
    except subprocess.CalledProcessError as e:
        sys.exit(f"failed ({e.returncode}): {' '.join(e.cmd[:4])} ...")
