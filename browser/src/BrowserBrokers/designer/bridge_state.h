// What the designer bridge thread leaves behind for the element-path relay.
//
// The bridge thread fills one BridgeState and publishes it whole; the main
// thread reads it. A relay therefore sees either no bridge or a complete
// one, never a half-filled record.
#pragma once

#include "designer/bridge_exports.h"
#include "platform/dynamic_library.h"

namespace browser_extensions {

struct BridgeState {
  platform::LibraryHandle library = nullptr;
  GetInstanceFunction getInstance = nullptr;
  CreateThreadBrokerFunction createThreadBroker = nullptr;
  SendMessageToSpindlecraftFunction sendMessageToSpindlecraft = nullptr;
  // The library's instance record; owned by the library.
  void* instance = nullptr;

  bool IsReady() const {
    return instance != nullptr && sendMessageToSpindlecraft != nullptr;
  }
};

// Makes `state` visible to readers (release ordering). The state is never
// freed: the relay may hold it at any time until the process ends.
void PublishBridgeState(const BridgeState* state);

// The published state (acquire ordering), or null before publication.
const BridgeState* PublishedBridgeState();

// Withdraws and frees the published state so a test can start again. Only
// for tests, and only when no relay or bridge thread can still use it.
void ResetBridgeStateForTesting();

}  // namespace browser_extensions
