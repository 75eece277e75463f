// The native-messaging manifest that tells a browser how to start the host
// and which extensions may do so.
#pragma once

#include <string>
#include <vector>

#include "browsers.h"

namespace registration {

struct HostManifest {
  std::string name;         // the host name that extensions connect to
  std::string description;
  std::string hostPath;     // absolute path of the executable, UTF-8
  std::vector<std::string> extensionIds;  // IDs in the browser's own form
};

// Puts into `json` the manifest as `browser` reads it, in UTF-8 JSON built
// with the JSON library. Chromium-family browsers get "allowed_origins"
// entries "chrome-extension://<id>/"; Firefox gets the add-on IDs in
// "allowed_extensions". False, with the reason in `error`, when a text is not
// valid UTF-8 (a host path of other bytes).
bool ManifestJson(Browser browser, const HostManifest& manifest, std::string* json,
                  std::string* error);

}  // namespace registration
