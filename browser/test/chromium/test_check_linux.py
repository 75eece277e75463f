"""corvantilhub-register check on Linux: each fault that keeps a browser from
finding or starting the host is made on purpose in a private HOME, and the
check must name it and say how to fix it. Only the per-user folders are
written; the system-wide ones are looked at, never changed."""
import json
import os
import shutil
import subprocess
import tempfile
from pathlib import Path

import pytest
from root_home import with_root_home

CHROMIUM_ID = "eipcjlpengcbafdfnolahlhjnijkabfh"
OTHER_ID = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
FIREFOX_ID = "corvantilhub@example.org"
HOST_NAME = "com.corvantilhub.host"
FOLDERS = {"chromium": ".config/chromium/NativeMessagingHosts",
           "firefox": ".mozilla/native-messaging-hosts"}
SYSTEM_FIREFOX_FOLDER = Path("/usr/lib/mozilla/native-messaging-hosts")
FIX_CHROMIUM = f"run corvantilhub-register register --browser chromium --extension {CHROMIUM_ID}"


@pytest.fixture
def tool(register_tool, home):
    """Runs corvantilhub-register with the private HOME; returns (status,
    stdout, stderr). `binds` (folder, mount point) pairs put folders of the
    test's own over the system's for this run alone, in a private mount
    namespace; `program` is another copy of the tool."""
    def run(*arguments, binds=(), program=None):
        env = {key: value for key, value in os.environ.items()
               if not key.startswith("XDG_")}
        env.update(HOME=str(home), XDG_DATA_HOME=str(home / "data"),
                   XDG_RUNTIME_DIR=str(home))
        command = with_root_home([str(program or register_tool), *arguments], home)
        for folder, mount_point in binds:
            command = ["unshare", "--mount", "--", "sh", "-c",
                       'mount --bind "$0" "$1" && shift && exec "$@"',
                       str(folder), str(mount_point), *command]
        result = subprocess.run(command, env=env, capture_output=True, text=True, timeout=120)
        return result.returncode, result.stdout, result.stderr
    return run


@pytest.fixture
def etc_chromium(tmp_path) -> Path:
    """A folder to put over /etc/chromium (policies and all users' hosts),
    so that what a test sets there reaches no browser that runs meanwhile."""
    if os.geteuid() != 0 or not Path("/etc/chromium").is_dir():
        pytest.skip("a private /etc/chromium needs root and Chromium's /etc/chromium")
    folder = tmp_path / "etc-chromium"
    (folder / "policies" / "managed").mkdir(parents=True)
    (folder / "native-messaging-hosts").mkdir()
    return folder


@pytest.fixture
def host(native_bin) -> Path:
    path = native_bin / "Corvantilhub"
    if not path.is_file():
        pytest.skip(f"no host at {path}; build the native preset first")
    return path


def manifest_file(home: Path, browser="chromium") -> Path:
    return home / FOLDERS[browser] / f"{HOST_NAME}.json"


def write_manifest(home: Path, browser="chromium", text=None, **fields) -> Path:
    """A manifest as the register command would write it, with `fields`
    changed (None removes one), or exactly `text`."""
    manifest = {"name": HOST_NAME, "description": "Corvantilhub host",
                "path": fields.pop("default_path", ""), "type": "stdio"}
    if browser == "firefox":
        manifest["allowed_extensions"] = [FIREFOX_ID]
    else:
        manifest["allowed_origins"] = [f"chrome-extension://{CHROMIUM_ID}/"]
    for key, value in fields.items():
        if value is None:
            manifest.pop(key, None)
        else:
            manifest[key] = value
    path = manifest_file(home, browser)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text if text is not None else json.dumps(manifest), encoding="utf-8")
    return path


def step(output: str, browser: str, name: str) -> list:
    """The line of one step and the note and fix lines under it."""
    lines = output.splitlines()
    prefix = f"{browser}: {name}: "
    for index, line in enumerate(lines):
        if line.startswith(prefix):
            found = [line]
            for follower in lines[index + 1:]:
                if not follower.startswith("    "):
                    break
                found.append(follower.strip())
            return found
    raise AssertionError(f"no {name} step for {browser} in:\n{output}")


