"""The Debian package, installed for real with dpkg and used by real browsers.

The package is built from the native build, installed with `dpkg -i`, then
headless Chromium and Firefox ESR, each with a fresh profile and no per-user
registration at all, must find the host through the system-wide manifests and
play the test extension's session with it. An administrator's edit of a
manifest survives the package installed again. Purging must leave nothing
behind.
The tests change the machine, so they run only as root, and the package is
purged at the end even when a check fails.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import zipfile
from collections import Counter
from pathlib import Path

import pytest

import build_packages

HERE = Path(__file__).resolve().parent
REPO_ROOT = HERE.parents[2]
from chromium_session import (EXTENSION_DIR, chromium_command, extension_id,
                              load_session, make_folders, play_session)
from root_home import with_root_home

PACKAGE = "corvantilhub"
HOST = Path("/usr/lib/corvantilhub/Corvantilhub")
HOST_NAME = "com.corvantilhub.host"
FIREFOX_ADDON_ID = "session-test@corvantilhub.example"
REPORT_LEVEL = 7
SESSION = load_session()
CONFIG_DIR = Path("/etc/corvantilhub")  # the manifests; the browsers' folders link here
MANIFESTS = {
    "chromium": Path("/etc/chromium/native-messaging-hosts"),
    "chrome": Path("/etc/opt/chrome/native-messaging-hosts"),
    "edge": Path("/etc/opt/edge/native-messaging-hosts"),
    "firefox": Path("/usr/lib/mozilla/native-messaging-hosts"),
}
# Lintian tags that the README's "Installing" section explains: Chrome and
# Edge read system-wide manifests from /etc/opt only.
EXPLAINED_LINTIAN_TAGS = {"dir-or-file-in-etc-opt"}

# The agent answers the page load with enough texts that, with the log-level
# update and the designer's text, the extension gets the replies it waits
# for; then it closes the session.
LOG_LEVEL_UPDATE = '{"level":4,"type":"updateLogLevel"}'
DESIGNER_TEXT = "designer: ready ✓"
PAGE_ANSWERS = [f"answer {n}: Grüße \"quoted\" 🔑" for n in range(SESSION["expectedReplies"] - 2)]
AGENT_SCRIPT = {"logLevels": [4],
                "replies": {"OnDocumentComplete": [{"text": t} for t in PAGE_ANSWERS],
                            # Later, from an agent thread: the host lives long
                            # enough for the run to see it start and end.
                            "OnBasicAuthRequired": [{"text": SESSION["farewell"],
                                                     "delayMs": 500}]}}
DESIGNER_SCRIPT = {"designerTexts": [{"text": DESIGNER_TEXT, "delayMs": 0}]}

# Firefox: a throw-away profile that installs the unsigned test add-on from
# its extensions folder without asking (ESR honours the signature switch).
FIREFOX_PREFS = {
    "xpinstall.signatures.required": False,
    "extensions.autoDisableScopes": 0,
    "extensions.enabledScopes": 15,
    "extensions.startupScanScopes": 15,
    "extensions.update.enabled": False,
    "app.update.enabled": False,
    "browser.shell.checkDefaultBrowser": False,
    "browser.aboutwelcome.enabled": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.reportingpolicy.firstRun": False,
    "browser.region.network.url": "",  # no look-ups on the network
    "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False,
    "devtools.console.stdout.chrome": True,
    "devtools.console.stdout.content": True,
}


def dpkg_installed(package: str) -> bool:
    status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package],
                            capture_output=True, text=True).stdout
    return status == "install ok installed"


@pytest.fixture(scope="module")
def deb(request, tmp_path_factory) -> Path:
    if os.geteuid() != 0:
        pytest.skip("installs a package with dpkg: run as root")
    for tool in ("dpkg-deb", "dpkg-shlibdeps"):
        if shutil.which(tool) is None:
            pytest.skip(f"{tool} is missing (Debian package dpkg-dev)")
    build = Path(request.config.getoption("--build")).resolve()
    if not (build / "bin" / "Corvantilhub").is_file():
        pytest.skip(f"no native build in {build}; build it first")
    out = tmp_path_factory.mktemp("deb")
    result = subprocess.run([sys.executable, str(REPO_ROOT / "packaging" / "build_packages.py"),
                             "deb", "--build", str(build), "--out", str(out)],
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    return Path(result.stdout.strip())


@pytest.fixture(scope="module")
def installed(deb):
    """The package installed; purged afterwards whatever happened. Notes the
    package's folders that existed before, which purging must keep."""
    if dpkg_installed(PACKAGE):
        pytest.skip(f"{PACKAGE} is already installed here; not touching it")
    paths = [Path(line.split(None, 5)[5].split(" -> ")[0].lstrip("."))
             for line in subprocess.run(["dpkg-deb", "-c", str(deb)], capture_output=True,
                                        text=True, check=True).stdout.splitlines()]
    existed_before = {path for path in paths if os.path.lexists(path)}
    try:
        result = subprocess.run(["dpkg", "-i", str(deb)], capture_output=True, text=True)
        assert result.returncode == 0, result.stdout + result.stderr
        yield {"paths": paths, "existed_before": existed_before}
    finally:
        # Known to dpkg in any state (even half-installed): purge it.
        if subprocess.run(["dpkg-query", "-W", PACKAGE], capture_output=True).returncode == 0:
            subprocess.run(["dpkg", "--purge", PACKAGE], capture_output=True)


