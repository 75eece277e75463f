"""One running host, started the way a browser starts it, with the stand-in
libraries recording every call into files of its own private folder."""
import json
import shutil
import subprocess
import threading
from dataclasses import dataclass, field
from pathlib import Path

from .collector import Collector
from .records import RecordWatcher
from .wire import encode_message, frame, read_outbound_frame

READER_JOIN_SECONDS = 30.0


@dataclass
class StandinSettings:
    """What the stand-in libraries are told through their environment."""
    agent_script: dict = None    # HARROWMERE_SCRIPT contents
    bridge_script: dict = None   # TOLLGATELINK_SCRIPT contents
    agent_log_level: int = None  # HARROWMERE_LOG_LEVEL, for the script-less agent
    extra_env: dict = field(default_factory=dict)

    @classmethod
    def quiet(cls, **changes) -> "StandinSettings":
        """Stand-ins that send nothing unless told to: empty scripts for both,
        so the agent answers no call and the bridge acknowledges no path."""
        return cls(**{"agent_script": {}, "bridge_script": {}, **changes})


class HostProcess:
    """A host process and everything it is seen to do.

    The collectors fill from reader threads: `frames` (OutboundFrame, host to
    extension), `debug` (DebugLine), `agent_calls` and `bridge_calls`
    (records.Call), `stderr` (other stderr lines) and `sent` (what the
    extension side wrote: a message dict or raw bytes). `on_event(name, item)`
    sees every item as it arrives.
    """

    def __init__(self, runner, work_dir: Path, settings: StandinSettings = None,
                 executable: Path = None, on_event=None, launcher: list = None,
                 preexec_fn=None, read_output: bool = True):
        """`launcher`: a command line that runs the host command (for example
        prlimit with its options), or None to start the host directly.
        `preexec_fn` runs in the child before the host starts. Without
        `read_output` nobody reads the host's frames, so that a test can
        close their pipe with close_output()."""
        self.runner = runner
        self.read_output = read_output
        self.launcher = list(launcher or [])
        self.preexec_fn = preexec_fn
        self.work_dir = Path(work_dir)
        self.work_dir.mkdir(parents=True, exist_ok=True)
        self.settings = settings or StandinSettings()
        self.executable = Path(executable or runner.bin_dir / runner.executable_name)
        self.agent_record_path = self.work_dir / "agent-record.jsonl"
        self.bridge_record_path = self.work_dir / "bridge-record.jsonl"

        def collector(name):
            notify = (lambda item: on_event(name, item)) if on_event else None
            return Collector(name, notify, runner.timeout)
        self.sent = collector("ext → host")
        self.frames = collector("host → ext")
        self.debug = collector("debug")
        self.agent_calls = collector("agent ←")
        self.bridge_calls = collector("designer ←")
        self.stderr = collector("stderr")

        self.process = None
        self.exit_status = None
        self._reported_exit_status = None  # by a launcher, where the process's own can't tell
        self.stream_errors = []  # frames the host sent that couldn't be read
        self.thread_errors = []  # failures of the harness's own threads (a write to a dead host)
        self._write_lock = threading.Lock()
        self._threads = []
        self._records = []
        self._sources = []

    # Start and end.

    def start(self) -> "HostProcess":
        if not self.executable.is_file():
            raise FileNotFoundError(f"no host at {self.executable}; build it first")
        env = self._environment()
        self._records = [RecordWatcher(self.agent_record_path, self.agent_calls.add),
                         RecordWatcher(self.bridge_record_path, self.bridge_calls.add)]
        debug_source = self.runner.start_debug_source(env, self.debug.add)
        self._sources = self._records + ([debug_source] if debug_source is not None else [])
        self.process = subprocess.Popen(
            self.launcher + self.runner.command(self.executable), cwd=self.executable.parent, env=env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0,
            preexec_fn=self.preexec_fn)
        if self.read_output:
            self._spawn(self._read_frames, "host-stdout")
        else:
            self.frames.close()
        self._spawn(self._read_stderr, "host-stderr")
        return self

    def _environment(self) -> dict:
        env = self.runner.environment(self.work_dir)
        env["HARROWMERE_RECORD"] = self.runner.host_path(self.agent_record_path)
        env["TOLLGATELINK_RECORD"] = self.runner.host_path(self.bridge_record_path)
        for variable, script, name in (
                ("HARROWMERE_SCRIPT", self.settings.agent_script, "agent-script.json"),
                ("TOLLGATELINK_SCRIPT", self.settings.bridge_script, "bridge-script.json")):
            if script is not None:
                path = self.work_dir / name
                path.write_text(json.dumps(script), encoding="utf-8")
                env[variable] = self.runner.host_path(path)
        if self.settings.agent_log_level is not None:
            env["HARROWMERE_LOG_LEVEL"] = str(self.settings.agent_log_level)
        env.update(self.settings.extra_env)
        return env

    def close_input(self) -> None:
        """End of input: the host's way out."""
        with self._write_lock:
            if not self.process.stdin.closed:
                self.process.stdin.close()

    def close_output(self) -> None:
        """Closes the read end of the host's output, as a browser that stops
        listening does. Only for a host started without `read_output`: a
        reader blocked in a read would keep the pipe open."""
        assert not self.read_output, "the host's frames are being read"
        self.process.stdout.close()

    def wait_exit(self, timeout: float = None) -> int:
        """Waits for the host to end, then for every reader to finish; the exit status."""
        unix_status = self.process.wait(timeout or self.runner.timeout)
        self._stop_readers()
        reported = self._reported_exit_status
        self.exit_status = reported if reported is not None else unix_status
        return self.exit_status

    def end(self, timeout: float = None) -> int:
        self.close_input()
        return self.wait_exit(timeout)

    def kill(self) -> None:
        """Teardown of a host that is still running after a failed test."""
        if self.process is None:
            return
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.close_input()  # a host started by a launcher ends at end of input
        self._stop_readers()

    def _stop_readers(self) -> None:
        for thread in self._threads:
            thread.join(READER_JOIN_SECONDS)
        for source in self._sources:
            source.stop()
        self._sources.clear()
        for log in (self.frames, self.debug, self.agent_calls, self.bridge_calls, self.stderr):
            log.close()

    # The extension's side of the channel.

    def send(self, message) -> None:
        """One frame holding `message` as compact UTF-8 JSON."""
        self.sent.add(message)
        self._write(frame(encode_message(message)))

    def send_text(self, text: str) -> None:
        """One frame whose body is `text` in UTF-8, as written (JSON or not)."""
        self.sent.add(text)
        self._write(frame(text.encode("utf-8")))

    def send_bytes(self, data: bytes) -> None:
        """Raw bytes, framed or not, as they are."""
        self.sent.add(data)
        self._write(data)

    def send_chunks_in_background(self, chunks, description: str) -> threading.Thread:
        """Writes an iterable of byte chunks from a thread (for streams too big
        to hold); join the returned thread before sending anything else."""
        self.sent.add(description)

        def write_all():
            for chunk in chunks:
                self._write(chunk)
        return self._spawn(write_all, "host-stdin")

    def _write(self, data: bytes) -> None:
        view = memoryview(data)
        with self._write_lock:
            while view:  # a raw pipe write may take only part of the data
                view = view[self.process.stdin.write(view):]

    # Readers.

    def _spawn(self, target, name) -> threading.Thread:
        def run():
            try:
                target()
            except Exception as error:  # kept for the test to see, not lost in a thread
                self.thread_errors.append(error)
        thread = threading.Thread(target=run, name=name, daemon=True)
        self._threads.append(thread)
        thread.start()
        return thread

    def _read_frames(self) -> None:
        try:
            while (outbound := read_outbound_frame(self.process.stdout)) is not None:
                self._catch_up_records()
                self.frames.add(outbound)
        except (EOFError, ValueError) as error:
            self.stream_errors.append(error)
        finally:
            self.frames.close()

    def _read_stderr(self) -> None:
        for raw in iter(self.process.stderr.readline, b""):
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            parsed = self.runner.parse_stderr_line(line)
            status = self.runner.reported_exit_status(line)
            if parsed is not None:
                self.debug.add(parsed)
            elif status is not None:
                self._reported_exit_status = status
            elif not self.runner.is_stderr_noise(line):
                self.stderr.add(line)

    def _catch_up_records(self) -> None:
        """The stand-ins record each call before they answer it, so the calls
        recorded by now come before this frame in the logs' time order."""
        for record in self._records:
            record.catch_up()

    # Convenience for checks.

    def debug_texts(self) -> list:
        return [line.text for line in self.debug.items()]

    def wait_for_debug_line(self, text: str, timeout: float = None):
        return self.debug.wait_for(lambda line: line.matches(text), timeout, repr(text))

    def wait_for_agent_call(self, fn: str, predicate=lambda call: True, timeout: float = None):
        return self.agent_calls.wait_for(lambda call: call.fn == fn and predicate(call),
                                         timeout, f"a {fn} call")

    def agent_calls_named(self, fn: str) -> list:
        return [call for call in self.agent_calls.items() if call.fn == fn]

    def bridge_calls_named(self, fn: str) -> list:
        return [call for call in self.bridge_calls.items() if call.fn == fn]


def copy_host_without(runner, target_dir: Path, left_out: str = None) -> Path:
    """Copies the host and its libraries, except `left_out` (if given), into
    `target_dir`; returns the copied host executable."""
    target_dir.mkdir(parents=True, exist_ok=True)
    for source in runner.bin_dir.iterdir():
        is_library = source.name.endswith(runner.library_suffix)
        if source.name == left_out or not (is_library or source.name == runner.executable_name):
            continue
        shutil.copy2(source, target_dir / source.name)
    return target_dir / runner.executable_name


def play_to_the_end(host: HostProcess, session, *, failures, on_failure, on_exit) -> int:
    """Starts `host`, runs `session()` against it and ends the host. The
    tools' exit status: 0 when the host ended with 0; 1 when it did not, or
    when one of `failures` was raised (then the host is killed and
    `on_failure` gets the exception). `on_exit` gets the host's status."""
    try:
        host.start()
        session()
        status = host.end()
    except failures as failure:
        host.kill()
        on_failure(failure)
        return 1
    on_exit(status)
    return 0 if status == 0 else 1
