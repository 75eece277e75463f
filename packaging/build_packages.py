#!/usr/bin/env python3
"""Builds the installable packages from a configured and built tree.

    packaging/build_packages.py msi --build build/windows --out dist
    packaging/build_packages.py deb --build build/native-release --out dist

The build's package-info.json (written by CMake) gives the version, the
libraries to ship, the extension IDs that the manifests allow and the help
link. --version replaces the version, for tests that need a second, newer
package. The MSI and the Windows files we build are signed when the
environment names a key (see authenticode.py).
"""
import argparse
import gzip
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import uuid
from pathlib import Path

import authenticode

PACKAGING_DIR = Path(__file__).resolve().parent
HOST_NAME = "com.corvantilhub.host"
HOST_DESCRIPTION = "Corvantilhub single-sign-on agent host"
RECORD_NAME = "corvantilhub-package.json"
# The namespace of the per-version MSI product codes; never change it.
PRODUCT_CODE_NAMESPACE = uuid.UUID("3f1c9a52-8d47-4b0e-a6c3-5e2d7f9b1c08")

CHROMIUM_ID = re.compile(r"^[a-p]{32}$")
FIREFOX_ID = re.compile(r"^(\{[0-9a-fA-F]{8}(-[0-9a-fA-F]{4}){3}-[0-9a-fA-F]{12}\}"
                        r"|[A-Za-z0-9._+-]+@[A-Za-z0-9._+-]+)$")
VERSION = re.compile(r"^\d+\.\d+\.\d+$")

DEB_LIB_DIR = "usr/lib/corvantilhub"
# Every manifest is a configuration file here, which dpkg keeps when an
# administrator has edited it; each browser's folder links to its own.
DEB_CONFIG_DIR = "etc/corvantilhub"
DEB_MANIFEST_DIRS = {  # browser -> folder of its system-wide manifests
    "chromium": "etc/chromium/native-messaging-hosts",
    "chrome": "etc/opt/chrome/native-messaging-hosts",
    "edge": "etc/opt/edge/native-messaging-hosts",
    "firefox": "usr/lib/mozilla/native-messaging-hosts",
}


class PackageError(Exception):
    pass


class BuildInfo:
    """What CMake decided for the packages of one build tree."""

    def __init__(self, build_dir: Path, version: str = None):
        info_path = build_dir / "package-info.json"
        if not info_path.is_file():
            raise PackageError(f"{info_path} is missing; configure and build {build_dir} first")
        info = json.loads(info_path.read_text(encoding="utf-8"))
        self.version = version or info["version"]
        self.bin_dir = Path(info["bin_dir"])
        self.chromium_ids = info["chromium_extension_ids"]
        self.firefox_ids = info["firefox_addon_ids"]
        self.help_url = info["help_url"]
        self.real_libraries = {"Harrowmere64": info["harrowmere_library"],
                               "Tollgatelink": info["tollgatelink_library"]}
        self._check()

    def _check(self):
        if not VERSION.match(self.version):
            raise PackageError(f"version {self.version!r} is not major.minor.patch")
        if not self.chromium_ids or not self.firefox_ids:
            raise PackageError("the packages need at least one Chromium extension ID "
                               "and one Firefox add-on ID")
        for bad in [i for i in self.chromium_ids if not CHROMIUM_ID.match(i)]:
            raise PackageError(f"{bad!r} is not a Chromium extension ID (32 letters a-p)")
        for bad in [i for i in self.firefox_ids if not FIREFOX_ID.match(i)]:
            raise PackageError(f"{bad!r} is not a Firefox add-on ID")

    @property
    def stand_ins(self) -> bool:
        """True when either closed library is our stand-in."""
        return not all(self.real_libraries.values())

    def is_ours(self, name: str) -> bool:
        """True when the closed library `name` is our stand-in, built here."""
        return not self.real_libraries[name]

    def library(self, name: str, file_name: str) -> Path:
        """The file to ship for one closed library: the real one if given."""
        path = Path(self.real_libraries[name] or self.bin_dir / file_name)
        if not path.is_file():
            raise PackageError(f"{name} library not found at {path}")
        return path

    def binary(self, file_name: str) -> Path:
        path = self.bin_dir / file_name
        if not path.is_file():
            raise PackageError(f"{path} not found; build it first")
        return path

    def description(self) -> str:
        if self.stand_ins:
            return (f"Corvantilhub {self.version}, with STAND-IN agent and designer "
                    "libraries (for testing, not the agent's own)")
        return f"Corvantilhub {self.version}"


