#include "registration.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <system_error>

#include "allowed_extensions.h"
#include "manifest_file.h"
#include "manifest_json.h"
#include "tool_process.h"
#include "trusted_path.h"

namespace registration {
namespace fs = std::filesystem;
namespace {

Target TargetFor(const Options& options, Browser browser) {
  Target target;
  target.browser = browser;
  target.scope = options.scope;
  target.hostName = options.hostName;
  target.userDataDir = options.userDataDir;
  target.manifestDir = options.manifestDir;
  return target;
}

bool RemoveManifest(const fs::path& path, bool dryRun, Actions* actions, std::string* error) {
  std::error_code code;
  bool present = fs::exists(fs::symlink_status(path, code));
  if (present && !dryRun && !RemoveManifestFile(path, &present, error)) return false;
  actions->push_back((present ? "remove " : "no manifest at ") + path.u8string());
  return true;
}

// The extensions that the manifest at `path` allows now, when it can be
// read; run as root, only from a file that no other user can change.
std::vector<std::string> AllowedNow(Browser browser, const fs::path& path) {
  std::error_code code;
  if (!fs::is_regular_file(path, code) || (RunsAsRoot() && !WhoElseCanChange(path).empty())) {
    return {};
  }
  std::ifstream file(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)),
                         std::istreambuf_iterator<char>());
  const nlohmann::json manifest = nlohmann::json::parse(text, nullptr, false);
  if (!manifest.is_object()) return {};
  return ReadAllowedExtensions(browser, manifest).ids;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : ", ") + part;
  return joined;
}

// What register does to the list of a manifest that is there already:
// "  allows A, B (kept A; added B)".
std::string ListChange(const std::vector<std::string>& before,
                       const std::vector<std::string>& after) {
  std::vector<std::string> kept, added, dropped;
  for (const std::string& id : after) (Contains(before, id) ? kept : added).push_back(id);
  for (const std::string& id : before) {
    if (!Contains(after, id)) dropped.push_back(id);
  }
  std::string change;
  const auto tell = [&change](const char* what, const std::vector<std::string>& ids) {
    if (!ids.empty()) change += (change.empty() ? "" : "; ") + std::string(what) + " " + Joined(ids);
  };
  tell("kept", kept);
  tell("added", added);
  tell("dropped", dropped);
  return "  allows " + Joined(after) + " (" + change + ")";
}

}  // namespace

fs::path ResolveHostPath(const Options& options) {
  if (!options.hostPath.empty()) {
    return fs::absolute(fs::u8path(options.hostPath)).lexically_normal();
  }
  return RunningExecutable().parent_path() / HostExecutableName();
}

bool RegisterHost(const Options& options, Actions* actions,
                  std::string* error) {
  HostManifest manifest;
  manifest.name = options.hostName;
  manifest.description = "Corvantilhub single-sign-on browser host";
  manifest.hostPath = ResolveHostPath(options).u8string();
  for (Browser browser : options.browsers) {
    const Target target = TargetFor(options, browser);
    fs::path path;
    if (!ManifestPath(target, &path, error)) return false;
    // The IDs given are added to those the manifest allows, unless they are
    // to replace them.
    const std::vector<std::string> before =
        options.replace ? std::vector<std::string>() : AllowedNow(browser, path);
    const std::vector<std::string> replaced =
        options.replace ? AllowedNow(browser, path) : std::vector<std::string>();
    manifest.extensionIds = before;
    for (const std::string& id : ExtensionIdsFor(browser, options.extensionIds)) {
      if (!Contains(manifest.extensionIds, id)) manifest.extensionIds.push_back(id);
    }
    std::string json;
    if (!ManifestJson(browser, manifest, &json, error)) return false;
    if (!options.dryRun && !WriteManifestFile(target, path, json, error)) return false;
    actions->push_back("write " + path.u8string());
    if (!before.empty() || !replaced.empty()) {
      actions->push_back(ListChange(options.replace ? replaced : before, manifest.extensionIds));
    }
    if (!PublishManifest(target, path, options.dryRun, actions, error)) {
      return false;
    }
  }
  return true;
}

bool UnregisterHost(const Options& options, Actions* actions,
                    std::string* error) {
  for (Browser browser : options.browsers) {
    const Target target = TargetFor(options, browser);
    fs::path path;
    if (!ManifestPath(target, &path, error)) return false;
    std::optional<fs::path> published;
    if (!WithdrawManifest(target, options.dryRun, &published, actions,
                          error)) {
      return false;
    }
    // A registration may point at a manifest elsewhere (an earlier
    // --manifest-dir); remove it too, but only a file of our host's name.
    if (published && *published != path &&
        published->filename() == path.filename() &&
        !RemoveManifest(*published, options.dryRun, actions, error)) {
      return false;
    }
    if (!RemoveManifest(path, options.dryRun, actions, error)) return false;
  }
  return true;
}

}  // namespace registration
