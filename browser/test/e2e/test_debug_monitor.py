"""A debug monitor that stops reading never holds the host up: lines that it
can't take are dropped and counted, and the count reaches it once it reads
again. Native only: under Wine the debug output is OutputDebugString, which
behaves as the system makes it."""
import re
import socket
import threading
from pathlib import Path

from corvantilhub_harness.debug_lines import SOCKET_NAME, DebugLine
from corvantilhub_harness.host_process import HostProcess, StandinSettings
from corvantilhub_harness.wire import envelope

LOST = re.compile(r"Debug output: ([0-9]+) lines? lost while the monitor was not reading")
# Were each line to wait only 100 ms for room, these would take 100 s,
# against the harness's deadline of 30 s.
PAGE_LOADS = 1000


class LazyMonitor:
    """Binds the debug socket in place of the harness's listener and reads
    nothing until told to."""

    def __init__(self, runtime_dir: Path, sink):
        self.path = Path(runtime_dir) / SOCKET_NAME
        self._sink = sink
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self._socket.bind(str(self.path))
        self._stopping = threading.Event()
        self._thread = None

    def read_queued(self) -> None:
        """Takes what the queue holds now, so the host's next line finds room."""
        self._socket.setblocking(False)
        while True:
            try:
                datagram = self._socket.recv(1 << 17)
            except BlockingIOError:
                return
            self._sink(DebugLine(datagram.decode("utf-8", "replace")))

    def start_reading(self) -> None:
        self._socket.settimeout(0.1)  # lets the reader notice stop()
        self._thread = threading.Thread(target=self._receive, name="lazy-monitor", daemon=True)
        self._thread.start()

    def _receive(self) -> None:
        while not self._stopping.is_set():
            try:
                datagram = self._socket.recv(1 << 17)
            except socket.timeout:
                continue
            except OSError:
                return
            self._sink(DebugLine(datagram.decode("utf-8", "replace")))

    def stop(self) -> None:
        self._stopping.set()
        if self._thread is not None:
            self._thread.join()
        self._socket.close()
        self.path.unlink(missing_ok=True)


class RunnerWithLazyMonitor:
    """The session's runner, with a LazyMonitor as the debug source."""

    def __init__(self, runner):
        self._runner = runner
        self.monitor = None

    def __getattr__(self, name):
        return getattr(self._runner, name)

    def start_debug_source(self, env: dict, sink):
        self.monitor = LazyMonitor(Path(env["XDG_RUNTIME_DIR"]), sink)
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
