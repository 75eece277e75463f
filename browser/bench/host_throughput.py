#!/usr/bin/python3
"""Throughput and peak memory of the real host, driven over its pipes.

Starts the host with the stand-in libraries beside it, in a private folder,
with an agent script that answers every OnDocumentComplete at once, and
measures four fresh host processes:

  throughput  N documentComplete frames pumped in, the N answers read back:
              messages per second and the host's peak RSS;
  strings     one page load just under the 64 MiB inbound limit, nearly all
              of it one long URL, is read whole, parsed and answered;
  worst shape one page load of the same size whose payload also holds an
              array of empty arrays and objects ([],{},[],...): the most
              values per byte that a body can carry;
  > 64 MiB    one frame over the limit is read and thrown away in small
              chunks, then a small page load is answered: the peak RSS
              stays near the idle host's.

For the large frames the figure is the peak RSS above the idle host's,
divided by the body's size: what each byte of a large body costs.

The peak RSS is VmHWM from /proc/<pid>/status, read after the last answer
and just before standard input is closed. It covers the whole process, so
the stand-in agent's copies of what it was handed count too.

--flavor windows runs the Windows build (build/windows/bin) under Wine, in
the prefix that WINEPREFIX names (set up as for the Windows tests); the
RSS is then the Wine process that runs Corvantilhub.exe.

Standard library only:
    /usr/bin/python3 browser/bench/host_throughput.py [--bin PATH] [-n N]
    /usr/bin/python3 browser/bench/host_throughput.py --flavor windows
"""

import argparse
import json
import os
import queue
import struct
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
DEFAULT_HOSTS = {
    "native": REPO / "build" / "native-release" / "bin" / "Corvantilhub",
    "windows": REPO / "build" / "windows" / "bin" / "Corvantilhub.exe",
}
STANDINS = {
    "native": ("libHarrowmere64.so", "libTollgatelink.so"),
    "windows": ("Harrowmere64.dll", "Tollgatelink.dll"),
}
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")

MIB = 1024 * 1024
INBOUND_LIMIT = 64 * MIB
ANSWER = '{"user":"ann","fill":"#password"}'
# Settings of the caller's environment that would change what the host or
# the stand-ins do.
FOREIGN_VARIABLES = ("HARROWMERE_", "TOLLGATELINK_", "LD_PRELOAD", "LD_LIBRARY_PATH",
                     "XDG_RUNTIME_DIR", "XDG_DATA_HOME")


def document_complete(url: str) -> bytes:
    message = {"tabID": "7", "type": "documentComplete",
               "payload": {"url": url, "bTopLvlDoc": "true"}}
    return json.dumps(message, separators=(",", ":")).encode()


def frame(body: bytes) -> bytes:
    return struct.pack("<I", len(body)) + body


def padded_document_complete(size: int) -> bytes:
    """A page load whose body is exactly `size` bytes."""
    head = document_complete("https://example.test/?q=")
    url = "https://example.test/?q=" + "x" * (size - len(head))
    body = document_complete(url)
    assert len(body) == size
    return body


def worst_shape_document_complete(size: int) -> bytes:
    """A page load of exactly `size` bytes whose payload also carries
    "x":[[],{},[],{},...]: three bytes a value, the densest tree there is."""
    head = document_complete("https://example.test/deep")[:-2] + b',"x":['
    tail = b"]}}"
    room = size - len(head) - len(tail)
    pairs, rest = divmod(room + 1, 6)  # "[],{}," per pair, no final comma
    values = b"[],{}," * pairs
    values = values[:-1] + b" " * rest
    body = head + values + tail
    assert len(body) == size and json.loads(body)
    return body


def windows_path(path: Path) -> str:
    """`path` as a program under Wine names it: Wine's Z: drive is the root."""
    return "Z:" + str(path).replace("/", "\\")


