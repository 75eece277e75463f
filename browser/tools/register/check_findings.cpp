#include "check_findings.h"

namespace registration {

bool BrowserFindings::Passed() const {
  for (const Finding& finding : findings) {
    if (finding.verdict == Verdict::kFailed) return false;
  }
  return true;
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk: return "ok";
    case Verdict::kWarning: return "warning";
    case Verdict::kFailed: return "FAILED";
  }
  return "";
}

}  // namespace registration
