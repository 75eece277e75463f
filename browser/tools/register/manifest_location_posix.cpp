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

bool PublishManifest(const Target&, const fs::path&, bool, Actions*,
                     std::string*) {
  return true;  // the folder is the registration
}

bool WithdrawManifest(const Target&, bool, std::optional<fs::path>* published,
                      Actions*, std::string*) {
  published->reset();
  return true;
}

}  // namespace registration
