"""How the host reads its input: lengths, bodies, the end of input, and
which frames go on to the designer."""
import os

import pytest

from corvantilhub_harness.collector import appear_in_order
from corvantilhub_harness.wire import LENGTH, MAX_INBOUND_BODY_BYTES, encode_message, envelope, frame


def log_message(text, level=2):
    return envelope("log", {"message": text, "level": level})


def log_frame(text, level=2):
    return frame(encode_message(log_message(text, level)))


def written_log_lines(host):
    return [call.args for call in host.agent_calls_named("WriteLog")]


def test_empty_input_activates_and_exits_zero(host):
    assert host.end() == 0
    assert appear_in_order(host.debug_texts(), ["Corvantilhub Activated", "Going to exit"])
    assert host.frames.items() == []


def test_host_without_standard_input_ends_at_once_with_minus_one(run_host_once, native_only):
    native_only("a closed descriptor 0 still gives a Wine program a usable, empty standard input")
    result, debug_texts = run_host_once(preexec_fn=lambda: os.close(0), capture_output=True)
    assert result.returncode == 255  # -1
    assert result.stderr.startswith(b"Cannot set binary mode: ")
    # Nothing was started: no watcher, no bridge thread, no read loop.
    assert debug_texts == [
        "Standard streams could not be duplicated: 9", "Set binary mode failed"]  # EBADF


def test_zero_lengths_are_skipped_without_a_body(host):
    zero = LENGTH.pack(0)
    host.send_bytes(zero + log_frame("first") + zero + log_frame("second"))
    assert host.end() == 0
    assert written_log_lines(host) == [(2, "first"), (2, "second")]


@pytest.mark.parametrize("announced", [0x80000000, 0xC0000000, 0xFFFFFFFF])
def test_lengths_with_the_top_bit_set_count_body_bytes(host, announced):
    # Read as signed, such a length was skipped and the body's first bytes
    # were taken for the next length: frames could be smuggled inside.
    smuggled = log_frame("SMUGGLED-frame-inside-a-huge-body")
    host.send_bytes(log_frame("before") + LENGTH.pack(announced) + smuggled * 3)
    host.wait_for_debug_line(
        f"Inbound frame discarded: length {announced} exceeds {MAX_INBOUND_BODY_BYTES}")
    assert host.end() == 0  # input ends inside the body
    assert written_log_lines(host) == [(2, "before")]


@pytest.mark.parametrize("stray", [b"\x01", b"\x01\x02", b"\x01\x02\x03"])
def test_stray_bytes_before_end_of_input_are_dropped(host, stray):
    host.send_bytes(log_frame("kept") + stray)
    assert host.end() == 0
    assert written_log_lines(host) == [(2, "kept")]


def test_body_cut_short_by_end_of_input_is_still_handled(host):
    body = encode_message(log_message("short"))
    host.send_bytes(LENGTH.pack(len(body) + 1000) + body)
    assert host.end() == 0
    assert written_log_lines(host) == [(2, "short")]


def test_zero_byte_ends_the_text_of_a_body(host):
    # Without the cut the agent would see the NUL and the rest in its log line.
    host.send_bytes(frame(b'{"tabID":"7"}\x00{"type":"log"}'))
    assert host.end() == 0
    assert written_log_lines(host) == [(3, 'Unknown message sent = {"tabID":"7"}')]


def send_spaces_in_background(host, count):
    """A writer thread for `count` spaces, so as not to hold them all."""
    chunk = b" " * (1 << 20)

    def spaces():
        for _ in range(count // len(chunk)):
            yield chunk
        yield chunk[: count % len(chunk)]
    return host.send_chunks_in_background(spaces(), f"{count} spaces")


@pytest.mark.parametrize("announced", [MAX_INBOUND_BODY_BYTES + 1, 0x80000000],
                         ids=["just-over-the-limit", "top-bit-set"])
def test_oversized_frame_is_skipped_and_the_stream_stays_in_step(host, announced):
    host.send_bytes(LENGTH.pack(announced))
    writer = send_spaces_in_background(host, announced)
    # 2 GiB through a pipe takes a while on a loaded machine, under Wine more.
    writer.join(host.runner.timeout * (4 if announced <= 2 * MAX_INBOUND_BODY_BYTES else 20))
    assert not writer.is_alive(), "the host stopped reading the oversized frame"
    host.send(log_message("after the big one"))
    host.wait_for_agent_call("WriteLog", lambda call: call.args == (2, "after the big one"))
    assert host.end() == 0
    assert f"Inbound frame discarded: length {announced} exceeds {MAX_INBOUND_BODY_BYTES}" \
        in host.debug_texts()


def test_input_ending_inside_an_oversized_frame_ends_the_host(host):
    host.send_bytes(LENGTH.pack(MAX_INBOUND_BODY_BYTES + 1) + b"{" * 1000)
    assert host.end() == 0


def test_only_the_exact_type_xpath_goes_to_the_designer(host):
    host.wait_for_debug_line("Corvantilhub window created")  # the bridge is ready
    for near_miss in ("xpath", "XPath ", "XPaths", "XPATH", " XPath"):
        host.send(envelope(near_miss, {"xpath": near_miss}))
    relayed = envelope("XPath", {"xpath": "/html/body"})
    host.send(relayed)
    typeless = {"tabID": "1", "payload": {"xpath": "/html/head"}}
    host.send(typeless)
    assert host.end() == 0
    sent_texts = [call.args[0] for call in host.bridge_calls_named("SendMessageToSpindlecraft")]
    assert sent_texts == [encode_message(relayed).decode("utf-8")]
