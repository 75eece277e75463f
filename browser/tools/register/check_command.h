// `corvantilhub-register check`: for each browser asked about, finds the
// manifest as the browser does, checks it and starts the host it names.
#pragma once

#include <string>
#include <vector>

#include "check_findings.h"
#include "command_line.h"

namespace registration {

// False, with a reason, when the options don't fit this platform.
bool CheckRegistrations(const Options& options,
                        std::vector<BrowserFindings>* results,
                        std::string* error);

}  // namespace registration
