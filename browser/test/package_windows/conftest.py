"""Options of the MSI tests.

    /usr/bin/python3 -m pytest browser/test/package_windows --build build/windows

--build names the configured and built windows tree; the MSIs are made from
it with packaging/build_packages.py (the same builder as ./run.sh package).
"""
from pathlib import Path

REPO_ROOT = Path(__file__).resolve().parents[3]


def pytest_addoption(parser):
    parser.addoption("--build", default=str(REPO_ROOT / "build" / "windows"),
                     help="the windows build folder to package")