def manifest_json(info: BuildInfo, host_path: str, chromium_family: bool) -> str:
    manifest = {"name": HOST_NAME, "description": HOST_DESCRIPTION,
                "path": host_path, "type": "stdio"}
    if chromium_family:
        manifest["allowed_origins"] = [f"chrome-extension://{i}/" for i in info.chromium_ids]
    else:
        manifest["allowed_extensions"] = list(info.firefox_ids)
    return json.dumps(manifest, indent=2) + "\n"


def package_record(info: BuildInfo, kind: str) -> str:
    """corvantilhub-package.json, which the package installs beside the
    registration tool: `check` names the package's extensions and stand-ins
    from it and knows how to repair the package's registrations."""
    record = {"kind": kind, "name": "corvantilhub", "version": info.version,
              "chromium_extension_ids": list(info.chromium_ids),
              "firefox_addon_ids": list(info.firefox_ids), "stand_ins": info.stand_ins}
    if kind == "msi":
        record["product_code"] = "{" + product_code(info.version) + "}"
    return json.dumps(record, indent=2) + "\n"


# Windows installer.

def product_code(version: str) -> str:
    """Fixed per version: the same version installed twice is one product."""
    return str(uuid.uuid5(PRODUCT_CODE_NAMESPACE, f"Corvantilhub {version}")).upper()


