// The checks a browser makes on the manifest it found: valid JSON, the
// host name, the host path, the type and the extensions allowed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "check_findings.h"
#include "fix_advice.h"

namespace registration {

struct ManifestSubject {
  std::filesystem::path file;  // the manifest found
  std::string askedName;       // the host name the extension connects to
  // --extension IDs of this browser's kind; empty: any listed one will do.
  std::vector<std::string> extensionIds;
  // Without --extension: the installed package's IDs of this browser's kind,
  // which the manifest should still allow.
  std::vector<std::string> packageIds;
  FixContext fix;  // for the advice; its IDs are filled in here
};

// What the host probe needs from a manifest that passed far enough.
struct ManifestFacts {
  bool readable = false;            // valid JSON, checked further
  std::filesystem::path hostPath;   // resolved; empty when unusable
  std::string extensionId;          // the one the browser would start it for
};

// Appends one finding per step ("json", "name", "path", "type",
// "extension"); stops after "json" when the file can't be read as JSON.
ManifestFacts CheckManifest(Browser browser, ManifestSubject subject,
                            std::vector<Finding>* findings);

}  // namespace registration