def test_a_sound_registration_passes_every_step(tool, home, host, version):
    code, _, err = tool("register", "--browser", "chromium,firefox",
                        "--extension", CHROMIUM_ID, "--extension", FIREFOX_ID, "--host", str(host))
    assert code == 0, err
    code, out, _ = tool("check", "--browser", "chromium,firefox", "--extension", CHROMIUM_ID,
                        "--extension", FIREFOX_ID)
    assert code == 0, out
    assert step(out, "chromium", "manifest")[0] == \
        f"chromium: manifest: ok: {manifest_file(home)}"
    assert step(out, "chromium", "path")[0] == f"chromium: path: ok: {host}"
    assert out.splitlines()[0] == f"corvantilhub-register {version}, from no package"
    assert step(out, "chromium", "start") == [
        f"chromium: start: ok: Corvantilhub {version}: agent library loaded, designer bridge "
        "found, protection service usable, standard streams ready; exit status 0",
        f"note: ran {host} chrome-extension://{CHROMIUM_ID}/ in {host.parent}"]
    # Firefox passes the manifest's path and the add-on ID.
    assert step(out, "firefox", "start")[1] == \
        f"note: ran {host} {manifest_file(home, 'firefox')} {FIREFOX_ID} in {host.parent}"
    assert out.splitlines()[-1] == "firefox: can start the host"

    code, out, _ = tool("check", "--browser", "chromium", "--json")
    assert code == 0
    report = json.loads(out)
    assert report["ok"] is True and report["version"] == version and report["package"] is None
    [chromium] = report["browsers"]
    assert [(entry["step"], entry["status"]) for entry in chromium["steps"]] == [
        ("manifest", "ok"), ("json", "ok"), ("name", "ok"), ("path", "ok"), ("type", "ok"),
        ("extension", "ok"), ("start", "ok")]

    # One browser that can't start the host fails the whole check, whichever comes last.
    manifest_file(home).unlink()
    code, out, _ = tool("check", "--browser", "chromium,firefox", "--json")
    report = json.loads(out)
    assert (code, report["ok"], [entry["ok"] for entry in report["browsers"]]) == \
        (1, False, [False, True])


def test_no_manifest_lists_every_place_looked(tool, home, tmp_path):
    # A name of its own: the system-wide folder is shared with whatever else
    # runs on this machine.
    name = f"org.corvantilhub.nowhere_{os.getpid()}"
    code, out, _ = tool("check", "--browser", "chromium", "--name", name,
                        "--extension", CHROMIUM_ID)
    assert code == 1
    assert out.splitlines()[1:] == [
        "chromium: manifest: FAILED: not found",
        f"    note: looked at {home / FOLDERS['chromium']}/{name}.json: no such file",
        f"    note: looked at /etc/chromium/native-messaging-hosts/{name}.json: no such file",
        f"    fix: run corvantilhub-register register --browser chromium --name {name} "
        f"--extension {CHROMIUM_ID}",
        "chromium: can NOT start the host"]
    # Firefox: the user's folder, then all users' in lib and then in lib64.
    code, out, _ = tool("check", "--browser", "firefox", "--name", name)
    assert step(out, "firefox", "manifest")[1:4] == [
        f"note: looked at {home / FOLDERS['firefox']}/{name}.json: no such file",
        f"note: looked at {SYSTEM_FIREFOX_FOLDER}/{name}.json: no such file",
        f"note: looked at /usr/lib64/mozilla/native-messaging-hosts/{name}.json: no such file"]
    # A profile folder replaces the per-user one only, and the advice names
    # it; the check is of the Chromium family, which alone has profiles.
    profile = tmp_path / "profile"
    (profile / "NativeMessagingHosts").mkdir(parents=True)
    (profile / "NativeMessagingHosts" / f"{name}.json").symlink_to("/nowhere/gone.json")
    code, out, _ = tool("check", "--user-data-dir", str(profile), "--name", name)
    assert [line.split(":")[0] for line in out.splitlines()[1:] if "start the host" in line] == \
        ["chromium", "chrome", "edge"]
    assert step(out, "chromium", "manifest") == [
        "chromium: manifest: FAILED: not found",
        f"note: looked at {profile}/NativeMessagingHosts/{name}.json: a link to "
        "/nowhere/gone.json, which does not exist",
        f"note: looked at /etc/chromium/native-messaging-hosts/{name}.json: no such file",
        f"fix: run corvantilhub-register register --browser chromium --name {name} "
        f"--user-data-dir {profile} --extension <extension ID>"]


@pytest.mark.parametrize("text, error", [
    ('{"name": "com.corvantilhub.host",\n  "path": }',
     "parse error at line 2, column 11: syntax error while parsing value - unexpected '}'; "
     "expected '[', '{', or a literal"),
    # A file that is no manifest at all shows none of its text.
    ('"s3cr3t passphrase', "parse error at line 1, column 19: syntax error while parsing value - "
     "invalid string: missing closing quote"),
])
def test_invalid_json_names_the_file_and_the_place(tool, home, host, text, error):
    path = write_manifest(home, text=text)
    code, out, _ = tool("check", "--browser", "chromium", "--user")
    assert code == 1
    assert step(out, "chromium", "json") == [
        f"chromium: json: FAILED: invalid: {error}",
        f"fix: mend {path}; or run corvantilhub-register register --browser chromium "
        "--extension <extension ID>"]
    assert "chromium: name:" not in out  # nothing further can be read


