#include "check_report.h"

#include <nlohmann/json.hpp>

namespace registration {

std::string AboutText(const std::string& toolVersion,
                      const std::optional<InstalledPackage>& package) {
  std::string text = "corvantilhub-register " + toolVersion;
  text += package ? ", installed by " + PackageSummary(*package) : ", from no package";
  return text + "\n";
}

// chromium: name: FAILED: <detail>
//     note: <note>
//     fix: <advice>
std::string FindingsText(const std::vector<BrowserFindings>& results) {
  std::string text;
  for (const BrowserFindings& result : results) {
    const std::string browser = BrowserName(result.browser);
    for (const Finding& finding : result.findings) {
      text += browser + ": " + finding.step + ": " + VerdictName(finding.verdict, VerdictStyle::kLine) +
              ": " + finding.detail + "\n";
      for (const std::string& note : finding.notes) text += "    note: " + note + "\n";
      if (!finding.advice.empty()) text += "    fix: " + finding.advice + "\n";
    }
    text += browser + (result.Passed() ? ": can start the host\n"
                                       : ": can NOT start the host\n");
  }
  return text;
}

std::string FindingsJson(const std::vector<BrowserFindings>& results,
                         const std::string& toolVersion,
                         const std::optional<InstalledPackage>& package) {
  nlohmann::json browsers = nlohmann::json::array();
  bool allPassed = true;
  for (const BrowserFindings& result : results) {
    nlohmann::json steps = nlohmann::json::array();
    for (const Finding& finding : result.findings) {
      steps.push_back({{"step", finding.step},
                       {"status", VerdictName(finding.verdict, VerdictStyle::kJson)},
                       {"detail", finding.detail},
                       {"notes", finding.notes},
                       {"fix", finding.advice}});
    }
    browsers.push_back({{"browser", BrowserName(result.browser)},
                        {"ok", result.Passed()},
                        {"steps", steps}});
    allPassed = allPassed && result.Passed();
  }
  nlohmann::json report = {{"ok", allPassed}, {"version", toolVersion},
                           {"package", nullptr}, {"browsers", browsers}};
  if (package) {
    report["package"] = {{"kind", package->kind},
                         {"name", package->name},
                         {"version", package->version},
                         {"stand_ins", package->standIns}};
  }
  // Invalid UTF-8 in a path or a manifest comes out replaced, not thrown.
  return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace registration
