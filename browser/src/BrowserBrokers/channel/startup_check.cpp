#include "channel/startup_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "channel/binary_streams.h"
#include "platform/data_protection.h"
#include "platform/dynamic_library.h"
#include "platform/host_entry.h"
#include "platform/last_error.h"

namespace {

constexpr char kCheckVariable[] = "CORVANTILHUB_STARTUP_CHECK";
constexpr wchar_t kBridgeLibraryName[] = L"Tollgatelink.dll";

void Report(const char* what, const std::string& state) {
  std::fprintf(stderr, "startup check: %s: %s\n", what, state.c_str());
}

std::string WithError(const char* state, uint32_t code) {
  return std::string(state) + " (error " + std::to_string(code) + ")";
}

// The bridge is loaded only to see that it can be; the host runs without it.
std::string DesignerBridgeState() {
  if (platform::LoadLibraryByName(kBridgeLibraryName) != nullptr) return "found";
  return WithError("not found", platform::LastErrorCode());
}

// One sealed sample that must open again to the same bytes.
std::string ProtectionServiceState() {
  static const uint8_t kSample[] = {'p', 'r', 'o', 'b', 'e'};
  static const uint8_t kEntropy[] = {'c', 'h', 'e', 'c', 'k'};
  platform::ServiceBlob sealed;
  if (!platform::ProtectBytes(kSample, sizeof kSample, kEntropy,
                              sizeof kEntropy, &sealed)) {
    return WithError("not usable", platform::LastErrorCode());
  }
  platform::ServiceBlob opened;
  const bool openedAgain = platform::UnprotectBytes(
      sealed.data, sealed.size, kEntropy, sizeof kEntropy, &opened);
  const uint32_t error = platform::LastErrorCode();
  const bool same = openedAgain && opened.size == sizeof kSample &&
                    std::memcmp(opened.data, kSample, sizeof kSample) == 0;
  platform::FreeServiceBlob(sealed.data);
  if (openedAgain) platform::FreeServiceBlob(opened.data);
  if (same) return "usable";
  return openedAgain ? "not usable (opened to other bytes)"
                     : WithError("not usable", error);
}

}  // namespace

bool StartupCheckRequested() {
  const char* value = std::getenv(kCheckVariable);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

constexpr char kVersionLine[] = "Corvantilhub " CORVANTILHUB_VERSION "\n";

int HostVersionMain() {
  std::fputs(kVersionLine, stdout);
  return 0;
}

int RunStartupCheck() {
  std::fputs(kVersionLine, stderr);
  // The agent library is imported at load time: running at all proves it.
  Report("agent library", "loaded");
  Report("designer bridge", DesignerBridgeState());
  Report("protection service", ProtectionServiceState());
  const bool ready =
      SetBinaryUnbuffered(stdin) == 0 && SetBinaryUnbuffered(stdout) == 0;
  Report("standard streams", ready ? "ready" : "not ready");
  return ready ? 0 : -1;
}
