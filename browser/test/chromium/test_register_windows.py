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

    def windows_path(self, unix_path: Path) -> str:
        """The Z: path under which this prefix sees a Linux path."""
        return "Z:" + str(unix_path).replace("/", "\\")

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
    # The user's manifests stay on this machine: local, not roaming, application data.
    local = wine.run("cmd", "/c", "echo %LOCALAPPDATA%").stdout.strip()
    for browser in VENDOR_KEYS:
        manifest_path = wine.default_value(key_of(browser, name))
        assert manifest_path == rf"{local}\Corvantilhub\NativeMessagingHosts\{browser}\{name}.json"
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
    machine_key = key_of("firefox", name, root="HKEY_LOCAL_MACHINE")
    manifest_path = wine.default_value(machine_key)
    assert wine.unix_path(manifest_path).is_file()
    # A key in the 32-bit view, which 32-bit browsers read, goes as well.
    assert wine.run("reg", "add", machine_key, "/ve", "/d", manifest_path, "/reg:32",
                    "/f").returncode == 0
    result = wine.register("unregister", "--system", "--name", name)
    assert result.returncode == 0
    assert [line for line in result.stdout.splitlines() if "Mozilla" in line] == [
        f"delete {machine_key}", f"delete {machine_key} (32-bit view)"]
    assert [wine.run("reg", "query", machine_key, f"/reg:{bits}").returncode
            for bits in (32, 64)] == [1, 1]


@pytest.mark.parametrize("made_first_by", ["another user", "an administrator, open to all"])
def test_system_manifests_live_where_only_administrators_may_change_them(wine, request,
                                                                        made_first_by):
    """%ProgramData% lets every user make folders: one made there first must
    not take the manifest that HKLM points every browser at."""
    name = "com.corvantilhub.first_come"
    root = wine.unix_path(r"C:\ProgramData\Corvantilhub")
    shutil.rmtree(root, ignore_errors=True)
    root.mkdir(mode=0o777)
    root.chmod(0o777)
    if made_first_by == "another user":
        os.chown(root, *request.getfixturevalue("other_user"))  # Wine reports the Unix owner
    try:
        result = wine.register("register", "--system", "--browser", "firefox", "--name", name,
                               "--host", HOST, "--extension", FIREFOX_ID)
        manifests = list(root.rglob("*.json"))
        if made_first_by == "another user":
            assert result.returncode == 1
            assert (r"C:\ProgramData\Corvantilhub belongs to NT AUTHORITY\ANONYMOUS LOGON, not "
                    "to an administrator; remove it and register again") in result.stderr
            assert manifests == []
            assert wine.default_value(key_of("firefox", name, root="HKEY_LOCAL_MACHINE")) is None
        else:
            assert result.returncode == 0, result.stderr
            assert [path.name for path in manifests] == [f"{name}.json"]
            # Wine keeps a folder's rights as its Unix mode: others may no longer write.
            assert all(path.stat().st_mode & 0o002 == 0 for path in [root, *root.rglob("*")])
    finally:
        wine.register("unregister", "--system", "--name", name)
        shutil.rmtree(root, ignore_errors=True)


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


# ---------------------------------------------------------------------------
# check: the registry keys each browser reads, in its order
# ---------------------------------------------------------------------------

OTHER_ID = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"


def views_looked_at(browser: str, name: str) -> list:
    """The keys a browser reads, in its order: Chromium-family browsers each
    hive's 32-bit view before its 64-bit one, Firefox HKCU's 64-bit view and
    then both of HKLM's."""
    order = ([("HKEY_CURRENT_USER", 32), ("HKEY_CURRENT_USER", 64),
              ("HKEY_LOCAL_MACHINE", 32), ("HKEY_LOCAL_MACHINE", 64)]
             if browser != "firefox" else
             [("HKEY_CURRENT_USER", 64), ("HKEY_LOCAL_MACHINE", 32), ("HKEY_LOCAL_MACHINE", 64)])
    return [f"{key_of(browser, name, root)} ({bits}-bit view)" for root, bits in order]


def step_of(output: str, browser: str, step: str) -> list:
    """One step's line and the note and fix lines under it, stripped."""
    lines = output.splitlines()
    for index, line in enumerate(lines):
        if line.startswith(f"{browser}: {step}: "):
            block = [line]
            for follower in lines[index + 1:]:
                if not follower.startswith("    "):
                    break
                block.append(follower.strip())
            return block
    raise AssertionError(f"no {step} step for {browser} in:\n{output}")


