"""The MSI, installed for real by Wine's msiexec in a fresh prefix.

One prefix serves the whole file, and the tests run in its order: a silent
install; the files, manifests and registry keys it made; the installed host,
started through the path that the registry and the manifest give; the same
version installed again; a newer build installed over it, and the older
one refused after that; a silent removal that must leave nothing of ours
behind.

The first package is signed with a throw-away key, as `./run.sh package`
signs when the environment names one, and carries an agent library that its
vendor signed; the newer package is not signed.
"""
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import time
from pathlib import Path, PureWindowsPath

import pytest

import build_packages
from corvantilhub_harness.host_process import HostProcess, StandinSettings
from corvantilhub_harness.runners import WINE, WineRunner
from pe_file import PeFile

INSTALL_DIR = PureWindowsPath(r"C:\Program Files\Corvantilhub")
HOST_NAME = "com.corvantilhub.host"
CHROMIUM_MANIFEST = f"{HOST_NAME}-chromium.json"
FIREFOX_MANIFEST = f"{HOST_NAME}-firefox.json"
INSTALLED_FILES = {"Corvantilhub.exe", "corvantilhub-register.exe", "Harrowmere64.dll",
                   "Tollgatelink.dll", CHROMIUM_MANIFEST, FIREFOX_MANIFEST,
                   "corvantilhub-package.json"}
VENDOR_KEYS = {  # registry key of each browser's machine-wide hosts -> manifest
    r"HKLM\Software\Google\Chrome\NativeMessagingHosts": CHROMIUM_MANIFEST,
    r"HKLM\Software\Chromium\NativeMessagingHosts": CHROMIUM_MANIFEST,
    r"HKLM\Software\Microsoft\Edge\NativeMessagingHosts": CHROMIUM_MANIFEST,
    r"HKLM\Software\Mozilla\NativeMessagingHosts": FIREFOX_MANIFEST,
}
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
# Windows Error Reporting leaves the host out, so no crash dump holds its memory.
WER_EXCLUSIONS = r"HKLM\Software\Microsoft\Windows\Windows Error Reporting\ExcludedApplications"
RT_VERSION = 16
SIGN_PASSWORD = "throw-away \"pass\" word"
MARK = "@@corvantilhub-reg"
MSIEXEC_SECONDS = 600
STARTS = 4  # tries to start one Wine program


class Prefix:
    """A fresh Wine prefix and the Windows tools run in it."""

    def __init__(self, path: Path):
        # No build folder: every program run here comes from the MSI.
        self.runner = WineRunner(Path("/nonexistent"), path)
        self.env = self.runner.environment(path)
        self.env["WINEDEBUG"] = "-all"

    def run(self, *args, timeout=300) -> subprocess.CompletedProcess:
        # Now and then, on a busy machine, Wine fails to start a program at
        # all ("ShellExecuteEx failed"); nothing has run then, so it is
        # started again.
        for _ in range(STARTS):
            result = subprocess.run([WINE, *args], env=self.env, capture_output=True, text=True,
                                    errors="replace", timeout=timeout)
            if "ShellExecuteEx failed" not in result.stdout + result.stderr:
                break
            time.sleep(1)
        return result

    def msiexec(self, action: str, msi: Path) -> None:
        result = self.run("msiexec", action, self.runner.host_path(msi), "/qn",
                          timeout=MSIEXEC_SECONDS)
        assert result.returncode == 0, f"msiexec {action}: {result.returncode}\n{result.stderr}"

    def registry(self, keys, view: str = "64") -> dict:
        """For each key in one registry view: None when it is missing, else
        its default value ("" when it has none). One cmd runs every query,
        since each Wine program takes a while to start."""
        keys = list(keys)
        queries = [f"reg query {key} /reg:{view} & echo {MARK} !errorlevel! {i}"
                   for i, key in enumerate(keys)]
        output = self.run("cmd", "/v:on", "/c", " & ".join(queries)).stdout
        found, lines = {}, []
        for line in output.splitlines():
            mark = re.match(rf"^{MARK} (\d+) (\d+)$", line.strip())
            if not mark:
                lines.append(line)
                continue
            key = keys[int(mark.group(2))]
            default = re.search(r"^\s*\(Default\)\s+REG_SZ\s+(.*?)\s*$", "\n".join(lines), re.M)
            found[key] = (default.group(1) if default else "") if mark.group(1) == "0" else None
            lines = []
        assert set(found) == set(keys), output
        return found

    def values(self, key: str, view: str = "64") -> dict:
        """The named values of one key: name -> data as `reg` prints it."""
        output = self.run("reg", "query", key, f"/reg:{view}").stdout
        return {name: data for name, data in
                re.findall(r"^ {4}(\S.*?) {4}REG_\w+(?: {4}(.*?))?\s*$", output, re.M)}

    def dword(self, key: str, name: str, view: str = "64"):
        """A REG_DWORD value in one registry view, or None when it is missing."""
        data = self.values(key, view).get(name)
        return int(data, 16) if data is not None else None

    def existing(self, keys, view: str = "64") -> set:
        return {key for key, value in self.registry(keys, view).items() if value is not None}

    def unix_path(self, windows_path) -> Path:
        path = PureWindowsPath(windows_path)
        assert path.drive.upper() == "C:", path
        return Path(self.runner.prefix_dir, "drive_c", *path.parts[1:])


