#include "browsers.h"

#include <cctype>

namespace registration {
namespace {

bool IsLowerAlnumOrUnderscore(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Letters, digits and the few marks that add-on IDs use around the "@".
bool IsAddonIdChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' ||
         c == '_' || c == '-' || c == '+';
}

bool IsBracedGuid(const std::string& id) {
  // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
  if (id.size() != 38 || id.front() != '{' || id.back() != '}') return false;
  for (size_t i = 1; i + 1 < id.size(); ++i) {
    const bool hyphenPlace = i == 9 || i == 14 || i == 19 || i == 24;
    if (hyphenPlace ? id[i] != '-' : !IsHexDigit(id[i])) return false;
  }
  return true;
}

}  // namespace

const char* BrowserName(Browser browser) {
  switch (browser) {
    case Browser::kChromium: return "chromium";
    case Browser::kChrome: return "chrome";
    case Browser::kEdge: return "edge";
    case Browser::kFirefox: return "firefox";
  }
  return "";
}

std::optional<Browser> BrowserFromName(const std::string& name) {
  for (Browser browser : kAllBrowsers) {
    if (name == BrowserName(browser)) return browser;
  }
  return std::nullopt;
}

bool IsChromiumFamily(Browser browser) { return browser != Browser::kFirefox; }

bool IsValidHostName(const std::string& name) {
  if (name.empty() || name.front() == '.' || name.back() == '.') return false;
  char previous = '\0';
  for (char c : name) {
    if (c == '.' ? previous == '.' : !IsLowerAlnumOrUnderscore(c)) return false;
    previous = c;
  }
  return true;
}

bool IsChromiumExtensionId(const std::string& id) {
  if (id.size() != 32) return false;
  for (char c : id) {
    if (c < 'a' || c > 'p') return false;
  }
  return true;
}

bool IsFirefoxAddonId(const std::string& id) {
  if (IsBracedGuid(id)) return true;
  const size_t at = id.find('@');
  if (at == std::string::npos || at + 1 == id.size() ||
      id.find('@', at + 1) != std::string::npos) {
    return false;
  }
  for (size_t i = 0; i < id.size(); ++i) {
    if (i != at && !IsAddonIdChar(id[i])) return false;
  }
  return true;
}

std::vector<std::string> ExtensionIdsFor(Browser browser,
                                         const std::vector<std::string>& ids) {
  std::vector<std::string> matching;
  for (const std::string& id : ids) {
    const bool fits = IsChromiumFamily(browser) ? IsChromiumExtensionId(id)
                                                : IsFirefoxAddonId(id);
    if (fits) matching.push_back(id);
  }
  return matching;
}

}  // namespace registration
