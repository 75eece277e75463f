"""The host's standard streams belong to the channel: stray text that a
library in the process prints or reads can't touch the frames, and
signals, non-blocking input and input that trickles in never end the
session nor split a body."""
import ctypes
import errno
import fcntl
import os
import platform
import signal
import subprocess
import threading
import time
from pathlib import Path

import pytest

from corvantilhub_harness.collector import appear_in_order
from corvantilhub_harness.host_process import StandinSettings
from corvantilhub_harness.wire import encode_message, envelope, frame

NOISE_ROUTES = ("printf", "cout", "raw")
# The number of read(2) and of ppoll/poll on this machine, for telling from
# /proc that a host waits for input.
WAITING_SYSCALLS = {"x86_64": {"0", "7", "271"}, "aarch64": {"63", "73"}}
POLL_SECONDS = 0.01
EBADF = 9
CLONE_NEWNS = 0x00020000
MS_REC = 0x4000
MS_PRIVATE = 1 << 18


def log_frame(text):
    return frame(encode_message(envelope("log", {"message": text, "level": 2})))


def written_log_lines(host):
    return [call.args[1] for call in host.agent_calls_named("WriteLog")]


def noise_lines(host, route, where):
    return [line for line in host.stderr.items()
            if line.startswith(f"harrowmere-noise {route} {where}")]


def answering_settings(**extra_env):
    return StandinSettings.quiet(
        agent_script={"replies": {"OnBasicAuthRequired": [{"text": "answer"}]}},
        extra_env=extra_env)


def ask_for_answers(host, answers):
    for number in range(answers):
        host.send(envelope("basicAuthentication", {"host": f"h{number}.test"}, tab_id=str(number)))
    host.frames.wait_for_count(answers, what="the agent's answers")


def wait_until_waiting_for_input(host):
    """Waits until the host's main thread sits in a read or poll: a piece
    sent now, or a signal, reaches it inside the read loop's read."""
    waiting = WAITING_SYSCALLS.get(platform.machine())
    if waiting is None:
        pytest.skip(f"no read syscall numbers known for {platform.machine()}")
    syscall = Path(f"/proc/{host.process.pid}/syscall")
    deadline = time.monotonic() + host.runner.timeout
    while syscall.read_text().split()[0] not in waiting:
        assert host.process.poll() is None, "the host ended while input was still open"
        assert time.monotonic() < deadline, "the host never waited for input"
        time.sleep(POLL_SECONDS)


def test_stray_text_of_a_library_goes_to_standard_error_and_frames_stay_whole(start_host):
    answers = 8
    host = start_host(answering_settings(HARROWMERE_NOISE="1"))
    ask_for_answers(host, answers)
    # Every route, from the calls and from the agent's own threads.
    for route in NOISE_ROUTES:
        for where in ("call", "thread"):
            host.stderr.wait_for(lambda line: line.startswith(f"harrowmere-noise {route} {where}"),
                                 what=f"{route} noise from a {where}")
    host.stderr.wait_for(lambda line: line.startswith("harrowmere-noise read"),
                         what="the agent's read of standard input")
    assert host.end() == 0
    assert host.stream_errors == []
    assert [f.body for f in host.frames.items()] == [b'"answer"'] * answers
    # Standard input gives stray readers nothing: the frames are all the host's.
    reads = noise_lines(host, "read", "")
    assert reads and all(line.startswith("harrowmere-noise read 0 bytes") for line in reads)
    assert len(host.agent_calls_named("OnBasicAuthRequired")) == answers
    assert not any(text.startswith("Standard streams could not") for text in host.debug_texts())


def test_signals_without_restart_neither_end_the_session_nor_split_a_body(start_host,
                                                                          native_only):
    native_only("Windows has no signals")
    host = start_host(answering_settings(HARROWMERE_SIGNAL_HANDLER="1"))
    host.wait_for_debug_line("Corvantilhub Activated")
    texts = [f"piece by piece {number}" for number in range(6)]
    for text in texts:
        whole = log_frame(text)
        # A cut inside the length, two inside the body.
        for piece in (whole[:2], whole[2:9], whole[9:-3], whole[-3:]):
            wait_until_waiting_for_input(host)
            # The host is inside a read: each signal interrupts it.
            for _ in range(3):
                os.kill(host.process.pid, signal.SIGUSR1)
            host.send_bytes(piece)
        host.send(envelope("basicAuthentication", {"host": "h.test"}))
    host.frames.wait_for_count(len(texts), what="the answers written between signals")
    assert host.process.poll() is None
    assert host.end() == 0
    assert written_log_lines(host) == texts
    assert [f.body for f in host.frames.items()] == [b'"answer"'] * len(texts)
    assert host.stream_errors == []
    assert not any(t.startswith("Standard input read failed") for t in host.debug_texts())


