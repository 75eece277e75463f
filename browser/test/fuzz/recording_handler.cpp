// Link-time stand-ins for CMessageHandler and RelayXPath: they record the
// texts the read loop hands them instead of routing them. A text whose first
// byte is 'X' plays an element-path message: its type is set to "XPath", so
// the loop must relay exactly that frame, and must not let the type carry
// over to the next one.
#include <utility>

#include "designer/xpath_relay.h"
#include "handling/message_handler.h"
#include "recording_handler.h"

namespace {

LoopRecord record;

}  // namespace

LoopRecord TakeLoopRecord() { return std::exchange(record, LoopRecord{}); }

namespace browser_extensions {

CMessageHandler::CMessageHandler(ReplyCallback /*reply*/)
    : watcherState_(nullptr), pollInterval_(0) {}

CMessageHandler::~CMessageHandler() = default;

bool CMessageHandler::ProcessMessage(const char* text, std::wstring& type) {
  record.handled.emplace_back(text);
  if (text[0] == 'X') type = L"XPath";
  return true;
}

void RelayXPath(const char* text) { record.relayed.emplace_back(text); }

}  // namespace browser_extensions
