// The browsers that can start the host, and the rules each applies to the
// names in a native-messaging manifest.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace registration {

enum class Browser { kChromium, kChrome, kEdge, kFirefox };

inline constexpr Browser kAllBrowsers[] = {Browser::kChromium, Browser::kChrome,
                                           Browser::kEdge, Browser::kFirefox};

// The name used on the command line and in messages: "chromium", "chrome",
// "edge", "firefox".
const char* BrowserName(Browser browser);
std::optional<Browser> BrowserFromName(const std::string& name);

// Chromium, Google Chrome and Microsoft Edge share one manifest format
// ("allowed_origins"); Firefox has its own ("allowed_extensions").
bool IsChromiumFamily(Browser browser);

// A host name every browser accepts: lower-case letters, digits and
// underscores in dot-separated parts, none of them empty.
bool IsValidHostName(const std::string& name);

// A Chromium-family extension ID: 32 letters from a to p.
bool IsChromiumExtensionId(const std::string& id);

// A Firefox add-on ID: "name@domain" or a GUID in braces.
bool IsFirefoxAddonId(const std::string& id);

// The IDs from `ids` that `browser` can name in its manifest.
std::vector<std::string> ExtensionIdsFor(Browser browser,
                                         const std::vector<std::string>& ids);

}  // namespace registration
