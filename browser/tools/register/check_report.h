// The findings of check as text for people (one line per step per browser,
// with notes and advice indented below) or as JSON for support scripts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "check_findings.h"
#include "installed_package.h"

namespace registration {

// The lines above the findings: the tool's version, and the package that
// installed it, with a note when its libraries are stand-ins.
std::string AboutText(const std::string& toolVersion,
                      const std::optional<InstalledPackage>& package);

std::string FindingsText(const std::vector<BrowserFindings>& results);

// Also names the tool's version and the installed package.
std::string FindingsJson(const std::vector<BrowserFindings>& results,
                         const std::string& toolVersion,
                         const std::optional<InstalledPackage>& package);

}  // namespace registration
