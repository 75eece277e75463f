// The host's one point of contact between the extension channel and the
// agent: parses every inbound message, routes it by type, and runs the
// log-level watcher.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "handling/agent_sdk.h"
#include "handling/log_level_watcher.h"

namespace browser_extensions {

class CTabMessage;

class CMessageHandler {
 public:
  // `reply` takes protected text as its second argument and sends it to the
  // extension. Nothing is started here.
  explicit CMessageHandler(ReplyCallback reply);
  // The same with another poll interval for the watcher, for tests.
  CMessageHandler(ReplyCallback reply, std::chrono::milliseconds pollInterval);
  // Stops the watcher, waking it if it sleeps; does not wait for it.
  ~CMessageHandler();

  CMessageHandler(const CMessageHandler&) = delete;
  CMessageHandler& operator=(const CMessageHandler&) = delete;

  // Starts the log-level watcher on a detached thread.
  void Start();

  // `text` is the zero-terminated UTF-8 body of one inbound frame. `type`
  // receives the message's type when it has one and is left alone
  // otherwise. Returns true when the message was acted on or is left to the
  // caller (element paths), false when nothing was done with it.
  bool ProcessMessage(const char* text, std::wstring& type);
  // The same for zero-terminated UTF-16 text. The host reads UTF-8 frames
  // and uses ProcessMessage; this entry is for callers that hold wide text.
  bool RouteMessage(const wchar_t* text, std::wstring& type);

  // The watcher's loop on the calling thread; Start() runs it on a detached
  // thread instead. The loop holds its own share of the watcher's state,
  // so the handler may be destroyed while it runs, which ends it. Nothing
  // in the host calls this; tests drive the loop on a thread they join.
  void WatchLogLevel();

 private:
  // Routes a read envelope; `wholeText()` gives the message text for the
  // report of an envelope without a type.
  template <typename WholeText>
  bool RouteEnvelope(const CTabMessage& envelope, std::wstring& type,
                     WholeText wholeText);

  const std::shared_ptr<WatcherState> watcherState_;
  const std::chrono::milliseconds pollInterval_;
};

}  // namespace browser_extensions
