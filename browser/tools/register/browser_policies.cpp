#include "browser_policies.h"

#include <algorithm>

#include "tool_process.h"

namespace registration {
namespace {

bool Lists(const std::optional<SetPolicy<std::vector<std::string>>>& policy,
           const std::string& entry) {
  return policy && std::find(policy->value.begin(), policy->value.end(), entry) !=
                       policy->value.end();
}


}  // namespace

bool UserLevelHostsAllowed(const NativeMessagingPolicies& policies) {
  return !policies.userLevelHosts || policies.userLevelHosts->value;
}

// As the browsers decide: a host on the allowlist may always start; else
// the blocklist's "*" or the host's name keeps it from starting.
Finding PolicyFinding(Browser browser, const NativeMessagingPolicies& policies,
                      const std::string& hostName) {
  Finding finding = OkFinding("policy");
  for (const std::string& where : policies.unread) {
    finding.notes.push_back("not read: " + where);
  }
  if (!UserLevelHostsAllowed(policies)) {
    finding.notes.push_back("NativeMessagingUserLevelHosts is false (" +
                            policies.userLevelHosts->where + "): " +
                            BrowserName(browser) +
                            " reads no per-user registration");
  }
  const bool allowed = Lists(policies.allowlist, hostName);
  const bool blockedByName = Lists(policies.blocklist, hostName);
  const bool blockedByStar = Lists(policies.blocklist, "*");
  if (allowed) {
    finding.detail = "NativeMessagingAllowlist lists " + Quoted(hostName) + " (" +
                     policies.allowlist->where + ")";
  } else if (blockedByName || blockedByStar) {
    finding.verdict = Verdict::kFailed;
    finding.detail = "NativeMessagingBlocklist lists " +
                     Quoted(blockedByName ? hostName : "*") + " (" +
                     policies.blocklist->where + "), and " + BrowserName(browser) +
                     " refuses: \"Access to the native messaging host was disabled "
                     "by the system administrator\"";
    finding.advice = std::string("ask whoever sets the browser's policies (") +
                     AdministratorName() + ") to add " + Quoted(hostName) +
                     " to NativeMessagingAllowlist" +
                     (blockedByName ? ", or to take it off NativeMessagingBlocklist"
                                    : "");
  } else if (policies.blocklist) {
    finding.detail = "NativeMessagingBlocklist does not list " + Quoted(hostName) +
                     " (" + policies.blocklist->where + ")";
  } else {
    finding.detail = "no policy blocks native-messaging hosts";
  }
  return finding;
}

}  // namespace registration