def build_msi(info: BuildInfo, out_dir: Path, signer=None) -> Path:
    """The MSI; with a signer, the package and every Windows file we built
    are signed, while a vendor's library goes in as the vendor made it."""
    out = out_dir / f"Corvantilhub-{info.version}-x64.msi"
    with tempfile.TemporaryDirectory(prefix="corvantilhub-msi-") as temp:
        stage = Path(temp)
        stage_msi_files(info, stage, signer)
        size_kib = sum((p.stat().st_size + 1023) // 1024 for p in stage.iterdir())
        defines = {"Version": info.version, "ProductCode": product_code(info.version),
                   "Description": info.description(), "HelpLink": info.help_url,
                   "Size": str(size_kib)}
        # Made in the stage, so that no unsigned package is left in out_dir
        # when signing fails.
        msi = stage / out.name
        command = ["wixl", "--arch", "x64", "-o", str(msi)]
        for name, value in defines.items():
            command += ["-D", f"{name}={value}"]
        # wixl takes the files' sources relative to its working folder.
        run(command + [str(PACKAGING_DIR / "windows" / "Corvantilhub.wxs")], cwd=stage)
        if signer:
            signer.sign(msi, f"Corvantilhub {info.version}", info.help_url)
        shutil.move(msi, out)
    return out


def stage_msi_files(info: BuildInfo, stage: Path, signer) -> None:
    ours = [Path(shutil.copy(info.binary(name), stage / name))
            for name in ("Corvantilhub.exe", "corvantilhub-register.exe")]
    for name in ("Harrowmere64", "Tollgatelink"):
        staged = Path(shutil.copy(info.library(name, f"{name}.dll"), stage / f"{name}.dll"))
        if info.is_ours(name):
            ours.append(staged)
        elif signer and not authenticode.is_signed(staged):
            print(f"build_packages: warning: the {name} library is not signed; "
                  "machines that allow only signed code will refuse it", file=sys.stderr)
    for path in ours:
        authenticode.fix_pe_checksum(path)
        if signer:
            signer.sign(path, "Corvantilhub", info.help_url)
    # The host beside the manifests: a relative path, which both browser
    # families resolve against the manifest's folder on Windows.
    (stage / f"{HOST_NAME}-chromium.json").write_text(
        manifest_json(info, "Corvantilhub.exe", True), encoding="utf-8")
    (stage / f"{HOST_NAME}-firefox.json").write_text(
        manifest_json(info, "Corvantilhub.exe", False), encoding="utf-8")
    (stage / RECORD_NAME).write_text(package_record(info, "msi"), encoding="utf-8")


# Debian package.

def build_deb(info: BuildInfo, out_dir: Path) -> Path:
    out = out_dir / f"corvantilhub_{info.version}_amd64.deb"
    with tempfile.TemporaryDirectory(prefix="corvantilhub-deb-") as temp:
        # dpkg-shlibdeps wants a source tree: debian/control beside the
        # package's root in debian/<package>.
        source = Path(temp)
        (source / "debian").mkdir()
        (source / "debian" / "control").write_text(
            "Source: corvantilhub\n\nPackage: corvantilhub\nArchitecture: amd64\n")
        root = source / "debian" / "corvantilhub"
        stage_deb_files(info, root)
        depends = shlib_depends(source, root)
        write_control(info, root, depends)
        out_dir.mkdir(parents=True, exist_ok=True)
        run(["dpkg-deb", "--root-owner-group", "-Zxz", "--build", str(root), str(out)])
    return out


def stage_deb_files(info: BuildInfo, root: Path) -> None:
    lib_dir = root / DEB_LIB_DIR
    install(info.binary("Corvantilhub"), lib_dir / "Corvantilhub", 0o755)
    for name in ("Harrowmere64", "Tollgatelink"):
        install(info.library(name, f"lib{name}.so"), lib_dir / f"lib{name}.so", 0o644)
    # The registration tool lives beside the host, where it looks for it by
    # default; /usr/bin holds a link to it.
    install(info.binary("corvantilhub-register"), lib_dir / "corvantilhub-register", 0o755)
    write_file(lib_dir / RECORD_NAME, package_record(info, "deb"))
    (root / "usr/bin").mkdir(parents=True, exist_ok=True)
    os.symlink("../lib/corvantilhub/corvantilhub-register", root / "usr/bin/corvantilhub-register")
    install(info.binary("corvantilhub-debug-monitor"),
            root / "usr/bin/corvantilhub-debug-monitor", 0o755)

    for tool in ("corvantilhub-register", "corvantilhub-debug-monitor"):
        page = (PACKAGING_DIR / "debian" / f"{tool}.1").read_text(encoding="utf-8")
        write_gzip(root / "usr/share/man/man1" / f"{tool}.1.gz", page)

    host = f"/{DEB_LIB_DIR}/Corvantilhub"
    for browser, folder in DEB_MANIFEST_DIRS.items():
        manifest = f"{DEB_CONFIG_DIR}/{browser}/{HOST_NAME}.json"
        write_file(root / manifest, manifest_json(info, host, browser != "firefox"))
        link = f"{folder}/{HOST_NAME}.json"
        (root / folder).mkdir(parents=True, exist_ok=True)
        os.symlink(link_target(link, manifest), root / link)

    doc = root / "usr/share/doc/corvantilhub"
    install(PACKAGING_DIR / "debian" / "copyright", doc / "copyright", 0o644)
    changelog = (PACKAGING_DIR / "debian" / "changelog.in").read_text(encoding="utf-8")
    write_gzip(doc / "changelog.gz", changelog.replace("@VERSION@", info.version))
    for path in root.rglob("*"):
        if path.is_dir():
            path.chmod(0o755)


def install(source: Path, target: Path, mode: int) -> None:
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(source, target)
    target.chmod(mode)
    if is_elf(target):
        # As Debian's own packages do: no symbols and no build notes.
        run(["strip", "--strip-unneeded", "--remove-section=.comment",
             "--remove-section=.note", str(target)])


def link_target(link: str, target: str) -> str:
    """As Debian wants it: relative within one top-level folder, absolute
    across two. Both paths are relative to the package's root."""
    if link.split("/")[0] != target.split("/")[0]:
        return "/" + target
    return os.path.relpath(target, os.path.dirname(link))


def is_elf(path: Path) -> bool:
    with open(path, "rb") as file:
        return file.read(4) == b"\x7fELF"


def write_file(path: Path, text: str) -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text, encoding="utf-8")
    path.chmod(0o644)


