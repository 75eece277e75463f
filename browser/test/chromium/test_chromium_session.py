"""The host with a real Chromium as its client.

The test extension (extension/) plays the session in extension/session.json:
it sends the reports of a page visit, reports every message it receives back
to the host as a level-7 log line, then sends the closing envelopes and closes
the port when the agent's farewell arrives. One browser run serves every check
in this file; the checks read the stand-ins' records, the extension's reports
and the host's debug lines.
"""
import json
from collections import Counter

import pytest

from chromium_session import load_session, run_session

MAX_BODY_BYTES = 1024 * 1024  # the largest frame body Chromium accepts from a host
REPORT_LEVEL = 7              # the level at which the extension reports what it received
HOST_LOG_LEVEL = 3            # the level of the host's own lines in the agent's log

SESSION = load_session()

QUOTES = 'He said "sign in" at C:\\Users\\alice\\ and \\"left\\"'
CONTROLS = "line one\nline two\r\n\ttabbed\bback\fform\x01start\x1fend\x7f"
NON_ASCII = "Grüße, café, naïve – 日本語, Ελληνικά"
AFTER_OVERSIZED = "still connected after the oversized answer"
UNPROTECTED = 'sent without protection: {"plain":true}'
OUTSIDE_BMP = "outside the BMP: 😀 𝄞 🔑"
DESIGNER_TEXT = 'designer says: "ready" ✓ \\ done'
LOG_LEVEL_UPDATE = '{"level":4,"type":"updateLogLevel"}'

# The agent's answers to the page load, in the order it sends them: the script
# entry, and what the extension must receive (None: the host must drop it).
PAGE_LOAD_ANSWERS = [
    ({"text": QUOTES}, QUOTES),
    ({"text": CONTROLS}, CONTROLS),
    ({"text": NON_ASCII}, NON_ASCII),
    ({"text": [0x61, 0xD800, 0x62]}, "a\ufffdb"),                  # an unpaired surrogate
    ({"textBytes": MAX_BODY_BYTES - 2}, "x" * (MAX_BODY_BYTES - 2)),  # a body of exactly 1 MiB
    ({"textBytes": MAX_BODY_BYTES - 1}, None),                       # one byte more
    ({"text": AFTER_OVERSIZED}, AFTER_OVERSIZED),
    ({"text": UNPROTECTED, "protect": False}, UNPROTECTED),
    ({"text": OUTSIDE_BMP, "delayMs": 300}, OUTSIDE_BMP),            # later, from an agent thread
]
SENT_AT_ONCE = [expected for entry, expected in PAGE_LOAD_ANSWERS
                if expected is not None and "delayMs" not in entry]

AGENT_SCRIPT = {
    "logLevels": [4],
    "replies": {
        "OnDocumentComplete": [entry for entry, _ in PAGE_LOAD_ANSWERS],
        "OnBasicAuthRequired": [{"text": SESSION["farewell"]}],
    },
}
DESIGNER_SCRIPT = {"designerTexts": [{"text": DESIGNER_TEXT, "delayMs": 0}]}

EXPECTED_RECEIVED = ([LOG_LEVEL_UPDATE, DESIGNER_TEXT] +
                     [expected for _, expected in PAGE_LOAD_ANSWERS if expected is not None])


def expected_agent_call(envelope):
    """The agent call an envelope must become, as the stand-in records it."""
    tab, payload = envelope["tabID"], envelope.get("payload", {})
    if envelope.get("requestID"):
        return "SendResponse", [tab, envelope["requestID"], payload]
    kind = envelope["type"]
    if kind == "documentComplete":
        return "OnDocumentComplete", [tab, payload["url"],
                                      payload["bTopLvlDoc"].lower() == "true", "callback"]
    if kind == "triggerFired":
        values = {value["signature"]: value["value"] for value in payload["values"]}
        return "NotifyTriggerFired", [tab, payload["triggerId"], values]
    if kind == "triggerFailed":
        return "NotifyTriggerFailed", [tab, payload["triggerId"]]
    if kind == "saveCredentials":
        return "SaveCredentials", [tab, payload["host"], payload["username"], payload["password"]]
    if kind == "log":
        return "WriteLog", [payload["level"], payload["message"]]
    if kind == "basicAuthentication":
        return "OnBasicAuthRequired", [tab, payload["host"], "callback"]
    if kind == "closeTab":
        return "OnTabClosed", [tab]
    raise AssertionError(f"no agent call expected for {envelope}")


def reports(run):
    """What the extension received, in order, from its level-7 log lines."""
    return [json.loads(call.args[1])["received"] for call in run.agent_calls
            if call.fn == "WriteLog" and call.args[0] == REPORT_LEVEL]


