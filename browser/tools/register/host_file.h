// What a browser on this platform demands of the host file a manifest
// names. host_file.cpp holds what both platforms share; host_file_posix.cpp
// and host_file_win.cpp the rest.
#pragma once

#include <filesystem>
#include <string>

namespace registration {

// Windows browsers take a "path" relative to the manifest's folder; Linux
// ones refuse it.
bool RelativeHostPathAllowed();

// Empty when the browser can start `path`; otherwise what is wrong with it
// ("does not exist", "is not executable", ...).
std::string HostFileProblem(const std::filesystem::path& path);

// Whether this platform would run `path` as a program (POSIX: the execute
// permission; Windows runs any file).
bool HostFileExecutable(const std::filesystem::path& path);

// True when a file that exists can't be read by this user (the loader
// fails on it as if it were missing).
bool FileUnreadable(const std::filesystem::path& path);

// The command that lets every user read `path`.
std::string MakeReadableCommand(const std::filesystem::path& path);

// The agent library and the designer bridge as files beside the host:
// "libHarrowmere64.so" or "Harrowmere64.dll", and so on.
const char* AgentLibraryFileName();
const char* BridgeLibraryFileName();

}  // namespace registration
