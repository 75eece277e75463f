"""The start-up check that `corvantilhub-register check` asks for with
CORVANTILHUB_STARTUP_CHECK=1: the host reports what it needs on standard
error and leaves without reading its input; any other value changes
nothing."""
import pytest

from corvantilhub_harness.host_process import StandinSettings, copy_host_without

CHECK = {"CORVANTILHUB_STARTUP_CHECK": "1"}


def report_lines(host):
    return [line for line in host.stderr.items() if line.startswith("startup check: ")]


def test_reports_and_leaves_without_reading_its_input(start_host):
    host = start_host(StandinSettings.quiet(extra_env=CHECK))
    # Input stays open: a host that read it would never end.
    assert host.wait_exit() == 0
    assert report_lines(host) == [
        "startup check: agent library: loaded",
        "startup check: designer bridge: found",
        "startup check: protection service: usable",
        "startup check: standard streams: ready"]
    # Nothing of a normal run happened: no threads, no agent, no frames.
    assert host.debug_texts() == []
    assert host.agent_calls.items() == [] and host.bridge_calls.items() == []
    assert host.frames.items() == []


def test_reports_a_missing_designer_bridge(start_host, runner, tmp_path):
    executable = copy_host_without(runner, tmp_path / "no_bridge", runner.bridge_library)
    host = start_host(StandinSettings.quiet(extra_env=CHECK), executable=executable)
    assert host.wait_exit() == 0
    assert "startup check: designer bridge: not found (error 126)" in report_lines(host)


@pytest.mark.parametrize("value", ["0", "", "yes"])
def test_any_other_value_starts_the_host_as_always(start_host, value):
    host = start_host(StandinSettings.quiet(extra_env={"CORVANTILHUB_STARTUP_CHECK": value}))
    assert host.end() == 0
    assert "Corvantilhub Activated" in host.debug_texts()
    assert report_lines(host) == []
