// Where each browser looks for the host's manifest on this platform, and how
// a written manifest is made known to it. On Linux the folder alone is the
// registration; on Windows a registry key names the manifest file.
//
// manifest_location_posix.cpp and manifest_location_win.cpp implement this;
// CMake picks one.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "browsers.h"

namespace registration {

enum class Scope { kUser, kSystem };

struct Target {
  Browser browser = Browser::kChromium;
  Scope scope = Scope::kUser;
  std::string hostName;
  std::string userDataDir;  // non-empty: one Chromium profile folder only
  std::string manifestDir;  // non-empty: put the manifest file here
};

// Lines that tell the user what was (or, in a dry run, would be) done.
using Actions = std::vector<std::string>;

// The file that the target's manifest belongs in. False, with a reason in
// `error`, when the target can't be served on this platform.
bool ManifestPath(const Target& target, std::filesystem::path* path,
                  std::string* error);

// Other files the browser may read the target's manifest from instead:
// Linux Firefox built for a system with /usr/lib64 reads all users' hosts
// from /usr/lib64/mozilla/native-messaging-hosts. Empty elsewhere.
std::vector<std::filesystem::path> AlternativeManifestPaths(const Target& target);

// Points the browser at the manifest written to `path`.
bool PublishManifest(const Target& target, const std::filesystem::path& path,
                     bool dryRun, Actions* actions, std::string* error);

// Undoes PublishManifest. `published` receives the manifest file that the
// registration pointed at, when the platform records one.
bool WithdrawManifest(const Target& target, bool dryRun,
                      std::optional<std::filesystem::path>* published,
                      Actions* actions, std::string* error);

}  // namespace registration