@pytest.mark.parametrize("browser, description, missing", [
    ("chromium", "", "missing or empty"), ("chromium", None, "missing or empty"),
    ("firefox", None, "missing")])
def test_a_manifest_without_a_description_is_refused(tool, home, host, browser, description,
                                                     missing):
    write_manifest(home, browser, default_path=str(host), description=description)
    code, out, _ = tool("check", "--browser", browser, "--user")
    assert code == 1
    assert step(out, browser, "json")[0] == (
        f'{browser}: json: FAILED: valid, but "description" is {missing}, and {browser} refuses '
        "such a manifest")


ASKS_OTHER = ('the manifest says "{name}", but the extension asks for "' + HOST_NAME +
              '" (file ' + HOST_NAME + '.json)')
OR_CHECK = '; or, if the extension asks for "{name}", check with --name {name}'


@pytest.mark.parametrize("browser, name, detail, fix", [
    ("chromium", "com.example.other", ASKS_OTHER, FIX_CHROMIUM + OR_CHECK),
    # Firefox takes capitals in a host name; Chromium does not.
    ("firefox", "Com.Example.Zed", ASKS_OTHER,
     f"run corvantilhub-register register --browser firefox --extension {FIREFOX_ID}" + OR_CHECK),
    ("chromium", "Com.Example.Zed", '"{name}" is not a valid host name', FIX_CHROMIUM),
])
def test_a_name_that_differs_from_the_asked_one(tool, home, host, browser, name, detail, fix):
    write_manifest(home, browser, default_path=str(host), name=name)
    code, out, _ = tool("check", "--browser", browser, "--user")
    assert code == 1
    assert step(out, browser, "name") == [f"{browser}: name: FAILED: {detail.format(name=name)}",
                                          f"fix: {fix.format(name=name)}"]


@pytest.mark.parametrize("fault", ["missing", "a folder", "not executable", "relative"])
def test_host_path_faults(tool, home, host, tmp_path, fault):
    if fault == "missing":
        path, shown = tmp_path / "gone" / "Corvantilhub", None
        expected = f"chromium: path: FAILED: {path} does not exist"
        fix = f"{FIX_CHROMIUM} --host {host}"
    elif fault == "a folder":
        path = tmp_path
        expected = f"chromium: path: FAILED: {path} is not a file"
        fix = f"{FIX_CHROMIUM} --host {host}"
    elif fault == "not executable":
        path = tmp_path / "Corvantilhub"
        shutil.copy(host, path)
        path.chmod(0o644)
        expected = f"chromium: path: FAILED: {path} is not executable"
        fix = f"run chmod a+x {path}"
    else:
        path = Path("bin/Corvantilhub")
        expected = ('chromium: path: FAILED: "bin/Corvantilhub" is relative; the browser needs '
                    "an absolute path")
        fix = f"{FIX_CHROMIUM} --host {host}"
    write_manifest(home, default_path=str(path))
    code, out, _ = tool("check", "--browser", "chromium", "--user")
    assert code == 1
    assert step(out, "chromium", "path") == [expected, f"fix: {fix}"]
    assert "chromium: start:" not in out  # the browser could not start it either


@pytest.mark.parametrize("browser, fields, asked, detail", [
    ("chromium", {}, OTHER_ID,
     f"{OTHER_ID} not allowed; the manifest allows {CHROMIUM_ID}"),
    ("chromium", {"allowed_origins": [CHROMIUM_ID]}, CHROMIUM_ID,
     f'"{CHROMIUM_ID}" lacks the chrome-extension:// prefix; chromium refuses the whole manifest'),
    ("chromium", {"allowed_origins": [f"chrome-extension://{CHROMIUM_ID}"]}, CHROMIUM_ID,
     f'"chrome-extension://{CHROMIUM_ID}" lacks the trailing slash; chromium refuses the whole '
     "manifest"),
    ("chromium", {"allowed_origins": None,
                  "allowed_extensions": [f"chrome-extension://{CHROMIUM_ID}/"]}, CHROMIUM_ID,
     'the manifest has "allowed_extensions" where chromium reads "allowed_origins"'),
    ("firefox", {"allowed_extensions": None, "allowed_origins": [FIREFOX_ID]}, FIREFOX_ID,
     'the manifest has "allowed_origins" where firefox reads "allowed_extensions"'),
    ("firefox", {"allowed_extensions": [f"chrome-extension://{CHROMIUM_ID}/"]}, FIREFOX_ID,
     f'"chrome-extension://{CHROMIUM_ID}/" is a Chromium origin; firefox takes add-on IDs such as '
     f"name@example.org; firefox refuses the whole manifest; {FIREFOX_ID} not listed"),
    ("firefox", {"allowed_extensions": ["not an id", FIREFOX_ID]}, FIREFOX_ID,
     '"not an id" is not an add-on ID; firefox refuses the whole manifest'),
    ("firefox", {"allowed_extensions": []}, FIREFOX_ID,
     f'"allowed_extensions" is empty; firefox refuses the whole manifest; {FIREFOX_ID} not listed'),
])
def test_extension_faults(tool, home, host, browser, fields, asked, detail):
    write_manifest(home, browser, default_path=str(host), **fields)
    code, out, _ = tool("check", "--browser", browser, "--user", "--extension", asked)
    assert code == 1
    assert step(out, browser, "extension") == [
        f"{browser}: extension: FAILED: {detail}",
        f"fix: run corvantilhub-register register --browser {browser} --extension {asked}"]
    # The host itself is fine: it is started for the extension asked about;
    # but as root, check starts no host from a manifest the browser refuses.
    start = step(out, browser, "start")[0]
    if os.geteuid() == 0:
        assert start == (f"{browser}: start: FAILED: not probed: {browser} would not start the "
                         "host this manifest names, so check starts nothing as root")
    else:
        assert start.startswith(f"{browser}: start: ok:")


