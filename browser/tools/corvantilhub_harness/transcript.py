"""A readable, time-ordered account of one host run, printed as it happens."""
import sys
import threading
import time

from .wire import OutboundFrame, encode_message

LABELS = {
    "ext → host": "ext → host",
    "host → ext": "host → ext",
    "agent ←": "agent ←   ",
    "designer ←": "designer ←",
    "debug": "debug     ",
    "stderr": "stderr    ",
}


class Transcript:
    """Pass `event` as a HostProcess's on_event; it prints each item with the
    time since the transcript began. `hidden` names collectors to leave out."""

    def __init__(self, out=sys.stdout, hidden=(), shorten_at=400):
        self._out = out
        self._hidden = set(hidden)
        self._shorten_at = shorten_at
        self._lock = threading.Lock()
        self._start = time.monotonic()

    def event(self, name: str, item) -> None:
        if name in self._hidden:
            return
        self._print(f"{LABELS.get(name, name)}  {self._shorten(describe_item(item))}")

    def note(self, text: str) -> None:
        """A line of the narrator's own, such as a step heading."""
        self._print(text, stamp=False)

    def _print(self, text: str, stamp: bool = True) -> None:
        with self._lock:
            prefix = f"{time.monotonic() - self._start:7.3f}s  " if stamp else ""
            self._out.write(prefix + text + "\n")
            self._out.flush()

    def _shorten(self, text: str) -> str:
        if len(text) <= self._shorten_at:
            return text
        return f"{text[:self._shorten_at]}… ({len(text)} characters)"


def describe_item(item) -> str:
    if isinstance(item, OutboundFrame):
        try:
            return visible(item.text)
        except ValueError:
            return f"(not a JSON string) {item.body[:200]!r}"
    if isinstance(item, bytes):
        return f"(raw bytes) {item[:200]!r}"
    if isinstance(item, (dict, list)):
        return visible(encode_message(item).decode("utf-8"))
    return visible(str(item))


def visible(text: str) -> str:
    """`text` with control characters and lone surrogates shown as escapes."""
    return "".join(c if c.isprintable() else c.encode("unicode_escape").decode("ascii")
                   for c in text)