def test_signal_storm_during_a_long_body(start_host, native_only):
    native_only("Windows has no signals")
    host = start_host(StandinSettings.quiet(extra_env={"HARROWMERE_SIGNAL_HANDLER": "1"}))
    host.wait_for_debug_line("Corvantilhub Activated")
    stop = threading.Event()
    sent = []

    def storm():
        while not stop.is_set():
            os.kill(host.process.pid, signal.SIGUSR1)
            sent.append(1)
            stop.wait(0.0005)  # paces the storm; nothing waits on it
    storm_thread = threading.Thread(target=storm, daemon=True)
    storm_thread.start()
    try:
        long_text = "x" * 300_000
        whole = log_frame(long_text) + log_frame("after")
        for start in range(0, len(whole), 50_000):
            wait_until_waiting_for_input(host)
            host.send_bytes(whole[start:start + 50_000])
        host.wait_for_agent_call("WriteLog", lambda call: call.args[1] == "after")
    finally:
        stop.set()
        storm_thread.join()
    assert sent
    assert host.end() == 0
    assert written_log_lines(host) == [long_text, "after"]


def set_standard_input_non_blocking():
    flags = fcntl.fcntl(0, fcntl.F_GETFL)
    fcntl.fcntl(0, fcntl.F_SETFL, flags | os.O_NONBLOCK)


def test_non_blocking_standard_input_is_waited_on(start_host, native_only):
    native_only("a Wine program's standard input is a Windows handle, never non-blocking")
    host = start_host(preexec_fn=set_standard_input_non_blocking)
    host.wait_for_debug_line("Corvantilhub Activated")
    wait_until_waiting_for_input(host)
    host.send_bytes(log_frame("first"))
    host.wait_for_agent_call("WriteLog", lambda call: call.args[1] == "first")
    whole = log_frame("second")
    for piece in (whole[:3], whole[3:10], whole[10:]):
        wait_until_waiting_for_input(host)
        host.send_bytes(piece)
    assert host.end() == 0
    assert written_log_lines(host) == ["first", "second"]
    assert host.debug_texts().count("Going to exit") == 1


def test_body_that_trickles_in_is_handled_once_whole(start_host, native_only):
    native_only("the wait for the host's read is seen through /proc")
    host = start_host()
    host.wait_for_debug_line("Corvantilhub Activated")
    text = "trickle " * 40
    whole = log_frame(text)
    for start in range(0, len(whole), 37):
        wait_until_waiting_for_input(host)
        host.send_bytes(whole[start:start + 37])
    host.send_bytes(log_frame("next"))
    assert host.end() == 0
    assert written_log_lines(host) == [text, "next"]


def test_closed_standard_output_fails_start_up_after_saying_why(run_host_once, native_only):
    native_only("a closed descriptor 1 still gives a Wine program a usable standard output")
    result, debug_texts = run_host_once(stdin=subprocess.DEVNULL, preexec_fn=lambda: os.close(1),
                                        stderr=subprocess.PIPE)
    assert result.returncode == 255  # -1
    assert result.stderr.startswith(b"Cannot set binary mode: ")
    # Without private copies the frames would stay on the process's own
    # streams, and a closed standard output can't carry them.
    assert debug_texts == [
        f"Standard streams could not be duplicated: {EBADF}", "Set binary mode failed"]


def test_stray_text_goes_nowhere_when_there_is_no_standard_error(start_host, native_only):
    native_only("a closed descriptor 2 still gives a Wine program a standard error")
    host = start_host(answering_settings(HARROWMERE_NOISE="1"), preexec_fn=lambda: os.close(2))
    ask_for_answers(host, 3)
    assert host.end() == 0
    assert host.stream_errors == []
    assert [f.body for f in host.frames.items()] == [b'"answer"'] * 3


def hide_the_null_device():
    """In a mount namespace of the child's own: an empty /dev, so the null
    device can't be opened. Nothing outside the child sees it."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(CLONE_NEWNS) != 0:
        raise OSError(ctypes.get_errno(), "unshare")
    # Private first, so that the mount below can't reach the parent's tree.
    if libc.mount(b"none", b"/", None, MS_REC | MS_PRIVATE, None) != 0:
        raise OSError(ctypes.get_errno(), "mount --make-rprivate")
    if libc.mount(b"none", b"/dev", b"tmpfs", 0, None) != 0:
        raise OSError(ctypes.get_errno(), "mount tmpfs")


def test_failed_redirection_is_reported_and_the_frames_go_on(start_host, native_only):
    native_only("the null device is hidden with a Linux mount namespace")
    if os.geteuid() != 0:
        pytest.skip("a mount namespace needs root")
    try:
        host = start_host(answering_settings(), preexec_fn=hide_the_null_device)
    except subprocess.SubprocessError as error:
        pytest.skip(f"no mount namespace here: {error}")
    host.wait_for_debug_line(f"Standard streams could not be redirected: {errno.ENOENT}")
    ask_for_answers(host, 2)
    assert host.end() == 0
    assert [f.body for f in host.frames.items()] == [b'"answer"'] * 2


def test_hard_read_failure_is_reported_and_ends_the_host(run_host_once, tmp_path, native_only):
    native_only("a Wine program can't be given a directory as its standard input")
    directory = os.open(tmp_path, os.O_RDONLY | os.O_DIRECTORY)
    try:
        # Reading a directory fails with EISDIR, however often it is tried.
        result, texts = run_host_once(stdin=directory, capture_output=True)
    finally:
        os.close(directory)
    assert result.returncode == 0
    assert result.stdout == b""
    assert appear_in_order(texts, ["Corvantilhub Activated",
                                   f"Standard input read failed: {errno.EISDIR}", "Going to exit"])
    assert len([text for text in texts if text.startswith("Standard input read failed")]) == 1