TEST_ID = "eipcjlpengcbafdfnolahlhjnijkabfh"
GUID_ID = "{8e4c1c2e-2b1d-4c5a-9f3e-1a2b3c4d5e6f}"


@pytest.mark.parametrize("chromium_ids, firefox_ids, complaint", [
    (["EIPCJLPENGCBAFDFNOLAHLHJNIJKABFH"], ["a@b.example"], "is not a Chromium extension ID"),
    (["eipcjlpengcbafdfnolahlhjnijkabfq"], ["a@b.example"], "is not a Chromium extension ID"),
    ([TEST_ID + "a"], ["a@b.example"], "is not a Chromium extension ID"),
    ([TEST_ID], ["no-at-sign"], "is not a Firefox add-on ID"),
    ([TEST_ID], ["nothing-after@"], "is not a Firefox add-on ID"),
    ([TEST_ID], ["a@b.example,c@d.example"], "is not a Firefox add-on ID"),
    ([], ["a@b.example"], "at least one Chromium extension ID"),
    # IDs that browsers take: the builder goes on, to the programs it lacks here.
    ([TEST_ID, "a" * 32], ["a@b.example", GUID_ID], "not found; build it first"),
])
def test_builder_refuses_ids_that_no_browser_would_accept(tmp_path, chromium_ids, firefox_ids,
                                                         complaint):
    """A manifest with such an ID would be ignored by the browser without a word."""
    (tmp_path / "package-info.json").write_text(json.dumps({
        "version": "1.0.0", "bin_dir": str(tmp_path), "harrowmere_library": "",
        "tollgatelink_library": "", "chromium_extension_ids": chromium_ids,
        "firefox_addon_ids": firefox_ids, "help_url": "https://example.test/"}),
        encoding="utf-8")
    result = subprocess.run([sys.executable, str(REPO_ROOT / "packaging" / "build_packages.py"),
                             "deb", "--build", str(tmp_path), "--out", str(tmp_path / "out")],
                            capture_output=True, text=True)
    assert result.returncode == 1 and complaint in result.stderr, result.stderr
    assert not (tmp_path / "out").exists() or not any((tmp_path / "out").iterdir())


def test_every_configured_id_reaches_the_manifests(tmp_path):
    """From the build's settings (IDs separated by ";") through package-info.json
    into each family's manifest."""
    folder = tmp_path / "build"
    folder.mkdir()
    subprocess.run(["cmake", "-D", "PROJECT_VERSION=1.0.0",
                    "-D", f"CORVANTILHUB_CHROMIUM_EXTENSION_IDS={TEST_ID};{'a' * 32}",
                    "-D", f"CORVANTILHUB_FIREFOX_ADDON_IDS=a@b.example;{GUID_ID}",
                    "-P", str(REPO_ROOT / "cmake" / "Packaging.cmake")],
                   cwd=folder, check=True, capture_output=True)
    info = build_packages.BuildInfo(folder)
    chromium = json.loads(build_packages.manifest_json(info, "/host", True))
    firefox = json.loads(build_packages.manifest_json(info, "/host", False))
    assert chromium["allowed_origins"] == [f"chrome-extension://{TEST_ID}/",
                                           f"chrome-extension://{'a' * 32}/"]
    assert firefox["allowed_extensions"] == ["a@b.example", GUID_ID]
    assert "allowed_extensions" not in chromium and "allowed_origins" not in firefox


