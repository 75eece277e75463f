// The folder below which the tool keeps the manifests it writes on Windows:
// %LOCALAPPDATA%\Corvantilhub for the user, %ProgramData%\Corvantilhub for
// all users.
#pragma once

#include <filesystem>
#include <string>

#include "manifest_location.h"

namespace registration {

bool ManifestRoot(Scope scope, std::filesystem::path* root, std::string* error);

}  // namespace registration
