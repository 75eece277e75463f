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

// Removes the manifest file at `path`, reaching its folder as
// WriteManifestFile does, so that a link someone else planted on the way
// can't make root remove a file elsewhere. Sets `*removed` to whether there
// was a file to remove. False, with a reason, when it can't be removed.
bool RemoveManifestFile(const std::filesystem::path& path, bool* removed, std::string* error);

}  // namespace registration
