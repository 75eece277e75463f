// Starting the host as a browser does, for the start-up check: the manifest's
// path, from the host's own folder, with the browser's arguments, an empty
// standard input and CORVANTILHUB_STARTUP_CHECK=1 in the environment.
//
// host_launch_posix.cpp and host_launch_win.cpp implement this.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace registration {

struct HostLaunch {
  std::filesystem::path program;
  std::vector<std::string> arguments;  // after the program name, UTF-8
};

struct HostRun {
  bool started = false;
  std::string launchError;  // why it did not start
  bool ended = false;       // false: still running at the deadline, killed
  unsigned long exitStatus = 0;  // the exit code, or 128 + signal number
  std::string errorOutput;  // everything it wrote to standard error
};

// Starts the host and waits for it until `patience` has passed.
HostRun RunHostOnce(const HostLaunch& launch, std::chrono::seconds patience);

// The arguments the browser passes after the program name.
std::vector<std::string> BrowserArguments(bool chromiumFamily,
                                          const std::string& manifestPath,
                                          const std::string& extensionId);

}  // namespace registration