class InstalledHostRunner(WineRunner):
    """Starts a host by its Windows path, as a browser would (the path holds
    a space, which the harness's cmd wrapper can't take)."""

    def __init__(self, prefix: Prefix, windows_host: str):
        self.__dict__.update(prefix.runner.__dict__)
        self.windows_host = windows_host

    def command(self, executable: Path) -> list:
        return [WINE, self.windows_host]


def code_signing_key(folder: Path, name: str) -> dict:
    """A throw-away self-signed code-signing certificate and its PKCS#12 file."""
    folder.mkdir()
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", f"/CN={name}", "-keyout", "key.pem", "-out", "cert.pem",
                    "-addext", "keyUsage=critical,digitalSignature",
                    "-addext", "extendedKeyUsage=codeSigning"],
                   cwd=folder, check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", "key.pem", "-in", "cert.pem",
                    "-out", "key.pfx", "-passout", "env:SIGN_PASSWORD"],
                   cwd=folder, check=True, capture_output=True,
                   env={**os.environ, "SIGN_PASSWORD": SIGN_PASSWORD})
    return {"certificate": folder / "cert.pem", "pfx": folder / "key.pfx"}


def signing_environment(key: dict, **more) -> dict:
    return {**os.environ, "CORVANTILHUB_SIGN_PFX": str(key["pfx"]),
            "CORVANTILHUB_SIGN_PASSWORD": SIGN_PASSWORD, **more}


def verified(path: Path, certificate: Path) -> str:
    """osslsigncode's verdict on one signed file, with a right PE checksum."""
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", str(certificate),
                             "-in", str(path)], capture_output=True, text=True)
    assert result.returncode == 0, f"{path.name}:\n{result.stdout}{result.stderr}"
    return result.stdout


def right_pe_checksum(verify_output: str) -> bool:
    """What osslsigncode's verify printed of a PE file's checksum, signed or not."""
    return ("PE checksum" in verify_output
            and not re.search("MISMATCH|invalid PE checksum", verify_output))


def unsigned_verify_output(path: Path) -> str:
    return subprocess.run(["osslsigncode", "verify", "-in", str(path)],
                          capture_output=True, text=True).stdout


@pytest.fixture(scope="module")
def keys(tmp_path_factory) -> dict:
    for tool in ("openssl", "osslsigncode"):
        if shutil.which(tool) is None:
            pytest.skip(f"{tool} is missing (Debian package {tool})")
    folder = tmp_path_factory.mktemp("keys")
    return {"ours": code_signing_key(folder / "ours", "Corvantilhub test signing"),
            "vendor": code_signing_key(folder / "vendor", "Agent vendor test signing")}


@pytest.fixture(scope="module")
def vendor_agent(windows_build, keys, tmp_path_factory) -> Path:
    """The stand-in agent library as if its vendor had signed it."""
    signed = tmp_path_factory.mktemp("vendor") / "Harrowmere64.dll"
    subprocess.run(["osslsigncode", "sign", "-pkcs12", str(keys["vendor"]["pfx"]),
                    "-pass", SIGN_PASSWORD, "-h", "sha256", "-in",
                    str(windows_build / "bin" / "Harrowmere64.dll"), "-out", str(signed)],
                   check=True, capture_output=True)
    return signed


