"""corvantilhub-register on Linux: the manifests it writes into each browser's
folder, and what it refuses. Every run has a private HOME; system-wide
registration is checked with --dry-run only, so nothing outside the test's
folders is touched."""
import json
import re
import os
import shutil
import subprocess
from pathlib import Path

import pytest
from root_home import with_root_home

CHROMIUM_ID = "eipcjlpengcbafdfnolahlhjnijkabfh"
FIREFOX_ID = "corvantilhub@example.org"
FIREFOX_GUID = "{8e4c1c2e-2b1d-4c5a-9f3e-1a2b3c4d5e6f}"
HOST_NAME = "com.corvantilhub.host"

USER_FOLDERS = {
    "chromium": ".config/chromium/NativeMessagingHosts",
    "chrome": ".config/google-chrome/NativeMessagingHosts",
    "edge": ".config/microsoft-edge/NativeMessagingHosts",
    "firefox": ".mozilla/native-messaging-hosts",
}
SYSTEM_FOLDERS = {
    "chromium": "/etc/chromium/native-messaging-hosts",
    "chrome": "/etc/opt/chrome/native-messaging-hosts",
    "edge": "/etc/opt/edge/native-messaging-hosts",
    "firefox": "/usr/lib/mozilla/native-messaging-hosts",
}


@pytest.fixture
def register(register_tool, home):
    """Runs the tool with the private HOME; extra environment as keywords."""
    def run(*arguments, umask=None, **environment):
        env = {key: value for key, value in os.environ.items() if key != "XDG_CONFIG_HOME"}
        env.update(HOME=str(home), **environment)
        return subprocess.run(with_root_home([str(register_tool), *arguments], home), env=env,
                              capture_output=True, text=True, errors="surrogateescape", timeout=60,
                              preexec_fn=None if umask is None else lambda: os.umask(umask))
    return run


def read_manifest(path: Path) -> dict:
    return json.loads(path.read_text(encoding="utf-8"))


def expected_manifest(browser: str, host_path: str, name=HOST_NAME,
                      firefox_ids=(FIREFOX_ID,)) -> dict:
    manifest = {"name": name, "description": "Corvantilhub single-sign-on browser host",
                "path": host_path, "type": "stdio"}
    if browser == "firefox":
        manifest["allowed_extensions"] = list(firefox_ids)
    else:
        manifest["allowed_origins"] = [f"chrome-extension://{CHROMIUM_ID}/"]
    return manifest


def files_below(folder: Path) -> list:
    return sorted(path for path in folder.rglob("*") if path.is_file())


def test_writes_each_browsers_manifest_into_its_user_folder(register, home, native_bin):
    result = register("register", "--browser", "all", "--extension", CHROMIUM_ID,
                      "--extension", FIREFOX_ID, "--extension", FIREFOX_GUID)
    assert result.returncode == 0, result.stderr
    paths = {browser: home / folder / f"{HOST_NAME}.json" for browser, folder in USER_FOLDERS.items()}
    assert files_below(home) == sorted(paths.values())
    # Without --host, the manifests name the host beside the tool; each
    # browser gets the IDs of its own kind.
    for browser, path in paths.items():
        assert read_manifest(path) == expected_manifest(
            browser, str(native_bin / "Corvantilhub"), firefox_ids=(FIREFOX_ID, FIREFOX_GUID))
    assert result.stdout.splitlines() == [f"write {path}" for path in paths.values()]


def test_chromium_family_follows_xdg_config_home(register, home, tmp_path):
    """Except as root, whose folders are below its home in the password
    database whatever the environment says (sudo -E keeps a user's)."""
    config = tmp_path / "config"
    result = register("register", "--browser", "chrome,firefox", "--extension", CHROMIUM_ID,
                      "--extension", FIREFOX_ID, "--host", "/opt/corvantilhub/Corvantilhub",
                      XDG_CONFIG_HOME=str(config))
    assert result.returncode == 0, result.stderr
    firefox = home / USER_FOLDERS["firefox"] / f"{HOST_NAME}.json"
    if os.geteuid() == 0:
        assert files_below(config) == []
        chrome = home / USER_FOLDERS["chrome"] / f"{HOST_NAME}.json"
        assert files_below(home) == sorted([firefox, chrome])
    else:
        assert files_below(config) == [config / "google-chrome/NativeMessagingHosts" / f"{HOST_NAME}.json"]
        assert files_below(home) == [firefox]