@pytest.fixture(scope="module")
def run(tmp_path_factory, native_bin, chromium_binary, register_tool):
    if not chromium_binary.is_file():
        pytest.skip(f"Chromium not installed at {chromium_binary}")
    for name in ("Corvantilhub", "libHarrowmere64.so", "libTollgatelink.so"):
        if not (native_bin / name).is_file():
            pytest.skip(f"{name} not found in {native_bin}; build the native preset first")
    assert SESSION["expectedReplies"] == len(EXPECTED_RECEIVED), \
        "extension/session.json must expect as many replies as these scripts send"
    return run_session(bin_dir=native_bin, chromium=chromium_binary, register_tool=register_tool,
                       work=tmp_path_factory.mktemp("chromium"),
                       agent_script=AGENT_SCRIPT, designer_script=DESIGNER_SCRIPT)


def test_every_report_reaches_its_agent_call(run):
    relayed = [(call.fn, call.args) for call in run.agent_calls
               if call.fn != "GetLogLevel" and not (
                   call.fn == "WriteLog" and call.args[0] in (REPORT_LEVEL, HOST_LOG_LEVEL))]
    envelopes = [envelope for envelope in SESSION["opening"] + SESSION["closing"]
                 if envelope["type"] != "XPath"]
    expected = [(fn, tuple(args)) for fn, args in map(expected_agent_call, envelopes)]
    assert relayed == expected, run.describe()


def test_element_path_reaches_the_designer_whole(run):
    relays = [call for call in run.designer_calls if call.fn == "SendMessageToSpindlecraft"]
    [element_path] = [envelope for envelope in SESSION["closing"] if envelope["type"] == "XPath"]
    assert len(relays) == 1, run.describe()
    # The designer gets the whole envelope as the browser wrote it.
    assert json.loads(relays[0].args[0]) == element_path
    assert [call.args for call in run.designer_calls if call.fn == "CreateThreadBroker"] == \
        [("Corvantilhub", "Corvantilhub")]


def test_answers_arrive_in_the_extension_as_the_exact_strings(run):
    received = reports(run)
    assert all(isinstance(message, str) for message in received), received
    assert Counter(received) == Counter(EXPECTED_RECEIVED), run.describe()
    # Answers sent one after another on one thread keep their order.
    assert [message for message in received if message in SENT_AT_ONCE] == SENT_AT_ONCE


def test_oversized_answer_is_dropped_and_the_port_stays_open(run):
    assert (f"Message to Chrome Extension dropped: {MAX_BODY_BYTES + 1} bytes exceed "
            f"the {MAX_BODY_BYTES}-byte limit") in run.debug_lines, run.describe()
    received = reports(run)
    assert AFTER_OVERSIZED in received and OUTSIDE_BMP in received
    # The extension closes the port itself only on the farewell; the browser
    # would close it on a frame it refuses, and the extension would log that.
    assert any("farewell received" in line for line in run.console_lines()), run.describe()
    assert not any("port closed by the host or browser" in line for line in run.console_lines())


def test_log_level_update_arrives_when_the_agent_starts_above_one(run):
    assert reports(run).count(LOG_LEVEL_UPDATE) == 1
    host_lines = [call.args[1] for call in run.agent_calls
                  if call.fn == "WriteLog" and call.args[0] == HOST_LOG_LEVEL]
    assert host_lines == [LOG_LEVEL_UPDATE]
    assert "Log level: 4" in run.debug_lines


def test_host_exits_on_its_own_when_the_browser_closes_the_port(run):
    """The extension closed the port; the host wrote "Going to exit" (it saw
    end of input and left its read loop) and its process ended while the
    browser kept running."""
    assert any("farewell received" in line for line in run.console_lines()), run.describe()
    assert run.ended_in_time, run.describe()
    assert "Corvantilhub Activated" in run.debug_lines
    assert len(run.host_pids) == 1, run.host_pids
    assert run.hosts_exited, "the host was still running after the port closed"


def test_host_exit_status_is_zero(run):
    """The browser keeps its host's exit status to itself (and would kill a
    host that lingers); the kernel's process events show it: 0 means the host
    returned 0 rather than being killed."""
    if not run.exit_statuses_seen:
        pytest.skip("process events can't be watched here (needs CAP_NET_ADMIN)")
    assert list(run.exit_statuses.values()) == [0]


def test_check_passes_before_the_browser_starts_the_host(run):
    """`corvantilhub-register check` ran on the registration the browser then
    used: it found the manifest in the profile, started the host for its
    start-up check, and the browser connected afterwards."""
    check = run.registration_check
    assert check.returncode == 0, check.stdout + check.stderr
    lines = check.stdout.splitlines()
    assert lines[0].startswith("corvantilhub-register ")  # the tool's version, the package
    assert [line.split(": ")[1] for line in lines[1:-1] if not line.startswith(" ")] == [
        "manifest", "json", "name", "path", "type", "extension", "start"]
    assert lines[-1] == "chromium: can start the host"
    assert "Corvantilhub Activated" in run.debug_lines
    assert any("farewell received" in line for line in run.console_lines()), run.describe()
