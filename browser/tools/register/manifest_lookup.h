// Where a browser looks for the host's manifest, in the browser's own order.
//
// manifest_lookup_posix.cpp (folders) and manifest_lookup_win.cpp (registry
// keys, then the file a key names) implement this; CMake picks one.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "browsers.h"
#include "manifest_location.h"

namespace registration {

struct LookupRequest {
  Browser browser = Browser::kChromium;
  std::string hostName;
  std::string userDataDir;  // non-empty: this Chromium profile folder
  bool userPlaces = true;   // look where the current user's hosts are
  bool systemPlaces = true; // look where all users' hosts are
};

struct LookupPlace {
  std::string where;    // a file, or a registry key and its view
  Scope scope = Scope::kUser;
  bool found = false;   // the browser stops looking here
  std::string outcome;  // "no such file", "no key", "names <file>", ...
  std::filesystem::path manifest;  // the file found, when `found`
  std::string problem;  // non-empty: why the browser can't use what it found
  std::string removal;  // the command that takes this registration away
};

// Every place the browser would look at, first first. False, with a reason,
// when the request does not fit this platform.
bool LookUpManifest(const LookupRequest& request,
                    std::vector<LookupPlace>* places, std::string* error);

// Firefox on Linux goes on to the next folder when it can't use the manifest
// it found there; on Windows the first key decides, as it does for every
// Chromium-family browser.
bool FirefoxPassesOverUnusableManifests();

}  // namespace registration
