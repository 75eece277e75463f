"""One headless Chromium run in which the test extension talks to the real host.

Everything the run touches lives below one work folder: the browser's HOME and
profile, the host's runtime folder (debug socket) and data folder (protection
key), the stand-ins' scripts and records. run_session registers the host in
the profile with corvantilhub-register, exactly as a user would register it;
play_session runs any browser that finds the host by itself (the package
tests rely on the system-wide manifests).
"""
import base64
import hashlib
import json
import os
import errno
import signal
import socket
import struct
import subprocess
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

from corvantilhub_harness.collector import Collector
from corvantilhub_harness.debug_lines import DebugSocketListener
from corvantilhub_harness.records import read_record

EXTENSION_DIR = Path(__file__).resolve().parent / "extension"
POLL_SECONDS = 0.05

CHROMIUM_FLAGS = [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-dev-shm-usage", "--enable-logging=stderr", "--v=0",
]


def load_session() -> dict:
    return json.loads((EXTENSION_DIR / "session.json").read_text(encoding="utf-8"))


def extension_id() -> str:
    """The ID Chromium gives the unpacked extension: the first 32 hex digits of
    the SHA-256 of its public key, written with the letters a to p."""
    manifest = json.loads((EXTENSION_DIR / "manifest.json").read_text(encoding="utf-8"))
    digest = hashlib.sha256(base64.b64decode(manifest["key"])).hexdigest()[:32]
    return "".join(chr(ord("a") + int(digit, 16)) for digit in digest)


class DebugLineListener:
    """The host's debug lines, collected from the harness's debug-socket listener."""

    def __init__(self, runtime_dir: Path):
        self._lines = Collector("debug lines")
        self._listener = DebugSocketListener(runtime_dir, self._lines.add)

    def lines(self) -> list:
        return [line.text for line in self._lines.items()]

    def stop(self) -> list:
        self._listener.stop()
        return self.lines()


class ProcessExitWatcher:
    """Collects the wait status of every process that ends, from the kernel's
    process-event connector. A host started by the browser is not our child,
    so this is how its exit status can be seen at all. Needs CAP_NET_ADMIN;
    `available` is False where the connector can't be opened."""

    _NETLINK_CONNECTOR = 11
    _CN_IDX_PROC = _CN_VAL_PROC = 1
    _PROC_CN_MCAST_LISTEN = 1
    _PROC_EVENT_EXEC = 0x00000002
    _PROC_EVENT_EXIT = 0x80000000
    _HEADERS = 16 + 20  # nlmsghdr, cn_msg

    def __init__(self):
        self._statuses = {}
        self._execs = {}  # pid -> (executable, parent pid) when it started a program
        self._lock = threading.Lock()
        try:
            self._socket = socket.socket(socket.AF_NETLINK, socket.SOCK_DGRAM,
                                         self._NETLINK_CONNECTOR)
            self._socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 22)
            self._socket.bind((0, self._CN_IDX_PROC))
            operation = struct.pack("=I", self._PROC_CN_MCAST_LISTEN)
            message = struct.pack("=IIIIHH", self._CN_IDX_PROC, self._CN_VAL_PROC, 0, 0,
                                  len(operation), 0) + operation
            self._socket.send(struct.pack("=IHHII", 16 + len(message), 3, 0, 0, 0) + message)
        except OSError:
            self.available = False
            return
        self.available = True
        self._socket.settimeout(0.1)  # lets the receiver notice stop()
        self._stopping = threading.Event()
        self._thread = threading.Thread(target=self._receive, name="exit-events", daemon=True)
        self._thread.start()

    def _receive(self):
        while not self._stopping.is_set():
            try:
                data = self._socket.recv(1 << 16)
            except socket.timeout:
                continue
            except OSError as error:
                if error.errno == errno.ENOBUFS:
                    continue  # events were lost; the ones we need may still come
                return
            if len(data) < self._HEADERS + 32:
                continue
            what, = struct.unpack_from("=I", data, self._HEADERS)
            if what == self._PROC_EVENT_EXEC:
                pid, tgid = struct.unpack_from("=II", data, self._HEADERS + 16)
                if pid == tgid:
                    self._note_exec(pid)
                continue
            if what != self._PROC_EVENT_EXIT:
                continue
            pid, tgid, status = struct.unpack_from("=III", data, self._HEADERS + 16)
            if pid == tgid:
                with self._lock:
                    self._statuses[pid] = status

    def _note_exec(self, pid: int):
        try:
            executable = Path(os.readlink(f"/proc/{pid}/exe"))
        except OSError:
            return
        state = _process_state(pid)
        if state is not None:
            with self._lock:
                self._execs[pid] = (executable, state[1])

    def started(self, executable: Path, parent_pid: int) -> set:
        """The processes that `parent_pid` started from `executable`, as the
        kernel reported them: also those that ended before anyone looked."""
        with self._lock:
            return {pid for pid, seen in self._execs.items() if seen == (executable, parent_pid)}

    def status(self, pid: int):
        """The wait status of `pid` (0: exited with 0), or None if not seen."""
        with self._lock:
            return self._statuses.get(pid)

    def stop(self):
        if self.available:
            self._stopping.set()
            self._thread.join(timeout=10)
            self._socket.close()


