#include "fix_advice.h"

#include "command_line.h"
#include "tool_process.h"

namespace registration {
namespace {

// Quotes an argument for a shell only where it needs it.
std::string ShellWord(const std::string& word) {
  if (!word.empty() &&
      word.find_first_of(" \t\"'\\$`&|;<>()*?") == std::string::npos) {
    return word;
  }
  std::string quoted = "\"";
  for (char c : word) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CommonOptions(const FixContext& context) {
  std::string options = " --browser " + std::string(BrowserName(context.browser));
  if (context.hostName != kDefaultHostName) {
    options += " --name " + ShellWord(context.hostName);
  }
  if (context.scope == Scope::kSystem) options += " --system";
  if (!context.userDataDir.empty()) {
    options += " --user-data-dir " + ShellWord(context.userDataDir);
  }
  return options;
}

}  // namespace

std::string RegisterCommand(const FixContext& context,
                            const std::string& hostPath) {
  std::string command = "corvantilhub-register register" + CommonOptions(context);
  if (context.extensionIds.empty()) {
    command += IsChromiumFamily(context.browser) ? " --extension <extension ID>"
                                                 : " --extension <add-on ID>";
  }
  for (const std::string& id : context.extensionIds) {
    command += " --extension " + ShellWord(id);
  }
  if (!hostPath.empty()) command += " --host " + ShellWord(hostPath);
  return command;
}

std::string FixAdvice(const FixContext& context, const std::string& hostPath,
                      const std::string& brokenManifest) {
  if (context.package) return RepairAdvice(*context.package, brokenManifest);
  const std::string command = RegisterCommand(context, hostPath);
  if (context.scope == Scope::kSystem) {
    return std::string("as ") + AdministratorName() + ", run " + command;
  }
  return "run " + command;
}

std::string UnregisterCommand(const FixContext& context) {
  return "corvantilhub-register unregister" + CommonOptions(context);
}

}  // namespace registration