def test_a_host_whose_agent_library_is_missing(tool, home, host, tmp_path):
    lonely = tmp_path / "lonely"
    lonely.mkdir()
    shutil.copy(host, lonely / "Corvantilhub")  # without the libraries beside it
    write_manifest(home, default_path=str(lonely / "Corvantilhub"))
    code, out, _ = tool("check", "--browser", "chromium", "--user")
    assert code == 1
    start = step(out, "chromium", "start")
    assert start[0].startswith(
        f"chromium: start: FAILED: {lonely}/Corvantilhub did not start: exit status 127, the agent "
        "library libHarrowmere64.so was not found (")
    assert start[-1] == (f"fix: put libHarrowmere64.so into {lonely} (install the single-sign-on "
                         "agent, or copy it beside the host)")


def test_a_missing_designer_bridge_is_only_a_warning(tool, home, host, tmp_path, version):
    folder = tmp_path / "no_bridge"
    folder.mkdir()
    for name in ("Corvantilhub", "libHarrowmere64.so"):
        shutil.copy(host.parent / name, folder / name)
    write_manifest(home, default_path=str(folder / "Corvantilhub"))
    code, out, _ = tool("check", "--browser", "chromium", "--user")
    assert code == 0, out
    start = step(out, "chromium", "start")
    assert start[0] == (f"chromium: start: warning: Corvantilhub {version}: agent library "
                        "loaded, designer bridge not found "
                        "(error 126), protection service usable, standard streams ready; "
                        "exit status 0")
    assert start[-1] == (f"fix: the host runs without the designer; put libTollgatelink.so into "
                         f"{folder} to relay element paths")


@pytest.mark.parametrize("arguments, message", [
    (["check", "--browser", "opera"], "unknown browser 'opera' (chromium, chrome, edge, firefox or all)"),
    (["check", "--system", "--user"], "give --system or --user once"),
    (["check", "--host", "/x"], "check takes neither --host, --manifest-dir nor --dry-run"),
    (["check", "--browser", "firefox", "--user-data-dir", "/tmp/p"],
     "firefox has no --user-data-dir; leave it out of --browser"),
    (["check", "--extension", "nope"],
     "'nope' is neither a Chromium extension ID (32 letters a-p) nor a Firefox add-on ID"),
    (["register", "--json"], "--json goes with check only"),
    (["check", "--replace"], "--replace goes with register only"),
])
def test_bad_command_lines_end_with_status_two(tool, arguments, message):
    """One line, not the whole help."""
    code, _, err = tool(*arguments)
    assert (code, err) == (2, f"corvantilhub-register: {message} (corvantilhub-register --help "
                              "lists the options)\n")


def test_both_programs_tell_their_version(tool, host, version):
    assert tool("--version") == (0, f"corvantilhub-register {version}\n", "")
    result = subprocess.run([str(host), "--version"], capture_output=True, text=True, timeout=60)
    assert (result.returncode, result.stdout) == (0, f"Corvantilhub {version}\n")


# ---------------------------------------------------------------------------
# policies, and what the browser would read instead
# ---------------------------------------------------------------------------

BLOCKED = ('NativeMessagingBlocklist lists "{}" ({}), and chromium refuses: "Access to the '
           'native messaging host was disabled by the system administrator"')


