#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/debug_line_capture.h"

namespace {

class DebugOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!capture_.Available()) GTEST_SKIP() << "debug lines can't be captured here";
  }

  DebugLineCapture capture_;
};

TEST_F(DebugOutputTest, WideAndNarrowLinesArriveAsSent) {
  platform::OutputDebugLineW(L"Corvantilhub Activated");
  platform::OutputDebugLineA("std::bad_alloc");
  platform::OutputDebugLineW(L"");
  ASSERT_TRUE(capture_.WaitForLineCount(3));
  EXPECT_EQ(capture_.Lines(),
            (std::vector<std::string>{"Corvantilhub Activated", "std::bad_alloc", ""}));
}

TEST_F(DebugOutputTest, WideLineEndsAtItsFirstNul) {
  platform::OutputDebugLineW(std::wstring(L"before\0after", 12));
  ASSERT_TRUE(capture_.WaitForLineCount(1));
  EXPECT_EQ(capture_.Lines(), std::vector<std::string>{"before"});
}

TEST_F(DebugOutputTest, WideLineArrivesAsUtf8) {
  if (!capture_.CarriesAllCharacters()) GTEST_SKIP() << "wide text is narrowed on its way here";
  // Wide text holds UTF-16 units on every platform: U+1F600 is a pair.
  platform::OutputDebugLineW(std::wstring(L"caf\u00e9 \u20ac ") + wchar_t(0xD83D) +
                             wchar_t(0xDE00));
  EXPECT_TRUE(capture_.WaitForLine("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
}

// Lines that a debug socket's monitor can't take at once are dropped and
// counted (Windows drops none): every line sent either arrives whole, once,
// or is counted in a report that comes before the next line that arrives.
TEST_F(DebugOutputTest, LinesFromManyThreadsArriveWholeOrAreCounted) {
  constexpr int kThreads = 8;
  constexpr int kLinesEach = 40;
  std::vector<std::string> expected;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kLinesEach; ++i)
      expected.push_back("thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                         std::string(200, static_cast<char>('a' + t)));

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &expected] {
      for (int i = 0; i < kLinesEach; ++i) {
        const std::string& line = expected[t * kLinesEach + i];
        platform::OutputDebugLineW(std::wstring(line.begin(), line.end()));
      }
    });
  for (std::thread& thread : threads) thread.join();

  // Once an end line arrives, every line before it has arrived or been
  // reported. An end line may itself be dropped, so send one until one is
  // seen.
  int ends = 0;
  bool ended = false;
  while (!ended && ends < 30) {
    std::string end = "end " + std::to_string(++ends);
    platform::OutputDebugLineA(end.c_str());
    ended = capture_.WaitForLine(end, std::chrono::seconds(2));
  }
  ASSERT_TRUE(ended);

  const std::regex report("Debug output: ([0-9]+) lines? lost while the monitor was not reading");
  std::vector<std::string> received;
  size_t lost = 0, endsReceived = 0;
  for (const std::string& line : capture_.Lines()) {
    std::smatch count;
    if (std::regex_match(line, count, report))
      lost += std::stoul(count[1]);
    else if (line.rfind("end ", 0) == 0)
      ++endsReceived;
    else
      received.push_back(line);
  }
  EXPECT_EQ(received.size() + endsReceived + lost, expected.size() + ends);
  std::sort(received.begin(), received.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_TRUE(std::adjacent_find(received.begin(), received.end()) == received.end());
  EXPECT_TRUE(std::includes(expected.begin(), expected.end(), received.begin(), received.end()));
}

}  // namespace
