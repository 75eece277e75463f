#include "handling/log_level_watcher.h"

#include <string>
#include <utility>

#include "messages/update_log_level_message.h"
#include "platform/debug_output.h"
#include "protection/protected_text.h"

namespace browser_extensions {
namespace {

constexpr int kInitiallyReportedLevel = 1;

void ReportLogLevel(const WatcherState& state, CUpdateLogLevelMessage& update,
                    int level) {
  update.level = level;
  const std::wstring json = update.ToJsonString();
  state.reply()(std::wstring(), ProtectData(json));
  wexkit_utils::WriteLog(kHostLogLevel, json);
}

}  // namespace

WatcherState::WatcherState(ReplyCallback reply) : reply_(std::move(reply)) {}

void WatcherState::ClearStop() { stop_.store(false); }

void WatcherState::RequestStop() {
  {
    // Taken so the store can't fall between a sleeper's test and its wait.
    std::lock_guard<std::mutex> lock(sleepMutex_);
    stop_.store(true);
  }
  wake_.notify_all();
}

bool WatcherState::StopRequested() const { return stop_.load(); }

void WatcherState::SleepUnlessStopped(std::chrono::milliseconds interval) {
  std::unique_lock<std::mutex> lock(sleepMutex_);
  wake_.wait_for(lock, interval, [this] { return stop_.load(); });
}

// Runs on the watcher thread.
void WatchLogLevel(const std::shared_ptr<WatcherState>& state,
                   std::chrono::milliseconds pollInterval) {
  // Its level is also the memory of the level last reported.
  CUpdateLogLevelMessage update;
  update.type = L"updateLogLevel";
  update.level = kInitiallyReportedLevel;

  while (!state->StopRequested()) {
    const int level = wexkit_utils::GetLogLevel();
    platform::OutputDebugLineW(L"Log level: " + std::to_wstring(level));
    // The handler may have gone while the agent answered; a stopped
    // watcher sends nothing more.
    if (state->StopRequested()) break;
    if (level != update.level) ReportLogLevel(*state, update, level);
    state->SleepUnlessStopped(pollInterval);
  }
}

}  // namespace browser_extensions