def test_user_data_dir_registers_for_one_profile_only(register, home, tmp_path):
    profile = tmp_path / "profile"
    result = register("register", "--browser", "chromium", "--user-data-dir", str(profile),
                      "--extension", CHROMIUM_ID, "--host", "/opt/corvantilhub/Corvantilhub")
    assert result.returncode == 0, result.stderr
    assert files_below(profile) == [profile / "NativeMessagingHosts" / f"{HOST_NAME}.json"]
    assert files_below(home) == []

    refused = register("register", "--browser", "firefox", "--user-data-dir", str(profile),
                       "--extension", FIREFOX_ID)
    assert refused.returncode == 1
    assert "firefox has no --user-data-dir" in refused.stderr


def test_manifest_stays_valid_json_for_any_host_path(register, home, tmp_path):
    host = tmp_path / 'odd "quoted" back\\slash\ttab é 日' / "Corvantilhub"
    result = register("register", "--browser", "edge", "--extension", CHROMIUM_ID,
                      "--host", str(host), "--name", "org.example.sso_host")
    assert result.returncode == 0, result.stderr
    manifest = read_manifest(home / USER_FOLDERS["edge"] / "org.example.sso_host.json")
    assert manifest == expected_manifest("edge", str(host), name="org.example.sso_host")
    assert "warning: no host executable at" in result.stderr

    # JSON is UTF-8: a path of other bytes is refused, not written broken.
    odd = os.fsdecode(bytes(tmp_path) + b"/\xff/Corvantilhub")
    refused = register("register", "--browser", "edge", "--extension", CHROMIUM_ID,
                       "--host", odd, "--name", "org.example.not_utf8")
    assert refused.returncode == 1
    assert "is not valid UTF-8" in refused.stderr
    assert not (home / USER_FOLDERS["edge"] / "org.example.not_utf8.json").exists()


@pytest.mark.parametrize("umask", [0o000, 0o077])
def test_folders_and_manifests_are_readable_by_all_and_writable_by_none_else(register, home,
                                                                             umask):
    result = register("register", "--browser", "chromium,firefox", "--extension", CHROMIUM_ID,
                      "--extension", FIREFOX_ID, umask=umask)
    assert result.returncode == 0, result.stderr
    manifests = [home / USER_FOLDERS[browser] / f"{HOST_NAME}.json"
                 for browser in ("chromium", "firefox")]
    assert files_below(home) == sorted(manifests)  # no file left over on the way
    folders = {path: path.stat().st_mode & 0o7777 for path in home.rglob("*") if path.is_dir()}
    assert folders == {path: 0o755 for path in folders}
    assert [path.stat().st_mode & 0o7777 for path in manifests] == [0o644, 0o644]


@pytest.mark.parametrize("planted", ["the manifest", "the manifest's folder"])
def test_writes_through_no_link_that_another_user_planted(register, home, tmp_path, other_user,
                                                         planted):
    precious = tmp_path / "precious"
    precious.mkdir(mode=0o700)
    (precious / "root-only").write_text("root's own")
    profile = tmp_path / "profile"
    manifests = profile / "NativeMessagingHosts"
    manifest = manifests / f"{HOST_NAME}.json"
    if planted == "the manifest":
        manifests.mkdir(parents=True)
        manifest.symlink_to(precious / "root-only")
    else:
        profile.mkdir()
        manifests.symlink_to(precious)
    for path in [profile, *profile.rglob("*")]:
        os.lchown(path, *other_user)

    result = register("register", "--browser", "chromium", "--user-data-dir", str(profile),
                      "--extension", CHROMIUM_ID, "--host", "/opt/corvantilhub/Corvantilhub")
    assert (precious / "root-only").read_text() == "root's own"
    assert list(precious.iterdir()) == [precious / "root-only"]
    if planted == "the manifest":
        assert result.returncode == 0, result.stderr
        assert not manifest.is_symlink()  # the link was replaced, not followed
        assert read_manifest(manifest) == expected_manifest("chromium",
                                                            "/opt/corvantilhub/Corvantilhub")
    else:
        assert result.returncode == 1
        assert f"{profile} belongs to nobody" in result.stderr


