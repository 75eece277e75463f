#include "host_launch.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "trusted_path.h"

namespace registration {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kCheckName[] = "CORVANTILHUB_STARTUP_CHECK=";
constexpr char kCheckSetting[] = "CORVANTILHUB_STARTUP_CHECK=1";

// The environment the host gets: the caller's with the check asked for; or,
// run as root, one of its own, as the caller's may be a user's (sudo -E)
// and a host run as root with it would make root's files there (its key
// folder below the user's XDG_DATA_HOME, say). Root's own home, a plain
// PATH, and a data folder of the run's own that goes again afterwards.
class HostEnvironment {
 public:
  HostEnvironment() {
    if (!RunsAsRoot()) {
      for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, kCheckName, sizeof kCheckName - 1) != 0) Add(*variable);
      }
      Add(kCheckSetting);
      return;
    }
    char folder[] = "/tmp/corvantilhub-check-XXXXXX";
    if (mkdtemp(folder) != nullptr) dataFolder_ = folder;
    const passwd* root = getpwuid(0);
    Add(std::string("HOME=") + (root != nullptr && root->pw_dir != nullptr ? root->pw_dir : "/"));
    Add("PATH=/usr/sbin:/usr/bin:/sbin:/bin");
    if (!dataFolder_.empty()) Add("XDG_DATA_HOME=" + dataFolder_);
    Add(kCheckSetting);
  }
  ~HostEnvironment() {
    std::error_code ignored;
    if (!dataFolder_.empty()) std::filesystem::remove_all(dataFolder_, ignored);
  }
  HostEnvironment(const HostEnvironment&) = delete;
  HostEnvironment& operator=(const HostEnvironment&) = delete;

  // For execve; valid while this lives.
  char* const* Variables() {
    pointers_.clear();
    for (std::string& variable : variables_) pointers_.push_back(variable.data());
    pointers_.push_back(nullptr);
    return pointers_.data();
  }

 private:
  void Add(std::string variable) { variables_.push_back(std::move(variable)); }

  std::string dataFolder_;
  std::vector<std::string> variables_;
  std::vector<char*> pointers_;
};

// In the child: the host's folder, empty input, output thrown away, error
// output to `errorPipe`. Never returns.
[[noreturn]] void BecomeHost(const HostLaunch& launch, char* const* environment,
                             int errorPipe) {
  const int nothing = open("/dev/null", O_RDWR);
  dup2(nothing, STDIN_FILENO);
  dup2(nothing, STDOUT_FILENO);
  dup2(errorPipe, STDERR_FILENO);
  const std::string folder = launch.program.parent_path().string();
  if (chdir(folder.c_str()) != 0) {
    dprintf(STDERR_FILENO, "cannot enter %s: %s\n", folder.c_str(), strerror(errno));
    _exit(127);
  }
  const std::string program = launch.program.string();
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : launch.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  execve(program.c_str(), argv.data(), environment);
  dprintf(STDERR_FILENO, "cannot start %s: %s\n", program.c_str(), strerror(errno));
  _exit(127);
}

// Reads the child's error output until it closes it or the deadline passes.
void ReadUntilClosed(int fd, Clock::time_point deadline, std::string* output) {
  char buffer[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now());
    if (left.count() <= 0) return;
    pollfd ready{fd, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return;
    const ssize_t count = read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    output->append(buffer, static_cast<size_t>(count));
  }
}

bool WaitUntil(pid_t child, Clock::time_point deadline, int* status) {
  for (;;) {
    const pid_t done = waitpid(child, status, WNOHANG);
    if (done == child) return true;
    if (done < 0 && errno != EINTR) return false;
    if (Clock::now() >= deadline) return false;
    usleep(10 * 1000);
  }
}

}  // namespace

// Chromium-family browsers pass the caller's origin, Firefox the manifest's
// path and the add-on ID.
std::vector<std::string> BrowserArguments(bool chromiumFamily,
                                          const std::string& manifestPath,
                                          const std::string& extensionId) {
  if (!chromiumFamily) return {manifestPath, extensionId};
  return {"chrome-extension://" + extensionId + "/"};
}

HostRun RunHostOnce(const HostLaunch& launch, std::chrono::seconds patience) {
  HostRun run;
  HostEnvironment environment;
  char* const* variables = environment.Variables();
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) {
    run.launchError = std::string("cannot make a pipe: ") + strerror(errno);
    return run;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    BecomeHost(launch, variables, pipeEnds[1]);
  }
  close(pipeEnds[1]);
  if (child < 0) {
    run.launchError = std::string("cannot fork: ") + strerror(errno);
    close(pipeEnds[0]);
    return run;
  }
  run.started = true;
  const Clock::time_point deadline = Clock::now() + patience;
  ReadUntilClosed(pipeEnds[0], deadline, &run.errorOutput);
  close(pipeEnds[0]);
  int status = 0;
  run.ended = WaitUntil(child, deadline, &status);
  if (!run.ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return run;
  }
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace registration