def write_gzip(path: Path, text: str) -> None:
    """Reproducible: no file name or time stamp in the header."""
    path.parent.mkdir(parents=True, exist_ok=True)
    with open(path, "wb") as raw, gzip.GzipFile(filename="", mode="wb", fileobj=raw,
                                                compresslevel=9, mtime=0) as packed:
        packed.write(text.encode("utf-8"))
    path.chmod(0o644)


def shlib_depends(source: Path, root: Path) -> str:
    """The Depends line that the ELF files need (libc, libstdc++, libsodium...)."""
    elf_files = [str(p) for p in sorted(root.rglob("*"))
                 if p.is_file() and not p.is_symlink() and is_elf(p)]
    result = run(["dpkg-shlibdeps", "-O", f"-l{root / DEB_LIB_DIR}", *elf_files],
                 cwd=source, capture=True)
    for line in result.splitlines():
        if line.startswith("shlibs:Depends="):
            return line.split("=", 1)[1]
    raise PackageError(f"dpkg-shlibdeps named no dependencies:\n{result}")


def write_control(info: BuildInfo, root: Path, depends: str) -> None:
    files = [p for p in root.rglob("*") if p.is_file() and not p.is_symlink()]
    size_kib = sum((p.stat().st_size + 1023) // 1024 for p in files)
    control = root / "DEBIAN"
    control.mkdir(mode=0o755)
    template = (PACKAGING_DIR / "debian" / "control.in").read_text(encoding="utf-8")
    stand_in_note = ((PACKAGING_DIR / "debian" / "stand-ins.txt").read_text(encoding="utf-8")
                     if info.stand_ins else "")
    write_file(control / "control",
               template.replace("@VERSION@", info.version).replace("@DEPENDS@", depends)
               .replace("@INSTALLED_SIZE@", str(size_kib))
               .replace("@STAND_INS@\n", stand_in_note))
    etc_files = sorted("/" + str(p.relative_to(root)) for p in files
                       if p.relative_to(root).parts[0] == "etc")
    write_file(control / "conffiles", "".join(f"{f}\n" for f in etc_files))
    sums = "".join(f"{hashlib.md5(p.read_bytes()).hexdigest()}  {p.relative_to(root)}\n"
                   for p in sorted(files))
    write_file(control / "md5sums", sums)


def run(command, cwd=None, capture=False) -> str:
    result = subprocess.run(command, cwd=cwd, text=True, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise PackageError(f"{' '.join(command)} failed:\n{result.stdout}")
    return result.stdout if capture else ""


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("kind", choices=("msi", "deb"))
    parser.add_argument("--build", required=True, type=Path, help="the CMake build folder")
    parser.add_argument("--out", default=Path("dist"), type=Path, help="where the package goes")
    parser.add_argument("--version", help="instead of the project version (tests of upgrades)")
    options = parser.parse_args(argv)
    try:
        info = BuildInfo(options.build.resolve(), options.version)
        options.out.mkdir(parents=True, exist_ok=True)
        if options.kind == "msi":
            package = build_msi(info, options.out.resolve(), authenticode.Signer.from_environment())
        else:
            package = build_deb(info, options.out.resolve())
    except (PackageError, authenticode.SigningError) as error:
        print(f"build_packages: {error}", file=sys.stderr)
        return 1
    print(package)
    return 0


if __name__ == "__main__":
    sys.exit(main())
