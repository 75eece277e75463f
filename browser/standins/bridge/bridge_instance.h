// The instance record that GetInstance hands to the host. The host reads
// only the 8-byte token at kBridgeTokenOffset and passes it back with each
// element path; the other fields make the record look like a real one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "designer/bridge_exports.h"

namespace tollgatelink {

// "TGLK" followed by 00C0FFEE: easy to spot in a record or a memory dump.
inline constexpr uint64_t kBridgeToken = 0x54474C4B00C0FFEEull;

struct BridgeInstance {
  uint64_t magic = 0x54534E494B4C4754ull;  // "TGLKINST" in memory order
  uint32_t size = sizeof(BridgeInstance);
  uint32_t version = 1;
  uint64_t designerWindow = 0;  // the stand-in opens no window
  uint64_t reserved[2] = {0, 0};
  uint64_t token = kBridgeToken;
};

static_assert(offsetof(BridgeInstance, token) == kBridgeTokenOffset,
              "the host reads the token at this offset");

// The one instance of the library; never destroyed.
BridgeInstance* Instance();

}  // namespace tollgatelink
