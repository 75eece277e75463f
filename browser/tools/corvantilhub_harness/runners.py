"""How a host of one flavour is started, where its files are and how its
debug output is read.

NativeRunner runs <bin>/Corvantilhub directly; WineRunner runs
<bin>/Corvantilhub.exe under Wine in a prefix of its own.
"""
import os
import subprocess
from pathlib import Path

from .debug_lines import (DebugMonitorRelay, DebugSocketListener, is_wine_debug_echo,
                          parse_wine_debug_line)

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
WINE_PREFIX_SETUP_SECONDS = 300
EXIT_STATUS_MARK = "corvantilhub-exit-status "

# Settings of the stand-ins and loader paths that must not leak into a run.
_FOREIGN_VARIABLES = ("HARROWMERE_", "TOLLGATELINK_", "LD_LIBRARY_PATH", "LD_PRELOAD",
                      "WINEPATH", "WINEDEBUG", "WINEPREFIX")


def is_sanitized(executable: Path) -> bool:
    """A build under AddressSanitizer or ThreadSanitizer, whose runtime
    reserves terabytes of address space up front."""
    image = Path(executable).read_bytes()
    return b"__asan_init" in image or b"__tsan_init" in image


def clean_environment() -> dict:
    return {name: value for name, value in os.environ.items()
            if not name.startswith(_FOREIGN_VARIABLES)}


class NativeRunner:
    flavor = "native"
    executable_name = "Corvantilhub"
    agent_library = "libHarrowmere64.so"
    bridge_library = "libTollgatelink.so"
    library_suffix = ".so"
    timeout = 30.0

    def __init__(self, bin_dir: Path):
        self.bin_dir = Path(bin_dir)

    def command(self, executable: Path) -> list:
        return [str(executable)]

    def environment(self, private_dir: Path) -> dict:
        """A private runtime folder (debug socket) and data folder (protection key)."""
        runtime = private_dir / "runtime"
        data = private_dir / "data"
        runtime.mkdir(mode=0o700, exist_ok=True)
        data.mkdir(mode=0o700, exist_ok=True)
        env = clean_environment()
        env.update(XDG_RUNTIME_DIR=str(runtime), XDG_DATA_HOME=str(data))
        return env

    def host_path(self, path: Path) -> str:
        """`path` as the host process names it."""
        return str(path)

    def start_debug_source(self, env: dict, sink):
        """Starts reading debug lines before the host starts; returns a stoppable source."""
        runtime = Path(env["XDG_RUNTIME_DIR"])
        monitor = self.bin_dir / "corvantilhub-debug-monitor"
        if monitor.is_file():
            return DebugMonitorRelay(monitor, runtime, sink)
        return DebugSocketListener(runtime, sink)

    def parse_stderr_line(self, line: str):
        """A DebugLine when the stderr line carries one, else None."""
        return None

    def is_stderr_noise(self, line: str) -> bool:
        return False

    def reported_exit_status(self, line: str):
        return None  # the process's own status is the host's

    def close(self) -> None:
        pass


class WineRunner:
    flavor = "windows"
    executable_name = "Corvantilhub.exe"
    agent_library = "Harrowmere64.dll"
    bridge_library = "Tollgatelink.dll"
    library_suffix = ".dll"
    timeout = 60.0

    def __init__(self, bin_dir: Path, prefix_dir: Path):
        """Creates a fresh Wine prefix and keeps its server up until close()."""
        self.bin_dir = Path(bin_dir)
        self.prefix_dir = Path(prefix_dir)
        self.prefix_dir.mkdir(parents=True, exist_ok=True)
        self._wine_env = clean_environment()
        # Console programs only: no window may open, and no Mono or Gecko install.
        for display in ("DISPLAY", "WAYLAND_DISPLAY"):
            self._wine_env.pop(display, None)
        self._wine_env.update(WINEPREFIX=str(self.prefix_dir), WINEARCH="win64",
                              WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        # A persistent server spares every host run the prefix's start-up.
        subprocess.run([WINESERVER, "-p"], env=self._wine_env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([WINE, "wineboot", "-i"], env=self._wine_env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=WINE_PREFIX_SETUP_SECONDS)

    def command(self, executable: Path) -> list:
        """Runs the host under cmd, which reports its exit status on stderr.

        Wine's server kills a process with SIGKILL when it takes more than a
        moment to end after its last thread, as a busy host on a loaded machine
        may; its Unix status then says nothing. A Windows parent sees the
        status the host returned, as the browser would.
        """
        host = self.host_path(executable)
        if " " in host:
            raise ValueError(f"cmd would split the host path {host!r}")
        return [WINE, "cmd", "/v:on", "/c", f"{host} & echo {EXIT_STATUS_MARK}!errorlevel! 1>&2"]

    def reported_exit_status(self, line: str):
        """The host's exit status when this stderr line reports it, else None."""
        if line.startswith(EXIT_STATUS_MARK):
            # Wine's own processes may write to the same stderr at the same
            # moment ("wine client error:474: ..."), so the rest of the line
            # can carry more than the number.
            return int(line[len(EXIT_STATUS_MARK):].split()[0])
        return None

    def environment(self, private_dir: Path) -> dict:
        env = dict(self._wine_env)
        env["WINEDEBUG"] = "-all,warn+seh"  # makes OutputDebugString visible on stderr
        return env

    def host_path(self, path: Path) -> str:
        """Wine's Z: drive maps the Unix root."""
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")

    def start_debug_source(self, env: dict, sink):
        return None  # the lines arrive on the host's stderr

    def parse_stderr_line(self, line: str):
        return parse_wine_debug_line(line)

    def is_stderr_noise(self, line: str) -> bool:
        return is_wine_debug_echo(line)

    def close(self) -> None:
        """Ends this prefix's server and whatever still runs in the prefix."""
        subprocess.run([WINESERVER, "-k"], env=self._wine_env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_runner(flavor: str, bin_dir: Path, scratch_dir: Path):
    if flavor == "native":
        return NativeRunner(bin_dir)
    if flavor == "windows":
        return WineRunner(bin_dir, scratch_dir / "wineprefix")
    raise ValueError(f"unknown flavor {flavor!r}")
