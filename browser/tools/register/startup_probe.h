// The last step of check: start the host found as the browser would and
// read its start-up report.
#pragma once

#include <filesystem>
#include <string>

#include "check_findings.h"

namespace registration {

struct ProbeSubject {
  Browser browser = Browser::kChromium;
  std::filesystem::path host;      // resolved from the manifest
  std::filesystem::path manifest;  // the file found
  std::string extensionId;         // the extension it is started for
};

Finding ProbeHostStartup(const ProbeSubject& subject);

}  // namespace registration
