"""Checks of the Windows build folder: what an installation holds and what
the programs in it are. Run with --build pointing at the windows build."""
import os
import pathlib
import shutil
import subprocess

import pytest

REPO_ROOT = pathlib.Path(__file__).resolve().parents[3]
# Runs a Windows program under Wine in a prefix that is set up and whose
# server is up, so the program's output ends when the program does.
WINE_RUN = REPO_ROOT / "scripts" / "wine-run.sh"


def pytest_addoption(parser):
    parser.addoption("--build", default="build/windows",
                     help="the build folder of the windows preset")


@pytest.fixture(scope="session")
def build_dir(request):
    path = pathlib.Path(request.config.getoption("--build")).resolve()
    if not (path / "CMakeCache.txt").exists():
        pytest.fail(f"{path} is not a configured build folder")
    return path


@pytest.fixture(scope="session")
def installed(build_dir, tmp_path_factory):
    """The folder that `cmake --install` makes from the build."""
    prefix = tmp_path_factory.mktemp("install")
    subprocess.run(["cmake", "--install", str(build_dir), "--prefix", str(prefix)],
                   check=True, capture_output=True, text=True)
    return prefix


@pytest.fixture(scope="session")
def wine_env(build_dir):
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", str(build_dir / "wineprefix"))
    env["WINEDEBUG"] = "-all"
    return env


@pytest.fixture
def copy_of(installed, tmp_path):
    """A copy of the installed folder that a test may change."""
    def make():
        folder = tmp_path / "copy"
        shutil.copytree(installed, folder)
        return folder
    return make
