// The log-level watcher: which levels reach the extension, and that a
// handler can be destroyed at any moment of the watcher's cycle.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
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
constexpr auto kShortPollInterval = 1ms;

bool WaitUntil(const std::function<bool()>& condition) {
  const auto giveUp = std::chrono::steady_clock::now() + kDeadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

size_t PollCount() { return agent_double::CallsTo("GetLogLevel").size(); }

// What the extension was sent, unwrapped. `alive` lives inside the reply
// callback: once every copy of the callback is gone, so is the watcher.
struct SentTexts {
  std::mutex mutex;
  std::vector<std::wstring> texts;
  std::shared_ptr<int> alive = std::make_shared<int>(0);

  ReplyCallback Callback(std::function<void()> whileSending = nullptr) {
    return [this, token = alive, whileSending](const std::wstring& first,
                                               const std::wstring& second) {
      EXPECT_TRUE(first.empty());
      {
        std::lock_guard<std::mutex> lock(mutex);
        texts.push_back(UnProtectData(second));
      }
      if (whileSending) whileSending();
    };
  }
  std::vector<std::wstring> Texts() {
    std::lock_guard<std::mutex> lock(mutex);
    return texts;
  }
};

class LogLevelWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override { agent_double::Reset(); }

  // Drops the test's own reference and waits until the watcher thread has
  // let go of the callback too, so no watcher outlives its test.
  void ExpectWatcherGone() {
    std::weak_ptr<int> watcherHold = sent_.alive;
    sent_.alive.reset();
    EXPECT_TRUE(WaitUntil([&] { return watcherHold.expired(); }));
  }

  SentTexts sent_;
  void ExpectDebugLine(const std::string& line) {
    if (debug_.Available()) {
      EXPECT_TRUE(debug_.WaitForLine(line)) << line;
    }
  }

  DebugLineCapture debug_;
};

TEST_F(LogLevelWatcherTest, AgentAtLevelOneIsNeverReported) {
  {
    CMessageHandler handler(sent_.Callback(), kShortPollInterval);
    handler.Start();
    ASSERT_TRUE(WaitUntil([] { return PollCount() >= 3; }));
  }
  ExpectWatcherGone();
  EXPECT_TRUE(sent_.Texts().empty());
  EXPECT_TRUE(agent_double::CallsTo("WriteLog").empty());
  ExpectDebugLine("Log level: 1");
}

TEST_F(LogLevelWatcherTest, ReportsAnotherLevelAtOnceAndEachChangeOnce) {
  agent_double::ScriptLogLevels({4, 4, 4, 1, 1, -1});
  {
    CMessageHandler handler(sent_.Callback(), kShortPollInterval);
    handler.Start();
    ASSERT_TRUE(WaitUntil([] { return PollCount() >= 8; }));
  }
  ExpectWatcherGone();

  const std::vector<std::wstring> expected = {
      L"{\"level\":4,\"type\":\"updateLogLevel\"}",
      L"{\"level\":1,\"type\":\"updateLogLevel\"}",
      L"{\"level\":-1,\"type\":\"updateLogLevel\"}"};
  EXPECT_EQ(sent_.Texts(), expected);

  // The agent's log gets the plain JSON text of every update, at level 3.
  std::vector<std::wstring> logged;
  for (const auto& call : agent_double::CallsTo("WriteLog")) {
    EXPECT_EQ(call.level, 3);
    logged.push_back(call.texts[0]);
  }
  EXPECT_EQ(logged, expected);
  ExpectDebugLine("Log level: -1");
}

TEST_F(LogLevelWatcherTest, DestroyingTheHandlerWakesTheSleepingWatcher) {
  // The product interval: only the wake-up can end this test in time.
  auto handler = std::make_unique<CMessageHandler>(sent_.Callback());
  handler->Start();
  ASSERT_TRUE(WaitUntil([] { return PollCount() >= 1; }));

  handler.reset();

  ExpectWatcherGone();
  EXPECT_EQ(PollCount(), 1u);
}

// Holds the watcher inside its reply until the test opens it.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool open = false;

  void EnterAndWait() {
    std::unique_lock<std::mutex> lock(mutex);
    entered = true;
    changed.notify_all();
    changed.wait(lock, [this] { return open; });
  }
  bool WaitEntered() {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kDeadline, [this] { return entered; });
  }
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      open = true;
    }
    changed.notify_all();
  }
};

TEST_F(LogLevelWatcherTest, HandlerDestroyedMidCycleIsNeverTouched) {
  auto gate = std::make_shared<Gate>();
  agent_double::ScriptLogLevels({4});
  auto handler = std::make_unique<CMessageHandler>(
      sent_.Callback([gate] { gate->EnterAndWait(); }), kShortPollInterval);
  handler->Start();
  const bool entered = gate->WaitEntered();

  // The watcher finishes its cycle on its own share of the state.
  handler.reset();
  gate->Open();

  ASSERT_TRUE(entered);
  ExpectWatcherGone();
  EXPECT_EQ(sent_.Texts().size(), 1u);
  EXPECT_EQ(agent_double::CallsTo("WriteLog").size(), 1u);
  EXPECT_EQ(PollCount(), 1u);
}

}  // namespace
}  // namespace browser_extensions
