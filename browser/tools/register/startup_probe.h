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
  bool manifestAccepted = true;    // the browser would start the host it names
  std::string rewriteAdvice;       // what points the manifest at the host
};

// Run as root, the host is started only when the browser would accept the
// manifest and no one but root can change the host, the libraries beside
// it or the folders above them (trusted_path.h); otherwise the finding
// says why it was not.
Finding ProbeHostStartup(const ProbeSubject& subject);

// The "start" finding of a host that was not started, and why.
Finding NotProbed(const std::string& why);

}  // namespace registration