def _process_state(pid: int):
    """(state letter, parent pid) of a process, or None once it is gone."""
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return None
    fields = stat[stat.rindex(")") + 2:].split()
    return fields[0], int(fields[1])


def _host_children(parent_pid: int, host: Path) -> set:
    """Live processes started by `parent_pid` from the host executable."""
    found = set()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        state = _process_state(int(entry.name))
        if state is None or state[1] != parent_pid or state[0] == "Z":
            continue
        try:
            if Path(os.readlink(entry / "exe")) == host:
                found.add(int(entry.name))
        except OSError:
            continue
    return found


def _has_exited(pid: int) -> bool:
    state = _process_state(pid)
    return state is None or state[0] == "Z"


@dataclass
class SessionRun:
    agent_calls: list
    designer_calls: list
    debug_lines: list
    console: str               # Chromium's stderr, with the extension's console lines
    host_pids: set             # every host process the browser started
    hosts_exited: bool         # all of them ended while the browser kept running
    ended_in_time: bool        # the host said "Going to exit" before the deadline
    exit_statuses: dict        # host pid -> wait status, where the kernel told us
    exit_statuses_seen: bool   # False where process events can't be watched
    registration_check: Optional[subprocess.CompletedProcess]  # `check`, run before the browser

    def console_lines(self, tag="[corvantilhub-test]") -> list:
        return [line for line in self.console.splitlines() if tag in line]

    def describe(self) -> str:
        """What to show when a check fails."""
        return ("extension console:\n  " + "\n  ".join(self.console_lines()) +
                "\nhost debug lines:\n  " + "\n  ".join(line[:200] for line in self.debug_lines))


def make_folders(work: Path) -> dict:
    """The private folders of one browser run, below `work`."""
    folders = {name: work / name for name in ("home", "profile", "runtime", "data", "records")}
    for folder in folders.values():
        folder.mkdir(mode=0o700, parents=True)
    return folders


def chromium_command(chromium: Path, profile: Path) -> list:
    return [str(chromium), *CHROMIUM_FLAGS, f"--user-data-dir={profile}",
            f"--disable-extensions-except={EXTENSION_DIR}", f"--load-extension={EXTENSION_DIR}",
            "about:blank"]


def run_session(*, bin_dir: Path, chromium: Path, register_tool: Path, work: Path,
                agent_script: dict, designer_script: dict, deadline_seconds=90) -> SessionRun:
    host = (bin_dir / "Corvantilhub").resolve()
    folders = make_folders(work)
    profile_options = ["--browser", "chromium", "--user-data-dir", str(folders["profile"]),
                       "--extension", extension_id()]
    subprocess.run([str(register_tool), "register", *profile_options, "--host", str(host)],
                   check=True, capture_output=True)
    return play_session(host=host, command=chromium_command(chromium, folders["profile"]),
                        folders=folders, console_path=work / "chromium.stderr",
                        agent_script=agent_script, designer_script=designer_script,
                        deadline_seconds=deadline_seconds,
                        check_command=[str(register_tool), "check", *profile_options])


