"""A frame for which memory runs out is dropped; the host reads on. A
frame's announced length takes no memory until its bytes arrive."""
import re
import shutil
import subprocess

import pytest

from corvantilhub_harness.runners import is_sanitized
from corvantilhub_harness.wire import LENGTH, MAX_INBOUND_BODY_BYTES, encode_message, envelope

FILL_CHUNK = b"x" * (1 << 20)


def log_message_of(size):
    """The chunks of one log message body of exactly `size` bytes."""
    head = b'{"tabID":"1","type":"log","payload":{"level":2,"message":"'
    tail = b'"}}'
    fill = size - len(head) - len(tail)
    yield head
    for _ in range(fill // len(FILL_CHUNK)):
        yield FILL_CHUNK
    yield FILL_CHUNK[: fill % len(FILL_CHUNK)]
    yield tail


def address_space_in_use(pid):
    status = open(f"/proc/{pid}/status", encoding="ascii").read()
    return int(re.search(r"^VmSize:\s+(\d+) kB", status, re.M).group(1)) * 1024


def limit_address_space(pid, size):
    """Leaves the running host room for a body of `size` bytes and a little
    more, but not for the values it is read into."""
    limit = address_space_in_use(pid) + 2 * size
    subprocess.run(["prlimit", f"--pid={pid}", f"--as={limit}"], check=True)


def skip_without_address_space_limit(runner, native_only):
    native_only("Wine offers no address-space limit to run the host under")
    if shutil.which("prlimit") is None:
        pytest.skip("prlimit (util-linux) is not installed")
    if is_sanitized(runner.bin_dir / runner.executable_name):
        pytest.skip("a sanitized host can't run under an address-space limit")


def test_frame_that_exhausts_memory_is_dropped_and_the_next_is_handled(
        runner, start_host, native_only):
    skip_without_address_space_limit(runner, native_only)
    host = start_host()
    host.wait_for_debug_line("Corvantilhub Activated")
    size = MAX_INBOUND_BODY_BYTES
    limit_address_space(host.process.pid, size)
    host.send_bytes(LENGTH.pack(size))
    writer = host.send_chunks_in_background(log_message_of(size), f"a {size}-byte log message")
    writer.join(host.runner.timeout * 4)
    assert not writer.is_alive(), "the host stopped reading the big frame"
    host.send(envelope("log", {"message": "after the big one", "level": 2}))
    host.wait_for_agent_call("WriteLog", lambda call: call.args == (2, "after the big one"))
    assert host.end() == 0
    assert [call.args for call in host.agent_calls_named("WriteLog")] == [
        (2, "after the big one")]
    assert host.debug_texts().count(
        f"Inbound frame dropped: out of memory, length {size}") == 1


def test_announced_length_takes_memory_only_as_its_bytes_arrive(
        runner, start_host, native_only):
    """A peer announces the largest frame and sends one small message of it
    before its input ends: with room for far less than the announced size,
    the host handles what came instead of dropping it for memory."""
    skip_without_address_space_limit(runner, native_only)
    host = start_host()
    host.wait_for_debug_line("Corvantilhub Activated")
    limit_address_space(host.process.pid, 4 << 20)
    host.send_bytes(LENGTH.pack(MAX_INBOUND_BODY_BYTES) +
                    encode_message(envelope("log", {"message": "cut short", "level": 2})))
    assert host.end() == 0
    assert [call.args for call in host.agent_calls_named("WriteLog")] == [(2, "cut short")]
    assert not any("out of memory" in text for text in host.debug_texts())
