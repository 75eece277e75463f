// The advice `check` gives: the register command line that puts things
// right for one browser, as the user would type it.
#pragma once

#include <string>
#include <vector>

#include "browsers.h"
#include "manifest_location.h"

namespace registration {

struct FixContext {
  Browser browser = Browser::kChromium;
  std::string hostName;
  std::string userDataDir;
  Scope scope = Scope::kUser;
  // The extensions to allow; empty: a placeholder the user fills in.
  std::vector<std::string> extensionIds;
};

// "corvantilhub-register register --browser chrome --extension <id> ...".
// `hostPath` non-empty adds --host.
std::string RegisterCommand(const FixContext& context,
                            const std::string& hostPath = "");

// "corvantilhub-register unregister --browser chrome ...".
std::string UnregisterCommand(const FixContext& context);

}  // namespace registration
