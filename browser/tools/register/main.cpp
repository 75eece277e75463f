// corvantilhub-register: registers the Corvantilhub host with Chromium,
// Google Chrome, Microsoft Edge and Firefox, per user or for all users, or
// removes it again, or checks why a browser can't find or start it. Run with
// --help for the options.
//
// Exit status: 0 done (check: all fine), 1 a step failed (check: a browser
// can't start the host), 2 the command line is wrong.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "check_command.h"
#include "check_report.h"
#include "command_line.h"
#include "installed_package.h"
#include "registration.h"
#include "tool_process.h"

namespace {

void PrintActions(const registration::Actions& actions, bool dryRun) {
  for (const std::string& action : actions) {
    std::printf("%s%s\n", dryRun ? "dry run: " : "", action.c_str());
  }
}

void WarnIfHostIsMissing(const registration::Options& options) {
  const std::filesystem::path host = registration::ResolveHostPath(options);
  std::error_code error;
  if (!std::filesystem::is_regular_file(host, error)) {
    std::fprintf(stderr, "warning: no host executable at %s yet\n",
                 host.u8string().c_str());
  }
}

// Exit status: 0 every browser can start the host, 1 one can't, 2 the
// options don't fit this platform.
int RunCheck(const registration::Options& options) {
  std::vector<registration::BrowserFindings> results;
  std::string error;
  if (!registration::CheckRegistrations(options, &results, &error)) {
    std::fprintf(stderr, "corvantilhub-register: %s\n", error.c_str());
    return 2;
  }
  const std::optional<registration::InstalledPackage> package =
      registration::FindInstalledPackage();
  const std::string report =
      options.json ? registration::FindingsJson(results, CORVANTILHUB_VERSION, package)
                   : registration::AboutText(CORVANTILHUB_VERSION, package) +
                         registration::FindingsText(results);
  std::fputs(report.c_str(), stdout);
  for (const auto& result : results) {
    if (!result.Passed()) return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace registration;
  Options options;
  std::string error;
  if (!ParseCommandLine(CommandLineArguments(argc, argv), &options, &error)) {
    std::fprintf(stderr,
                 "corvantilhub-register: %s (corvantilhub-register --help lists the options)\n",
                 error.c_str());
    return 2;
  }
  if (options.command == Command::kHelp) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.command == Command::kVersion) {
    std::puts("corvantilhub-register " CORVANTILHUB_VERSION);
    return 0;
  }
  if (options.command == Command::kCheck) return RunCheck(options);
  if (options.command == Command::kRegister) WarnIfHostIsMissing(options);
  Actions actions;
  const bool done = options.command == Command::kRegister
                        ? RegisterHost(options, &actions, &error)
                        : UnregisterHost(options, &actions, &error);
  PrintActions(actions, options.dryRun);
  if (!done) {
    std::fprintf(stderr, "corvantilhub-register: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
