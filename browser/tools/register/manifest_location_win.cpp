// Windows: the manifest file may live anywhere; the browser finds it through
// the default value of the key <host name> below
// HKCU or HKLM\Software\<vendor>\NativeMessagingHosts. Manifests go below the
// user's local application data (or the machine's program data, in folders
// that only administrators may change: manifest_file_win.cpp), one folder
// per browser.
#include "manifest_location.h"

#include <windows.h>
#include <shlobj.h>

#include "manifest_root_win.h"
#include "vendor_key_win.h"
#include "wide_text_win.h"

namespace registration {
namespace fs = std::filesystem;
const wchar_t* VendorKey(Browser browser) {
  switch (browser) {
    case Browser::kChromium: return L"Software\\Chromium\\NativeMessagingHosts";
    case Browser::kChrome:
      return L"Software\\Google\\Chrome\\NativeMessagingHosts";
    case Browser::kEdge:
      return L"Software\\Microsoft\\Edge\\NativeMessagingHosts";
    case Browser::kFirefox: return L"Software\\Mozilla\\NativeMessagingHosts";
  }
  return L"";
}

namespace {

HKEY RootKey(Scope scope) {
  return scope == Scope::kSystem ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring SubKey(const Target& target) {
  return std::wstring(VendorKey(target.browser)) + L"\\" +
         Utf8ToWide(target.hostName);
}

// The key as people write it, for messages: HKEY_CURRENT_USER\Software\...
std::string KeyDisplayName(const Target& target) {
  const char* root = target.scope == Scope::kSystem ? "HKEY_LOCAL_MACHINE"
                                                    : "HKEY_CURRENT_USER";
  return std::string(root) + "\\" + WideToUtf8(SubKey(target));
}

std::string ErrorText(const char* what, const std::string& subject,
                      LONG code) {
  return std::string(what) + " " + subject + ": error " + std::to_string(code);
}

bool KnownFolder(Scope scope, fs::path* folder, std::string* error) {
  PWSTR raw = nullptr;
  const KNOWNFOLDERID& id =
      scope == Scope::kSystem ? FOLDERID_ProgramData : FOLDERID_LocalAppData;
  const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, &raw);
  if (SUCCEEDED(result)) *folder = fs::path(raw);
  CoTaskMemFree(raw);
  if (FAILED(result)) {
    *error = "cannot find the application data folder: error " +
             std::to_string(static_cast<unsigned long>(result));
    return false;
  }
  return true;
}

// The registry's two views: 64-bit programs read one, 32-bit ones the other
// (HKCU's Software is one key in both).
struct RegistryView {
  DWORD valueFlag;  // for RegGetValueW
  REGSAM access;    // for RegDeleteKeyExW
};
constexpr RegistryView kViews[] = {{RRF_SUBKEY_WOW6464KEY, KEY_WOW64_64KEY},
                                   {RRF_SUBKEY_WOW6432KEY, KEY_WOW64_32KEY}};

// The manifest file that the key's default value names in one view, if the
// key exists there.
std::optional<fs::path> RegisteredManifest(const Target& target,
                                           const RegistryView& view) {
  const std::wstring subKey = SubKey(target);
  DWORD bytes = 0;
  if (RegGetValueW(RootKey(target.scope), subKey.c_str(), nullptr,
                   RRF_RT_REG_SZ | view.valueFlag, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring value(bytes / sizeof(wchar_t), L'\0');
  if (RegGetValueW(RootKey(target.scope), subKey.c_str(), nullptr,
                   RRF_RT_REG_SZ | view.valueFlag, nullptr,
                   value.data(), &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return fs::path(value);
}

}  // namespace

bool ManifestRoot(Scope scope, fs::path* root, std::string* error) {
  if (!KnownFolder(scope, root, error)) return false;
  *root /= "Corvantilhub";
  return true;
}

bool ManifestPath(const Target& target, fs::path* path, std::string* error) {
  if (!target.userDataDir.empty()) {
    *error = "--user-data-dir is not used on Windows: the browsers find "
             "native-messaging hosts through the registry";
    return false;
  }
  fs::path folder;
  if (!target.manifestDir.empty()) {
    folder = fs::u8path(target.manifestDir);
  } else {
    if (!ManifestRoot(target.scope, &folder, error)) return false;
    folder = folder / "NativeMessagingHosts" / BrowserName(target.browser);
  }
  *path = fs::absolute(folder) / fs::u8path(target.hostName + ".json");
  return true;
}

std::vector<fs::path> AlternativeManifestPaths(const Target&) { return {}; }

bool PublishManifest(const Target& target, const fs::path& path, bool dryRun,
                     Actions* actions, std::string* error) {
  const std::string action =
      "set " + KeyDisplayName(target) + " = " + path.u8string();
  if (!dryRun) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(
        RootKey(target.scope), SubKey(target).c_str(), 0, nullptr,
        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
        &key, nullptr);
    if (result != ERROR_SUCCESS) {
      *error = ErrorText("cannot create", KeyDisplayName(target), result);
      return false;
    }
    const std::wstring value = path.wstring();
    result = RegSetValueExW(
        key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
      *error = ErrorText("cannot set", KeyDisplayName(target), result);
      return false;
    }
  }
  actions->push_back(action);
  return true;
}

// Both views' keys go: a browser of either kind would still find the one
// left. HKCU's two views are one key, deleted (or, in a dry run, named) once.
bool WithdrawManifest(const Target& target, bool dryRun,
                      std::optional<fs::path>* published, Actions* actions,
                      std::string* error) {
  published->reset();
  for (const RegistryView& view : kViews) {
    const std::optional<fs::path> named = RegisteredManifest(target, view);
    if (!named || (target.scope == Scope::kUser && published->has_value())) continue;
    if (!published->has_value()) *published = named;
    if (!dryRun) {
      const LONG result = RegDeleteKeyExW(RootKey(target.scope), SubKey(target).c_str(),
                                          view.access, 0);
      if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
        *error = ErrorText("cannot delete", KeyDisplayName(target), result);
        return false;
      }
    }
    actions->push_back("delete " + KeyDisplayName(target) +
                       (view.access == KEY_WOW64_32KEY ? " (32-bit view)" : ""));
  }
  if (!published->has_value()) actions->push_back("no key " + KeyDisplayName(target));
  return true;
}

}  // namespace registration
