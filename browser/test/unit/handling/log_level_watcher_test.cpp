// The log-level watcher: which levels reach the extension, and that its
// handler may be destroyed at any moment of the watcher's cycle.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "handling/message_handler.h"
#include "protection/protected_text.h"
#include "support/agent_sdk_double.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 60s;

bool WaitUntil(const std::function<bool()>& condition) {
  const auto giveUp = std::chrono::steady_clock::now() + kDeadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

size_t PollCount() { return agent_double::CallsTo("GetLogLevel").size(); }

class LogLevelWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override { agent_double::Reset(); }

  // Records the unwrapped texts, then runs `whileSending`. The callback's
  // copies hold `alive_`, so it expires when the watcher has let go.
  ReplyCallback Recorder(std::function<void()> whileSending = [] {}) {
    return [this, hold = alive_, whileSending](const std::wstring& first,
                                               const std::wstring& second) {
      EXPECT_TRUE(first.empty());
      {
        std::lock_guard<std::mutex> lock(mutex_);
        sent_.push_back(UnProtectData(second));
      }
      whileSending();
    };
  }

  // Waits until the watcher thread has ended, so none outlives its test.
  void ExpectWatcherGone() {
    std::weak_ptr<int> watcherHold = alive_;
    alive_.reset();
    EXPECT_TRUE(WaitUntil([&] { return watcherHold.expired(); }));
  }

  std::vector<std::wstring> Sent() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sent_;
  }

  std::mutex mutex_;
  std::vector<std::wstring> sent_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

TEST_F(LogLevelWatcherTest, ReportsEachChangeFromLevelOneExactlyOnce) {
  agent_double::ScriptLogLevels({1, 1, 4, 4, 1, -1});
  DebugLineCapture debug;
  {
    CMessageHandler handler(Recorder(), 1ms);
    handler.Start();
    ASSERT_TRUE(WaitUntil([] { return PollCount() >= 8; }));
  }
  ExpectWatcherGone();

  const std::vector<std::wstring> expected = {L"{\"level\":4,\"type\":\"updateLogLevel\"}",
                                              L"{\"level\":1,\"type\":\"updateLogLevel\"}",
                                              L"{\"level\":-1,\"type\":\"updateLogLevel\"}"};
  EXPECT_EQ(Sent(), expected);
  // The agent's log gets the plain text of every update, at level 3.
  std::vector<std::wstring> logged;
  for (const auto& call : agent_double::CallsTo("WriteLog")) {
    EXPECT_EQ(call.level, 3);
    logged.push_back(call.texts[0]);
  }
  EXPECT_EQ(logged, expected);
  if (debug.Available()) {
    EXPECT_TRUE(debug.WaitForLine("Log level: -1"));
  }
}

TEST_F(LogLevelWatcherTest, DestroyingTheHandlerWakesTheSleepingWatcher) {
  // The product interval: only the wake-up can end this test in time.
  auto handler = std::make_unique<CMessageHandler>(Recorder());
  handler->Start();
  ASSERT_TRUE(WaitUntil([] { return PollCount() >= 1; }));

  handler.reset();

  ExpectWatcherGone();
  EXPECT_EQ(PollCount(), 1u);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(LogLevelWatcherTest, HandlerDestroyedMidCycleIsNeverTouched) {
  // The watcher is held inside its reply until the handler is gone.
  auto entered = std::make_shared<std::promise<void>>();
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  agent_double::ScriptLogLevels({4});
  auto handler = std::make_unique<CMessageHandler>(
      Recorder([entered, released] {
        entered->set_value();
        released.wait();
      }),
      1ms);
  handler->Start();
  ASSERT_EQ(entered->get_future().wait_for(kDeadline), std::future_status::ready);

  handler.reset();
  release.set_value();

  ExpectWatcherGone();
  // The cycle finishes on the watcher's own share; no further poll.
  EXPECT_EQ(agent_double::CallsTo("WriteLog").size(), 1u);
  EXPECT_EQ(PollCount(), 1u);
}

TEST_F(LogLevelWatcherTest, LoopOnTheCallersThreadEndsWhenTheHandlerGoes) {
  agent_double::ScriptLogLevels({4});
  auto handler = std::make_unique<CMessageHandler>(Recorder(), 1ms);
  std::thread loop([&watching = *handler] { watching.WatchLogLevel(); });
  const bool reported = WaitUntil([this] { return !Sent().empty(); });

  handler.reset();
  loop.join();

  ASSERT_TRUE(reported);
  EXPECT_EQ(Sent().front(), L"{\"level\":4,\"type\":\"updateLogLevel\"}");
  ExpectWatcherGone();
}

}  // namespace
}  // namespace browser_extensions