@pytest.mark.parametrize("policies, expected", [
    ({"fleet.json": {"NativeMessagingBlocklist": ["*"]}},
     [BLOCKED.format("*", "{managed}/fleet.json"),
      f'fix: ask whoever sets the browser\'s policies (root) to add "{HOST_NAME}" to '
      "NativeMessagingAllowlist"]),
    ({"fleet.json": {"NativeMessagingBlocklist": ["other.host", HOST_NAME]}},
     [BLOCKED.format(HOST_NAME, "{managed}/fleet.json"),
      f'fix: ask whoever sets the browser\'s policies (root) to add "{HOST_NAME}" to '
      "NativeMessagingAllowlist, or to take it off NativeMessagingBlocklist"]),
    # The allowlist wins over the blocklist, as in the browser.
    ({"a.json": {"NativeMessagingBlocklist": ["*"]},
      "b.json": {"NativeMessagingAllowlist": [HOST_NAME]}},
     [f'NativeMessagingAllowlist lists "{HOST_NAME}" ({{managed}}/b.json)']),
    # Of two files that set one policy, the last in name order wins.
    ({"a.json": {"NativeMessagingBlocklist": ["*"]},
      "b.json": {"NativeMessagingBlocklist": ["other.host"]}, "c.json": "not JSON"},
     [f'NativeMessagingBlocklist does not list "{HOST_NAME}" ({{managed}}/b.json)',
      "note: not read: {managed}/c.json (not a JSON object)"]),
])
def test_policies_that_keep_the_host_from_starting(tool, home, host, etc_chromium, policies,
                                                   expected):
    managed = etc_chromium / "policies" / "managed"
    for name, content in policies.items():
        (managed / name).write_text(content if isinstance(content, str) else json.dumps(content))
    write_manifest(home, default_path=str(host))  # sound, for the current user
    code, out, _ = tool("check", "--browser", "chromium", binds=[(etc_chromium, "/etc/chromium")])
    blocked = expected[0].startswith("NativeMessagingBlocklist lists")
    where = "/etc/chromium/policies/managed"
    assert step(out, "chromium", "policy") == [
        f"chromium: policy: {'FAILED' if blocked else 'ok'}: {expected[0].format(managed=where)}",
        *[line.format(managed=where) for line in expected[1:]]]
    assert code == (1 if blocked else 0), out
    # Without a policy the step is left out.
    assert "policy:" not in tool("check", "--browser", "chromium")[1]


def test_a_policy_against_per_user_hosts_leaves_only_all_users_registrations(
        tool, home, host, etc_chromium):
    (etc_chromium / "policies" / "managed" / "fleet.json").write_text(
        json.dumps({"NativeMessagingUserLevelHosts": False}))
    user_manifest = write_manifest(home, default_path=str(host))
    code, out, _ = tool("check", "--browser", "chromium", "--extension", CHROMIUM_ID,
                        binds=[(etc_chromium, "/etc/chromium")])
    assert code == 1
    policy_file = "/etc/chromium/policies/managed/fleet.json"
    assert step(out, "chromium", "policy") == [
        "chromium: policy: ok: no policy blocks native-messaging hosts",
        f"note: NativeMessagingUserLevelHosts is false ({policy_file}): chromium reads no "
        "per-user registration"]
    assert step(out, "chromium", "manifest") == [
        "chromium: manifest: FAILED: not found",
        f"note: not read: {user_manifest}, as NativeMessagingUserLevelHosts is false "
        f"({policy_file})",
        f"note: looked at /etc/chromium/native-messaging-hosts/{HOST_NAME}.json: no such file",
        f"fix: as root, run corvantilhub-register register --browser chromium --system "
        f"--extension {CHROMIUM_ID}"]


# ---------------------------------------------------------------------------
# faults that look like others
# ---------------------------------------------------------------------------

@pytest.mark.parametrize("encoding, verdict, detail", [
    ("utf-16", "FAILED", "saved as UTF-16 (what PowerShell 5 writes by default), which chromium "
                         "can't read"),
    ("utf-16-le", "FAILED", "saved as UTF-16 (what PowerShell 5 writes by default), which "
                            "chromium can't read"),
    ("utf-8-sig", "warning", "valid, but the file starts with a byte-order mark, which not every "
                             "browser version skips"),
])
def test_a_manifest_not_saved_as_plain_utf8(tool, home, host, encoding, verdict, detail):
    path = write_manifest(home, default_path=str(host))
    path.write_bytes(path.read_text(encoding="utf-8").encode(encoding))
    code, out, _ = tool("check", "--browser", "chromium", "--user", "--extension", CHROMIUM_ID)
    assert code == (1 if verdict == "FAILED" else 0), out
    assert step(out, "chromium", "json") == [
        f"chromium: json: {verdict}: {detail}",
        f"fix: save {path} as UTF-8 without a byte-order mark; or {FIX_CHROMIUM}"]


