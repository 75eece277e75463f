// Linux: the per-user folder (or the profile's folder given with
// --user-data-dir) first, then the system-wide one (for Firefox, lib's and
// then lib64's); a browser takes the first <host name>.json that exists.
#include "manifest_lookup.h"

#include <system_error>

namespace registration {
namespace fs = std::filesystem;
namespace {

LookupPlace PlaceAt(const fs::path& manifest, Scope scope) {
  LookupPlace place;
  place.manifest = manifest;
  place.where = manifest.u8string();
  place.scope = scope;
  place.removal = "rm \"" + place.where + "\"";
  std::error_code code;
  const fs::file_status status = fs::status(manifest, code);
  place.found = fs::exists(status);
  if (!place.found && fs::is_symlink(fs::symlink_status(manifest, code))) {
    place.outcome = "a link to " + fs::read_symlink(manifest, code).u8string() +
                    ", which does not exist";
  } else if (!place.found) {
    place.outcome = "no such file";
  } else if (!fs::is_regular_file(status)) {
    place.outcome = "not a file";
    place.problem = place.where + " is not a file";
  } else {
    place.outcome = "found";
  }
  return place;
}

bool AddPlaces(const LookupRequest& request, Scope scope,
               std::vector<LookupPlace>* places, std::string* error) {
  Target target;
  target.browser = request.browser;
  target.scope = scope;
  target.hostName = request.hostName;
  if (scope == Scope::kUser) target.userDataDir = request.userDataDir;
  fs::path manifest;
  if (!ManifestPath(target, &manifest, error)) return false;
  places->push_back(PlaceAt(manifest, scope));
  for (const fs::path& other : AlternativeManifestPaths(target)) {
    places->push_back(PlaceAt(other, scope));
  }
  return true;
}

}  // namespace

bool LookUpManifest(const LookupRequest& request,
                    std::vector<LookupPlace>* places, std::string* error) {
  if (request.userPlaces && !AddPlaces(request, Scope::kUser, places, error)) {
    return false;
  }
  return !request.systemPlaces ||
         AddPlaces(request, Scope::kSystem, places, error);
}

bool FirefoxPassesOverUnusableManifests() { return true; }

}  // namespace registration
