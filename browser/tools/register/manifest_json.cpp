#include "manifest_json.h"

#include <nlohmann/json.hpp>

namespace registration {

bool ManifestJson(Browser browser, const HostManifest& manifest, std::string* json,
                  std::string* error) {
  const bool chromium = IsChromiumFamily(browser);
  nlohmann::ordered_json allowed = nlohmann::ordered_json::array();
  for (const std::string& id : manifest.extensionIds) {
    allowed.push_back(chromium ? "chrome-extension://" + id + "/" : id);
  }
  const nlohmann::ordered_json document = {
      {"name", manifest.name},
      {"description", manifest.description},
      {"path", manifest.hostPath},
      {"type", "stdio"},
      {chromium ? "allowed_origins" : "allowed_extensions", allowed},
  };
  try {
    *json = document.dump(2) + "\n";
  } catch (const nlohmann::json::type_error&) {
    // JSON text is UTF-8: a browser could read no other host path. Its
    // bytes are not shown, since they would not print either.
    *error = "the host path is not valid UTF-8, so no browser could read it from a manifest";
    return false;
  }
  return true;
}

}  // namespace registration
