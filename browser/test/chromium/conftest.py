"""Options shared by the Chromium session tests and the registration tests.

    /usr/bin/python3 -m pytest browser/test/chromium --bin build/native/bin

--bin names the native build's bin folder (host, stand-ins, corvantilhub-register);
the Windows build is looked for in windows/bin beside it unless --windows-bin
says otherwise.
"""
import json
from pathlib import Path

import pytest

from corvantilhub_harness.users import nobody_or_skip

REPO_ROOT = Path(__file__).resolve().parents[3]
DEFAULT_CHROMIUM = "/usr/lib/chromium/chromium"


def pytest_addoption(parser):
    parser.addoption("--bin", default=str(REPO_ROOT / "build" / "native" / "bin"),
                     help="bin folder of the native build")
    parser.addoption("--windows-bin", default=None,
                     help="bin folder of the Windows build (default: ../../windows/bin from --bin)")
    parser.addoption("--chromium", default=DEFAULT_CHROMIUM,
                     help="the Chromium browser binary (not the shell wrapper)")


@pytest.fixture(scope="session")
def native_bin(request) -> Path:
    return Path(request.config.getoption("--bin")).resolve()


@pytest.fixture(scope="session")
def windows_bin(request, native_bin) -> Path:
    given = request.config.getoption("--windows-bin")
    return Path(given).resolve() if given else native_bin.parent.parent / "windows" / "bin"


@pytest.fixture(scope="session")
def chromium_binary(request) -> Path:
    return Path(request.config.getoption("--chromium"))


@pytest.fixture(scope="session")
def version(native_bin) -> str:
    """The project version the build carries."""
    info = native_bin.parent / "package-info.json"
    return json.loads(info.read_text(encoding="utf-8"))["version"]


@pytest.fixture(scope="session")
def register_tool(native_bin) -> Path:
    return _require_file(native_bin / "corvantilhub-register", "corvantilhub-register")


@pytest.fixture
def home(tmp_path) -> Path:
    """A private HOME for one test's registrations."""
    folder = tmp_path / "home"
    folder.mkdir()
    return folder


@pytest.fixture
def other_user():
    """The uid and gid of nobody, a user whose files root must not trust."""
    return nobody_or_skip("handing files to another user")


def _require_file(path: Path, what: str) -> Path:
    if not path.is_file():
        pytest.skip(f"{what} not found at {path}; build it first")
    return path
