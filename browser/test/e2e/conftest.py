"""Fixtures that start real host processes with the stand-in libraries.

Run natively:   /usr/bin/python3 -m pytest browser/test/e2e --bin build/native/bin
Run under Wine: /usr/bin/python3 -m pytest browser/test/e2e --flavor windows --bin build/windows/bin
"""
import itertools
import re
import subprocess
from pathlib import Path

import pytest

REPO_ROOT = Path(__file__).resolve().parents[3]

from corvantilhub_harness.collector import Collector
from corvantilhub_harness.host_process import HostProcess, StandinSettings
from corvantilhub_harness.runners import make_runner

# The first line of a report by AddressSanitizer, LeakSanitizer,
# ThreadSanitizer or UndefinedBehaviorSanitizer on the host's stderr.
SANITIZER_REPORT = re.compile(r"ERROR: (Address|Leak)Sanitizer|WARNING: ThreadSanitizer|"
                              r"runtime error: ")


def pytest_addoption(parser):
    parser.addoption("--flavor", choices=("native", "windows"), default="native",
                     help="native: run <bin>/Corvantilhub; windows: <bin>/Corvantilhub.exe under Wine")
    parser.addoption("--bin", default=str(REPO_ROOT / "build" / "native" / "bin"),
                     help="the folder with the host and the stand-in libraries")
    parser.addoption("--slowdown", type=float, default=1.0,
                     help="multiply every deadline by this (sanitizer builds run slower)")


@pytest.fixture(scope="session")
def runner(request, tmp_path_factory):
    flavor = request.config.getoption("--flavor")
    bin_dir = Path(request.config.getoption("--bin")).resolve()
    executable = bin_dir / ("Corvantilhub.exe" if flavor == "windows" else "Corvantilhub")
    if not executable.is_file():
        pytest.fail(f"no host at {executable}; build the {flavor} flavour first", pytrace=False)
    session_runner = make_runner(flavor, bin_dir, tmp_path_factory.mktemp(flavor))
    session_runner.timeout *= request.config.getoption("--slowdown")
    yield session_runner
    session_runner.close()


@pytest.fixture
def start_host(runner, tmp_path):
    """start_host(settings=None, executable=None, launcher=None, preexec_fn=None) -> a started HostProcess.

    Each host gets a private folder (debug socket, protection key, records,
    scripts) under the test's tmp_path; all are killed at teardown if still
    running.
    """
    hosts = []
    numbers = itertools.count(1)

    def start(settings: StandinSettings = None, executable: Path = None,
              launcher: list = None, preexec_fn=None) -> HostProcess:
        host = HostProcess(runner, tmp_path / f"host{next(numbers)}",
                           settings or StandinSettings.quiet(), executable, launcher=launcher,
                           preexec_fn=preexec_fn)
        hosts.append(host)
        return host.start()

    yield start
    for host in hosts:
        host.kill()
        # Shown by pytest only when the test failed.
        print(f"--- {host.work_dir.name}: exit status {host.exit_status}")
        print("debug lines:", *(f"  {line}" for line in host.debug.items()), sep="\n")
        print("stderr:", *(f"  {line}" for line in host.stderr.items()[-30:]), sep="\n")
    assert not [error for host in hosts for error in host.thread_errors]
    assert not [line for host in hosts for line in host.stderr.items()
                if SANITIZER_REPORT.search(str(line))], "a sanitizer reported a fault"


@pytest.fixture
def host(start_host) -> HostProcess:
    """A host with quiet stand-ins."""
    return start_host()


@pytest.fixture
def run_host_once(runner, tmp_path):
    """Call with subprocess.run's arguments for the host's standard streams
    (and a preexec_fn) to run it to its end while the session's debug source
    listens; returns the finished process and the debug texts."""
    def run(**stream_arguments):
        env = runner.environment(tmp_path)
        debug = Collector("debug")
        listener = runner.start_debug_source(env, debug.add)
        try:
            result = subprocess.run(runner.command(runner.bin_dir / runner.executable_name),
                                    env=env, timeout=runner.timeout, **stream_arguments)
        finally:
            listener.stop()
        return result, [line.text for line in debug.items()]
    return run


@pytest.fixture
def native_only(runner):
    """Call with a reason to skip one check that Wine can't show."""
    def skip_under_wine(reason: str) -> None:
        if runner.flavor != "native":
            pytest.skip(f"under Wine: {reason}")
    return skip_under_wine
