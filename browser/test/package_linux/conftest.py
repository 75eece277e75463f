"""Options of the Debian package tests.

    /usr/bin/python3 -m pytest browser/test/package_linux --build build/native

--build names a configured and built native tree; the package is made from it
with packaging/build_packages.py (the same builder as ./run.sh package).
"""
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parents[3]


def pytest_addoption(parser):
    parser.addoption("--build", default=str(REPO_ROOT / "build" / "native"),
                     help="the native build folder to package")
    parser.addoption("--chromium", default="/usr/lib/chromium/chromium",
                     help="the Chromium browser binary (not the shell wrapper)")
    parser.addoption("--firefox", default="/usr/lib/firefox-esr/firefox-esr",
                     help="the Firefox ESR browser binary")