def test_a_path_that_names_another_program(tool, home):
    write_manifest(home, default_path="/bin/cat")
    code, out, _ = tool("check", "--browser", "chromium", "--user", "--extension", CHROMIUM_ID)
    assert code == 1
    assert step(out, "chromium", "start") == [
        "chromium: start: FAILED: /bin/cat is not a Corvantilhub host: it ended (exit status 1) "
        "without the host's start-up report",
        f"note: ran /bin/cat chrome-extension://{CHROMIUM_ID}/ in /bin",
        f"fix: {FIX_CHROMIUM}"]


def test_an_agent_library_that_cannot_be_read(tool, host, register_tool, tmp_path, other_user):
    """Root reads every file; the user who runs the browser may not."""
    shared = Path(tempfile.mkdtemp(prefix="corvantilhub-unreadable-"))
    try:
        shared.chmod(0o755)
        for name in ("Corvantilhub", "libHarrowmere64.so", "libTollgatelink.so"):
            shutil.copy(host.parent / name, shared / name)
        (shared / "libHarrowmere64.so").chmod(0o600)
        user_home = shared / "home"
        write_manifest(user_home, default_path=str(shared / "Corvantilhub"))
        hand_over(user_home, other_user)
        result = subprocess.run(
            ["setpriv", f"--reuid={other_user[0]}", f"--regid={other_user[1]}", "--clear-groups",
             "--", str(register_tool), "check", "--browser", "chromium", "--user"],
            env={"PATH": os.environ["PATH"], "HOME": str(user_home)},
            capture_output=True, text=True, timeout=120)
        assert result.returncode == 1, result.stdout + result.stderr
        start = step(result.stdout, "chromium", "start")
        library = shared / "libHarrowmere64.so"
        assert start[0].startswith(
            f"chromium: start: FAILED: {shared}/Corvantilhub did not start: exit status 127, the "
            f"agent library {library} can't be read (permissions) (")
        assert start[-1] == f"fix: let every user read it: as root, run chmod a+r {library}"
    finally:
        shutil.rmtree(shared)


# ---------------------------------------------------------------------------
# a tool that a package installed
# ---------------------------------------------------------------------------

@pytest.fixture
def packaged_tool(register_tool, tmp_path, version) -> Path:
    """A copy of the tool with the record that the Debian package puts beside it."""
    folder = tmp_path / "usr-lib-corvantilhub"
    folder.mkdir()
    program = Path(shutil.copy(register_tool, folder / register_tool.name))
    (folder / "corvantilhub-package.json").write_text(json.dumps({
        "kind": "deb", "name": "corvantilhub", "version": version,
        "chromium_extension_ids": [CHROMIUM_ID], "firefox_addon_ids": [FIREFOX_ID],
        "stand_ins": True}))
    return program


def test_a_packaged_tool_names_the_package_and_its_extensions(tool, home, host, packaged_tool,
                                                              etc_chromium, version):
    binds = [(etc_chromium, "/etc/chromium")]
    # The package's registration for all users is gone: repair the package.
    code, out, _ = tool("check", "--browser", "chromium", "--system", program=packaged_tool,
                        binds=binds)
    assert code == 1
    assert out.splitlines()[0] == (
        f"corvantilhub-register {version}, installed by corvantilhub {version} (Debian package), "
        "with the STAND-IN agent and designer libraries (for testing, not the agent's own)")
    reinstall = ("apt-get install --reinstall -o Dpkg::Options::=--force-confmiss corvantilhub "
                 "(or, from the package file, dpkg -i --force-confmiss "
                 f"corvantilhub_{version}_amd64.deb)")
    assert step(out, "chromium", "manifest")[-1] == (
        f"fix: put the package's registration back: as root, run {reinstall}")
    # Broken: mend the file the link names, or put the package's back.
    conffile = etc_chromium / "corvantilhub" / f"{HOST_NAME}.json"
    conffile.parent.mkdir()
    conffile.write_text("{")
    (etc_chromium / "native-messaging-hosts" / f"{HOST_NAME}.json").symlink_to(conffile)
    code, out, _ = tool("check", "--browser", "chromium", "--system", program=packaged_tool,
                        binds=binds)
    assert step(out, "chromium", "json")[-1] == (
        f"fix: mend {conffile} (the package's configuration file), or put the package's back: "
        f"as root, run rm {conffile} && {reinstall}")
    # A user's own registration: the advice names the package's extension.
    code, out, _ = tool("check", "--browser", "chromium", "--user", program=packaged_tool)
    assert step(out, "chromium", "manifest")[-1] == (
        f"fix: run corvantilhub-register register --browser chromium --extension {CHROMIUM_ID}")
    # A user's registration that leaves out the package's extension works,
    # with a warning; the advice names the package's extension, not a placeholder.
    write_manifest(home, default_path=str(host), allowed_origins=[f"chrome-extension://{OTHER_ID}/"])
    code, out, _ = tool("check", "--browser", "chromium", "--user", program=packaged_tool)
    assert code == 0, out
    assert step(out, "chromium", "extension") == [
        f"chromium: extension: warning: allowed: {OTHER_ID}; but not {CHROMIUM_ID}, which the "
        "installed package was built for",
        f"fix: run corvantilhub-register register --browser chromium --extension {OTHER_ID} "
        f"--extension {CHROMIUM_ID}"]