class Host:
    """One host process with its pipes; frames it sends arrive on a queue."""

    def __init__(self, binary: Path, work: Path, flavor: str):
        runtime, data = work / "runtime", work / "data"
        runtime.mkdir(mode=0o700)
        data.mkdir(mode=0o700)
        script = work / "agent-script.json"
        # Level 1 is the level the host assumes at start, so no log-level
        # update comes in between the answers.
        script.write_text(json.dumps({
            "logLevels": [1],
            "replies": {"OnDocumentComplete": [{"text": ANSWER, "protect": True}]}}))
        env = {name: value for name, value in os.environ.items()
               if not name.startswith(FOREIGN_VARIABLES)}
        env.update(XDG_RUNTIME_DIR=str(runtime), XDG_DATA_HOME=str(data),
                   HARROWMERE_SCRIPT=str(script))
        command = [str(binary)]
        if flavor == "windows":
            env.update(HARROWMERE_SCRIPT=windows_path(script), WINEDEBUG="-all")
            command = [WINE, windows_path(binary)]
        self.stderr = open(work / "host.stderr", "w+b")
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=self.stderr,
                                        env=env, cwd=work)
        self.frames = queue.Queue()
        threading.Thread(target=self._read_frames, daemon=True).start()

    def _read_frames(self):
        out = self.process.stdout
        while True:
            header = out.read(4)
            if len(header) < 4:
                self.frames.put(None)
                return
            (length,) = struct.unpack("<I", header)
            self.frames.put(json.loads(out.read(length)))

    def send(self, data: bytes):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send_in_background(self, data: bytes) -> threading.Thread:
        sender = threading.Thread(target=self.send, args=(data,), daemon=True)
        sender.start()
        return sender

    def await_answers(self, count: int, deadline: float):
        """Waits for `count` answers; other frames are passed over."""
        while count > 0:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError(f"{count} answers still missing")
            try:
                decoded = self.frames.get(timeout=remaining)
            except queue.Empty:
                continue
            if decoded is None:
                raise RuntimeError("the host closed its output early")
            if decoded == ANSWER:
                count -= 1

    def host_pid(self) -> int:
        """The process that runs the host: the child itself natively; under
        Wine, the one among it and its descendants that runs the .exe."""
        family, grew = {self.process.pid}, True
        while grew:
            grew = False
            for entry in Path("/proc").iterdir():
                try:
                    parent = int((entry / "stat").read_text().rsplit(")", 1)[1].split()[1])
                except (OSError, ValueError, IndexError):
                    continue
                if parent in family and int(entry.name) not in family:
                    family.add(int(entry.name))
                    grew = True
        for pid in sorted(family):
            try:
                command = Path(f"/proc/{pid}/cmdline").read_bytes()
            except OSError:
                continue
            if b"Corvantilhub" in command:
                return pid
        return self.process.pid

    def peak_rss_kib(self) -> int:
        status = Path(f"/proc/{self.host_pid()}/status").read_text()
        for line in status.splitlines():
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
        raise RuntimeError("no VmHWM in /proc status")

    def close(self, timeout: float) -> int:
        """Ends the input, waits for the exit and fails on unexpected answers."""
        self.process.stdin.close()
        status = self.process.wait(timeout=timeout)
        self.stderr.close()
        late = []
        while (decoded := self.frames.get(timeout=timeout)) is not None:
            late.append(decoded)
        if ANSWER in late:
            raise RuntimeError(f"{late.count(ANSWER)} answers more than expected")
        return status


def run_phase(binary: Path, flavor: str, timeout: float, name: str, phase):
    with tempfile.TemporaryDirectory(prefix="corvantilhub-bench-") as folder:
        host = Host(binary, Path(folder), flavor)
        try:
            result = phase(host, time.monotonic() + timeout)
            result["peak_rss_kib"] = host.peak_rss_kib()
        except Exception:
            host.process.kill()
            host.process.wait()
            host.stderr.seek(0)
            sys.stderr.write(host.stderr.read().decode(errors="replace"))
            raise
        result["exit"] = host.close(timeout)
        result["phase"] = name
        return result


