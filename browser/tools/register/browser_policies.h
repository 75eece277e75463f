// The native-messaging policies of Chrome, Chromium and Edge, which an
// administrator sets for the machine (or a user): NativeMessagingBlocklist,
// NativeMessagingAllowlist and NativeMessagingUserLevelHosts. Firefox has
// none. browser_policies.cpp applies them as the browsers do;
// policy_source_posix.cpp (the managed policy folders) and
// policy_source_win.cpp (the policy keys) read them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "browsers.h"
#include "check_findings.h"

namespace registration {

// One policy's value and where it is set ("/etc/chromium/policies/managed/
// fleet.json", "HKEY_LOCAL_MACHINE\Software\Policies\...").
template <typename Value>
struct SetPolicy {
  Value value{};
  std::string where;
};

struct NativeMessagingPolicies {
  std::optional<SetPolicy<std::vector<std::string>>> blocklist;
  std::optional<SetPolicy<std::vector<std::string>>> allowlist;
  std::optional<SetPolicy<bool>> userLevelHosts;
  std::vector<std::string> unread;  // policy sources the browser can't read either
};

// The policies that apply to `browser` on this machine, for this user.
NativeMessagingPolicies ReadNativeMessagingPolicies(Browser browser);

// The "policy" finding: FAILED when the policies keep the browser from
// starting the host `hostName` at all.
Finding PolicyFinding(Browser browser, const NativeMessagingPolicies& policies,
                      const std::string& hostName);

// False when the browser reads no per-user registration.
bool UserLevelHostsAllowed(const NativeMessagingPolicies& policies);

}  // namespace registration
