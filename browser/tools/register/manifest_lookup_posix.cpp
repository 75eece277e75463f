// Linux: the per-user folder (or the profile's folder given with
// --user-data-dir) first, then the system-wide one; a browser takes the
// first <host name>.json that exists.
#include "manifest_lookup.h"

#include <system_error>

namespace registration {
namespace fs = std::filesystem;
namespace {

bool AddPlace(const LookupRequest& request, Scope scope,
              std::vector<LookupPlace>* places, std::string* error) {
  Target target;
  target.browser = request.browser;
  target.scope = scope;
  target.hostName = request.hostName;
  if (scope == Scope::kUser) target.userDataDir = request.userDataDir;
  LookupPlace place;
  if (!ManifestPath(target, &place.manifest, error)) return false;
  place.where = place.manifest.u8string();
  place.scope = scope;
  place.removal = "rm \"" + place.where + "\"";
  std::error_code code;
  const fs::file_status status = fs::status(place.manifest, code);
  place.found = fs::exists(status);
  if (!place.found) {
    place.outcome = "no such file";
  } else if (!fs::is_regular_file(status)) {
    place.outcome = "not a file";
    place.problem = place.where + " is not a file";
  } else {
    place.outcome = "found";
  }
  places->push_back(place);
  return true;
}

}  // namespace

bool LookUpManifest(const LookupRequest& request,
                    std::vector<LookupPlace>* places, std::string* error) {
  if (request.userPlaces && !AddPlace(request, Scope::kUser, places, error)) {
    return false;
  }
  return !request.systemPlaces ||
         AddPlace(request, Scope::kSystem, places, error);
}

bool FirefoxPassesOverUnusableManifests() { return true; }

}  // namespace registration