def test_unregister_removes_nothing_through_a_link_another_user_planted(register, tmp_path,
                                                                      other_user):
    precious = tmp_path / "precious"
    precious.mkdir(mode=0o700)
    (precious / f"{HOST_NAME}.json").write_text("root's own")
    profile = tmp_path / "profile"
    profile.mkdir()
    (profile / "NativeMessagingHosts").symlink_to(precious)
    for path in (profile, profile / "NativeMessagingHosts"):
        os.lchown(path, *other_user)

    result = register("unregister", "--browser", "chromium", "--user-data-dir", str(profile))
    assert result.returncode == 1
    assert f"{profile} belongs to nobody" in result.stderr
    assert (precious / f"{HOST_NAME}.json").read_text() == "root's own"


def test_system_scope_dry_run_names_the_system_folders_and_writes_nothing(register, home):
    result = register("register", "--system", "--dry-run", "--browser", "all",
                      "--extension", CHROMIUM_ID, "--extension", FIREFOX_ID,
                      "--name", "org.example.dry_run_only")
    assert result.returncode == 0, result.stderr
    paths = [f"{folder}/org.example.dry_run_only.json" for folder in SYSTEM_FOLDERS.values()]
    assert result.stdout.splitlines() == [f"dry run: write {path}" for path in paths]
    assert not any(Path(path).exists() for path in paths)
    assert files_below(home) == []


def test_register_adds_to_what_a_manifest_allows_and_replaces_only_when_asked(register, home):
    other, third = "a" * 32, "b" * 32
    path = home / USER_FOLDERS["chrome"] / f"{HOST_NAME}.json"

    def allowed():
        return read_manifest(path)["allowed_origins"]

    assert register("register", "--browser", "chrome", "--extension", CHROMIUM_ID).returncode == 0
    result = register("register", "--browser", "chrome", "--extension", other,
                      "--extension", CHROMIUM_ID)
    assert result.stdout.splitlines() == [
        f"write {path}", f"  allows {CHROMIUM_ID}, {other} (kept {CHROMIUM_ID}; added {other})"]
    assert allowed() == [f"chrome-extension://{CHROMIUM_ID}/", f"chrome-extension://{other}/"]
    result = register("register", "--browser", "chrome", "--extension", third, "--replace")
    assert result.stdout.splitlines() == [
        f"write {path}", f"  allows {third} (added {third}; dropped {CHROMIUM_ID}, {other})"]
    assert allowed() == [f"chrome-extension://{third}/"]


@pytest.fixture
def lib64_mozilla():
    """/usr/lib64/mozilla, where Firefox builds for systems with lib64 look:
    made for the test when missing (root only) and removed again."""
    if os.geteuid() != 0 or not Path("/usr/lib64").is_dir():
        pytest.skip("needs root and a /usr/lib64")
    folder = Path("/usr/lib64/mozilla")
    made = not folder.exists()
    folder.mkdir(exist_ok=True)
    yield folder
    if made:
        shutil.rmtree(folder)