def build_msi_command(build: Path, out: Path, env: dict) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, build_packages.__file__,
                           "msi", "--build", str(build), "--out", str(out)],
                          capture_output=True, text=True, env=env)


@pytest.fixture(scope="module")
def windows_build(request) -> Path:
    if shutil.which("wixl") is None:
        pytest.skip("wixl is missing (Debian package wixl)")
    if not Path(WINE).is_file():
        pytest.skip(f"Wine is missing ({WINE})")
    build = Path(request.config.getoption("--build")).resolve()
    if not (build / "bin" / "Corvantilhub.exe").is_file():
        pytest.skip(f"no Windows build in {build}; build the windows preset first")
    return build


@pytest.fixture(scope="module")
def msis(windows_build, keys, vendor_agent, tmp_path_factory) -> dict:
    """The project version's MSI, signed and with the vendor's agent library,
    and a newer one made from the same build, unsigned."""
    version = json.loads((windows_build / "package-info.json").read_text(encoding="utf-8"))["version"]
    major, minor, patch = map(int, version.split("."))
    newer = f"{major}.{minor}.{patch + 1}"
    out = tmp_path_factory.mktemp("msi")
    # The build's package settings, with the vendor's agent library to ship.
    settings = tmp_path_factory.mktemp("settings")
    info = json.loads((windows_build / "package-info.json").read_text(encoding="utf-8"))
    info["harrowmere_library"] = str(vendor_agent)
    (settings / "package-info.json").write_text(json.dumps(info), encoding="utf-8")
    result = build_msi_command(settings, out, signing_environment(keys["ours"]))
    assert result.returncode == 0, result.stderr
    built = {"current": (version, Path(result.stdout.strip())),
             "newer": (newer, build_packages.build_msi(
                 build_packages.BuildInfo(windows_build, newer), out))}
    assert built["current"][1].name == f"Corvantilhub-{version}-x64.msi"
    return built


@pytest.mark.parametrize("settings, complaint", [
    ({"CORVANTILHUB_SIGN_TIMESTAMP_URL": "http://127.0.0.1:9/"}, "timestamping failed"),
    ({"CORVANTILHUB_SIGN_PASSWORD": "not the password"}, "signing Corvantilhub.exe failed"),
    ({"CORVANTILHUB_SIGN_PFX": ""}, "signing needs both CORVANTILHUB_SIGN_PFX"),
])
def test_signing_that_fails_leaves_no_package(windows_build, keys, tmp_path, settings, complaint):
    """A package that should be signed but can't be is no package at all."""
    result = build_msi_command(windows_build, tmp_path, signing_environment(keys["ours"], **settings))
    assert result.returncode == 1 and complaint in result.stderr, result.stderr
    assert list(tmp_path.iterdir()) == []


def test_package_says_it_carries_stand_ins(msis):
    """The summary that installers and administrators see names the stand-ins."""
    for _, msi in msis.values():
        assert b"STAND-IN agent and designer libraries" in msi.read_bytes()


@pytest.fixture(scope="module")
def prefix(msis, tmp_path_factory):
    prefix = Prefix(tmp_path_factory.mktemp("wine") / "prefix")
    yield prefix
    prefix.runner.close()
    shutil.rmtree(prefix.runner.prefix_dir, ignore_errors=True)  # hundreds of megabytes


@pytest.fixture(scope="module")
def installed(prefix, msis):
    """The current MSI installed; every key that existed before is noted, so
    that removal can be checked against it. The module removes the product
    at its end, whatever happened."""
    keys_before = prefix.existing(vendor_key_paths())
    try:
        prefix.msiexec("/i", msis["current"][1])
        yield {"keys_before": keys_before}
    finally:
        for _, msi in msis.values():
            prefix.run("msiexec", "/x", prefix.runner.host_path(msi), "/qn",
                       timeout=MSIEXEC_SECONDS)


def vendor_key_paths() -> set:
    """Every key on the way to the vendor keys below HKLM\\Software."""
    paths = set()
    for key in VENDOR_KEYS:
        parts = key.split("\\")
        paths |= {"\\".join(parts[:end]) for end in range(3, len(parts) + 1)}
    return paths


def uninstall_key(version: str) -> str:
    return f"{UNINSTALL_KEY}\\{{{build_packages.product_code(version)}}}"


