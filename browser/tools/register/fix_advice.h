// The advice `check` gives: the register command line that puts things
// right for one browser, as the user would type it, or, for a registration
// that a package made, the command that repairs the package.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "browsers.h"
#include "installed_package.h"
#include "manifest_location.h"

namespace registration {

struct FixContext {
  Browser browser = Browser::kChromium;
  std::string hostName;
  std::string userDataDir;
  Scope scope = Scope::kUser;
  // The extensions to allow; empty: a placeholder the user fills in.
  std::vector<std::string> extensionIds;
  // Set when the registration is the package's own: repairing the package
  // puts it right, where a register command would fix nobody else.
  std::optional<InstalledPackage> package;
};

// What to do: "run <register command>", "as root, run ..." for all users'
// registrations, or the package's repair. `brokenManifest`, when given, is
// the manifest file that is there but wrong.
std::string FixAdvice(const FixContext& context, const std::string& hostPath = "",
                      const std::string& brokenManifest = "");

// "corvantilhub-register register --browser chrome --extension <id> ...".
// `hostPath` non-empty adds --host.
std::string RegisterCommand(const FixContext& context,
                            const std::string& hostPath = "");

// "corvantilhub-register unregister --browser chrome ...".
std::string UnregisterCommand(const FixContext& context);

}  // namespace registration
