// Folders that only administrators (and the system) may change, for the
// manifests that HKLM points every user's browser at. Inherited rights
// would not do: %ProgramData% lets every user add folders, so a user could
// make such a folder first and go on changing what is in it.
#pragma once

#include <filesystem>
#include <string>

namespace registration {

// Makes `folder` with an access list of its own (full control for SYSTEM
// and Administrators, read and execute for Users, nothing inherited). A
// folder that is there already must belong to an administrator; one that
// others may change gets that access list. False, with a reason, for a
// link, a file, or a folder of another user's, which are left as they are.
bool MakeAdminOnlyFolder(const std::filesystem::path& folder, std::string* error);

}  // namespace registration