@pytest.fixture
def system_firefox_folder():
    """Firefox's system-wide folder, as root only; whatever the test adds
    there (folders included) is removed again."""
    if os.geteuid() != 0:
        pytest.skip("writing Firefox's system-wide folder needs root")
    folder = SYSTEM_FIREFOX_FOLDER
    created = [parent for parent in [folder, *folder.parents] if not parent.exists()]
    folder.mkdir(parents=True, exist_ok=True)
    written = []
    yield folder, written
    for path in written:
        path.unlink(missing_ok=True)
    for parent in created:  # deepest first
        parent.rmdir()


@pytest.mark.parametrize("users_fault", ["another extension", "a missing host"])
def test_firefox_passes_over_a_user_manifest_it_cannot_use(tool, home, host, system_firefox_folder,
                                                           users_fault):
    folder, written = system_firefox_folder
    name = f"org.corvantilhub.check_{os.getpid()}"
    system_manifest = folder / f"{name}.json"
    written.append(system_manifest)
    system_manifest.write_text(json.dumps({
        "name": name, "description": "d", "path": str(host), "type": "stdio",
        "allowed_extensions": [FIREFOX_ID]}), encoding="utf-8")
    user_manifest = home / FOLDERS["firefox"] / f"{name}.json"
    user_manifest.parent.mkdir(parents=True)
    another = users_fault == "another extension"
    user_manifest.write_text(json.dumps({
        "name": name, "description": "d", "path": str(host if another else home / "gone"),
        "type": "stdio", "allowed_extensions": ["other@example.org" if another else FIREFOX_ID]}),
        encoding="utf-8")

    code, out, _ = tool("check", "--browser", "firefox", "--name", name, "--extension", FIREFOX_ID)
    if another:
        assert code == 0, out
        assert step(out, "firefox", "manifest") == [
            f"firefox: manifest: ok: {system_manifest}",
            f"note: passed over {user_manifest}, which firefox can't use (extension: {FIREFOX_ID} "
            "not allowed; the manifest allows other@example.org)"]
    else:
        # The host's path counts only when Firefox starts the host: too late
        # to go on to the next manifest.
        assert code == 1
        assert step(out, "firefox", "manifest") == [
            f"firefox: manifest: ok: {user_manifest}",
            f"note: not read while {user_manifest} exists: {system_manifest}: found; to use it, "
            f'remove the first: rm "{user_manifest}"']


# ---------------------------------------------------------------------------
# check run as root: it reads and starts only what no other user can change
# ---------------------------------------------------------------------------

def hand_over(folder: Path, owner) -> None:
    for path in [folder, *folder.rglob("*")]:
        os.lchown(path, *owner)


def users_program(folder: Path, marker: Path) -> Path:
    """A program that, were it ever started, would note who ran it."""
    program = folder / "bin" / "host"
    program.parent.mkdir(parents=True)
    program.write_text(f"#!/bin/sh\nid > {marker}\n", encoding="utf-8")
    program.chmod(0o755)
    return program


def manifest_naming(path: Path, program: Path, **fields) -> Path:
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(json.dumps({
        "name": path.stem, "description": "d", "path": str(program), "type": "stdio",
        "allowed_origins": [f"chrome-extension://{CHROMIUM_ID}/"], **fields}), encoding="utf-8")
    return path


def check_as_root(register_tool, root_home: Path, env: dict, *arguments):
    root_home.mkdir(exist_ok=True)
    env = {key: value for key, value in os.environ.items() if not key.startswith("XDG_")} | env
    result = subprocess.run(with_root_home([str(register_tool), "check", *arguments], root_home),
                            env=env, capture_output=True, text=True, timeout=120)
    return result.returncode, result.stdout + result.stderr


def test_root_reads_its_own_home_and_leaves_the_users_files_alone(register_tool, host, tmp_path,
                                                                  other_user):
    """sudo -E keeps a user's HOME and XDG folders. Root's check must neither
    read the user's manifest nor start the user's program, and its start of
    root's own host must make no file of root's among the user's (such as
    the key folder below XDG_DATA_HOME)."""
    user_home, marker = tmp_path / "ann", tmp_path / "ran"
    manifest_naming(manifest_file(user_home), users_program(user_home, marker))
    hand_over(user_home, other_user)
    root_home = tmp_path / "root"
    write_manifest(root_home, default_path=str(host))
    code, out = check_as_root(register_tool, root_home, {
        "HOME": str(user_home), "XDG_CONFIG_HOME": str(user_home / ".config"),
        "XDG_DATA_HOME": str(user_home / ".local/share")}, "--browser", "chromium")
    assert code == 0, out
    assert step(out, "chromium", "manifest")[0] == \
        f"chromium: manifest: ok: {manifest_file(root_home)}"
    assert step(out, "chromium", "start")[0].startswith("chromium: start: ok: ")
    assert not marker.exists()
    assert str(user_home) not in out  # neither looked at nor quoted
    assert [path for path in user_home.rglob("*") if path.lstat().st_uid == 0] == []


