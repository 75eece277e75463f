// Writing a manifest file so that it can't be turned against the one who
// writes it, nor changed afterwards by someone who may not change the
// registration itself.
//
// manifest_file_posix.cpp and manifest_file_win.cpp implement this.
#pragma once

#include <filesystem>
#include <string>

#include "manifest_location.h"

namespace registration {

// Writes `content` to `path`, the manifest of `target`, making the folders
// it needs. False, with a reason, when that can't be done safely.
bool WriteManifestFile(const Target& target, const std::filesystem::path& path,
                       const std::string& content, std::string* error);

}  // namespace registration
