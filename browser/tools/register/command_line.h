// The command line of corvantilhub-register.
#pragma once

#include <string>
#include <vector>

#include "browsers.h"
#include "manifest_location.h"

namespace registration {

inline constexpr char kDefaultHostName[] = "com.corvantilhub.host";

enum class Command { kRegister, kUnregister, kCheck, kHelp, kVersion };

struct Options {
  Command command = Command::kHelp;
  std::vector<Browser> browsers;
  Scope scope = Scope::kUser;
  bool scopeChosen = false;  // --system or --user given (check: look there only)
  std::vector<std::string> extensionIds;
  std::string hostPath;  // empty: the host beside this tool
  std::string hostName = kDefaultHostName;
  std::string userDataDir;
  std::string manifestDir;
  bool dryRun = false;
  bool json = false;  // check: print the findings as JSON
  bool replace = false;  // register: the IDs given replace those a manifest allows
};

extern const char kUsage[];

// Fills `options` from the arguments after the program name. False, with a
// message in `error`, for anything that can't be carried out as asked.
bool ParseCommandLine(const std::vector<std::string>& arguments,
                      Options* options, std::string* error);

}  // namespace registration