def install_dir(prefix) -> Path:
    return prefix.unix_path(INSTALL_DIR)


def settled(read, expected, seconds=60):
    """What `read` returns once it equals `expected`, or at the deadline."""
    deadline = time.monotonic() + seconds
    while True:
        value = read()
        if value == expected or time.monotonic() > deadline:
            return value
        time.sleep(1)


def check_installation(prefix, msis, version_name):
    """Files, manifests and keys as the installed version must have them."""
    folder = install_dir(prefix)
    assert {p.name for p in folder.iterdir()} == INSTALLED_FILES
    host_keys = {f"{key}\\{HOST_NAME}": str(INSTALL_DIR / manifest)
                 for key, manifest in VENDOR_KEYS.items()}
    # Wine's installer may still be writing a moment after msiexec returns
    # (seen once in a loaded test run), so the keys are waited for.
    assert settled(lambda: prefix.registry(host_keys), host_keys) == host_keys
    # Written to the 64-bit view only, where 64-bit browsers look.
    assert prefix.existing(host_keys, view="32") == set()
    version, _ = msis[version_name]
    # The Add/Remove Programs entry. Wine shows the size as "Size" and leaves
    # "EstimatedSize" at 0, where Windows fills it in.
    entry = prefix.values(uninstall_key(version))
    size_kib = sum((path.stat().st_size + 1023) // 1024 for path in folder.iterdir())
    assert {name: entry.get(name) for name in ("HelpLink", "URLInfoAbout", "InstallLocation",
                                               "NoModify", "Size", "Comments")} == {
        "HelpLink": "https://corvantilhub.example/help",
        "URLInfoAbout": "https://corvantilhub.example/help",
        "InstallLocation": f"{INSTALL_DIR}\\", "NoModify": "0x1", "Size": str(size_kib),
        "Comments": f"Corvantilhub {version}, with STAND-IN agent and designer libraries "
                    "(for testing, not the agent's own)"}, entry
    assert prefix.dword(WER_EXCLUSIONS, "Corvantilhub.exe") == 1


def test_install_puts_files_manifests_and_keys_in_place(prefix, msis, installed):
    check_installation(prefix, msis, "current")
    folder = install_dir(prefix)
    chromium = json.loads((folder / CHROMIUM_MANIFEST).read_text(encoding="utf-8"))
    firefox = json.loads((folder / FIREFOX_MANIFEST).read_text(encoding="utf-8"))
    for manifest in (chromium, firefox):
        assert manifest["name"] == HOST_NAME and manifest["type"] == "stdio"
        assert manifest["path"] == "Corvantilhub.exe"  # relative to the manifest
    assert chromium["allowed_origins"] == ["chrome-extension://eipcjlpengcbafdfnolahlhjnijkabfh/"]
    assert firefox["allowed_extensions"] == ["session-test@corvantilhub.example"]


def test_package_and_installed_files_carry_our_signature(msis, keys, vendor_agent, installed,
                                                        prefix):
    """Every Windows file we built, and the package, verify against our key,
    with a right PE checksum; the vendor's library is installed untouched."""
    ours = keys["ours"]["certificate"]
    assert "Text description: Corvantilhub" in verified(msis["current"][1], ours)
    folder = install_dir(prefix)
    for name in ("Corvantilhub.exe", "corvantilhub-register.exe", "Tollgatelink.dll"):
        assert right_pe_checksum(verified(folder / name, ours)), name
    assert (folder / "Harrowmere64.dll").read_bytes() == vendor_agent.read_bytes()


def file_version(path: Path) -> str:
    """The file version in a PE file's version resource (VS_FIXEDFILEINFO)."""
    [(_, _, data)] = PeFile(path).resources(RT_VERSION)
    fixed = data.index(struct.pack("<I", 0xFEEF04BD))
    most, least = struct.unpack_from("<II", data, fixed + 8)
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}"


def test_installed_programs_and_libraries_carry_the_version(prefix, msis, installed):
    folder = install_dir(prefix)
    for name in ("Corvantilhub.exe", "corvantilhub-register.exe", "Harrowmere64.dll",
                 "Tollgatelink.dll"):
        assert file_version(folder / name) == msis["current"][0], name


