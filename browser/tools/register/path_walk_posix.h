// Walking a path one name at a time from the root, as root can do safely
// where other users may write: a link is followed only when nobody but root
// and the effective user could have put it there, and no name is entered
// that was swapped for a link after it was looked at. check judges the
// files it reads and starts this way; register reaches the folder it
// writes into this way.
#pragma once

#include <sys/stat.h>

#include <string>

namespace registration {

// What would let someone other than root and the effective user replace
// `entry`, an entry of `folder` (named `folderPath`): the folder is theirs,
// or they may write to it (a sticky folder, such as /tmp, still protects the
// entries of root and the effective user). Empty when nothing would.
std::string WhoElseCanReplace(const std::string& folderPath, const struct stat& folder,
                              const struct stat& entry);

// What would let someone else change the file `entry` (named `path`) in
// place: it is theirs, or group or others may write to it. Empty otherwise.
std::string WhoElseCanWrite(const std::string& path, const struct stat& entry);

struct FolderWalk {
  bool makeMissing = false;  // missing folders are made, mode 0755 whatever the umask
  // Refuse any step that WhoElseCanReplace objects to, not only a link.
  bool everyStepGuarded = false;
};

// Opens the absolute folder `path` for reading (close-on-exec). Links on the
// way are followed only where WhoElseCanReplace has no objection. -1 with
// the reason in `error` when the folder can't be reached so.
int OpenFolder(const std::string& path, const FolderWalk& walk, std::string* error);

}  // namespace registration
