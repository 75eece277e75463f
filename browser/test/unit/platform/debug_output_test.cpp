#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST_F(DebugOutputTest, LinesFromManyThreadsAllArriveWhole) {
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

  ASSERT_TRUE(capture_.WaitForLineCount(expected.size()));
  std::vector<std::string> received = capture_.Lines();
  std::sort(received.begin(), received.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(received, expected);
}

}  // namespace
