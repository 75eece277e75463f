#!/usr/bin/python3
"""A short extension session against the real host and the stand-in agent and
designer bridge, printed as a transcript in time order.

    demo.py --bin build/native/bin

Labels: "ext → host" a frame the extension sends, "host → ext" a frame the
extension receives (its text), "agent ←" a call into the agent library,
"designer ←" a call into the designer bridge, "debug" a line of the host's
debug output. Exits non-zero when an expected answer doesn't come.
"""
import argparse
import json
import sys
import tempfile
from dataclasses import dataclass
from pathlib import Path

from corvantilhub_harness.collector import WaitTimeout
from corvantilhub_harness.host_process import HostProcess, StandinSettings, play_to_the_end
from corvantilhub_harness.runners import make_runner
from corvantilhub_harness.transcript import Transcript
from corvantilhub_harness.wire import envelope

TAB = "12"
SITE = "accounts.example.test"
AGENT_LOG_LEVEL = 2  # anything but 1, so the host reports it at start


@dataclass
class Step:
    title: str
    message: dict
    agent_call: str = None      # the agent call the message must cause
    answer_type: str = None     # the "type" of the answer the extension must get
    designer_call: str = None   # the bridge call the message must cause


STEPS = [
    Step("The sign-in page finishes loading; the agent, knowing no credentials for it yet,\n"
         "   answers from a thread of its own with an empty form to fill",
         envelope("documentComplete", {"url": f"https://{SITE}/login?next=%2Fhome",
                                       "bTopLvlDoc": "true"}, TAB),
         agent_call="OnDocumentComplete", answer_type="fillForm"),
    Step("The user submits the form; the extension offers the credentials for saving",
         envelope("saveCredentials", {"host": SITE, "username": "ann.example",
                                      "password": "correct horse battery"}, TAB),
         agent_call="SaveCredentials"),
    Step("The same site asks for basic authentication; the agent answers with what to fill",
         envelope("basicAuthentication", {"host": SITE}, TAB),
         agent_call="OnBasicAuthRequired", answer_type="basicAuthCredentials"),
    Step("The user comes back to the sign-in page; now the agent fills in what was saved",
         envelope("documentComplete", {"url": f"https://{SITE}/login",
                                       "bTopLvlDoc": "true"}, TAB),
         agent_call="OnDocumentComplete", answer_type="fillForm"),
    Step("A sign-on trigger fires with the values it collected",
         envelope("triggerFired", {"triggerId": "welcome-banner", "values": [
             {"signature": "title", "value": "Welcome, Ann"},
             {"signature": "user", "value": "ann.example"}]}, TAB),
         agent_call="NotifyTriggerFired"),
    Step("The extension writes a line to the agent's log",
         envelope("log", {"message": "profile matched on the start page", "level": 2}, TAB),
         agent_call="WriteLog"),
    Step("The user picks an element; its path goes to the designer, which acknowledges it",
         envelope("XPath", {"xpath": "//form[@id='signin']/input[@name='user']"}, TAB),
         designer_call="SendMessageToSpindlecraft", answer_type="designerAck"),
    Step("The tab is closed",
         envelope("closeTab", tab_id=TAB),
         agent_call="OnTabClosed"),
]


def answer_of_type(answer_type):
    def matches(outbound):
        try:
            return outbound.json().get("type") == answer_type
        except (ValueError, AttributeError):
            return False
    return matches


def play(host: HostProcess, transcript: Transcript) -> None:
    """Runs every step and waits for what it must cause; raises WaitTimeout."""
    host.frames.wait_for(answer_of_type("updateLogLevel"), what="the log-level update")
    host.wait_for_debug_line("Corvantilhub window created")
    for number, step in enumerate(STEPS, 1):
        transcript.note(f"── {number}. {step.title}")
        calls_before, designer_before, frames_before = (
            len(host.agent_calls), len(host.bridge_calls), len(host.frames))
        host.send(step.message)
        if step.agent_call:
            host.agent_calls.wait_for(lambda call: call.fn == step.agent_call,
                                      what=f"a {step.agent_call} call", since=calls_before)
        if step.designer_call:
            host.bridge_calls.wait_for(lambda call: call.fn == step.designer_call,
                                       what=f"a {step.designer_call} call", since=designer_before)
        if step.answer_type:
            host.frames.wait_for(answer_of_type(step.answer_type), since=frames_before,
                                 what=f'an answer of type "{step.answer_type}"')
    transcript.note("── End of input: the extension closes the host's standard input")


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", type=Path, default=Path("build/native/bin"),
                        help="the folder with the host and the stand-in libraries")
    parser.add_argument("--flavor", choices=("native", "windows"), default="native")
    args = parser.parse_args()

    transcript = Transcript()
    with tempfile.TemporaryDirectory(prefix="corvantilhub-demo-") as scratch:
        runner = make_runner(args.flavor, args.bin.resolve(), Path(scratch))
        host = HostProcess(runner, Path(scratch) / "host",
                           StandinSettings(agent_log_level=AGENT_LOG_LEVEL),
                           on_event=transcript.event)
        transcript.note(f"Corvantilhub demo: {host.executable}")
        transcript.note("── Start-up: the host reports the agent's log level and loads the bridge")
        try:
            return play_to_the_end(
                host, lambda: play(host, transcript), failures=(OSError, WaitTimeout),
                on_failure=lambda failure: transcript.note(f"FAILED: {failure}"),
                on_exit=lambda status: transcript.note(f"── The host exited with status {status}"))
        finally:
            runner.close()


if __name__ == "__main__":
    sys.exit(main())
