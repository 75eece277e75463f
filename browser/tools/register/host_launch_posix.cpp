#include "host_launch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace registration {
namespace {

using Clock = std::chrono::steady_clock;

// In the child: the host's folder, empty input, output thrown away, error
// output to `errorPipe`. Never returns.
[[noreturn]] void BecomeHost(const HostLaunch& launch, int errorPipe) {
  const int nothing = open("/dev/null", O_RDWR);
  dup2(nothing, STDIN_FILENO);
  dup2(nothing, STDOUT_FILENO);
  dup2(errorPipe, STDERR_FILENO);
  setenv("CORVANTILHUB_STARTUP_CHECK", "1", 1);
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
  execv(program.c_str(), argv.data());
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
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) {
    run.launchError = std::string("cannot make a pipe: ") + strerror(errno);
    return run;
  }
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    BecomeHost(launch, pipeEnds[1]);
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
