"""A browser that stops reading the host's output doesn't end the host: the
answers it no longer takes are dropped, and what it sent before still
reaches the agent until the host's input ends."""
import re

from corvantilhub_harness.host_process import HostProcess, StandinSettings
from corvantilhub_harness.wire import envelope

WRITE_FAILED = re.compile(r"Message to Chrome Extension dropped: write failed: \d+")

ANSWERING_AGENT = StandinSettings.quiet(agent_script={"replies": {
    "OnBasicAuthRequired": [{"text": "at once"}],  # written during the call
    "OnDocumentComplete": [{"text": "later", "delayMs": 100}]}})  # from a library thread


def test_answers_to_a_closed_output_are_dropped_and_later_messages_still_reach_the_agent(
        runner, tmp_path):
    host = HostProcess(runner, tmp_path / "host", ANSWERING_AGENT, read_output=False)
    try:
        host.start()
        host.wait_for_debug_line("Corvantilhub Activated")
        host.close_output()
        host.send(envelope("documentComplete", {"url": "https://a.test/", "bTopLvlDoc": "true"}))
        host.send(envelope("basicAuthentication", {"host": "a.test"}))
        # Both answers were due and lost: the one written during its call
        # and the one from the agent's thread.
        host.debug.wait_for_count(2, lambda line: WRITE_FAILED.fullmatch(line.text),
                                  what="the lost answers' debug lines")
        host.send(envelope("saveCredentials", {"host": "a.test", "username": "ann",
                                               "password": "pw"}))
        host.wait_for_agent_call("SaveCredentials")
        assert host.end() == 0
        host.wait_for_debug_line("Going to exit")
    finally:
        host.kill()