def test_check_finds_a_registration_in_hklm_only_after_every_hkcu_view(wine):
    name = "com.corvantilhub.machine_only"
    assert wine.register("register", "--system", "--browser", "chrome,firefox", "--name", name,
                         "--extension", CHROMIUM_ID, "--extension", FIREFOX_ID).returncode == 0
    result = wine.register("check", "--browser", "chrome,firefox", "--name", name,
                           "--extension", CHROMIUM_ID, "--extension", FIREFOX_ID)
    assert result.returncode == 0, result.stdout
    for browser in ("chrome", "firefox"):
        *missed, found = views_looked_at(browser, name)
        manifest = wine.default_value(key_of(browser, name, root="HKEY_LOCAL_MACHINE"))
        assert step_of(result.stdout, browser, "manifest") == [
            f"{browser}: manifest: ok: {found}, which names {manifest}",
            *[f"note: looked at {key}: no key with a manifest path" for key in missed]]
        assert step_of(result.stdout, browser, "start")[0].startswith(f"{browser}: start: ok: ")
    # Chromium passes the origin and the parent window, Firefox the manifest and the add-on.
    assert step_of(result.stdout, "chrome", "start")[1].endswith(
        f"Corvantilhub.exe chrome-extension://{CHROMIUM_ID}/ --parent-window=0 in "
        f"{wine.windows_path(wine.tool.parent)}")
    # Advice for a registration of all users' is an administrator's.
    result = wine.register("check", "--browser", "chrome", "--name", name, "--extension", OTHER_ID)
    assert step_of(result.stdout, "chrome", "extension") == [
        f"chrome: extension: FAILED: {OTHER_ID} not allowed; the manifest allows {CHROMIUM_ID}",
        f"fix: as an administrator, run corvantilhub-register register --browser chrome --name "
        f"{name} --system --extension {OTHER_ID}"]
    assert wine.register("unregister", "--system", "--name", name).returncode == 0


@pytest.mark.parametrize("browser, extension", [("chrome", CHROMIUM_ID), ("firefox", FIREFOX_ID)])
def test_check_reports_a_stale_key_in_the_32_bit_view_that_hides_the_sound_one(wine, browser,
                                                                               extension):
    """Both families read HKLM's 32-bit view first, and the first key there
    decides: Firefox, too, passes over nothing on Windows."""
    name = f"com.corvantilhub.wrong_view_{browser}"
    assert wine.register("register", "--system", "--browser", browser, "--name", name,
                         "--extension", extension).returncode == 0
    machine_key = key_of(browser, name, root="HKEY_LOCAL_MACHINE")
    stale = rf"C:\Old Corvantilhub\{name}.json"
    assert wine.run("reg", "add", machine_key, "/ve", "/d", stale, "/reg:32", "/f").returncode == 0
    try:
        result = wine.register("check", "--browser", browser, "--name", name,
                               "--extension", extension)
        assert result.returncode == 1
        assert step_of(result.stdout, browser, "manifest") == [
            f"{browser}: manifest: FAILED: the key names {stale}, which does not exist "
            f"({machine_key} (32-bit view))",
            *[f"note: looked at {key}: no key with a manifest path"
              for key in views_looked_at(browser, name)[:-2]],
            f"note: not read while {machine_key} (32-bit view) exists: {machine_key} (64-bit view): "
            f"names {wine.default_value(machine_key)}; to use it, remove the first: "
            f'reg delete "{machine_key}" /reg:32 /f',
            f"fix: remove it, so that {browser} reads {machine_key} (64-bit view): run reg delete "
            f'"{machine_key}" /reg:32 /f; or as an administrator, run corvantilhub-register '
            f"register --browser {browser} --name {name} --system --extension {extension}"]
        # The advice works.
        assert wine.run("reg", "delete", machine_key, "/reg:32", "/f").returncode == 0
        again = wine.register("check", "--browser", browser, "--name", name)
        assert again.returncode == 0, again.stdout
    finally:
        wine.run("reg", "delete", machine_key, "/reg:32", "/f")
        wine.register("unregister", "--system", "--name", name)


def test_check_shows_a_per_user_key_shadowing_the_machine_one(wine):
    name = "com.corvantilhub.shadowed"
    assert wine.register("register", "--system", "--browser", "chrome", "--name", name,
                         "--extension", CHROMIUM_ID).returncode == 0
    assert wine.register("register", "--browser", "chrome", "--name", name,
                         "--extension", OTHER_ID).returncode == 0
    user_key, machine_key = key_of("chrome", name), key_of("chrome", name, "HKEY_LOCAL_MACHINE")
    user_manifest, machine_manifest = wine.default_value(user_key), wine.default_value(machine_key)
    try:
        result = wine.register("check", "--browser", "chrome", "--name", name,
                               "--extension", CHROMIUM_ID)
        assert result.returncode == 1
        # HKCU's two views are one key: it is read once and hides HKLM.
        assert step_of(result.stdout, "chrome", "manifest") == [
            f"chrome: manifest: ok: {user_key} (32-bit view), which names {user_manifest}",
            f"note: not read while {user_key} (32-bit view) exists: {machine_key} (64-bit view): "
            f'names {machine_manifest}; to use it, remove the first: reg delete "{user_key}" '
            "/reg:32 /f"]
        assert step_of(result.stdout, "chrome", "extension") == [
            f"chrome: extension: FAILED: {CHROMIUM_ID} not allowed; the manifest allows {OTHER_ID}",
            f"fix: run corvantilhub-register register --browser chrome --name {name} "
            f"--extension {CHROMIUM_ID}"]
    finally:
        wine.register("unregister", "--name", name)
        wine.register("unregister", "--system", "--name", name)


