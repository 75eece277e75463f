"""Secrets leave no trace in the host: once every message that carried one
has been handled and answered, the host's memory holds none of them, except
the one copy of a saved password that the agent keeps on purpose; and no
other process of the host's user can read that memory or get it in a core."""
import json
import os
import resource
import secrets
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from collections import Counter
from pathlib import Path

import pytest

from corvantilhub_harness.host_process import HostProcess, StandinSettings, copy_host_without
from corvantilhub_harness.memory_scan import (find_texts, memory_unreadable_reason,
                                              process_running, readable_mappings)
from corvantilhub_harness.runners import is_sanitized
from corvantilhub_harness.users import nobody_or_skip
from corvantilhub_harness.wire import envelope

SITE = "accounts.example.test"
TAB = "7"


def fresh_secret(path: str) -> str:
    # Names its path, and is long enough to lie outside any string's
    # in-place buffer.
    return f"{path}-{secrets.token_hex(12)}"


def agent_call(fn):
    return lambda host: host.wait_for_agent_call(fn)


def answer(type_):
    return lambda host: host.frames.wait_for(lambda f: f.json().get("type") == type_,
                                             what=f"a {type_} answer")


# (path, its message around a fresh secret, what shows that the host and the
# stand-ins are done with it), in the order sent. The basic-authentication
# answer and the page fill send no secret of their own: the demo agent
# answers them with the password saved first.
PATHS = [
    ("save", lambda secret: envelope("saveCredentials",
                                     {"host": SITE, "username": "ann", "password": secret}, TAB),
     agent_call("SaveCredentials")),
    ("basicAuth", lambda _: envelope("basicAuthentication", {"host": SITE}, TAB),
     answer("basicAuthCredentials")),
    ("fill", lambda _: envelope("documentComplete",
                                {"url": f"https://{SITE}/login", "bTopLvlDoc": "true"}, TAB),
     answer("fillForm")),
    ("untyped", lambda secret: {"tabID": TAB, "payload": {"password": secret}},
     agent_call("WriteLog")),
    ("trigger", lambda secret: envelope("triggerFired", {"triggerId": "otp", "values": [
        {"signature": "code", "value": secret}]}, TAB),
     agent_call("NotifyTriggerFired")),
    ("response", lambda secret: envelope("answer", {"token": secret}, TAB, request_id="r1"),
     agent_call("SendResponse")),
    # "xpath" is shown in the element path's debug line: the secret is elsewhere.
    ("element", lambda secret: envelope("XPath", {"xpath": "//input[@name='otp']",
                                                  "value": secret}, TAB),
     answer("designerAck")),
]


def memory_pid(host) -> int:
    """The process whose memory is the host's: the host itself, or under
    Wine the Unix process that runs Corvantilhub.exe for this host."""
    if host.runner.flavor == "native":
        return host.process.pid
    record = "HARROWMERE_RECORD=" + host.runner.host_path(host.agent_record_path)
    pid = process_running(host.runner.host_path(host.executable), record)
    assert pid is not None, "no Wine process runs the host"
    return pid


def scan_until(pid, texts, expected: Counter, timeout: float) -> list:
    """The findings of the first scan that finds `expected`, or of the last
    one before the deadline: a library thread that sent an answer may still
    be freeing what it built when the answer arrives."""
    deadline = time.monotonic() + timeout
    while True:
        findings = find_texts(pid, texts)
        if Counter(f.text for f in findings) == expected or time.monotonic() > deadline:
            return findings


def test_no_secret_outlives_its_message_but_the_saved_password(runner, start_host):
    # The demo agent and designer: they answer, and the agent keeps what it saves.
    if is_sanitized(runner.bin_dir / runner.executable_name):
        pytest.skip("a sanitizer's terabytes of shadow memory can't be read through")
    host = start_host(StandinSettings())
    host.wait_for_debug_line("Corvantilhub window created")  # the bridge is ready
    pid = memory_pid(host)
    if reason := memory_unreadable_reason(pid):
        pytest.skip(reason)
    sent = {path: fresh_secret(path) for path, _, _ in PATHS}
    for path, message, handled in PATHS:
        host.send(message(sent[path]))
        handled(host)
    kept = Counter({sent["save"]: 1})  # the agent's saved copy
    findings = scan_until(pid, list(sent.values()), kept, host.runner.timeout)
    print("found:", *findings, sep="\n  ")
    assert host.end() == 0
    assert Counter(f.text for f in findings) == kept


