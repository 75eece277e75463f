"""Every kind of report from the extension reaches the right agent call with
the right arguments, read back from the stand-in agent's record."""
from corvantilhub_harness.host_process import StandinSettings
from corvantilhub_harness.wire import envelope

# Quotes, a backslash, control characters, non-ASCII and a non-BMP character.
AWKWARD = 'Zoë "Z" \\ line\nnext\ttab 😀'
# A log line reaches the agent with its control characters escaped, so it
# can't forge lines in the agent's log.
AWKWARD_LOGGED = 'Zoë "Z" \\ line\\nnext\\ttab 😀'

# (message from the extension, the agent call it must cause, or None)
REPORTS = [
    (envelope("log", {"message": AWKWARD, "level": 2}, tab_id="5"),
     ("WriteLog", (2, AWKWARD_LOGGED))),
    (envelope("log", {"message": "", "level": 2}, tab_id="5"), None),
    (envelope("triggerFired", {"triggerId": "t1", "values": [
        {"signature": "s2", "value": "b"}, {"signature": "s1", "value": AWKWARD},
        {"signature": "s2", "value": "b2"}]}, tab_id="5"),
     ("NotifyTriggerFired", ("5", "t1", {"s1": AWKWARD, "s2": "b2"}))),
    (envelope("triggerFailed", {"triggerId": "t2"}, tab_id="5"),
     ("NotifyTriggerFailed", ("5", "t2"))),
    (envelope("documentComplete", {"url": "https://example.test/ä?q=1", "bTopLvlDoc": "TRUE"},
              tab_id="5"),
     ("OnDocumentComplete", ("5", "https://example.test/ä?q=1", True, "callback"))),
    (envelope("documentComplete", {"url": "https://example.test/frame", "bTopLvlDoc": True},
              tab_id="5"),
     ("OnDocumentComplete", ("5", "https://example.test/frame", False, "callback"))),
    (envelope("basicAuthentication", {"host": "intranet.example.test"}, tab_id="5"),
     ("OnBasicAuthRequired", ("5", "intranet.example.test", "callback"))),
    (envelope("saveCredentials", {"host": "h.test", "username": AWKWARD, "password": "pw"},
              tab_id="5"),
     ("SaveCredentials", ("5", "h.test", AWKWARD, "pw"))),
    (envelope("saveCredentials", {"host": "h.test", "username": "u"}, tab_id="5"),
     ("SaveCredentials", ("5", "h.test", "u", ""))),
    (envelope("anyType", {"b": "2", "a": AWKWARD}, tab_id="5", request_id="r1"),
     ("SendResponse", ("5", "r1", {"a": AWKWARD, "b": "2"}))),
    (envelope("closeTab", tab_id="5"), ("OnTabClosed", ("5",))),
    (envelope("closeTab", {"x": "y"}, tab_id="6", request_id="r2"), ("OnTabClosed", ("6",))),
    (envelope("Closetab", tab_id="5"), None),
    (envelope("XPath", {"xpath": "/html"}, tab_id="5"), None),
    ({"tabID": "5", "payload": {}}, ("WriteLog", (3, 'Unknown message sent = {"tabID":"5","payload":{}}'))),
]


def test_each_report_reaches_its_agent_call_in_order(host):
    for message, _ in REPORTS:
        host.send(message)
    assert host.end() == 0
    calls = [(call.fn, call.args) for call in host.agent_calls.items() if call.fn != "GetLogLevel"]
    assert calls == [call for _, call in REPORTS if call is not None]


def test_handled_reports_announce_their_agent_call(host):
    announced = {
        "triggerFired": "Calling NotifyTriggerFired",
        "documentComplete": "Calling OnDocumentComplete",
        "basicAuthentication": "Calling OnBasicAuthRequired",
        "saveCredentials": "Calling SaveCredentials",
    }
    for type_, line in announced.items():
        host.send(envelope(type_, {"host": "h", "url": "u"}))
        host.wait_for_debug_line(line)
    host.send({"tabID": "3"})
    host.wait_for_debug_line('Unknown message sent = {"tabID":"3"}')
    assert host.end() == 0


def test_text_that_is_not_json_is_reported_and_logged(host):
    host.send_bytes(b"\x09\x00\x00\x00not json!")
    call = host.wait_for_agent_call("WriteLog")
    assert call.args == (3, "Unknown message sent = *** ***")
    host.wait_for_debug_line("Unknown message sent = *** ***")
    assert host.end() == 0


def test_saved_password_stays_out_of_debug_output_and_agent_log(start_host):
    # The script-less agent remembers the credentials and answers the basic
    # authentication for the same host with them, like a real agent would.
    host = start_host(StandinSettings(bridge_script={}))
    password = "Corv-s3cret-pa55"
    host.send(envelope("saveCredentials", {"host": "vault.test", "username": "ann",
                                           "password": password}))
    host.send(envelope("basicAuthentication", {"host": "vault.test"}))
    host.frames.wait_for(lambda f: password in f.text,
                         what="the agent's basic-authentication answer")
    host.send(envelope("log", {"message": "after saving", "level": 2}))
    host.send({"tabID": "1", "note": "typeless"})
    assert host.end() == 0
    assert host.agent_calls_named("SaveCredentials")[0].args[3] == password
    assert not [line for line in host.debug.items() if password in line.text]
    assert not [call for call in host.agent_calls_named("WriteLog") if password in call.args[1]]
