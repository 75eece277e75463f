"""The Windows folder: an installation holds the host and its two libraries
and nothing else, the programs are 64-bit PE files that need only Windows
system DLLs beside them, and the folder runs as it is under Wine."""
import subprocess
import xml.etree.ElementTree as ET

import pytest

from conftest import REPO_ROOT, WINE_RUN
from pe_file import PeFile, RT_MANIFEST

PLATFORM_SOURCES = "browser/src/BrowserBrokers/platform"
HOST = "Corvantilhub.exe"
AGENT_LIBRARY = "Harrowmere64.dll"
BRIDGE_LIBRARY = "Tollgatelink.dll"
# The one manifest id that Windows applies to a process started from the file.
CREATE_PROCESS_MANIFEST_ID = 1

# Libraries that every Windows installation has. Runtime DLLs of the
# compiler (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) are
# not among them: the runtimes are linked statically.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "crypt32.dll", "advapi32.dll",
               "user32.dll", "ntdll.dll", "bcrypt.dll"}

AGENT_FUNCTIONS = ["11wexkit_core18NotifyTriggerFired", "11wexkit_core19NotifyTriggerFailed",
                   "11wexkit_core18OnDocumentComplete", "11wexkit_core19OnBasicAuthRequired",
                   "11wexkit_core15SaveCredentials", "11wexkit_core12SendResponse",
                   "11wexkit_core11OnTabClosed", "12wexkit_utils11GetLogLevel",
                   "12wexkit_utils8WriteLog"]
BRIDGE_EXPORTS = {"GetInstance", "CreateThreadBroker", "SendMessageToSpindlecraft"}


def pe(folder, name):
    return PeFile(folder / name)


def foreign_imports(pe_file, allowed_beside=()):
    allowed = SYSTEM_DLLS | {name.lower() for name in allowed_beside}
    return {dll for dll in pe_file.imported_dlls()
            if dll.lower() not in allowed and not dll.lower().startswith("api-ms-win-")}


def run_host(folder, env):
    """Runs the host from `folder` with empty standard input."""
    return subprocess.run([str(WINE_RUN), str(folder / HOST)], input=b"", capture_output=True,
                          cwd=folder, env=env, timeout=300)


def test_installation_holds_the_host_and_its_two_libraries_only(installed):
    files = sorted(str(p.relative_to(installed)) for p in installed.rglob("*"))
    assert files == sorted([HOST, AGENT_LIBRARY, BRIDGE_LIBRARY])


class TestHostProgram:
    def test_is_a_64_bit_console_program(self, installed):
        host = pe(installed, HOST)
        assert host.file_format() == "pei-x86-64"
        assert "(PE32+)" in host.header_field("Magic")
        assert "(Windows CUI)" in host.header_field("Subsystem")

    def test_enters_through_the_wide_console_entry_point(self, installed):
        # With -municode the start-up code fetches the arguments as UTF-16.
        names = pe(installed, HOST).imported_names()
        assert "__wgetmainargs" in names
        assert "__getmainargs" not in names

    def test_manifest_asks_to_run_as_the_invoker(self, installed):
        manifests = pe(installed, HOST).resources(RT_MANIFEST)
        assert len(manifests) == 1
        name, _, text = manifests[0]
        assert name == CREATE_PROCESS_MANIFEST_ID
        root = ET.fromstring(text)
        levels = [e.attrib for e in root.iter() if e.tag.endswith("requestedExecutionLevel")]
        assert len(levels) == 1
        assert levels[0]["level"] == "asInvoker"
        assert levels[0].get("uiAccess", "false") == "false"

    def test_needs_only_system_dlls_and_the_agent_library(self, installed):
        host = pe(installed, HOST)
        assert AGENT_LIBRARY in host.imported_dlls()
        assert foreign_imports(host, [AGENT_LIBRARY]) == set()

    def test_every_agent_function_it_imports_is_exported_by_the_library(self, installed):
        wanted = pe(installed, HOST).imports[AGENT_LIBRARY]
        assert wanted
        assert wanted <= pe(installed, AGENT_LIBRARY).exports

    def test_calls_the_windows_services_themselves(self, installed):
        names = pe(installed, HOST).imported_names()
        for service in ["_setmode", "_fileno", "OutputDebugStringW", "OutputDebugStringA",
                        "CryptProtectData", "CryptUnprotectData", "LocalFree",
                        "LoadLibraryExW", "SetDefaultDllDirectories", "GetProcAddress",
                        "GetLastError",
                        "WideCharToMultiByte", "MultiByteToWideChar"]:
            assert service in names


class TestLibraries:
    @pytest.mark.parametrize("name", [AGENT_LIBRARY, BRIDGE_LIBRARY])
    def test_is_a_64_bit_dll_that_needs_only_system_dlls(self, installed, name):
        library = pe(installed, name)
        assert library.file_format() == "pei-x86-64"
        assert "(PE32+)" in library.header_field("Magic")
        assert int(library.header_field("Characteristics").split()[0], 16) & 0x2000  # DLL
        assert foreign_imports(library) == set()

    def test_agent_library_exports_the_nine_sdk_functions(self, installed):
        exports = pe(installed, AGENT_LIBRARY).exports
        for function in AGENT_FUNCTIONS:
            assert any(function in name for name in exports), function

    def test_bridge_library_exports_its_three_functions_by_plain_name(self, installed):
        assert BRIDGE_EXPORTS <= pe(installed, BRIDGE_LIBRARY).exports


def test_windows_build_compiles_every_win32_half_and_no_posix_half(build_dir):
    objects = {p.name for p in build_dir.rglob("*.obj")}
    assert [name for name in objects if "_posix" in name] == []
    win32_halves = sorted(p.name for p in (REPO_ROOT / PLATFORM_SOURCES).glob("*_win.cpp"))
    assert win32_halves
    assert [half for half in win32_halves if half + ".obj" not in objects] == []


class TestFolderUnderWine:
    def test_host_runs_from_the_folder_and_ends_at_end_of_input(self, installed, wine_env):
        assert run_host(installed, wine_env).returncode == 0

    def test_host_runs_without_the_bridge_library(self, copy_of, wine_env):
        folder = copy_of()
        (folder / BRIDGE_LIBRARY).unlink()
        assert run_host(folder, wine_env).returncode == 0

    def test_host_does_not_start_without_the_agent_library(self, copy_of, wine_env):
        folder = copy_of()
        (folder / AGENT_LIBRARY).unlink()
        assert run_host(folder, wine_env).returncode != 0
