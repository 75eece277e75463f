#include "registration.h"

#include <system_error>

#include "manifest_file.h"
#include "manifest_json.h"
#include "tool_process.h"

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
    manifest.extensionIds = ExtensionIdsFor(browser, options.extensionIds);
    if (!options.dryRun &&
        !WriteManifestFile(target, path, ManifestJson(browser, manifest), error)) {
      return false;
    }
    actions->push_back("write " + path.u8string());
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
