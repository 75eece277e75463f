"""The host's debug output, as lines.

Natively every line is one datagram to the Unix socket
$XDG_RUNTIME_DIR/corvantilhub-debug.sock, in a private folder per host run.
The host drops a line that the socket's queue (about ten datagrams) can't
take at once, so where the build has corvantilhub-debug-monitor, that small
program listens and passes the lines on through a pipe, which holds far
more; a Python thread, which may wait for the interpreter's lock, binds the
socket itself only where there is no such program. Under Wine every OutputDebugString call shows on
the host's stderr (WINEDEBUG=warn+seh) as

    0024:warn:seh:dispatch_exception "<text>"

in C-style escapes, with the text in the ANSI code page and cut after about
300 bytes (the quote is then followed by "...").
"""
import os
import re
import signal
import socket
import struct
import subprocess
import threading
from dataclasses import dataclass
from pathlib import Path

SOCKET_NAME = "corvantilhub-debug.sock"
RECEIVE_BUFFER_BYTES = 4 * 1024 * 1024
LARGEST_DATAGRAM_BYTES = 256 * 1024


@dataclass(frozen=True)
class DebugLine:
    text: str
    truncated: bool = False  # only the start of the line could be seen

    def matches(self, expected: str) -> bool:
        if self.truncated:
            return expected.startswith(self.text)
        return self.text == expected

    def __str__(self) -> str:
        return self.text + ("..." if self.truncated else "")


MONITOR_START_SECONDS = 30.0


class DebugMonitorRelay:
    """Runs `monitor` (corvantilhub-debug-monitor) on the debug socket in
    `runtime_dir` and feeds each line that it passes on to `sink`."""

    def __init__(self, monitor: Path, runtime_dir: Path, sink):
        self.path = Path(runtime_dir) / SOCKET_NAME
        self._sink = sink
        env = dict(os.environ, XDG_RUNTIME_DIR=str(runtime_dir))
        self._process = subprocess.Popen([str(monitor), "--framed"], env=env,
                                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready = self._process.stderr.readline().decode("utf-8", "replace")
        if not ready.startswith("listening on"):
            self._process.kill()
            self._process.wait(MONITOR_START_SECONDS)
            raise RuntimeError(f"{monitor} did not start listening: {ready.strip()!r}")
        self._thread = threading.Thread(target=self._receive, name="debug-relay", daemon=True)
        self._thread.start()

    def _receive(self) -> None:
        stream = self._process.stdout
        while len(header := stream.read(4)) == 4:
            text = stream.read(struct.unpack("<I", header)[0])
            self._sink(DebugLine(text.decode("utf-8", "replace")))

    def stop(self) -> None:
        """Stops after the monitor has passed on what is queued; the host has ended by now."""
        self._process.send_signal(signal.SIGTERM)
        self._thread.join()
        self._process.wait(MONITOR_START_SECONDS)
        self._process.stdout.close()
        self._process.stderr.close()


class DebugSocketListener:
    """Binds the debug socket in `runtime_dir` and feeds each datagram to `sink`.

    With `reading=False` it reads nothing until start_reading() or
    read_queued(), like a monitor that has stopped reading; with
    `receive_buffer=None` its queue keeps the system's default size."""

    def __init__(self, runtime_dir: Path, sink, reading: bool = True,
                 receive_buffer=RECEIVE_BUFFER_BYTES):
        self.path = Path(runtime_dir) / SOCKET_NAME
        self._sink = sink
        self._socket = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        if receive_buffer is not None:
            self._socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
        self._socket.bind(str(self.path))
        os.chmod(self.path, 0o600)
        self._stopping = threading.Event()
        self._thread = None
        if reading:
            self.start_reading()

    def start_reading(self) -> None:
        # A short timeout lets the receiver notice stop() without a wake-up pipe.
        self._socket.settimeout(0.1)
        self._thread = threading.Thread(target=self._receive, name="debug-listener", daemon=True)
        self._thread.start()

    def _receive(self) -> None:
        while not self._stopping.is_set():
            try:
                datagram = self._socket.recv(LARGEST_DATAGRAM_BYTES)
            except socket.timeout:
                continue
            except OSError:
                break
            self._sink(DebugLine(datagram.decode("utf-8", "replace")))

    def read_queued(self) -> None:
        """Takes what the queue holds now, without waiting for more."""
        self._socket.settimeout(0)
        while True:
            try:
                datagram = self._socket.recv(LARGEST_DATAGRAM_BYTES)
            except OSError:
                return
            self._sink(DebugLine(datagram.decode("utf-8", "replace")))

    def stop(self) -> None:
        """Stops after draining what is queued; the host has ended by now."""
        self.read_queued()
        self._stopping.set()
        if self._thread is not None:
            self._thread.join()
        self._socket.close()
        self.path.unlink(missing_ok=True)


_WINE_DEBUG_LINE = re.compile(r'^[0-9a-f]+:warn:seh:dispatch_exception "(.*)"(\.\.\.)?$')
# OutputDebugStringW also logs its text once more on the way to the A call.
_WINE_DEBUG_ECHO = re.compile(r'^[0-9a-f]+:warn:seh:OutputDebugStringA "')
_WINE_ESCAPE = re.compile(r'\\(x[0-9a-fA-F]{2}|.)')
_WINE_SIMPLE_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}


def is_wine_debug_echo(stderr_line: str) -> bool:
    return _WINE_DEBUG_ECHO.match(stderr_line) is not None


def parse_wine_debug_line(stderr_line: str):
    """The DebugLine that one line of Wine's stderr carries, or None."""
    match = _WINE_DEBUG_LINE.match(stderr_line.rstrip("\r\n"))
    if not match:
        return None
    text = _WINE_ESCAPE.sub(_unescape_wine, match.group(1))
    return DebugLine(text, truncated=match.group(2) is not None)


def _unescape_wine(match) -> str:
    escape = match.group(1)
    if escape.startswith("x") and len(escape) == 3:
        return bytes([int(escape[1:], 16)]).decode("cp1252", "replace")
    return _WINE_SIMPLE_ESCAPES.get(escape, escape)
