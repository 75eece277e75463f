#include "check_findings.h"

#include <utility>

namespace registration {

bool BrowserFindings::Passed() const {
  for (const Finding& finding : findings) {
    if (finding.verdict == Verdict::kFailed) return false;
  }
  return true;
}

Finding OkFinding(std::string step, std::string detail) {
  Finding finding;
  finding.step = std::move(step);
  finding.detail = std::move(detail);
  return finding;
}

Finding WarningFinding(std::string step, std::string detail, std::string advice) {
  Finding finding = OkFinding(std::move(step), std::move(detail));
  finding.verdict = Verdict::kWarning;
  finding.advice = std::move(advice);
  return finding;
}

Finding FailedFinding(std::string step, std::string detail, std::string advice) {
  Finding finding = WarningFinding(std::move(step), std::move(detail), std::move(advice));
  finding.verdict = Verdict::kFailed;
  return finding;
}

const char* VerdictName(Verdict verdict, VerdictStyle style) {
  switch (verdict) {
    case Verdict::kOk: return "ok";
    case Verdict::kWarning: return "warning";
    case Verdict::kFailed: return style == VerdictStyle::kLine ? "FAILED" : "failed";
  }
  return "";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace registration
