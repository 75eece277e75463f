#include "channel/extension_output.h"

#include <atomic>

namespace {

// Trivially destructible, so writers on detached threads may still read
// them while the process exits.
std::atomic<FILE*> g_output{nullptr};
std::atomic<FILE*> g_output_override{nullptr};

}  // namespace

FILE* ExtensionOutput() {
  FILE* stream = g_output_override.load(std::memory_order_acquire);
  if (stream == nullptr) stream = g_output.load(std::memory_order_acquire);
  return stream != nullptr ? stream : stdout;
}

void SetExtensionOutput(FILE* stream) { g_output.store(stream, std::memory_order_release); }

void SetExtensionOutputForTesting(FILE* stream) {
  g_output_override.store(stream, std::memory_order_release);
}
