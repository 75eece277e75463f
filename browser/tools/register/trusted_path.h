// What check may trust when it runs as root. Root's environment may be a
// user's (sudo -E keeps it), and a manifest or a program that another user
// can change is that user's to choose: read or started by root, it would
// show root-only files or run the user's code as root. So, run as root,
// check reads a manifest and starts a host only when no one else can change
// them.
//
// trusted_path_posix.cpp and trusted_path_win.cpp implement this.
#pragma once

#include <filesystem>
#include <string>

namespace registration {

// POSIX: the tool runs as root. Windows: never (an administrator's check
// reads the administrator's own keys and the machine's).
bool RunsAsRoot();

// Empty when no one but root and the effective user can change `path`: the
// file, every link on the way to it and every folder above them are theirs,
// and no folder on the way may be written by group or others (a sticky one,
// such as /tmp, still protects their entries). Otherwise what lets someone
// else change it, e.g. "/home/ann belongs to ann (uid 1000)". Windows: empty.
std::string WhoElseCanChange(const std::filesystem::path& path);

}  // namespace registration
