#include "startup_probe.h"

#include <chrono>
#include <map>
#include <sstream>

#include "host_file.h"
#include "host_launch.h"
#include "tool_process.h"
#include "trusted_path.h"

namespace registration {
namespace {

// The host reports and leaves at once; a slow machine may still take a
// while to load it.
constexpr std::chrono::seconds kPatience{20};
constexpr char kReportPrefix[] = "startup check: ";
constexpr char kVersionPrefix[] = "Corvantilhub ";  // the host's first line

// Windows' status for a DLL that the loader could not find.
constexpr unsigned long kDllNotFound = 0xC0000135UL;
// From here on, Windows' statuses are errors of the system (the loader's,
// an access violation), not exit codes of a program.
constexpr unsigned long kLoaderFailures = 0xC0000000UL;
// POSIX: 128 + the number of the signal that ended the program.
constexpr unsigned long kKilledBySignal = 128;

// "startup check: <what>: <state>" lines, by <what>.
std::map<std::string, std::string> ReadReport(const std::string& output) {
  std::map<std::string, std::string> report;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(kVersionPrefix, 0) == 0) report["version"] = line;
    if (line.rfind(kReportPrefix, 0) != 0) continue;
    line.erase(0, sizeof kReportPrefix - 1);
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) report[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return report;
}

std::string StatusText(unsigned long status) {
  if (status < 256) return std::to_string(status);
  std::ostringstream hex;
  hex << "0x" << std::hex << std::uppercase << status;
  return hex.str();
}

std::string FirstLines(const std::string& output) {
  std::string text = output.substr(0, 300);
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

Finding Failed(std::string detail, std::string advice) {
  return FailedFinding("start", std::move(detail), std::move(advice));
}

// The host never reached its entry point.
Finding DidNotStart(const ProbeSubject& subject, const HostRun& run) {
  const std::string host = subject.host.u8string();
  const std::string agent = AgentLibraryFileName();
  const bool agentMissing = run.exitStatus == kDllNotFound ||
                            run.errorOutput.find("Harrowmere64") != std::string::npos;
  const std::filesystem::path library = subject.host.parent_path() / agent;
  const bool agentUnreadable = agentMissing && FileUnreadable(library);
  std::string detail = host + " did not start: exit status " +
                       StatusText(run.exitStatus);
  if (agentUnreadable) {
    detail += ", the agent library " + library.u8string() + " can't be read (permissions)";
  } else if (agentMissing) {
    detail += ", the agent library " + agent + " was not found";
  }
  if (!run.errorOutput.empty()) detail += " (" + FirstLines(run.errorOutput) + ")";
  if (agentUnreadable) {
    return Failed(detail, std::string("let every user read it: as ") + AdministratorName() +
                              ", run " + MakeReadableCommand(library));
  }
  const std::string folder = subject.host.parent_path().u8string();
  if (agentMissing) {
    return Failed(detail, "put " + agent + " into " + folder +
                              " (install the single-sign-on agent, or copy it beside the host)");
  }
  // A program that ran and ended by itself without the host's report is
  // some other program; one the loader refused, or that crashed, is not
  // told apart by that.
  const bool loaderRefused =
      run.errorOutput.find("error while loading shared libraries") != std::string::npos ||
      run.exitStatus >= kLoaderFailures;
  if (!loaderRefused && run.exitStatus < kKilledBySignal) {
    return Failed(host + " is not a Corvantilhub host: it ended (exit status " +
                      StatusText(run.exitStatus) + ") without the host's start-up report",
                  subject.rewriteAdvice);
  }
  return Failed(detail, "start " + host + " by hand to see why it fails");
}

Finding FromReport(const ProbeSubject& subject, const HostRun& run,
                   const std::map<std::string, std::string>& report) {
  auto state = [&](const char* what) {
    const auto found = report.find(what);
    return found == report.end() ? std::string("not reported") : found->second;
  };
  Finding finding = OkFinding("start");
  const auto version = report.find("version");
  if (version != report.end()) finding.detail = version->second + ": ";
  finding.detail += "agent library " + state("agent library") + ", designer bridge " +
                   state("designer bridge") + ", protection service " +
                   state("protection service") + ", standard streams " +
                   state("standard streams") + "; exit status " +
                   StatusText(run.exitStatus);
  const std::string folder = subject.host.parent_path().u8string();
  if (state("standard streams") != "ready" || run.exitStatus != 0) {
    finding.verdict = Verdict::kFailed;
    finding.advice = "the host can't prepare its standard streams; start it "
                     "from the browser, not from a console";
  } else if (state("designer bridge") != "found") {
    finding.verdict = Verdict::kWarning;
    finding.advice = std::string("the host runs without the designer; put ") +
                     BridgeLibraryFileName() + " into " + folder + " to relay element paths";
  } else if (state("protection service") != "usable") {
    finding.verdict = Verdict::kWarning;
    finding.advice = "the agent's answers will pass unprotected; check that the "
                     "user's data-protection service (key folder) is usable";
  }
  return finding;
}

// Run as root: what another user could change of the host that the
// probe would start, or of the libraries it loads from its folder (a
// missing one can't be planted there when the folder itself is guarded).
// Empty when nothing.
std::string WhoElseCanChangeHost(const std::filesystem::path& host) {
  namespace fs = std::filesystem;
  std::string objection = WhoElseCanChange(host);
  for (const char* name : {AgentLibraryFileName(), BridgeLibraryFileName()}) {
    const fs::path library = host.parent_path() / name;
    std::error_code missing;
    if (objection.empty() && fs::exists(fs::symlink_status(library, missing)))
      objection = WhoElseCanChange(library);
  }
  return objection;
}

std::string CommandText(const HostLaunch& launch) {
  std::string text = launch.program.u8string();
  for (const std::string& argument : launch.arguments) text += " " + argument;
  return text;
}

}  // namespace

Finding NotProbed(const std::string& why) {
  return Failed("not probed: " + why,
                "as root, check reads and starts only files that no other user can "
                "change: make them root's and not writable by group or others, or "
                "run check as the user who runs the browser");
}

Finding ProbeHostStartup(const ProbeSubject& subject) {
  if (RunsAsRoot() && !subject.manifestAccepted) {
    return Failed("not probed: " + std::string(BrowserName(subject.browser)) +
                      " would not start the host this manifest names, so check starts "
                      "nothing as root",
                  "mend the manifest as the steps above say");
  }
  const std::string objection = RunsAsRoot() ? WhoElseCanChangeHost(subject.host) : "";
  if (!objection.empty()) return NotProbed(objection);
  HostLaunch launch;
  launch.program = subject.host;
  launch.arguments = BrowserArguments(IsChromiumFamily(subject.browser),
                                      subject.manifest.u8string(), subject.extensionId);
  const HostRun run = RunHostOnce(launch, kPatience);
  const std::string host = subject.host.u8string();
  if (!run.started) {
    return Failed("could not start " + host + ": " + run.launchError,
                  "start " + host + " by hand to see why it fails");
  }
  if (!run.ended) {
    return Failed(host + " was still running after " +
                      std::to_string(kPatience.count()) + " s and was stopped",
                  "check that " + host + " is a Corvantilhub host of this version");
  }
  const auto report = ReadReport(run.errorOutput);
  Finding finding = report.empty() ? DidNotStart(subject, run)
                                   : FromReport(subject, run, report);
  finding.notes.push_back("ran " + CommandText(launch) + " in " +
                          subject.host.parent_path().u8string());
  return finding;
}

}  // namespace registration
