// Registering the host with the chosen browsers, and removing it again.
#pragma once

#include <filesystem>
#include <string>

#include "command_line.h"
#include "manifest_location.h"

namespace registration {

// The absolute host path that manifests will name.
std::filesystem::path ResolveHostPath(const Options& options);

// Writes one manifest per browser and makes it known to the browser. Stops
// at the first failure; `actions` lists what was done until then.
bool RegisterHost(const Options& options, Actions* actions, std::string* error);

// Removes the registration and the manifest file for each browser. A browser
// with nothing registered is no failure.
bool UnregisterHost(const Options& options, Actions* actions,
                    std::string* error);

}  // namespace registration
