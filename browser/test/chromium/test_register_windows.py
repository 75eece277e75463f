"""corvantilhub-register.exe under Wine: the registry keys through which
each browser finds the manifest, and the manifest files themselves. The
tests share one fresh Wine prefix in a temporary folder; each uses a host
name of its own, so their keys don't meet."""
import json
import os
import shutil
import subprocess
import tempfile
from pathlib import Path, PureWindowsPath

import pytest

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
CHROMIUM_ID = "eipcjlpengcbafdfnolahlhjnijkabfh"
FIREFOX_ID = "corvantilhub@example.org"
HOST = r"C:\Program Files\Corvantilhub\Corvantilhub.exe"

VENDOR_KEYS = {
    "chromium": r"Software\Chromium\NativeMessagingHosts",
    "chrome": r"Software\Google\Chrome\NativeMessagingHosts",
    "edge": r"Software\Microsoft\Edge\NativeMessagingHosts",
    "firefox": r"Software\Mozilla\NativeMessagingHosts",
}


class WinePrefix:
    def __init__(self, folder: Path, tool: Path):
        self.folder = folder
        self.tool = tool
        self.env = {key: value for key, value in os.environ.items()
                    if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.env.update(WINEPREFIX=str(folder), WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")

    def run(self, *arguments):
        # Output goes through files: Wine's background programs inherit the
        # streams and would keep pipes open long after the program ended.
        with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
            code = subprocess.run([WINE, *arguments], env=self.env, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=err, timeout=300).returncode
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(arguments, code, out.read(), err.read())

    def register(self, *arguments):
        return self.run(str(self.tool), *arguments)

    def default_value(self, key: str):
        """The default value of a registry key, or None when there is no key."""
        result = self.run("reg", "query", key, "/ve")
        if result.returncode != 0:
            return None
        for line in result.stdout.splitlines():
            if "REG_SZ" in line:
                return line.split("REG_SZ", 1)[1].strip()
        return ""

    def unix_path(self, windows_path: str) -> Path:
        """Where a C: or Z: path of this prefix lies on the Linux side."""
        path = PureWindowsPath(windows_path)
        drive = {"C:": self.folder / "drive_c", "Z:": Path("/")}[path.drive.upper()]
        return drive.joinpath(*path.parts[1:])

    def start(self):
        """Sets the prefix up with a server that stays, so each program starts quickly."""
        # The server goes on in the background; it must not hold our pipes.
        subprocess.run([WINESERVER, "-p"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        setup = self.run("wineboot", "-i")
        if setup.returncode != 0:
            pytest.fail(f"could not set up the Wine prefix {self.folder}: {setup.stderr}")

    def stop(self):
        """Ends the prefix's programs and its server, and waits for them."""
        for option in ("-k", "-w"):
            subprocess.run([WINESERVER, option], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)


@pytest.fixture(scope="module")
def wine(tmp_path_factory, windows_bin):
    tool = windows_bin / "corvantilhub-register.exe"
    if not tool.is_file():
        pytest.skip(f"no Windows build of corvantilhub-register at {tool}; "
                    "build the windows preset first")
    if not Path(WINE).is_file():
        pytest.skip(f"Wine not installed at {WINE}")
    prefix = WinePrefix(tmp_path_factory.mktemp("wineprefix"), tool)
    try:
        prefix.start()
        yield prefix
    finally:
        prefix.stop()
        shutil.rmtree(prefix.folder, ignore_errors=True)


def key_of(browser: str, name: str, root="HKEY_CURRENT_USER") -> str:
    return rf"{root}\{VENDOR_KEYS[browser]}\{name}"


def test_each_browser_finds_its_manifest_through_its_vendor_key(wine):
    name = "com.corvantilhub.every_browser"
    result = wine.register("register", "--browser", "all", "--name", name, "--host", HOST,
                           "--extension", CHROMIUM_ID, "--extension", FIREFOX_ID)
    assert result.returncode == 0, result.stderr
    for browser in VENDOR_KEYS:
        manifest_path = wine.default_value(key_of(browser, name))
        assert manifest_path is not None, f"no key for {browser}"
        assert PureWindowsPath(manifest_path).name == f"{name}.json"
        manifest = json.loads(wine.unix_path(manifest_path).read_text(encoding="utf-8"))
        assert manifest["name"] == name and manifest["type"] == "stdio"
        assert manifest["path"] == HOST  # backslashes survive the JSON
        if browser == "firefox":
            assert manifest["allowed_extensions"] == [FIREFOX_ID]
        else:
            assert manifest["allowed_origins"] == [f"chrome-extension://{CHROMIUM_ID}/"]


def test_unregister_deletes_the_keys_and_the_manifests(wine):
    name = "com.corvantilhub.removed_again"
    assert wine.register("register", "--browser", "chrome,edge", "--name", name, "--host", HOST,
                         "--extension", CHROMIUM_ID).returncode == 0
    manifests = [wine.unix_path(wine.default_value(key_of(browser, name)))
                 for browser in ("chrome", "edge")]
    assert all(path.is_file() for path in manifests)

    result = wine.register("unregister", "--name", name)
    assert result.returncode == 0, result.stderr
    assert [wine.default_value(key_of(browser, name)) for browser in VENDOR_KEYS] == [None] * 4
    assert not any(path.exists() for path in manifests)


def test_system_scope_writes_below_hklm(wine):
    name = "com.corvantilhub.all_users"
    result = wine.register("register", "--system", "--browser", "firefox", "--name", name,
                           "--host", HOST, "--extension", FIREFOX_ID)
    assert result.returncode == 0, result.stderr
    assert wine.default_value(key_of("firefox", name)) is None
    manifest_path = wine.default_value(key_of("firefox", name, root="HKEY_LOCAL_MACHINE"))
    assert wine.unix_path(manifest_path).is_file()
    assert wine.register("unregister", "--system", "--name", name).returncode == 0
    assert wine.default_value(key_of("firefox", name, root="HKEY_LOCAL_MACHINE")) is None


def test_manifest_dir_and_default_host_beside_the_tool(wine, tmp_path, windows_bin):
    name = "com.corvantilhub.own_folder"
    folder = "Z:" + str(tmp_path / "manifests").replace("/", "\\")
    result = wine.register("register", "--browser", "chromium", "--name", name,
                           "--manifest-dir", folder, "--extension", CHROMIUM_ID)
    assert result.returncode == 0, result.stderr
    manifest_path = wine.default_value(key_of("chromium", name))
    assert manifest_path == rf"{folder}\{name}.json"
    manifest = json.loads((tmp_path / "manifests" / f"{name}.json").read_text(encoding="utf-8"))
    assert wine.unix_path(manifest["path"]) == windows_bin / "Corvantilhub.exe"


def test_user_data_dir_is_refused_on_windows(wine):
    result = wine.register("register", "--browser", "chromium", "--user-data-dir", r"C:\profile",
                           "--extension", CHROMIUM_ID)
    assert result.returncode == 1
    assert "--user-data-dir is not used on Windows" in result.stderr
