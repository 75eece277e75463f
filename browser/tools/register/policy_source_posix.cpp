// Linux: Chrome, Chromium and Edge read every file in their managed policy
// folder; where two files set one policy, the last file in name order wins.
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>

#include "browser_policies.h"

namespace registration {
namespace fs = std::filesystem;
using nlohmann::json;
namespace {

fs::path ManagedPolicyFolder(Browser browser) {
  switch (browser) {
    case Browser::kChromium: return "/etc/chromium/policies/managed";
    case Browser::kChrome: return "/etc/opt/chrome/policies/managed";
    case Browser::kEdge: return "/etc/opt/edge/policies/managed";
    case Browser::kFirefox: break;
  }
  return {};
}

// Names first to last; hidden files are left out, as the browsers do.
std::set<fs::path> PolicyFiles(const fs::path& folder) {
  std::set<fs::path> files;
  std::error_code error;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (entry->path().filename().u8string().rfind('.', 0) == 0) continue;
    std::error_code status;
    if (entry->is_regular_file(status)) files.insert(entry->path());
  }
  return files;
}

std::optional<std::vector<std::string>> StringList(const json& value) {
  if (!value.is_array()) return std::nullopt;
  std::vector<std::string> list;
  for (const json& item : value) {
    if (item.is_string()) list.push_back(item.get<std::string>());
  }
  return list;
}

void TakeList(const json& policies, const char* name, const std::string& where,
              std::optional<SetPolicy<std::vector<std::string>>>* policy) {
  const auto member = policies.find(name);
  if (member == policies.end()) return;
  if (auto list = StringList(*member)) *policy = SetPolicy<std::vector<std::string>>{*list, where};
}

}  // namespace

NativeMessagingPolicies ReadNativeMessagingPolicies(Browser browser) {
  NativeMessagingPolicies policies;
  if (browser == Browser::kFirefox) return policies;
  for (const fs::path& file : PolicyFiles(ManagedPolicyFolder(browser))) {
    const std::string where = file.u8string();
    std::ifstream stream(file, std::ios::binary);
    if (!stream.is_open()) {
      policies.unread.push_back(where + " (can't be read)");
      continue;
    }
    const std::string text((std::istreambuf_iterator<char>(stream)),
                           std::istreambuf_iterator<char>());
    const json parsed = json::parse(text, nullptr, false);
    if (!parsed.is_object()) {
      policies.unread.push_back(where + " (not a JSON object)");
      continue;
    }
    TakeList(parsed, "NativeMessagingBlocklist", where, &policies.blocklist);
    TakeList(parsed, "NativeMessagingAllowlist", where, &policies.allowlist);
    const auto userLevel = parsed.find("NativeMessagingUserLevelHosts");
    if (userLevel != parsed.end() && userLevel->is_boolean()) {
      policies.userLevelHosts = SetPolicy<bool>{userLevel->get<bool>(), where};
    }
  }
  return policies;
}

}  // namespace registration