# Run as the host's own user: what it can learn of the host.
PROBE = """
import ctypes, json, os, sys
pid, address = int(sys.argv[1]), int(sys.argv[2])
found = {}
try:
    with open(f"/proc/{pid}/mem", "rb", buffering=0) as memory:
        memory.seek(address)
        memory.read(1)
    found["memory"] = "read"
except OSError as error:
    found["memory"] = error.strerror
libc = ctypes.CDLL(None, use_errno=True)
PTRACE_SEIZE = 0x4206  # attaches without stopping; ends with this process
if libc.ptrace(ctypes.c_long(PTRACE_SEIZE), ctypes.c_long(pid), None, None) == 0:
    found["ptrace"] = "attached"
else:
    found["ptrace"] = os.strerror(ctypes.get_errno())
print(json.dumps(found))
"""


@pytest.fixture
def nobody(runner, native_only):
    """(uid, gid, a folder of theirs) for an unprivileged user; removed after."""
    native_only("the Windows build has no Linux dump settings to show")
    uid, gid = nobody_or_skip("starting the host as another user")
    folder = Path(tempfile.mkdtemp(prefix="corvantilhub-nobody-"))
    try:
        yield uid, gid, folder
    finally:
        shutil.rmtree(folder)


def as_user(uid, gid, folder=None):
    """A preexec_fn: hands `folder` (the host's files) to the user, lets the
    host dump a core anywhere it may, then drops root."""
    def become():
        if folder is not None:
            for path in [folder, *folder.rglob("*")]:
                os.chown(path, uid, gid, follow_symlinks=False)
        resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
        os.setgroups([])
        os.setgid(gid)
        os.setuid(uid)
    return become


@pytest.fixture
def host_as_nobody(runner, nobody):
    """A host started as `nobody` from a copy in their folder, which is also
    its working folder: where the kernel writes a core named by a plain
    core_pattern."""
    uid, gid, folder = nobody
    executable = copy_host_without(runner, folder / "bin")
    host = HostProcess(runner, folder / "host", executable=executable,
                       preexec_fn=as_user(uid, gid, folder))
    try:
        host.start()
        host.wait_for_debug_line("Corvantilhub Activated")
        yield host
    finally:
        host.kill()


def test_the_hosts_own_user_can_neither_read_nor_trace_it(runner, nobody, host_as_nobody):
    uid, gid, _ = nobody
    pid = host_as_nobody.process.pid
    address = next(readable_mappings(pid))[0]
    probe = subprocess.run([sys.executable, "-c", PROBE, str(pid), str(address)],
                           capture_output=True, text=True, check=True,
                           preexec_fn=as_user(uid, gid), timeout=runner.timeout)
    assert json.loads(probe.stdout) == {"memory": "Permission denied",
                                        "ptrace": "Operation not permitted"}
    assert host_as_nobody.end() == 0


def test_a_crash_of_the_host_leaves_no_core(host_as_nobody):
    pattern = Path("/proc/sys/kernel/core_pattern").read_text().strip()
    if pattern.startswith("|") or "/" in pattern:
        pytest.skip(f"cores don't go to the working folder here (core_pattern {pattern!r})")
    folder = host_as_nobody.executable.parent
    before = set(folder.iterdir())
    # Not SIGSEGV, which AddressSanitizer's handler would catch.
    host_as_nobody.process.send_signal(signal.SIGABRT)
    assert host_as_nobody.wait_exit() == -signal.SIGABRT
    assert set(folder.iterdir()) == before
