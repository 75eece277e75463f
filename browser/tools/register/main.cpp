// corvantilhub-register: registers the Corvantilhub host with Chromium,
// Google Chrome, Microsoft Edge and Firefox, per user or for all users, or
// removes it again. Run with --help for the options.
//
// Exit status: 0 done, 1 a step failed, 2 the command line is wrong.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "command_line.h"
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

}  // namespace

int main(int argc, char** argv) {
  using namespace registration;
  Options options;
  std::string error;
  if (!ParseCommandLine(CommandLineArguments(argc, argv), &options, &error)) {
    std::fprintf(stderr, "corvantilhub-register: %s\n\n%s", error.c_str(),
                 kUsage);
    return 2;
  }
  if (options.command == Command::kHelp) {
    std::fputs(kUsage, stdout);
    return 0;
  }
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
