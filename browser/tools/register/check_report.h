// The findings of check as text for people (one line per step per browser,
// with notes and advice indented below) or as JSON for support scripts.
#pragma once

#include <string>
#include <vector>

#include "check_findings.h"

namespace registration {

std::string FindingsText(const std::vector<BrowserFindings>& results);
std::string FindingsJson(const std::vector<BrowserFindings>& results);

}  // namespace registration
