// What `check` finds for each browser: one finding per step, in the order
// the browser itself goes through them.
#pragma once

#include <string>
#include <vector>

#include "browsers.h"

namespace registration {

enum class Verdict {
  kOk,
  kWarning,  // the browser can start the host, but something is amiss
  kFailed,   // the browser can't find or start the host
};

struct Finding {
  std::string step;    // "manifest", "json", "name", "path", "type",
                       // "extension", "start"
  Verdict verdict = Verdict::kOk;
  std::string detail;  // what was found
  std::vector<std::string> notes;  // e.g. every place looked
  std::string advice;  // what to do; empty when nothing is to be done
};

struct BrowserFindings {
  Browser browser = Browser::kChromium;
  std::vector<Finding> findings;

  bool Passed() const;
};

// "ok", "warning", "FAILED".
const char* VerdictName(Verdict verdict);

}  // namespace registration
