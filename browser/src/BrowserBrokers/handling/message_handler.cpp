#include "handling/message_handler.h"

#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "messages/handler_base.h"
#include "messages/report_text.h"
#include "messages/tab_message.h"
#include "messages/text_conversion.h"
#include "platform/debug_output.h"

namespace browser_extensions {
namespace {

// A message without a type can't be routed; it is reported, not dropped
// silently, so a misbehaving extension shows up in the agent's log. The
// report hides secrets and stays short: the log outlives the session.
void ReportUntypedMessage(const std::wstring& text) {
  const std::wstring line = L"Unknown message sent = " + ReportableMessageText(text);
  platform::OutputDebugLineW(line);
  wexkit_utils::WriteLog(kHostLogLevel, line);
}

}  // namespace

CMessageHandler::CMessageHandler(ReplyCallback reply)
    : CMessageHandler(std::move(reply), kLogLevelPollInterval) {}

CMessageHandler::CMessageHandler(ReplyCallback reply,
                                 std::chrono::milliseconds pollInterval)
    : watcherState_(std::make_shared<WatcherState>(std::move(reply))),
      pollInterval_(pollInterval) {}

CMessageHandler::~CMessageHandler() { watcherState_->RequestStop(); }

void CMessageHandler::Start() {
  watcherState_->ClearStop();
  // The thread holds its own share of the state, never the handler.
  try {
    std::thread(browser_extensions::WatchLogLevel, watcherState_, pollInterval_)
        .detach();
  } catch (const std::system_error&) {
    platform::OutputDebugLineW(L"Log level watcher could not be started");
  }
}

void CMessageHandler::WatchLogLevel() {
  // A share of its own, not the member: the handler may go while it runs.
  const std::shared_ptr<WatcherState> state = watcherState_;
  browser_extensions::WatchLogLevel(state, pollInterval_);
}

bool CMessageHandler::ProcessMessage(const char* text, std::wstring& type) {
  const std::size_t size = std::strlen(text);
  CTabMessage envelope;
  // Read straight from the UTF-8 bytes; the rare report of an untyped
  // message converts them.
  envelope.FromJsonUtf8(std::string_view(text, size));
  return RouteEnvelope(envelope, type,
                       [text, size] { return Utf8ToWide(text, size); });
}

bool CMessageHandler::RouteMessage(const wchar_t* text, std::wstring& type) {
  const std::wstring wholeText(text);
  CTabMessage envelope;
  envelope.FromJsonString(wholeText);
  return RouteEnvelope(envelope, type, [&wholeText] { return wholeText; });
}

template <typename WholeText>
bool CMessageHandler::RouteEnvelope(const CTabMessage& envelope,
                                    std::wstring& type, WholeText wholeText) {
  if (envelope.type.empty()) {
    ReportUntypedMessage(wholeText());
    return false;
  }
  type = envelope.type;

  if (envelope.type == L"closeTab") {
    wexkit_core::OnTabClosed(envelope.tabID);
    return true;
  }
  if (envelope.type == L"XPath") return true;  // relayed by the read loop

  // Every other type is its payload's to handle: CreatePayload's table
  // (messages/tab_message.cpp) chose the class, and each class's Handle is
  // in payload_handlers.cpp.
  auto* handler = dynamic_cast<CHandlerBase*>(envelope.payload.get());
  if (handler == nullptr) return false;
  handler->Handle(watcherState_->reply(), envelope.tabID);
  return true;
}

}  // namespace browser_extensions
