#!/usr/bin/python3
"""Plays a browser extension against a Corvantilhub host, for people who
integrate with the host.

    extension_simulator.py --host build/native/bin/Corvantilhub [messages.jsonl]

Starts the host with the stand-in agent and designer bridge beside it, sends
each line of the input (a file, or stdin) as one frame, and prints the frames
that come back, decoded. Lines are JSON envelopes such as

    {"tabID":"1","type":"basicAuthentication","payload":{"host":"intranet.test"}}

sent as they are written (so broken JSON can be tried too); blank lines and
lines starting with # are skipped. When the input ends the simulator waits
--linger seconds for late answers, closes the host's input and prints its
exit status. A host ending in .exe runs under Wine in a fresh prefix.
"""
import argparse
import json
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from corvantilhub_harness.host_process import HostProcess, StandinSettings, play_to_the_end
from corvantilhub_harness.runners import make_runner
from corvantilhub_harness.transcript import Transcript


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter,
                                     epilog=__doc__.split("\n\n", 1)[1])
    parser.add_argument("--host", required=True, type=Path,
                        help="the host executable, with the stand-in libraries beside it")
    parser.add_argument("messages", nargs="?", type=argparse.FileType("r", encoding="utf-8"),
                        default=sys.stdin, help="one JSON message per line (default: stdin)")
    parser.add_argument("--debug", action="store_true", help="also print the host's debug lines")
    parser.add_argument("--calls", action="store_true",
                        help="also print the calls the stand-in agent and bridge receive")
    parser.add_argument("--linger", type=float, default=1.0,
                        help="seconds to wait for late answers after the input ends (default 1)")
    parser.add_argument("--agent-script", type=Path, help="HARROWMERE_SCRIPT for the stand-in agent")
    parser.add_argument("--bridge-script", type=Path,
                        help="TOLLGATELINK_SCRIPT for the stand-in bridge")
    parser.add_argument("--log-level", type=int,
                        help="the script-less agent's log level (HARROWMERE_LOG_LEVEL)")
    return parser.parse_args()


def load_script(path):
    return json.loads(path.read_text(encoding="utf-8")) if path else None


def message_lines(stream):
    for line in stream:
        line = line.rstrip("\r\n")
        if line.strip() and not line.lstrip().startswith("#"):
            yield line


def main() -> int:
    args = parse_arguments()
    executable = args.host.resolve()
    flavor = "windows" if executable.suffix.lower() == ".exe" else "native"
    hidden = [] if args.debug else ["debug"]
    if not args.calls:
        hidden += ["agent ←", "designer ←"]
    transcript = Transcript(hidden=hidden)
    settings = StandinSettings(agent_script=load_script(args.agent_script),
                               bridge_script=load_script(args.bridge_script),
                               agent_log_level=args.log_level)
    with tempfile.TemporaryDirectory(prefix="corvantilhub-sim-") as scratch:
        runner = make_runner(flavor, executable.parent, Path(scratch))
        host = HostProcess(runner, Path(scratch) / "host", settings, executable,
                           on_event=transcript.event)

        def session():
            for line in message_lines(args.messages):
                host.send_text(line)
            time.sleep(args.linger)  # late answers from the agent's threads

        try:
            return play_to_the_end(
                host, session, failures=(OSError, subprocess.TimeoutExpired),
                on_failure=lambda error: print(f"simulator: {error}", file=sys.stderr),
                on_exit=lambda status: transcript.note(f"host exited with status {status}"))
        finally:
            runner.close()


if __name__ == "__main__":
    sys.exit(main())
