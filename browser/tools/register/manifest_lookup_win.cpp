// Windows: the default value of HKCU, then HKLM
// \Software\<vendor>\NativeMessagingHosts\<host name> names the manifest
// file. Chromium-family browsers read each hive's 32-bit view before its
// 64-bit one; Firefox reads HKCU's 64-bit view, then HKLM's 32-bit view,
// then its 64-bit one. The first key with a value wins, whatever the file
// it names holds.
#include "manifest_lookup.h"

#include <windows.h>

#include <system_error>

#include "vendor_key_win.h"
#include "wide_text_win.h"

namespace registration {
namespace fs = std::filesystem;
namespace {

struct KeyView {
  Scope scope;
  REGSAM view;  // KEY_WOW64_32KEY or KEY_WOW64_64KEY
};

constexpr KeyView kChromiumOrder[] = {{Scope::kUser, KEY_WOW64_32KEY},
                                      {Scope::kUser, KEY_WOW64_64KEY},
                                      {Scope::kSystem, KEY_WOW64_32KEY},
                                      {Scope::kSystem, KEY_WOW64_64KEY}};
constexpr KeyView kFirefoxOrder[] = {{Scope::kUser, KEY_WOW64_64KEY},
                                     {Scope::kSystem, KEY_WOW64_32KEY},
                                     {Scope::kSystem, KEY_WOW64_64KEY}};

std::string KeyPath(const LookupRequest& request, const KeyView& key) {
  return std::string(key.scope == Scope::kSystem ? "HKEY_LOCAL_MACHINE\\"
                                                 : "HKEY_CURRENT_USER\\") +
         WideToUtf8(VendorKey(request.browser)) + "\\" + request.hostName;
}

bool Is32BitView(const KeyView& key) { return key.view == KEY_WOW64_32KEY; }

// The key's default value, as the browsers read it: a string, not expanded.
bool ReadDefaultValue(const LookupRequest& request, const KeyView& key,
                      std::wstring* value) {
  const HKEY root =
      key.scope == Scope::kSystem ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  const std::wstring subKey = std::wstring(VendorKey(request.browser)) +
                              L"\\" + Utf8ToWide(request.hostName);
  const DWORD flags = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND |
                      (Is32BitView(key) ? RRF_SUBKEY_WOW6432KEY
                                                   : RRF_SUBKEY_WOW6464KEY);
  DWORD bytes = 0;
  if (RegGetValueW(root, subKey.c_str(), nullptr, flags, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS) {
    return false;
  }
  value->assign(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value->size() * sizeof(wchar_t));
  if (RegGetValueW(root, subKey.c_str(), nullptr, flags, nullptr,
                   value->data(), &bytes) != ERROR_SUCCESS) {
    return false;
  }
  value->resize(wcsnlen(value->c_str(), value->size()));
  return !value->empty();
}

LookupPlace LookAt(const LookupRequest& request, const KeyView& key) {
  LookupPlace place;
  place.where = KeyPath(request, key) +
                (Is32BitView(key) ? " (32-bit view)" : " (64-bit view)");
  place.scope = key.scope;
  place.removal = "reg delete \"" + KeyPath(request, key) + "\" /reg:" +
                  (Is32BitView(key) ? "32" : "64") + " /f";
  std::wstring value;
  if (!ReadDefaultValue(request, key, &value)) {
    place.outcome = "no key with a manifest path";
    return place;
  }
  place.found = true;
  place.manifest = fs::path(value);
  place.outcome = "names " + place.manifest.u8string();
  std::error_code code;
  if (!place.manifest.is_absolute()) {
    place.problem = "the key names a relative manifest path, " +
                    place.manifest.u8string() +
                    "; the browser needs an absolute one";
  } else if (!fs::exists(place.manifest, code)) {
    place.problem = "the key names " + place.manifest.u8string() +
                    ", which does not exist";
  } else if (!fs::is_regular_file(place.manifest, code)) {
    place.problem = "the key names " + place.manifest.u8string() +
                    ", which is not a file";
  }
  return place;
}

}  // namespace

bool LookUpManifest(const LookupRequest& request,
                    std::vector<LookupPlace>* places, std::string* error) {
  if (!request.userDataDir.empty()) {
    *error = "--user-data-dir is not used on Windows: the browsers find "
             "native-messaging hosts through the registry";
    return false;
  }
  const bool firefox = request.browser == Browser::kFirefox;
  const KeyView* begin = firefox ? std::begin(kFirefoxOrder)
                                 : std::begin(kChromiumOrder);
  const KeyView* end = firefox ? std::end(kFirefoxOrder)
                               : std::end(kChromiumOrder);
  for (const KeyView* key = begin; key != end; ++key) {
    const bool wanted = key->scope == Scope::kSystem ? request.systemPlaces
                                                     : request.userPlaces;
    if (wanted) places->push_back(LookAt(request, *key));
  }
  return true;
}

bool FirefoxPassesOverUnusableManifests() { return false; }

}  // namespace registration