def test_check_refuses_a_profile_folder_on_windows(wine):
    result = wine.register("check", "--browser", "chrome", "--user-data-dir", r"C:\profile")
    assert result.returncode == 2
    assert "--user-data-dir is not used on Windows" in result.stderr


def test_check_takes_a_relative_host_path_from_the_manifests_folder(wine, tmp_path):
    name = "com.corvantilhub.relative_path"
    folder = tmp_path / "manifests"
    assert wine.register("register", "--browser", "chrome", "--name", name, "--manifest-dir",
                         wine.windows_path(folder), "--extension", CHROMIUM_ID).returncode == 0
    manifest_file = folder / f"{name}.json"
    manifest = json.loads(manifest_file.read_text(encoding="utf-8"))
    host = wine.tool.parent / "Corvantilhub.exe"
    manifest["path"] = os.path.relpath(host, folder).replace("/", "\\")
    manifest_file.write_text(json.dumps(manifest), encoding="utf-8")
    try:
        result = wine.register("check", "--browser", "chrome", "--name", name)
        assert result.returncode == 0, result.stdout
        assert step_of(result.stdout, "chrome", "path") == [
            f"chrome: path: ok: {wine.windows_path(host)} (relative to the manifest's folder)"]
    finally:
        wine.register("unregister", "--name", name)


def test_check_names_the_missing_agent_library(wine, tmp_path):
    name = "com.corvantilhub.no_agent"
    lonely = tmp_path / "lonely"
    lonely.mkdir()
    for file in ("Corvantilhub.exe", "Tollgatelink.dll"):  # no Harrowmere64.dll
        shutil.copy(wine.tool.parent / file, lonely / file)
    host = wine.windows_path(lonely / "Corvantilhub.exe")
    assert wine.register("register", "--browser", "edge", "--name", name, "--host", host,
                         "--extension", CHROMIUM_ID).returncode == 0
    try:
        result = wine.register("check", "--browser", "edge", "--name", name)
        assert result.returncode == 1
        start = step_of(result.stdout, "edge", "start")
        assert start[0] == (f"edge: start: FAILED: {host} did not start: exit status 0xC0000135, "
                            "the agent library Harrowmere64.dll was not found")
        assert start[-1] == (f"fix: put Harrowmere64.dll into {wine.windows_path(lonely)} (install "
                             "the single-sign-on agent, or copy it beside the host)")
    finally:
        wine.register("unregister", "--name", name)


def test_check_reads_the_browsers_policies_machine_before_user(wine, windows_bin):
    name = "com.corvantilhub.managed"
    host = wine.windows_path(windows_bin / "Corvantilhub.exe")
    assert wine.register("register", "--browser", "chrome", "--name", name, "--host", host,
                         "--extension", CHROMIUM_ID).returncode == 0
    machine = r"HKEY_LOCAL_MACHINE\Software\Policies\Google\Chrome"
    user = r"HKEY_CURRENT_USER\Software\Policies\Google\Chrome"

    def check():
        return wine.register("check", "--browser", "chrome", "--name", name)

    try:
        wine.run("reg", "add", rf"{machine}\NativeMessagingBlocklist", "/v", "1", "/d", "*", "/f")
        result = check()
        assert result.returncode == 1
        assert step_of(result.stdout, "chrome", "policy") == [
            f'chrome: policy: FAILED: NativeMessagingBlocklist lists "*" ({machine}'
            r'\NativeMessagingBlocklist), and chrome refuses: "Access to the native messaging '
            'host was disabled by the system administrator"',
            "fix: ask whoever sets the browser's policies (an administrator) to add "
            f'"{name}" to NativeMessagingAllowlist']
        # The user's allowlist counts where the machine sets none.
        wine.run("reg", "add", rf"{user}\NativeMessagingAllowlist", "/v", "1", "/d", name, "/f")
        assert step_of(check().stdout, "chrome", "policy") == [
            f'chrome: policy: ok: NativeMessagingAllowlist lists "{name}" ({user}'
            r'\NativeMessagingAllowlist)']
        # The machine's flag wins over the user's: the user's key is not read.
        wine.run("reg", "add", machine, "/v", "NativeMessagingUserLevelHosts", "/t", "REG_DWORD",
                 "/d", "0", "/f")
        wine.run("reg", "add", user, "/v", "NativeMessagingUserLevelHosts", "/t", "REG_DWORD",
                 "/d", "1", "/f")
        result = check()
        manifest = step_of(result.stdout, "chrome", "manifest")
        assert result.returncode == 1
        assert manifest[0] == "chrome: manifest: FAILED: not found"
        assert (f"note: not read: {key_of('chrome', name)} (64-bit view), as "
                f"NativeMessagingUserLevelHosts is false ({machine}"
                r"\NativeMessagingUserLevelHosts)") in manifest
        assert manifest[-1] == (f"fix: as an administrator, run corvantilhub-register register "
                                f"--browser chrome --name {name} --system --extension <extension ID>")
    finally:
        for key in (machine, user):
            wine.run("reg", "delete", key, "/f")
        wine.register("unregister", "--name", name)
