"""What the agent sends back through its callbacks, and the host's own
log-level report, as the extension receives them."""
import re

import pytest

from corvantilhub_harness.host_process import StandinSettings
from corvantilhub_harness.wire import MAX_OUTBOUND_BODY_BYTES, envelope

AWKWARD = 'say "hi" \\ ok\n\tcafé 😀\r\b\f\x01\x1f\x7f'
# The same text as the extension must receive it: a JSON string literal.
AWKWARD_BODY = (b'"say \\"hi\\" \\\\ ok\\n\\tcaf\xc3\xa9 \xf0\x9f\x98\x80'
                b'\\r\\b\\f\\u0001\\u001F\x7f"')
UNPROTECT_FAILED = re.compile(r"UnProtectData failed\. Returning input string\. GLE=0x[0-9a-f]+")


def replies(document_complete=(), basic_auth=(), **script):
    return {"replies": {"OnDocumentComplete": list(document_complete),
                        "OnBasicAuthRequired": list(basic_auth)}, **script}


def page_loaded(url="https://example.test/login"):
    return envelope("documentComplete", {"url": url, "bTopLvlDoc": "true"})


def test_answers_reach_the_extension_unwrapped_byte_for_byte(start_host):
    host = start_host(StandinSettings.quiet(agent_script=replies(
        document_complete=[{"text": AWKWARD},
                           {"text": "from another thread", "delayMs": 200}],
        basic_auth=[{"text": [0x61, 0xD800, 0x62]},  # an unpaired surrogate
                    {"text": [0x61, 0x0000, 0x62]},  # text ends at a NUL
                    {"text": ""}])))  # arrives empty, not in its protected form
    host.send(page_loaded())
    host.send(envelope("basicAuthentication", {"host": "h.test"}))
    frames = host.frames.wait_for_count(5, what="agent answers")
    assert host.end() == 0
    bodies = [f.body for f in frames]
    assert b'"from another thread"' in bodies
    bodies.remove(b'"from another thread"')
    assert bodies == [AWKWARD_BODY, b'"a\xef\xbf\xbdb"', b'"a"', b'""']
    assert next(f for f in frames if f.body == AWKWARD_BODY).text == AWKWARD
    assert host.stream_errors == []


# A Windows agent's wide strings are arbitrary 16-bit units. The script
# file holds them as \uXXXX escapes, which the stand-in reads unit for unit.
LONE_SURROGATES = "high \ud83d, low \ude00, reversed \ude00\ud83d, pair \ud83d\ude00"
LONE_SURROGATES_BODY = ('"high \ufffd, low \ufffd, reversed \ufffd\ufffd, '
                        'pair \U0001f600"').encode("utf-8")


@pytest.mark.parametrize("protect", [True, False], ids=["protected", "unprotected"])
def test_unpaired_surrogates_from_the_agent_arrive_as_replacement_characters(start_host,
                                                                             protect):
    host = start_host(StandinSettings.quiet(agent_script=replies(
        document_complete=[{"text": LONE_SURROGATES, "protect": protect}],
        basic_auth=[{"text": LONE_SURROGATES, "protect": protect}])))
    host.send(page_loaded())
    host.send(envelope("basicAuthentication", {"host": "h.test"}))
    frames = host.frames.wait_for_count(2, what="the agent's answers")
    assert host.end() == 0
    assert [f.body for f in frames] == [LONE_SURROGATES_BODY] * 2
    assert host.stream_errors == []


def test_unprotected_answer_goes_out_unchanged_after_a_failure_line(start_host):
    host = start_host(StandinSettings.quiet(agent_script=replies(
        basic_auth=[{"text": "plain", "protect": False}])))
    host.send(envelope("basicAuthentication", {"host": "h.test"}))
    assert host.frames.wait_for(lambda f: True).body == b'"plain"'
    host.debug.wait_for(lambda line: UNPROTECT_FAILED.fullmatch(line.text),
                        what="the unwrap's failure line")
    assert host.end() == 0


@pytest.mark.parametrize("level", [4, -1])
def test_agent_log_level_other_than_one_is_reported_at_start(start_host, level):
    host = start_host(StandinSettings.quiet(agent_script={"logLevels": [level]}))
    update = f'{{"level":{level},"type":"updateLogLevel"}}'
    first = host.frames.wait_for(lambda f: True, what="the log-level update")
    assert first.body == b'"' + update.replace('"', '\\"').encode() + b'"'
    host.wait_for_agent_call("WriteLog", lambda call: call.args == (3, update))
    host.wait_for_debug_line(f"Log level: {level}")
    assert host.end() == 0


def test_answers_over_one_mebibyte_are_dropped_and_later_ones_still_arrive(start_host):
    limit = MAX_OUTBOUND_BODY_BYTES
    host = start_host(StandinSettings.quiet(agent_script=replies(document_complete=[
        {"textBytes": limit - 1},      # body limit + 1: dropped
        {"text": '"', "repeat": 600000},  # small text, but escaping doubles it
        {"textBytes": limit - 2},      # body exactly at the limit: sent
        {"text": "after"}])))
    host.send(page_loaded())
    frames = host.frames.wait_for_count(2, what="the answers within the limit")
    assert frames[0].body == b'"' + b"x" * (limit - 2) + b'"'
    assert frames[1].body == b'"after"'
    for size in (limit + 1, 1200002):
        host.wait_for_debug_line(f"Message to Chrome Extension dropped: {size} bytes "
                                 f"exceed the {limit}-byte limit")
    assert host.end() == 0
    assert len(host.frames.items()) == 2


def test_host_exits_cleanly_while_every_writer_is_busy(start_host):
    texts = [f"answer {n}" for n in range(6)]
    host = start_host(StandinSettings.quiet(
        agent_script=replies(
            document_complete=[{"text": t, "delayMs": 1 + 3 * n} for n, t in enumerate(texts)],
            logLevels=[5]),
        bridge_script={"designerTexts": [{"text": f"designer {n}", "delayMs": n}
                                         for n in range(10)]}))
    for _ in range(30):
        host.send(page_loaded())
    host.frames.wait_for(lambda f: f.text.startswith("answer"), what="a first answer")
    assert host.end() == 0
    known = set(texts) | {f"designer {n}" for n in range(10)} \
        | {'{"level":5,"type":"updateLogLevel"}'}
    assert {f.text for f in host.frames.items()} <= known
    # The exit waits for the frame under way, so the stream ends on a frame
    # boundary: no frame is cut in half or mixed with another.
    assert host.stream_errors == []