def test_control_fields_declare_dependencies_and_stand_ins(deb):
    fields = subprocess.run(["dpkg-deb", "-f", str(deb)], capture_output=True, text=True,
                            check=True).stdout
    depends = next(line for line in fields.splitlines() if line.startswith("Depends:"))
    # The C++ runtime is linked into the programs; libsodium and libc are not.
    assert "libsodium23" in depends and "libc6" in depends
    assert "STAND-INS" in fields


def test_lintian_reports_only_explained_tags(deb):
    if shutil.which("lintian") is None:
        pytest.skip("lintian is not installed")
    result = subprocess.run(["lintian", "--no-tag-display-limit", str(deb)],
                            capture_output=True, text=True, timeout=600)
    tags = set(re.findall(r"^[EW]: \S+: (\S+)", result.stdout, re.M))
    assert tags <= EXPLAINED_LINTIAN_TAGS, result.stdout


def test_installed_files_and_manifests(installed):
    for name in ("Corvantilhub", "libHarrowmere64.so", "libTollgatelink.so"):
        assert (HOST.parent / name).is_file(), name
    for tool in ("corvantilhub-register", "corvantilhub-debug-monitor"):
        assert os.access(Path("/usr/bin") / tool, os.X_OK), tool
    for browser, folder in MANIFESTS.items():
        link = folder / f"{HOST_NAME}.json"
        assert link.is_symlink() and link.resolve() == CONFIG_DIR / browser / link.name
        manifest = json.loads(link.read_text(encoding="utf-8"))
        assert manifest["name"] == HOST_NAME and manifest["type"] == "stdio"
        assert manifest["path"] == str(HOST)
        if browser == "firefox":
            assert manifest["allowed_extensions"] == [FIREFOX_ADDON_ID]
        else:
            assert manifest["allowed_origins"] == [f"chrome-extension://{extension_id()}/"]


def conffiles() -> set:
    listed = subprocess.run(["dpkg-query", "-W", "-f=${Conffiles}", PACKAGE],
                            capture_output=True, text=True, check=True).stdout
    return {Path(line.split()[0]) for line in listed.splitlines() if line.strip()}


def dpkg_verify() -> str:
    """What `dpkg --verify` finds changed since installation ("" for nothing)."""
    return subprocess.run(["dpkg", "--verify", PACKAGE], capture_output=True, text=True).stdout


def test_every_manifest_is_a_conffile_and_verifies(installed):
    assert conffiles() == {CONFIG_DIR / browser / f"{HOST_NAME}.json" for browser in MANIFESTS}
    assert dpkg_verify() == ""


def test_register_tool_from_the_package_points_at_the_installed_host(installed, tmp_path):
    """The tool in /usr/bin is what users run for a per-user registration;
    its default host must be the installed one."""
    home = tmp_path / "home"
    home.mkdir()
    command = ["corvantilhub-register", "register", "--browser", "firefox",
               "--extension", FIREFOX_ADDON_ID]
    result = subprocess.run(with_root_home(command, home), capture_output=True, text=True,
                            env={**os.environ, "HOME": str(home)})
    assert result.returncode == 0, result.stderr
    manifest = home / ".mozilla" / "native-messaging-hosts" / f"{HOST_NAME}.json"
    assert json.loads(manifest.read_text(encoding="utf-8"))["path"] == str(HOST)


def reports(run) -> list:
    """What the extension received, from its level-7 log lines to the agent."""
    return [json.loads(call.args[1])["received"] for call in run.agent_calls
            if call.fn == "WriteLog" and call.args[0] == REPORT_LEVEL]


def check_session(run):
    assert run.ended_in_time, run.describe()  # the extension closed the port on the farewell
    assert Counter(reports(run)) == Counter([LOG_LEVEL_UPDATE, DESIGNER_TEXT, *PAGE_ANSWERS]), \
        run.describe()
    assert [call.fn for call in run.agent_calls if call.fn == "OnBasicAuthRequired"] == \
        ["OnBasicAuthRequired"]


def test_chromium_finds_the_host_through_the_system_manifest(installed, request, tmp_path):
    chromium = Path(request.config.getoption("--chromium"))
    if not chromium.is_file():
        pytest.skip(f"Chromium not installed at {chromium}")
    folders = make_folders(tmp_path)
    run = play_session(host=HOST, command=chromium_command(chromium, folders["profile"]),
                       folders=folders, console_path=tmp_path / "chromium.stderr",
                       agent_script=AGENT_SCRIPT, designer_script=DESIGNER_SCRIPT)
    # Chromium makes the per-user folder itself; nothing may be in it.
    assert list((folders["profile"] / "NativeMessagingHosts").glob("*")) == []
    check_session(run)