def play_session(*, host: Path, command: list, folders: dict, console_path: Path,
                 agent_script: dict, designer_script: dict, deadline_seconds=90,
                 check_command=None) -> SessionRun:
    """Runs the browser `command` until the host that it starts has played the
    extension's session and ended. The browser must find `host` by itself,
    through whatever registration the caller made."""
    records = folders["records"]
    (records / "agent_script.json").write_text(json.dumps(agent_script), encoding="utf-8")
    (records / "designer_script.json").write_text(json.dumps(designer_script), encoding="utf-8")
    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("HARROWMERE_", "TOLLGATELINK_", "XDG_"))}
    env.update(HOME=str(folders["home"]), XDG_RUNTIME_DIR=str(folders["runtime"]),
               XDG_DATA_HOME=str(folders["data"]),
               HARROWMERE_RECORD=str(records / "agent.jsonl"),
               HARROWMERE_SCRIPT=str(records / "agent_script.json"),
               TOLLGATELINK_RECORD=str(records / "designer.jsonl"),
               TOLLGATELINK_SCRIPT=str(records / "designer_script.json"))

    # What a user would run when the browser can't find the host; it starts
    # the host once for its start-up check, before the browser does.
    registration_check = None
    if check_command:
        registration_check = subprocess.run(check_command, env=env, capture_output=True,
                                            text=True, timeout=120)

    listener = DebugLineListener(folders["runtime"])
    exits = ProcessExitWatcher()
    with open(console_path, "wb") as console:
        browser = subprocess.Popen(
            command, env=env, stdin=subprocess.DEVNULL, stdout=console, stderr=console,
            start_new_session=True)
    host_pids = set()
    try:
        ended_in_time = _watch_until_host_ends(browser, host, host_pids, listener, exits,
                                               time.monotonic() + deadline_seconds)
        hosts_exited = _wait_for_exit(host_pids, browser, time.monotonic() + 30)
        _wait_until(lambda: not exits.available or all(exits.status(pid) is not None
                                                       for pid in host_pids),
                    time.monotonic() + 10)
    finally:
        _stop_browser(browser, host_pids)
        debug_lines = listener.stop()
        exits.stop()
    return SessionRun(agent_calls=read_record(records / "agent.jsonl"),
                      designer_calls=read_record(records / "designer.jsonl"),
                      debug_lines=debug_lines,
                      console=console_path.read_text(encoding="utf-8", errors="replace"),
                      host_pids=host_pids, hosts_exited=hosts_exited, ended_in_time=ended_in_time,
                      exit_statuses={pid: exits.status(pid) for pid in host_pids},
                      exit_statuses_seen=exits.available,
                      registration_check=registration_check)


def _watch_until_host_ends(browser, host, host_pids, listener, exits, deadline) -> bool:
    """Notes the host processes the browser starts until the host writes its
    last debug line; False if that doesn't happen before `deadline`. Where
    the kernel's process events are seen, they name every host started, also
    one that a look at the live processes would miss on a busy machine."""
    while time.monotonic() < deadline and browser.poll() is None:
        host_pids |= _host_children(browser.pid, host) | exits.started(host, browser.pid)
        if "Going to exit" in listener.lines():
            host_pids |= exits.started(host, browser.pid)
            return True
        time.sleep(POLL_SECONDS)
    return False


def _wait_for_exit(pids, browser, deadline) -> bool:
    """True when every pid has ended while the browser still runs, so the
    browser's closing can't be what ended them."""
    while time.monotonic() < deadline:
        if browser.poll() is not None:
            return False
        if pids and all(_has_exited(pid) for pid in pids):
            return True
        time.sleep(POLL_SECONDS)
    return False


def _wait_until(condition, deadline):
    while not condition() and time.monotonic() < deadline:
        time.sleep(POLL_SECONDS)


def _stop_browser(browser, host_pids):
    """Ends the browser's process group, then any host it left behind."""
    for sig, wait_seconds in ((signal.SIGTERM, 20), (signal.SIGKILL, 20)):
        if browser.poll() is not None:
            break
        try:
            os.killpg(browser.pid, sig)
        except ProcessLookupError:
            break
        try:
            browser.wait(timeout=wait_seconds)
        except subprocess.TimeoutExpired:
            continue
    try:
        os.killpg(browser.pid, signal.SIGKILL)  # helpers the browser left behind
    except ProcessLookupError:
        pass
    for pid in host_pids:
        if not _has_exited(pid):
            os.kill(pid, signal.SIGKILL)
