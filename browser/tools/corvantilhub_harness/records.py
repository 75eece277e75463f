"""The stand-in libraries' call records.

Each stand-in appends one JSON line {"fn": ..., "args": [...]} per call to
the file named by HARROWMERE_RECORD or TOLLGATELINK_RECORD. Strings carry
every UTF-16 unit as \\uXXXX where needed, so json.loads gives them back
unit for unit (a lone surrogate stays a lone surrogate).
"""
import json
import threading
from dataclasses import dataclass
from pathlib import Path

POLL_SECONDS = 0.01


@dataclass(frozen=True)
class Call:
    fn: str
    args: tuple

    @staticmethod
    def from_line(line: bytes) -> "Call":
        record = json.loads(line.decode("utf-8"))
        return Call(record["fn"], tuple(record["args"]))

    def __str__(self) -> str:
        return f"{self.fn}({', '.join(json.dumps(a, ensure_ascii=False) for a in self.args)})"


def read_record(path) -> list:
    """Every call a record file holds, in the order made; none when the file
    does not exist."""
    try:
        data = Path(path).read_bytes()
    except FileNotFoundError:
        return []
    return [Call.from_line(line) for line in data.split(b"\n") if line.strip()]


class RecordWatcher:
    """Follows a record file from another thread and feeds each call to `sink`.

    The file may not exist yet; only complete lines are read.
    """

    def __init__(self, path: Path, sink):
        self.path = Path(path)
        self._sink = sink
        self._offset = 0
        self._pending = b""
        self._reading = threading.Lock()
        self._stopping = threading.Event()
        self._thread = threading.Thread(target=self._follow, name=f"record-{self.path.name}",
                                        daemon=True)
        self._thread.start()

    def _follow(self) -> None:
        while not self._stopping.wait(POLL_SECONDS):
            self.catch_up()

    def catch_up(self) -> None:
        """Reads what the file holds now; any thread may call this, so that
        calls recorded before some other event are seen before it."""
        with self._reading:
            self._read_new_lines()

    def _read_new_lines(self) -> None:
        try:
            with open(self.path, "rb") as record:
                record.seek(self._offset)
                data = record.read()
        except FileNotFoundError:
            return
        self._offset += len(data)
        *lines, self._pending = (self._pending + data).split(b"\n")
        for line in lines:
            if line.strip():
                self._sink(Call.from_line(line))

    def stop(self) -> None:
        """Stops following after one last read of the file."""
        self._stopping.set()
        self._thread.join()
        self.catch_up()
