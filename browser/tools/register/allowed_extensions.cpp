#include "allowed_extensions.h"

namespace registration {
namespace {

constexpr char kOriginPrefix[] = "chrome-extension://";
constexpr size_t kOriginPrefixLength = sizeof(kOriginPrefix) - 1;

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// One "allowed_origins" entry: its ID, and a fault when the browser would
// refuse it.
void ReadOrigin(const std::string& entry, AllowedExtensions* allowed) {
  const std::string quoted = "\"" + entry + "\"";
  if (!StartsWith(entry, kOriginPrefix)) {
    std::string id = entry;
    if (!id.empty() && id.back() == '/') id.pop_back();
    if (IsChromiumExtensionId(id)) {
      allowed->ids.push_back(id);
      allowed->faults.push_back(quoted + " lacks the chrome-extension:// prefix");
    } else {
      allowed->faults.push_back(quoted + " is not an extension origin");
    }
    return;
  }
  std::string id = entry.substr(kOriginPrefixLength);
  const bool slash = !id.empty() && id.back() == '/';
  if (slash) id.pop_back();
  if (!IsChromiumExtensionId(id)) {
    allowed->faults.push_back(quoted + " does not name a 32-letter extension ID");
    return;
  }
  allowed->ids.push_back(id);
  if (!slash) allowed->faults.push_back(quoted + " lacks the trailing slash");
}

void ReadAddonId(const std::string& entry, AllowedExtensions* allowed) {
  const std::string quoted = "\"" + entry + "\"";
  if (StartsWith(entry, kOriginPrefix)) {
    allowed->faults.push_back(quoted + " is a Chromium origin; firefox takes "
                              "add-on IDs such as name@example.org");
  } else if (!IsFirefoxAddonId(entry)) {
    allowed->faults.push_back(quoted + " is not an add-on ID");
  } else {
    allowed->ids.push_back(entry);
  }
}

// IDs under the other family's key, for the advice: whatever names an ID of
// this browser's kind once a prefix and a slash are taken off.
void SalvageIds(Browser browser, const nlohmann::json& list,
                AllowedExtensions* allowed) {
  if (!list.is_array()) return;
  for (const nlohmann::json& entry : list) {
    if (!entry.is_string()) continue;
    std::string id = entry.get<std::string>();
    if (StartsWith(id, kOriginPrefix)) id.erase(0, kOriginPrefixLength);
    if (!id.empty() && id.back() == '/') id.pop_back();
    if (!ExtensionIdsFor(browser, {id}).empty()) allowed->ids.push_back(id);
  }
}

}  // namespace

AllowedExtensions ReadAllowedExtensions(Browser browser,
                                        const nlohmann::json& manifest) {
  const bool chromium = IsChromiumFamily(browser);
  const char* key = chromium ? "allowed_origins" : "allowed_extensions";
  const char* otherKey = chromium ? "allowed_extensions" : "allowed_origins";
  AllowedExtensions allowed;
  const auto list = manifest.find(key);
  if (list == manifest.end()) {
    allowed.swapped = manifest.contains(otherKey);
    if (allowed.swapped) SalvageIds(browser, manifest[otherKey], &allowed);
    allowed.faults.push_back(
        allowed.swapped ? std::string("the manifest has \"") + otherKey +
                              "\" where " + BrowserName(browser) +
                              " reads \"" + key + "\""
                        : std::string("the manifest has no \"") + key + "\"");
    return allowed;
  }
  if (!list->is_array()) {
    allowed.faults.push_back(std::string("\"") + key + "\" is not a list");
    return allowed;
  }
  for (const nlohmann::json& entry : *list) {
    if (!entry.is_string()) {
      allowed.faults.push_back(std::string("\"") + key +
                               "\" holds an entry that is not a string");
    } else if (chromium) {
      ReadOrigin(entry.get<std::string>(), &allowed);
    } else {
      ReadAddonId(entry.get<std::string>(), &allowed);
    }
  }
  if (!chromium && list->empty()) {
    allowed.faults.push_back("\"allowed_extensions\" is empty");
  }
  return allowed;
}

}  // namespace registration
