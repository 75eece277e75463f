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

// A step's finding. A warning or a failure says in `advice` what to do.
Finding OkFinding(std::string step, std::string detail = "");
Finding WarningFinding(std::string step, std::string detail, std::string advice);
Finding FailedFinding(std::string step, std::string detail, std::string advice);

// How a verdict is named. In check's lines a failure stands out in capitals
// ("FAILED"), since people scan them; the JSON, read by scripts, keeps every
// name in lower case ("failed").
enum class VerdictStyle { kLine, kJson };
const char* VerdictName(Verdict verdict, VerdictStyle style);

// `text` in quotation marks, as the lines show names and values.
std::string Quoted(const std::string& text);

}  // namespace registration
