#include "command_line.h"

#include <algorithm>
#include <string>
#include <utility>

namespace registration {

const char kUsage[] =
    "usage: corvantilhub-register register --browser LIST --extension ID "
    "[--replace] [options]\n"
    "       corvantilhub-register unregister [--browser LIST] [options]\n"
    "       corvantilhub-register check [--browser LIST] [--extension ID]\n"
    "                             [--name NAME] [--system|--user]\n"
    "                             [--user-data-dir DIR] [--json]\n"
    "       corvantilhub-register --version | --help\n"
    "\n"
    "Writes (or removes) the native-messaging manifest through which a\n"
    "browser starts the Corvantilhub host for the given extensions. check\n"
    "finds the manifest as each browser does, checks it, starts the host\n"
    "as the browser would and says what to fix (exit status 0: all fine,\n"
    "1: a browser can't start the host, 2: a bad command line).\n"
    "\n"
    "  --browser LIST       chromium, chrome, edge, firefox or all, several\n"
    "                       separated by commas (unregister: default all)\n"
    "  --extension ID       an extension allowed to start the host; repeat\n"
    "                       for more. Chromium, Chrome and Edge take the\n"
    "                       32-letter extension ID, Firefox an add-on ID\n"
    "                       (name@example.org or {GUID}); each browser gets\n"
    "                       the IDs of its own kind. register adds them to\n"
    "                       those the manifest allows already\n"
    "  --replace            register: allow only the IDs given\n"
    "  --host PATH          the host executable (default: Corvantilhub beside\n"
    "                       this tool)\n"
    "  --name NAME          the host name that extensions connect to\n"
    "                       (default: com.corvantilhub.host)\n"
    "  --system             for all users instead of the current user\n"
    "                       (check: look only where all users' hosts are)\n"
    "  --user               the current user (check: look only there)\n"
    "  --user-data-dir DIR  only for the Chromium-family profile folder DIR\n"
    "                       (as given to the browser's --user-data-dir; Linux)\n"
    "  --manifest-dir DIR   put the manifest file into DIR\n"
    "  --dry-run            print what would be done and change nothing\n"
    "  --json               check: print the findings as JSON\n"
    "  --version            print the version\n"
    "  --help               print this text\n";

namespace {

std::vector<std::string> SplitOnCommas(const std::string& list) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    parts.push_back(list.substr(start, comma - start));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

bool ParseBrowsers(const std::string& list, std::vector<Browser>* browsers,
                   std::string* error) {
  for (const std::string& name : SplitOnCommas(list)) {
    if (name == "all") {
      browsers->assign(std::begin(kAllBrowsers), std::end(kAllBrowsers));
      continue;
    }
    const std::optional<Browser> browser = BrowserFromName(name);
    if (!browser) {
      *error = "unknown browser '" + name +
               "' (chromium, chrome, edge, firefox or all)";
      return false;
    }
    if (std::find(browsers->begin(), browsers->end(), *browser) ==
        browsers->end()) {
      browsers->push_back(*browser);
    }
  }
  return true;
}

// Splits "--name=value" and "--name value"; false when the value is missing.
bool TakeValue(const std::vector<std::string>& arguments, size_t* index,
               const std::string& option, std::string* value) {
  const std::string& argument = arguments[*index];
  if (argument.size() > option.size() && argument[option.size()] == '=') {
    *value = argument.substr(option.size() + 1);
    return true;
  }
  if (*index + 1 >= arguments.size()) return false;
  *value = arguments[++*index];
  return true;
}

bool CheckRegisterOptions(const Options& options, std::string* error) {
  if (options.extensionIds.empty()) {
    *error = "register needs at least one --extension ID";
    return false;
  }
  for (const std::string& id : options.extensionIds) {
    if (!IsChromiumExtensionId(id) && !IsFirefoxAddonId(id)) {
      *error = "'" + id + "' is neither a Chromium extension ID (32 letters "
               "a-p) nor a Firefox add-on ID";
      return false;
    }
  }
  for (Browser browser : options.browsers) {
    if (ExtensionIdsFor(browser, options.extensionIds).empty()) {
      *error = std::string("no extension ID for ") + BrowserName(browser) +
               (IsChromiumFamily(browser)
                    ? " (it takes 32-letter extension IDs)"
                    : " (it takes add-on IDs such as name@example.org)");
      return false;
    }
  }
  return true;
}

// check looks at what is registered: it names no host and writes nothing.
// With --user-data-dir it looks at one Chromium-family profile, so the
// browsers default to that family.
bool CheckCheckOptions(Options* options, std::string* error) {
  if (!options->hostPath.empty() || !options->manifestDir.empty() ||
      options->dryRun) {
    *error = "check takes neither --host, --manifest-dir nor --dry-run";
    return false;
  }
  for (const std::string& id : options->extensionIds) {
    if (!IsChromiumExtensionId(id) && !IsFirefoxAddonId(id)) {
      *error = "'" + id + "' is neither a Chromium extension ID (32 letters "
               "a-p) nor a Firefox add-on ID";
      return false;
    }
  }
  const bool profileOnly = !options->userDataDir.empty();
  if (options->browsers.empty()) {
    for (Browser browser : kAllBrowsers) {
      if (!profileOnly || IsChromiumFamily(browser)) {
        options->browsers.push_back(browser);
      }
    }
  }
  for (Browser browser : options->browsers) {
    if (profileOnly && !IsChromiumFamily(browser)) {
      *error = "firefox has no --user-data-dir; leave it out of --browser";
      return false;
    }
  }
  return true;
}

// The options that take a text as it stands, and where it goes.
std::string Options::*TextOption(const std::string& option) {
  static const std::pair<const char*, std::string Options::*> kTextOptions[] = {
      {"--host", &Options::hostPath},
      {"--name", &Options::hostName},
      {"--user-data-dir", &Options::userDataDir},
      {"--manifest-dir", &Options::manifestDir},
  };
  for (const auto& entry : kTextOptions) {
    if (option == entry.first) return entry.second;
  }
  return nullptr;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments,
                      Options* options, std::string* error) {
  if (arguments.empty()) {
    *error = "missing command: register, unregister or check";
    return false;
  }
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::string option = argument.substr(0, argument.find('='));
    std::string value;
    const auto needsValue = [&] {
      if (TakeValue(arguments, &i, option, &value)) return true;
      *error = option + " needs a value";
      return false;
    };
    if (argument == "--help" || argument == "-h") {
      options->command = Command::kHelp;
      return true;
    } else if (argument == "--version") {
      options->command = Command::kVersion;
      return true;
    } else if (i == 0 && argument == "register") {
      options->command = Command::kRegister;
    } else if (i == 0 && argument == "unregister") {
      options->command = Command::kUnregister;
    } else if (i == 0 && argument == "check") {
      options->command = Command::kCheck;
    } else if (i == 0) {
      *error = "unknown command '" + argument +
               "': register, unregister or check";
      return false;
    } else if (option == "--browser") {
      if (!needsValue() || !ParseBrowsers(value, &options->browsers, error)) {
        return false;
      }
    } else if (option == "--extension") {
      if (!needsValue()) return false;
      options->extensionIds.push_back(value);
    } else if (std::string Options::*text = TextOption(option)) {
      if (!needsValue()) return false;
      options->*text = value;
    } else if (argument == "--system" || argument == "--user") {
      if (options->scopeChosen) {
        *error = "give --system or --user once";
        return false;
      }
      options->scope = argument == "--system" ? Scope::kSystem : Scope::kUser;
      options->scopeChosen = true;
    } else if (argument == "--dry-run") {
      options->dryRun = true;
    } else if (argument == "--json") {
      options->json = true;
    } else if (argument == "--replace") {
      options->replace = true;
    } else {
      *error = "unknown option '" + argument + "'";
      return false;
    }
  }

  if (!IsValidHostName(options->hostName)) {
    *error = "invalid host name '" + options->hostName +
             "': lower-case letters, digits and underscores in parts "
             "separated by single dots";
    return false;
  }
  if (!options->userDataDir.empty() &&
      (options->scope == Scope::kSystem || !options->manifestDir.empty())) {
    *error = "--user-data-dir goes with neither --system nor --manifest-dir";
    return false;
  }
  if (options->json && options->command != Command::kCheck) {
    *error = "--json goes with check only";
    return false;
  }
  if (options->replace && options->command != Command::kRegister) {
    *error = "--replace goes with register only";
    return false;
  }
  if (options->command == Command::kCheck) return CheckCheckOptions(options, error);
  if (options->browsers.empty()) {
    if (options->command == Command::kRegister) {
      *error = "register needs --browser";
      return false;
    }
    options->browsers.assign(std::begin(kAllBrowsers), std::end(kAllBrowsers));
  }
  if (options->command == Command::kRegister) {
    return CheckRegisterOptions(*options, error);
  }
  if (!options->extensionIds.empty() || !options->hostPath.empty()) {
    *error = "unregister takes neither --extension nor --host";
    return false;
  }
  return true;
}

}  // namespace registration
