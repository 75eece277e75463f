"""Where given texts lie in a running process's memory.

Reads every readable mapping through /proc/PID/maps and /proc/PID/mem (as
root, or with the right to trace the process) and finds each text in UTF-8,
UTF-16LE and UTF-32LE: the host holds wide text as UTF-16 units in a 16-bit
wchar_t on Windows and in a 32-bit one on Linux.
"""
import re
from dataclasses import dataclass
from pathlib import Path

ENCODINGS = ("utf-8", "utf-16-le", "utf-32-le")
CHUNK_BYTES = 1 << 22
_MAPPING = re.compile(r"([0-9a-f]+)-([0-9a-f]+) (\S+) \S+ \S+ \S+\s*(.*)")


@dataclass(frozen=True)
class Finding:
    text: str
    encoding: str
    address: int
    mapping: str  # the mapping's path or [heap], [stack], or "" when anonymous

    def __str__(self) -> str:
        return f"{self.text!r} in {self.encoding} at {self.address:#x} {self.mapping}"


def memory_unreadable_reason(pid: int):
    """Why this process can't read the memory of process `pid`, or None."""
    try:
        with open(f"/proc/{pid}/mem", "rb"):
            return None
    except OSError as error:
        return f"/proc/{pid}/mem can't be read: {error.strerror}"


def readable_mappings(pid: int):
    """(start, end, name) of each readable mapping. [vvar] and [vsyscall]
    hold no process data and can't be read through mem."""
    with open(f"/proc/{pid}/maps", encoding="utf-8", errors="replace") as maps:
        for line in maps:
            start, end, permissions, name = _MAPPING.match(line).groups()
            if permissions.startswith("r") and name not in ("[vvar]", "[vsyscall]"):
                yield int(start, 16), int(end, 16), name


def find_texts(pid: int, texts) -> list:
    """Every place where one of `texts` lies in the memory of process `pid`."""
    patterns = {text.encode(encoding): (text, encoding)
                for text in texts for encoding in ENCODINGS}
    search = re.compile(b"|".join(re.escape(pattern) for pattern in patterns))
    overlap = max(map(len, patterns)) - 1
    findings = []
    with open(f"/proc/{pid}/mem", "rb", buffering=0) as memory:
        for start, end, name in readable_mappings(pid):
            for address, data in _chunks(memory, start, end, overlap):
                for match in search.finditer(data):
                    # A match inside the overlap is found again by the next chunk.
                    if address + match.start() >= min(end, address + CHUNK_BYTES):
                        continue
                    text, encoding = patterns[match.group()]
                    findings.append(Finding(text, encoding, address + match.start(), name))
    return findings


def _chunks(memory, start: int, end: int, overlap: int):
    """(address, bytes) pieces of one mapping, each reaching `overlap` bytes
    into the next, so that a text across a piece's end is still seen whole.
    A mapping that can't be read (a file shorter than its mapping) ends early."""
    address = start
    while address < end:
        try:
            memory.seek(address)
            data = memory.read(min(CHUNK_BYTES + overlap, end - address))
        except OSError:
            return
        if not data:
            return
        yield address, data
        address += CHUNK_BYTES


def process_running(program: str, environment_entry: str):
    """The process whose first argument is `program` and whose environment
    holds `environment_entry` ("NAME=value"), or None. Wine runs each Windows
    program as a Unix process of its own, a child of no one we started, with
    the program's Windows path as its first argument."""
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            arguments = (entry / "cmdline").read_bytes().split(b"\0")
            environment = (entry / "environ").read_bytes().split(b"\0")
        except OSError:
            continue  # ended meanwhile
        if arguments[0] == program.encode() and environment_entry.encode() in environment:
            return int(entry.name)
    return None
