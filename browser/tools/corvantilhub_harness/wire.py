"""The host's frame format.

Both directions carry a 4-byte little-endian unsigned length, then that
many body bytes. Inbound bodies are UTF-8 JSON envelopes; outbound bodies are one
JSON string literal whose value is the message text.
"""
import json
import struct
from dataclasses import dataclass

LENGTH = struct.Struct("<I")
MAX_OUTBOUND_BODY_BYTES = 1048576
MAX_INBOUND_BODY_BYTES = 67108864


def frame(body: bytes) -> bytes:
    """One inbound frame around `body`, announcing its true length."""
    return LENGTH.pack(len(body)) + body


def encode_message(message) -> bytes:
    """The compact UTF-8 JSON text of `message`, non-ASCII kept raw."""
    return json.dumps(message, ensure_ascii=False, separators=(",", ":")).encode("utf-8")


def message_frame(message) -> bytes:
    return frame(encode_message(message))


def envelope(type_=None, payload=None, tab_id="1", request_id=None) -> dict:
    """An extension envelope; members left as None are omitted."""
    message = {"tabID": tab_id}
    if request_id is not None:
        message["requestID"] = request_id
    if type_ is not None:
        message["type"] = type_
    if payload is not None:
        message["payload"] = payload
    return message


@dataclass(frozen=True)
class OutboundFrame:
    """A frame from the host: its raw body and the text that body encodes."""
    body: bytes

    @property
    def text(self) -> str:
        """The JSON string's value; raises ValueError for a body that isn't one."""
        value = json.loads(self.body.decode("utf-8"))
        if not isinstance(value, str):
            raise ValueError(f"frame body is not a JSON string: {self.body[:80]!r}")
        return value

    def json(self):
        """The message text read as JSON (agent and log-level messages are)."""
        return json.loads(self.text)


def read_exactly(stream, count: int) -> bytes:
    """Reads `count` bytes, or fewer when the stream ends first."""
    chunks = []
    while count > 0:
        chunk = stream.read(count)
        if not chunk:
            break
        chunks.append(chunk)
        count -= len(chunk)
    return b"".join(chunks)


class CutFrame(EOFError):
    """The stream ended inside a frame."""

    def __init__(self, announced: int, received: int):
        super().__init__(f"stream ended after {received} of {announced} body bytes")
        self.announced = announced
        self.received = received


def read_outbound_frame(stream):
    """The next frame on `stream`, or None at a clean end of the stream.

    A stream that ends inside a frame raises CutFrame (EOFError for a cut
    length): worth seeing, since the host writes each frame whole.
    """
    header = read_exactly(stream, LENGTH.size)
    if not header:
        return None
    if len(header) < LENGTH.size:
        raise EOFError(f"stream ended inside a length: {header!r}")
    (length,) = LENGTH.unpack(header)
    if length > MAX_OUTBOUND_BODY_BYTES:
        raise ValueError(f"frame length {length} exceeds the host's limit")
    body = read_exactly(stream, length)
    if len(body) < length:
        raise CutFrame(length, len(body))
    return OutboundFrame(body)
