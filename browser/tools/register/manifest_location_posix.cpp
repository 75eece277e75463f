// Linux: each browser reads `<folder>/<host name>.json` from a per-user folder
// below the home folder and from one system-wide folder.
#include "manifest_location.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "trusted_path.h"

namespace registration {
namespace fs = std::filesystem;
namespace {

// The home folder as the browsers find it: $HOME first, then the password
// database. Run as root, the tool may have a user's environment (sudo -E
// keeps it), and what it wrote or read there would be that user's to
// change: root's per-user folders are below root's home in the password
// database, whatever HOME and XDG_CONFIG_HOME say.
fs::path HomeFolder() {
  const char* home = std::getenv("HOME");
  if (!RunsAsRoot() && home != nullptr && home[0] == '/') return home;
  const passwd* entry = getpwuid(geteuid());
  return entry != nullptr && entry->pw_dir != nullptr ? fs::path(entry->pw_dir)
                                                      : fs::path();
}

// Chromium-family browsers keep their profiles below $XDG_CONFIG_HOME when
// it holds an absolute path, else below ~/.config (as root, always there).
fs::path ConfigFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (!RunsAsRoot() && config != nullptr && config[0] == '/') return config;
  return HomeFolder() / ".config";
}

fs::path UserFolder(Browser browser) {
  switch (browser) {
    case Browser::kChromium:
      return ConfigFolder() / "chromium" / "NativeMessagingHosts";
    case Browser::kChrome:
      return ConfigFolder() / "google-chrome" / "NativeMessagingHosts";
    case Browser::kEdge:
      return ConfigFolder() / "microsoft-edge" / "NativeMessagingHosts";
    case Browser::kFirefox:
      return HomeFolder() / ".mozilla" / "native-messaging-hosts";
  }
  return {};
}

fs::path SystemFolder(Browser browser) {
  switch (browser) {
    case Browser::kChromium: return "/etc/chromium/native-messaging-hosts";
    case Browser::kChrome: return "/etc/opt/chrome/native-messaging-hosts";
    case Browser::kEdge: return "/etc/opt/edge/native-messaging-hosts";
    case Browser::kFirefox: return "/usr/lib/mozilla/native-messaging-hosts";
  }
  return {};
}

}  // namespace

bool ManifestPath(const Target& target, fs::path* path, std::string* error) {
  fs::path folder;
  if (!target.manifestDir.empty()) {
    folder = fs::u8path(target.manifestDir);
  } else if (!target.userDataDir.empty()) {
    if (!IsChromiumFamily(target.browser)) {
      *error = "firefox has no --user-data-dir; its manifests live in "
               "~/.mozilla/native-messaging-hosts";
      return false;
    }
    folder = fs::u8path(target.userDataDir) / "NativeMessagingHosts";
  } else if (target.scope == Scope::kSystem) {
    folder = SystemFolder(target.browser);
  } else {
    folder = UserFolder(target.browser);
    if (folder.is_relative()) {
      *error = "cannot find the home folder";
      return false;
    }
  }
  *path = fs::absolute(folder) / (target.hostName + ".json");
  return true;
}

std::vector<fs::path> AlternativeManifestPaths(const Target& target) {
  if (target.browser != Browser::kFirefox || target.scope != Scope::kSystem ||
      !target.manifestDir.empty()) {
    return {};
  }
  return {fs::path("/usr/lib64/mozilla/native-messaging-hosts") / (target.hostName + ".json")};
}

// The folder is the registration. Where a Firefox may read lib64's folder
// (there is a /usr/lib64/mozilla), a link there names the manifest too.
bool PublishManifest(const Target& target, const fs::path& path, bool dryRun,
                     Actions* actions, std::string* error) {
  for (const fs::path& link : AlternativeManifestPaths(target)) {
    std::error_code code;
    if (!fs::is_directory(link.parent_path().parent_path(), code)) continue;
    if (!dryRun) {
      fs::create_directories(link.parent_path(), code);
      if (fs::is_symlink(fs::symlink_status(link, code))) fs::remove(link, code);
      fs::create_symlink(path, link, code);
      if (code) {
        *error = "cannot link " + link.u8string() + ": " + code.message();
        return false;
      }
    }
    actions->push_back("link " + link.u8string() + " -> " + path.u8string());
  }
  return true;
}

bool WithdrawManifest(const Target& target, bool dryRun, std::optional<fs::path>* published,
                      Actions* actions, std::string* error) {
  published->reset();
  for (const fs::path& link : AlternativeManifestPaths(target)) {
    std::error_code code;
    if (!fs::is_symlink(fs::symlink_status(link, code))) continue;
    if (!dryRun && !fs::remove(link, code) && code) {
      *error = "cannot remove " + link.u8string() + ": " + code.message();
      return false;
    }
    actions->push_back("remove " + link.u8string());
  }
  return true;
}

}  // namespace registration
