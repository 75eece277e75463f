"""What the host tells about an inbound text in its debug output and the
agent's log: secrets hidden, length capped, whether or not the text is JSON."""
from corvantilhub_harness.wire import encode_message, envelope, frame

PREFIX = "Unknown message sent = "
SECRETS = ["Pw-7f3a9", "Sec-51c2", "Tok-88d0", "Pw-cut-4e1b"]

# (body of an untyped frame, what the report shows of it)
UNTYPED = [
    # A type that is not a string: the whole message is reported; only the
    # strings of plain members show.
    (b'{"tabID":"1","type":["saveCredentials"],'
     b'"payload":{"host":"h","username":"u","pwd":"Pw-7f3a9","n":2}}',
     '{"tabID":"1","type":["***"],'
     '"payload":{"host":"***","username":"***","pwd":"***","n":2}}'),
    # Not JSON: no string shows, nor any bare word but numbers.
    (b'{tabID: 1, "clientSecret": Sec-51c2 , "Access_TOKEN": {"v": ["Tok-88d0"]}, x',
     '{***: 1, "***": *** , "***": {"***": ["***"]}, ***'),
    # Cut off inside the value by a zero byte; the rest is never looked at.
    (b'{"tabID":"1","payload":{"Password":"Pw-cut\x00-4e1b"}}',
     '{"***":"***","***":{"***":"***"'),
    # A terminal sequence that would retitle a monitor's window.
    (b'\x1b]0;forged\x07{"tabID":"1"}', '\\u001B]***\\u0007{"***":"***"}'),
]


def written_log_lines(host):
    return [call.args for call in host.agent_calls_named("WriteLog")]


def test_untyped_messages_are_reported_with_secret_values_hidden(host):
    for body, _ in UNTYPED:
        host.send_bytes(frame(body))
    assert host.end() == 0
    expected = [PREFIX + shown for _, shown in UNTYPED]
    assert written_log_lines(host) == [(3, line) for line in expected]
    for line in expected:  # under Wine only the start of a long line is seen
        assert [seen for seen in host.debug.items() if seen.matches(line)], line
    assert not [line for line in host.debug_texts() if any(s in line for s in SECRETS)]
    assert not [line for line in host.debug_texts() if "\x1b" in line]


def test_a_long_untyped_message_is_cut_after_4096_characters(host):
    # Characters, not UTF-16 units: each 😀 counts once and is never split.
    text = '{"tabID":"1","xpath":"' + "ab😀" * 70000 + '"}'
    host.send_text(text)
    expected = PREFIX + text[:4096] + f"… ({len(text) - 4096} more characters)"
    call = host.wait_for_agent_call("WriteLog")
    assert call.args == (3, expected)
    assert host.end() == 0
    if host.runner.flavor == "native":  # Wine shows debug text in the ANSI code page
        assert expected in host.debug_texts()


def test_element_path_debug_line_hides_secrets_but_the_designer_gets_it_whole(host):
    host.wait_for_debug_line("Corvantilhub window created")  # the bridge is ready
    message = envelope("XPath", {"xpath": "/html/body", "token": "Tok-88d0"})
    host.send(message)
    assert host.end() == 0
    relayed = [call.args[0] for call in host.bridge_calls_named("SendMessageToSpindlecraft")]
    assert relayed == [encode_message(message).decode()]
    shown = '{"tabID":"1","type":"XPath","payload":{"xpath":"/html/body","token":"***"}}'
    assert shown in host.debug_texts()
    assert not [line for line in host.debug_texts() if "Tok-88d0" in line]
