#include "designer/xpath_relay.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "designer/bridge_state.h"
#include "messages/report_text.h"
#include "messages/text_conversion.h"
#include "platform/debug_output.h"

namespace browser_extensions {
namespace {

// The record belongs to the library and may sit at any alignment, so the
// value is copied out rather than read through a cast pointer.
uint64_t ReadBridgeToken(const void* instance) {
  uint64_t token = 0;
  std::memcpy(&token, static_cast<const char*>(instance) + kBridgeTokenOffset,
              sizeof(token));
  return token;
}

// Converts the zero-terminated UTF-8 frame text into `out` and writes it to
// the debug output in its reportable form (secrets hidden, length capped).
void CaptureXPath(const char* text, std::wstring& out) {
  out = Utf8ToWide(std::string(text));
  platform::OutputDebugLineW(L"XPath received at Broker side");
  platform::OutputDebugLineW(ReportableMessageText(out));
}

}  // namespace

void RelayXPath(const char* text) {
  platform::OutputDebugLineW(L"Xpath received from Extension");
  std::wstring xpath;
  CaptureXPath(text, xpath);

  const BridgeState* state = PublishedBridgeState();
  if (state == nullptr || !state->IsReady()) return;
  state->sendMessageToSpindlecraft(xpath.c_str(), ReadBridgeToken(state->instance));
}

}  // namespace browser_extensions
