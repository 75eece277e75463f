// What a package that installed this tool says about itself: the package
// writes corvantilhub-package.json beside the tool. check uses it to name
// the extensions the package allows, to say when its libraries are
// stand-ins, and to advise repairing the package when a registration that
// the package made is broken. A tool that came with no package finds none.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "browsers.h"

namespace registration {

struct InstalledPackage {
  std::string kind;         // "deb" or "msi"
  std::string name;         // the Debian package's name
  std::string version;
  std::string productCode;  // the MSI's, {GUID}
  std::vector<std::string> extensionIds;  // Chromium-family and Firefox IDs
  bool standIns = false;    // our stand-in agent and designer libraries
};

// The package beside the running tool, if any.
std::optional<InstalledPackage> FindInstalledPackage();

// "corvantilhub 1.0.0 (Debian package)", and what it carries.
std::string PackageSummary(const InstalledPackage& package);

// The advice that puts the package's registration back, with the command
// and who must run it. `manifestFile`, when given, is the manifest that is
// there but broken.
std::string RepairAdvice(const InstalledPackage& package,
                         const std::string& manifestFile = "");

}  // namespace registration