def test_installed_host_answers_through_the_registered_path(prefix, installed, tmp_path):
    """What a browser does: the registry names the manifest, the manifest's
    relative path names the host beside it; the host answers a frame."""
    chrome_key = rf"HKLM\Software\Google\Chrome\NativeMessagingHosts\{HOST_NAME}"
    manifest_path = PureWindowsPath(prefix.registry([chrome_key])[chrome_key])
    manifest = json.loads(prefix.unix_path(manifest_path).read_text(encoding="utf-8"))
    windows_host = manifest_path.parent / manifest["path"]
    runner = InstalledHostRunner(prefix, str(windows_host))
    answer = "answer from the installed host: Grüße 🔑"
    host = HostProcess(runner, tmp_path / "host", StandinSettings.quiet(
        agent_script={"replies": {"OnDocumentComplete": [{"text": answer}]}}),
        executable=prefix.unix_path(windows_host))
    try:
        host.start()
        host.send({"tabID": "3", "type": "documentComplete",
                   "payload": {"url": "https://example.test/", "bTopLvlDoc": "true"}})
        host.frames.wait_for(lambda frame: frame.text == answer, what="the agent's answer")
        host.end()
    finally:
        host.kill()


def test_installed_check_names_the_package_and_repairs_its_registration(prefix, msis,
                                                                        installed):
    tool = str(INSTALL_DIR / "corvantilhub-register.exe")
    version = msis["current"][0]

    def check():
        return prefix.run(tool, "check", "--browser", "chrome")

    result = check()
    assert result.returncode == 0, result.stdout + result.stderr
    assert result.stdout.splitlines()[0] == (
        f"corvantilhub-register {version}, installed by corvantilhub {version} (MSI), with the "
        "STAND-IN agent and designer libraries (for testing, not the agent's own)")
    assert f"chrome: start: ok: Corvantilhub {version}: agent library loaded" in result.stdout
    chrome_key = rf"HKLM\Software\Google\Chrome\NativeMessagingHosts\{HOST_NAME}"

    def delete_key():  # Wine's reg now and then fails at once on a busy machine
        prefix.run("reg", "delete", chrome_key, "/reg:64", "/f")
        return prefix.existing([chrome_key])

    assert settled(delete_key, set()) == set()
    result = check()
    repair = (f"msiexec /i {{{build_packages.product_code(version)}}} REINSTALL=ALL "
              "REINSTALLMODE=amus /qn")
    assert result.returncode == 1
    assert (f"    fix: repair the package: as an administrator, run {repair}"
            in result.stdout.splitlines()), result.stdout
    # The advice works.
    assert prefix.run(*repair.split(), timeout=MSIEXEC_SECONDS).returncode == 0
    assert settled(lambda: check().returncode, 0) == 0


def test_same_version_again_keeps_one_installation(prefix, msis, installed):
    prefix.msiexec("/i", msis["current"][1])
    check_installation(prefix, msis, "current")


def test_newer_version_replaces_the_installed_one(prefix, msis, installed):
    prefix.msiexec("/i", msis["newer"][1])
    check_installation(prefix, msis, "newer")
    assert prefix.existing([uninstall_key(msis["current"][0])]) == set()
    # Unsigned, its files still have a right PE checksum.
    for name in ("Corvantilhub.exe", "corvantilhub-register.exe", "Harrowmere64.dll"):
        assert right_pe_checksum(unsigned_verify_output(install_dir(prefix) / name)), name


def test_older_version_is_refused(prefix, msis, installed):
    result = prefix.run("msiexec", "/i", prefix.runner.host_path(msis["current"][1]), "/qn",
                        timeout=MSIEXEC_SECONDS)
    assert result.returncode != 0
    check_installation(prefix, msis, "newer")


def test_removal_leaves_nothing_of_ours(prefix, msis, installed):
    prefix.msiexec("/x", msis["newer"][1])
    assert not install_dir(prefix).exists()
    ours = [f"{key}\\{HOST_NAME}" for key in VENDOR_KEYS]
    ours += [uninstall_key(version) for version, _ in msis.values()]
    # Keys on the way that were made only for us go too.
    ours += vendor_key_paths() - installed["keys_before"]
    assert prefix.existing(ours) == set()
    assert prefix.dword(WER_EXCLUSIONS, "Corvantilhub.exe") is None
