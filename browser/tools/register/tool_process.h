// What the tool needs to know about its own process: its arguments as UTF-8
// and where its executable lies (the host is expected beside it).
//
// tool_process_posix.cpp and tool_process_win.cpp implement this.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace registration {

// The arguments after the program name, as UTF-8 (Windows passes them as
// UTF-16; `argv` is used elsewhere).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The running executable, or an empty path when it can't be found.
std::filesystem::path RunningExecutable();

// The host's file name on this platform: "Corvantilhub" or "Corvantilhub.exe".
const char* HostExecutableName();

// Who may change what all users share, for advice: "root" or "an
// administrator".
const char* AdministratorName();

}  // namespace registration