@pytest.mark.parametrize("manifest_kind, owners_folder", [
    ("the user's own", "profile"),
    ("the user's link to a root-only file", "profile"),
    ("root's link to the user's manifest", "ann")])
def test_root_reads_no_manifest_that_another_user_can_change(register_tool, tmp_path, other_user,
                                                             manifest_kind, owners_folder):
    name = f"org.corvantilhub.trust_{os.getpid()}"
    profile, user_folder, marker = tmp_path / "profile", tmp_path / "ann", tmp_path / "ran"
    manifest = profile / "NativeMessagingHosts" / f"{name}.json"
    users_manifest = manifest_naming(user_folder / f"{name}.json",
                                     users_program(user_folder, marker))
    secret = manifest_naming(tmp_path / "secret.json", Path("/nowhere"), name="s3cr3t")
    secret.chmod(0o600)
    if manifest_kind == "the user's own":
        manifest_naming(manifest, user_folder / "bin" / "host")
    else:
        manifest.parent.mkdir(parents=True)
        manifest.symlink_to(secret if "root-only" in manifest_kind else users_manifest)
    hand_over(user_folder, other_user)
    if owners_folder == "profile":
        hand_over(profile, other_user)
    code, out = check_as_root(register_tool, tmp_path / "root", {}, "--browser", "chromium",
                              "--name", name, "--user-data-dir", str(profile))
    assert code == 1
    assert not marker.exists()
    assert "s3cr3t" not in out and str(user_folder / "bin") not in out
    assert step(out, "chromium", "start") == [
        "chromium: start: FAILED: not probed: the manifest was not read: "
        f"{tmp_path / owners_folder} belongs to nobody (uid {other_user[0]})",
        "fix: as root, check reads and starts only files that no other user can change: make "
        "them root's and not writable by group or others, or run check as the user who runs "
        "the browser"]


@pytest.mark.parametrize("change, objection", [
    ("the program is the user's", "{ann} belongs to nobody (uid {uid})"),
    ("a library beside the host is the user's",
     "{copy}/libTollgatelink.so belongs to nobody (uid {uid})"),
    ("anyone may write the host", "{copy}/Corvantilhub may be written by anyone"),
    ("anyone may write the host's folder", "{copy} may be written by anyone"),
    # /tmp keeps root's entries, not a user's link to root's host.
    ("the host is a link of the user's in /tmp", "/tmp may be written by anyone")])
def test_root_starts_no_host_that_another_user_can_change(register_tool, host, tmp_path,
                                                          other_user, change, objection):
    name = f"org.corvantilhub.trust_{os.getpid()}"
    user_folder, copy, marker = tmp_path / "ann", tmp_path / "copy", tmp_path / "ran"
    program = users_program(user_folder, marker)
    hand_over(user_folder, other_user)
    shutil.copytree(host.parent, copy, ignore=lambda folder, names: [
        entry for entry in names if not entry.startswith(("Corvantilhub", "lib"))])
    if change.startswith("a library"):
        os.chown(copy / "libTollgatelink.so", *other_user)
    elif change == "anyone may write the host":
        (copy / "Corvantilhub").chmod(0o777)
    elif change == "anyone may write the host's folder":
        copy.chmod(0o777)
    named = {"the program is the user's": program,
             "the host is a link of the user's in /tmp": Path(f"/tmp/{name}")}.get(
                 change, copy / "Corvantilhub")
    manifest_naming(tmp_path / "profile" / "NativeMessagingHosts" / f"{name}.json", named)
    if named.parent == Path("/tmp"):
        named.symlink_to(copy / "Corvantilhub")
        os.lchown(named, *other_user)
    try:
        code, out = check_as_root(register_tool, tmp_path / "root", {}, "--browser", "chromium",
                                  "--name", name, "--user-data-dir", str(tmp_path / "profile"))
    finally:
        Path(f"/tmp/{name}").unlink(missing_ok=True)
    assert code == 1
    assert not marker.exists()
    assert step(out, "chromium", "start")[0] == "chromium: start: FAILED: not probed: " + \
        objection.format(ann=user_folder, copy=copy, uid=other_user[0])