def firefox_profile(profile: Path) -> None:
    """User prefs, and the test add-on as an XPI named by its ID in the
    profile's extensions folder, where Firefox installs it at start-up."""
    (profile / "user.js").write_text(
        "".join(f'user_pref("{name}", {json.dumps(value)});\n'
                for name, value in FIREFOX_PREFS.items()), encoding="utf-8")
    extensions = profile / "extensions"
    extensions.mkdir()
    with zipfile.ZipFile(extensions / f"{FIREFOX_ADDON_ID}.xpi", "w") as xpi:
        xpi.write(HERE / "firefox_extension" / "manifest.json", "manifest.json")
        for name in ("background.js", "session.json"):
            xpi.write(EXTENSION_DIR / name, name)


def test_firefox_finds_the_host_through_the_system_manifest(installed, request, tmp_path):
    firefox = Path(request.config.getoption("--firefox"))
    if not firefox.is_file():
        pytest.skip(f"Firefox ESR not installed at {firefox}")
    folders = make_folders(tmp_path)
    firefox_profile(folders["profile"])
    command = [str(firefox), "--headless", "--no-remote", "--profile", str(folders["profile"]),
               "about:blank"]
    run = play_session(host=HOST, command=command, folders=folders,
                       console_path=tmp_path / "firefox.stderr",
                       agent_script=AGENT_SCRIPT, designer_script=DESIGNER_SCRIPT)
    assert list((folders["home"] / ".mozilla").glob("**/*.json")) == []
    check_session(run)


def test_edited_manifest_survives_the_package_installed_again(deb, installed):
    """An administrator allows one more add-on by hand; dpkg keeps the edit."""
    firefox = MANIFESTS["firefox"] / f"{HOST_NAME}.json"
    manifest = json.loads(firefox.read_text(encoding="utf-8"))
    manifest["allowed_extensions"].append("fleet-extra@corvantilhub.example")
    edited = json.dumps(manifest, indent=2) + "\n"
    firefox.write_text(edited, encoding="utf-8")
    result = subprocess.run(["dpkg", "-i", str(deb)], capture_output=True, text=True,
                            stdin=subprocess.DEVNULL)
    assert result.returncode == 0, result.stdout + result.stderr
    assert firefox.is_symlink() and firefox.read_text(encoding="utf-8") == edited
    assert [line.split()[-1] for line in dpkg_verify().splitlines()] == \
        [str(CONFIG_DIR / "firefox" / f"{HOST_NAME}.json")]


def test_check_names_the_package_and_how_to_put_its_registration_back(deb, installed, tmp_path):
    """The installed tool on the package's own registrations, as root."""
    home = tmp_path / "home"
    home.mkdir()

    def check():
        command = ["corvantilhub-register", "check", "--system", "--browser", "chromium,firefox"]
        return subprocess.run(with_root_home(command, home), capture_output=True, text=True,
                              env={**os.environ, "HOME": str(home)})

    version = subprocess.run(["dpkg-deb", "-f", str(deb), "Version"], capture_output=True,
                             text=True, check=True).stdout.strip()
    result = check()
    assert result.returncode == 0, result.stdout + result.stderr
    assert result.stdout.splitlines()[0] == (
        f"corvantilhub-register {version}, installed by corvantilhub {version} (Debian "
        "package), with the STAND-IN agent and designer libraries (for testing, not the "
        "agent's own)")
    assert f"chromium: start: ok: Corvantilhub {version}: agent library loaded" in result.stdout
    (MANIFESTS["chromium"] / f"{HOST_NAME}.json").unlink()
    result = check()
    assert result.returncode == 1
    assert ("    fix: put the package's registration back: as root, run apt-get install "
            "--reinstall -o Dpkg::Options::=--force-confmiss corvantilhub (or, from the package "
            f"file, dpkg -i --force-confmiss corvantilhub_{version}_amd64.deb)"
            ) in result.stdout.splitlines()
    # The advice works.
    subprocess.run(["dpkg", "-i", "--force-confmiss", str(deb)], capture_output=True,
                   stdin=subprocess.DEVNULL, check=True)
    assert check().returncode == 0


def test_purge_leaves_nothing_behind(installed):
    result = subprocess.run(["dpkg", "--purge", PACKAGE], capture_output=True, text=True)
    assert result.returncode == 0, result.stdout + result.stderr
    left = [str(path) for path in installed["paths"]
            if os.path.lexists(path) and path not in installed["existed_before"]]
    assert left == []
    assert subprocess.run(["dpkg-query", "-W", PACKAGE], capture_output=True).returncode != 0