def throughput(count: int):
    def phase(host: Host, deadline: float):
        one = frame(document_complete("https://example.test/login"))
        # A short warm-up, so start-up (loading the libraries, making the
        # key) stays out of the rate.
        host.send(one * 100)
        host.await_answers(100, deadline)
        started = time.monotonic()
        sender = host.send_in_background(one * count)
        host.await_answers(count, deadline)
        elapsed = time.monotonic() - started
        sender.join()
        return {"messages": count, "seconds": elapsed, "per_second": count / elapsed}
    return phase


def single_large_frame(body_bytes: int, answers: int, make=padded_document_complete):
    def phase(host: Host, deadline: float):
        host.send(frame(document_complete("https://example.test/login")))
        host.await_answers(1, deadline)
        idle = host.peak_rss_kib()
        large = make(body_bytes)
        small = frame(document_complete("https://example.test/after"))
        sender = host.send_in_background(frame(large) + small)
        host.await_answers(answers, deadline)
        sender.join()
        return {"frame_bytes": body_bytes, "idle_peak_rss_kib": idle}
    return phase


def mib(kib: int) -> str:
    return f"{kib / 1024:.1f} MiB"


def per_body_byte(result) -> str:
    """Peak RSS above the idle host's, per byte of body."""
    added = (result["peak_rss_kib"] - result["idle_peak_rss_kib"]) * 1024
    return f"{added / result['frame_bytes']:.1f}x the body"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--flavor", choices=sorted(DEFAULT_HOSTS), default="native",
                        help="native: the Linux host; windows: Corvantilhub.exe under Wine")
    parser.add_argument("--bin", type=Path,
                        help="the host executable (default: the release build of the flavour)")
    parser.add_argument("-n", "--messages", type=int, default=20000,
                        help="documentComplete frames in the throughput run")
    parser.add_argument("--timeout", type=float, default=300.0,
                        help="seconds each run may take")
    args = parser.parse_args()

    binary = (args.bin or DEFAULT_HOSTS[args.flavor]).resolve()
    missing = [path for path in [binary] + [binary.parent / s for s in STANDINS[args.flavor]]
               if not path.exists()]
    if missing:
        print("missing: " + ", ".join(map(str, missing))
              + f"\nbuild first: scripts/build.sh {args.flavor}", file=sys.stderr)
        return 2

    def run(name, phase):
        return run_phase(binary, args.flavor, args.timeout, name, phase)

    rate = run("throughput", throughput(args.messages))
    print(f"throughput: {rate['messages']} documentComplete frames answered in "
          f"{rate['seconds']:.2f} s = {rate['per_second']:.0f} messages/s; "
          f"peak RSS {mib(rate['peak_rss_kib'])}; exit {rate['exit']}")

    # The large page loads are answered, and so is the small one after each.
    near_limit = INBOUND_LIMIT - 1024
    kept = run("strings", single_large_frame(near_limit, answers=2))
    print(f"64 MiB - 1 KiB frame, one long string (read and answered): peak RSS "
          f"{mib(kept['peak_rss_kib'])} (idle {mib(kept['idle_peak_rss_kib'])}) = "
          f"{per_body_byte(kept)}; exit {kept['exit']}")

    dense = run("worst shape", single_large_frame(
        near_limit, answers=2, make=worst_shape_document_complete))
    print(f"64 MiB - 1 KiB frame of [],{{}},... (read and answered): peak RSS "
          f"{mib(dense['peak_rss_kib'])} (idle {mib(dense['idle_peak_rss_kib'])}) = "
          f"{per_body_byte(dense)}; exit {dense['exit']}")

    # Only the small page load after the discarded frame is answered.
    dropped = run("over 64 MiB", single_large_frame(INBOUND_LIMIT + MIB, answers=1))
    print(f"65 MiB frame (over the 64 MiB limit, discarded): peak RSS "
          f"{mib(dropped['peak_rss_kib'])} (idle {mib(dropped['idle_peak_rss_kib'])}); "
          f"exit {dropped['exit']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