def test_firefox_for_all_users_is_linked_from_lib64_where_firefox_may_read_it(register,
                                                                             lib64_mozilla):
    name = f"org.corvantilhub.lib64_{os.getpid()}"
    manifest = Path(SYSTEM_FOLDERS["firefox"]) / f"{name}.json"
    link = lib64_mozilla / "native-messaging-hosts" / f"{name}.json"
    made = [folder for folder in (manifest.parent, manifest.parent.parent)
            if not folder.exists()]
    try:
        result = register("register", "--system", "--browser", "firefox", "--name", name,
                          "--extension", FIREFOX_ID, "--host", "/opt/corvantilhub/Corvantilhub")
        assert result.returncode == 0, result.stderr
        assert result.stdout.splitlines()[-1] == f"link {link} -> {manifest}"
        assert link.resolve() == manifest and manifest.is_file()
        result = register("unregister", "--system", "--browser", "firefox", "--name", name)
        assert result.stdout.splitlines() == [f"remove {link}", f"remove {manifest}"]
        assert not os.path.lexists(link) and not manifest.exists()
    finally:
        for path in (link, manifest):
            if os.path.lexists(path):
                path.unlink()
        for folder in made:  # deepest first
            folder.rmdir()


def test_unregister_removes_our_manifests_and_nothing_else(register, home):
    assert register("register", "--browser", "all", "--extension", CHROMIUM_ID,
                    "--extension", FIREFOX_ID).returncode == 0
    neighbour = home / USER_FOLDERS["chrome"] / "com.example.other.json"
    neighbour.write_text("{}")

    result = register("unregister")
    assert result.returncode == 0, result.stderr
    assert files_below(home) == [neighbour]
    assert result.stdout.splitlines() == [
        f"remove {home / folder / (HOST_NAME + '.json')}" for folder in USER_FOLDERS.values()]

    again = register("unregister", "--browser", "firefox")
    assert again.returncode == 0
    assert again.stdout.startswith("no manifest at ")


@pytest.mark.parametrize("arguments, message", [
    (["register", "--browser", "chrome", "--extension", CHROMIUM_ID, "--name", "Com.Example"],
     "invalid host name"),
    (["register", "--browser", "chrome", "--extension", CHROMIUM_ID, "--name", "com..example"],
     "invalid host name"),
    (["register", "--browser", "chrome", "--extension", CHROMIUM_ID, "--name", ".com.example"],
     "invalid host name"),
    (["register", "--browser", "chrome", "--extension", CHROMIUM_ID, "--name", "com.example."],
     "invalid host name"),
    (["register", "--browser", "chrome", "--extension", "eipcjlpengcbafdfnolahlhjnijkabfq"],
     "is neither a Chromium extension ID"),
    (["register", "--browser", "chrome", "--extension", CHROMIUM_ID[:-1]],
     "is neither a Chromium extension ID"),
    (["register", "--browser", "chrome", "--extension", CHROMIUM_ID + "a"],
     "is neither a Chromium extension ID"),
    (["register", "--browser", "firefox", "--extension", "corvantilhub@"],
     "is neither a Chromium extension ID"),
    (["register", "--browser", "chrome,firefox", "--extension", CHROMIUM_ID],
     "no extension ID for firefox"),
    (["register", "--browser", "chrome"], "needs at least one --extension"),
    (["register", "--extension", CHROMIUM_ID], "register needs --browser"),
    (["register", "--browser", "opera", "--extension", CHROMIUM_ID], "unknown browser 'opera'"),
    (["register", "--browser", "chrome", "--extension", CHROMIUM_ID, "--system",
      "--user-data-dir", "/tmp/profile"], "--user-data-dir goes with neither"),
    (["unregister", "--extension", CHROMIUM_ID], "unregister takes neither"),
    (["register", "--browser"], "--browser needs a value"),
    (["enrol"], "unknown command 'enrol'"),
])
def test_refuses_what_a_browser_would_not_accept(register, home, arguments, message):
    result = register(*arguments)
    assert result.returncode == 2
    assert message in result.stderr
    assert files_below(home) == []


def test_the_manual_page_covers_every_command_and_option(register):
    usage = register("--help").stdout
    page = (Path(__file__).resolve().parents[3] / "packaging" / "debian" /
            "corvantilhub-register.1").read_text(encoding="utf-8").replace("\\-", "-")
    options = set(re.findall(r"--[a-z][a-z-]*[a-z]", usage))
    assert len(options) > 10 and {option for option in options if option not in page} == set()
    for command in ("register", "unregister", "check"):
        assert f"corvantilhub-register {command}" in page
