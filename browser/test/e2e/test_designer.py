"""The designer relay: element paths to the designer, the designer's texts to
the extension, and a host that runs on without the bridge library."""
import os
import re
import shutil

import pytest
from corvantilhub_harness.collector import appear_in_order
from corvantilhub_harness.host_process import StandinSettings, copy_host_without
from corvantilhub_harness.wire import encode_message, envelope

READY = "Corvantilhub window created"
RELAY_LINES = ["Xpath received from Extension", "XPath received at Broker side"]


def element_path(xpath, tab_id="1"):
    return envelope("XPath", {"xpath": xpath}, tab_id=tab_id)


def relayed_texts(host):
    return [call.args[0] for call in host.bridge_calls_named("SendMessageToSpindlecraft")]


def test_bridge_is_set_up_with_the_host_callback_and_names(host):
    host.bridge_calls.wait_for(lambda call: call.fn == "CreateThreadBroker")
    assert host.end() == 0
    calls = [(call.fn, call.args) for call in host.bridge_calls.items()]
    assert calls == [("GetInstance", ("callback",)),
                     ("CreateThreadBroker", ("Corvantilhub", "Corvantilhub"))]
    assert appear_in_order(host.debug_texts(), ["Tollgatelink Dll Loaded", READY])


def test_element_paths_reach_the_designer_whole_with_the_instance_token(host, native_only):
    host.wait_for_debug_line(READY)
    plain = element_path("/html/body/div[2]")
    wide = element_path("//input[@name='usér']/ü/😀", tab_id="9")
    host.send(plain)
    host.send(wide)
    assert host.end() == 0
    calls = host.bridge_calls_named("SendMessageToSpindlecraft")
    assert [call.args[0] for call in calls] == [encode_message(m).decode() for m in (plain, wide)]
    tokens = {call.args[1] for call in calls}
    assert len(tokens) == 1 and re.fullmatch(r"0x[0-9a-f]{16}", tokens.pop())
    texts = host.debug_texts()
    assert appear_in_order(texts, RELAY_LINES + [encode_message(plain).decode()] + RELAY_LINES)
    assert host.frames.items() == []
    native_only("Wine shows debug text in the ANSI code page")
    assert encode_message(wide).decode() in texts


def test_designer_texts_reach_the_extension_with_a_debug_line_each(start_host):
    designer_texts = ['designer says "hi" ✓\n', "😀 second"]
    host = start_host(StandinSettings.quiet(bridge_script={
        "designerTexts": [{"text": text, "delayMs": 50 * n}
                          for n, text in enumerate(designer_texts)]}))
    frames = host.frames.wait_for_count(2, what="designer texts")
    assert sorted(f.text for f in frames) == sorted(designer_texts)
    assert host.end() == 0
    assert host.debug_texts().count("Message Sent to Chrome Extension Message Written") == 2


def test_element_path_before_the_bridge_is_ready_is_not_sent_later(start_host):
    host = start_host(StandinSettings.quiet(bridge_script={"loadDelayMs": 3000}))
    early = element_path("/early")
    host.send(early)
    host.wait_for_debug_line(encode_message(early).decode())
    host.wait_for_debug_line(READY)
    late = element_path("/late")
    host.send(late)
    assert host.end() == 0
    assert relayed_texts(host) == [encode_message(late).decode()]


def test_host_serves_the_agent_without_the_bridge_library(start_host, runner, tmp_path):
    isolated = copy_host_without(runner, tmp_path / "isolated", runner.bridge_library)
    host = start_host(executable=isolated)
    failure = host.debug.wait_for(
        lambda line: line.text.startswith("Tollgatelink LoadLibrary failed: "))
    assert re.fullmatch(r"Tollgatelink LoadLibrary failed: \d+", failure.text)
    path = element_path("/nowhere")
    host.send(path)
    host.send(envelope("log", {"message": "still serving", "level": 2}))
    host.wait_for_agent_call("WriteLog", lambda call: call.args == (2, "still serving"))
    assert host.end() == 0
    assert appear_in_order(host.debug_texts(), RELAY_LINES + [encode_message(path).decode()])
    assert host.bridge_calls.items() == []
    assert host.frames.items() == []


@pytest.mark.parametrize("planted_in", ["the working folder", "the loader's search path"])
def test_a_bridge_library_that_is_not_beside_the_host_is_not_loaded(start_host, runner, tmp_path,
                                                                    planted_in):
    isolated = copy_host_without(runner, tmp_path / "isolated", runner.bridge_library)
    planted = tmp_path / "planted"
    planted.mkdir()
    shutil.copy2(runner.bin_dir / runner.bridge_library, planted / runner.bridge_library)
    if planted_in == "the working folder":
        host = start_host(executable=isolated, preexec_fn=lambda: os.chdir(planted))
    else:
        search_path = "LD_LIBRARY_PATH" if runner.flavor == "native" else "WINEPATH"
        host = start_host(StandinSettings.quiet(extra_env={search_path: runner.host_path(planted)}),
                          executable=isolated)
    failure = host.debug.wait_for(
        lambda line: line.text.startswith("Tollgatelink LoadLibrary failed: "))
    assert failure.text == "Tollgatelink LoadLibrary failed: 126"
    assert host.end() == 0
    assert host.bridge_calls.items() == []
