// The log-level watcher: a detached thread that polls the agent's log level
// and tells the extension through the reply callback whenever it changes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "handling/agent_sdk.h"

namespace browser_extensions {

inline constexpr std::chrono::milliseconds kLogLevelPollInterval{300000};

// The agent-log level of the host's own lines (untyped messages, level
// updates).
inline constexpr int kHostLogLevel = 3;

// The part of a handler that its watcher uses. The handler and the watcher
// thread share ownership, so the watcher never reaches into a destroyed
// handler: whichever lets go last frees it.
class WatcherState {
 public:
  explicit WatcherState(ReplyCallback reply);

  const ReplyCallback& reply() const { return reply_; }

  void ClearStop();
  // Sets the stop flag and wakes a watcher that sleeps between polls.
  void RequestStop();
  bool StopRequested() const;

  // Waits for `interval` or until a stop is requested, whichever is first.
  void SleepUnlessStopped(std::chrono::milliseconds interval);

 private:
  const ReplyCallback reply_;
  std::atomic<bool> stop_{false};
  std::mutex sleepMutex_;
  std::condition_variable wake_;
};

// The watcher's loop; runs on the watcher thread until a stop is requested.
// A level differing from the one last reported (1 at first) is sent to the
// extension as a protected "updateLogLevel" message and written to the
// agent's log.
void WatchLogLevel(const std::shared_ptr<WatcherState>& state,
                   std::chrono::milliseconds pollInterval);

}  // namespace browser_extensions
