// Windows: the policy keys below Software\Policies, the machine's (HKLM)
// before the user's (HKCU): a policy set in both takes the machine's value.
// A list policy is a key of numbered string values, a flag a DWORD value.
#include <windows.h>

#include "browser_policies.h"
#include "wide_text_win.h"

namespace registration {
namespace {

const wchar_t* PolicyKey(Browser browser) {
  switch (browser) {
    case Browser::kChromium: return L"Software\\Policies\\Chromium";
    case Browser::kChrome: return L"Software\\Policies\\Google\\Chrome";
    case Browser::kEdge: return L"Software\\Policies\\Microsoft\\Edge";
    case Browser::kFirefox: break;
  }
  return nullptr;
}

struct Hive {
  HKEY root;
  const char* name;
};
const Hive kHives[] = {{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                       {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"}};

std::string Where(const Hive& hive, const std::wstring& key) {
  return std::string(hive.name) + "\\" + WideToUtf8(key);
}

// The string values of a list policy's key, or nothing when it has no key.
std::optional<std::vector<std::string>> ReadList(const Hive& hive,
                                                 const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(hive.root, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                    &opened) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<std::string> list;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    wchar_t data[1024];
    DWORD dataBytes = sizeof data;
    DWORD type = 0;
    const LONG result =
        RegEnumValueW(opened, index, name, &nameLength, nullptr, &type,
                      reinterpret_cast<BYTE*>(data), &dataBytes);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    std::wstring value(data, dataBytes / sizeof(wchar_t));
    value.resize(wcsnlen(value.c_str(), value.size()));
    list.push_back(WideToUtf8(value));
  }
  RegCloseKey(opened);
  return list;
}

void TakeList(Browser browser, const wchar_t* policy,
              std::optional<SetPolicy<std::vector<std::string>>>* taken) {
  const std::wstring key = std::wstring(PolicyKey(browser)) + L"\\" + policy;
  for (const Hive& hive : kHives) {
    if (auto list = ReadList(hive, key)) {
      *taken = SetPolicy<std::vector<std::string>>{*list, Where(hive, key)};
      return;
    }
  }
}

void TakeFlag(Browser browser, const wchar_t* policy,
              std::optional<SetPolicy<bool>>* taken) {
  for (const Hive& hive : kHives) {
    DWORD value = 0;
    DWORD bytes = sizeof value;
    if (RegGetValueW(hive.root, PolicyKey(browser), policy,
                     RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &value,
                     &bytes) == ERROR_SUCCESS) {
      *taken = SetPolicy<bool>{value != 0, Where(hive, PolicyKey(browser)) + "\\" +
                                               WideToUtf8(policy)};
      return;
    }
  }
}

}  // namespace

NativeMessagingPolicies ReadNativeMessagingPolicies(Browser browser) {
  NativeMessagingPolicies policies;
  if (browser == Browser::kFirefox) return policies;
  TakeList(browser, L"NativeMessagingBlocklist", &policies.blocklist);
  TakeList(browser, L"NativeMessagingAllowlist", &policies.allowlist);
  TakeFlag(browser, L"NativeMessagingUserLevelHosts", &policies.userLevelHosts);
  return policies;
}

}  // namespace registration
