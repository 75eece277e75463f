// The manifest's list of extensions that may start the host: Chromium-family
// browsers read "allowed_origins" with "chrome-extension://<id>/" entries,
// Firefox reads "allowed_extensions" with add-on IDs. A browser refuses the
// whole manifest when an entry is malformed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "check_findings.h"

namespace registration {

struct AllowedExtensions {
  std::vector<std::string> ids;   // the IDs named, malformed entries mended
  std::vector<std::string> faults;  // what is wrong with the list
  bool swapped = false;           // the other family's key instead
};

AllowedExtensions ReadAllowedExtensions(Browser browser,
                                        const nlohmann::json& manifest);

}  // namespace registration
