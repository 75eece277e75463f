#include "designer/bridge_state.h"

#include <atomic>

namespace browser_extensions {
namespace {

std::atomic<const BridgeState*> g_publishedState{nullptr};

}  // namespace

void PublishBridgeState(const BridgeState* state) {
  g_publishedState.store(state, std::memory_order_release);
}

const BridgeState* PublishedBridgeState() {
  return g_publishedState.load(std::memory_order_acquire);
}

void ResetBridgeStateForTesting() {
  delete g_publishedState.exchange(nullptr, std::memory_order_acq_rel);
}

}  // namespace browser_extensions
