#include <signal.h>
#include <unistd.h>

#include "agent/stray_io.h"
#include "common/environment.h"

namespace harrowmere {
namespace {

constexpr char kSignalVariable[] = "HARROWMERE_SIGNAL_HANDLER";

void IgnoreSignal(int) {}

// Runs when the library is loaded, before the host's own code.
const bool g_signalHandlerInstalled = [] {
  if (standins::EnvironmentValue(kSignalVariable) != "1") return false;
  struct sigaction action = {};
  action.sa_handler = IgnoreSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: interrupted calls fail with EINTR
  return sigaction(SIGUSR1, &action, nullptr) == 0;
}();

}  // namespace

void WriteRawStandardOutput(const std::string& text) {
  [[maybe_unused]] const ssize_t written = write(STDOUT_FILENO, text.data(), text.size());
}

std::size_t ReadRawStandardInput(char* buffer, std::size_t size) {
  const ssize_t got = read(STDIN_FILENO, buffer, size);
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

}  // namespace harrowmere
