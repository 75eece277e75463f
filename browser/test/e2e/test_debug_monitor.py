"""A debug monitor that stops reading never holds the host up: lines that it
can't take are dropped and counted, and the count reaches it once it reads
again. Native only: under Wine the debug output is OutputDebugString, which
behaves as the system makes it."""
import os
import re
import socket
import stat
import subprocess
from pathlib import Path

import pytest

from corvantilhub_harness.debug_lines import DebugSocketListener
from corvantilhub_harness.host_process import HostProcess, StandinSettings
from corvantilhub_harness.wire import envelope

LOST = re.compile(r"Debug output: ([0-9]+) lines? lost while the monitor was not reading")
# Were each line to wait only 100 ms for room, these would take 100 s,
# against the harness's deadline of 30 s.
PAGE_LOADS = 1000


class RunnerWithLazyMonitor:
    """The session's runner, with a debug socket listener that reads nothing
    until told to (and keeps the system's small queue) as the debug source."""

    def __init__(self, runner):
        self._runner = runner
        self.monitor = None

    def __getattr__(self, name):
        return getattr(self._runner, name)

    def start_debug_source(self, env: dict, sink):
        self.monitor = DebugSocketListener(Path(env["XDG_RUNTIME_DIR"]), sink,
                                           reading=False, receive_buffer=None)
        return self.monitor


def page_loaded(number: int) -> dict:
    return envelope("documentComplete",
                    {"url": f"https://example.test/login/{number}", "bTopLvlDoc": "true"})


def test_monitor_that_does_not_read_holds_nothing_up_and_learns_what_it_lost(
        runner, tmp_path, native_only):
    native_only("the debug output is OutputDebugString")
    lazy = RunnerWithLazyMonitor(runner)
    host = HostProcess(lazy, tmp_path / "host", StandinSettings.quiet(agent_script={
        "replies": {"OnDocumentComplete": [{"text": "answer"}]}}))
    host.start()
    try:
        for number in range(PAGE_LOADS):
            host.send(page_loaded(number))
        frames = host.frames.wait_for_count(PAGE_LOADS, what="an answer to every page load")
        assert {frame.body for frame in frames} == {b'"answer"'}

        lazy.monitor.read_queued()
        queued = host.debug_texts()
        lazy.monitor.start_reading()
        host.send(page_loaded(PAGE_LOADS))
        report = host.debug.wait_for(lambda line: LOST.fullmatch(line.text),
                                     what="the count of lost lines")
        host.frames.wait_for_count(PAGE_LOADS + 1, what="the last answer")
        assert host.end() == 0
    finally:
        host.kill()

    # What the queue held, then the count, then the lines that came after.
    texts = host.debug_texts()
    assert texts[:len(queued) + 1] == queued + [report.text]
    assert "Calling OnDocumentComplete" in texts[len(queued) + 1:]
    assert "Corvantilhub Activated" in queued
    assert len(queued) + int(LOST.fullmatch(report.text).group(1)) >= 1 + PAGE_LOADS
    assert host.stream_errors == []


def test_without_a_runtime_folder_the_socket_sits_in_a_folder_of_the_users_own(
        runner, tmp_path, native_only):
    """Directly in /tmp, any user could take the socket's name first."""
    native_only("the debug output is OutputDebugString")
    env = runner.environment(tmp_path)
    del env["XDG_RUNTIME_DIR"]
    folder = Path(f"/tmp/corvantilhub-{os.geteuid()}")
    made_here = not folder.exists()
    monitor = subprocess.Popen([str(runner.bin_dir / "corvantilhub-debug-monitor")], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        ready = monitor.stderr.readline()
        if ready.startswith("another monitor is listening"):
            pytest.skip(f"a monitor of this user's already listens in {folder}")
        assert ready == f"listening on {folder}/corvantilhub-debug.sock\n"
        status = folder.lstat()
        assert (status.st_mode, status.st_uid) == (stat.S_IFDIR | 0o700, os.geteuid())
        subprocess.run(runner.command(runner.bin_dir / runner.executable_name), env=env,
                       stdin=subprocess.DEVNULL, check=True, timeout=runner.timeout)
        monitor.terminate()
        assert "Corvantilhub Activated" in monitor.communicate(timeout=runner.timeout)[0]
    finally:
        monitor.kill()
        monitor.wait(timeout=runner.timeout)
        if made_here:
            (folder / "corvantilhub-debug.sock").unlink(missing_ok=True)
            folder.rmdir()


def test_the_monitor_prints_control_characters_as_escapes(runner, tmp_path, native_only):
    """Any process of the user can write to the socket; on a terminal no line
    may move the cursor, retitle the window or forge a line of its own."""
    native_only("the debug output is OutputDebugString")
    env = runner.environment(tmp_path)
    monitor = subprocess.Popen([str(runner.bin_dir / "corvantilhub-debug-monitor")], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        assert monitor.stderr.readline().startswith(b"listening on ")
        with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as writer:
            writer.sendto("\x1b]0;title\x07 a\nforged\u009b2J £é\x7f".encode(),
                          str(Path(env["XDG_RUNTIME_DIR"]) / "corvantilhub-debug.sock"))
        monitor.terminate()
        printed = monitor.communicate(timeout=runner.timeout)[0].decode()
    finally:
        monitor.kill()
        monitor.wait(timeout=runner.timeout)
    assert printed == "\\u001B]0;title\\u0007 a\\nforged\\u009B2J £é\\u007F\n"
