#include "channel/extension_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "channel/extension_output.h"
#include "frame_capture.h"
#include "platform/debug_output.h"
#include "protection/protected_text.h"
#include "support/debug_line_capture.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 20s;
const std::string kSentLine = "Message Sent to Chrome Extension Message Written";

std::wstring Units(std::initializer_list<unsigned> units) {
  std::wstring text;
  for (unsigned unit : units) text += static_cast<wchar_t>(unit);
  return text;
}

std::string Bytes(std::initializer_list<unsigned> bytes) {
  std::string out;
  for (unsigned byte : bytes) out += static_cast<char>(byte);
  return out;
}

struct Writer {
  const char* name;
  std::function<void(const std::wstring&)> write;
  std::vector<std::string> linesPerFrame;
};

// Every way a text reaches the extension; each must frame it the same.
const std::vector<Writer>& AllWriters() {
  static const std::vector<Writer> writers = {
      {"WriteExtensionMessage", [](const std::wstring& text) { WriteExtensionMessage(text); },
       {kSentLine}},
      {"OnDesignerText", [](const std::wstring& text) { OnDesignerText(L"ignored", text); },
       {kSentLine}},
      {"WriteProtectedExtensionMessage",
       [](const std::wstring& text) { WriteProtectedExtensionMessage(ProtectData(text)); },
       {}},
  };
  return writers;
}

class ExtensionWriterTest : public ::testing::Test {
 protected:
  std::string Capture(const std::function<void()>& write) {
    FrameCapture frames;
    write();
    return frames.Finish();
  }

  // Checks that exactly `expected` have been written since the last check,
  // where debug lines can be captured. Lines arrive asynchronously: a
  // marker written last shows that every earlier line has been seen.
  void ExpectLinesSinceLastCheck(const std::vector<std::string>& expected) {
    if (!lines_.Available()) return;
    const std::string marker = "extension writer test marker";
    platform::OutputDebugLineW(std::wstring(marker.begin(), marker.end()));
    ASSERT_TRUE(lines_.WaitForLine(marker, kDeadline));
    std::vector<std::string> lines = lines_.Lines();
    lines_.Clear();
    lines.erase(std::remove(lines.begin(), lines.end(), marker), lines.end());
    EXPECT_EQ(lines, expected);
  }

  DebugLineCapture lines_;
};

TEST_F(ExtensionWriterTest, FramesAreByteExactWithOneLinePerPlainFrame) {
  const std::vector<std::pair<std::wstring, std::string>> cases = {
      {L"", Bytes({0x02, 0, 0, 0, 0x22, 0x22})},
      {L"abc", Bytes({0x05, 0, 0, 0, 0x22, 0x61, 0x62, 0x63, 0x22})},
      {L"a\"b\\c", Bytes({0x09, 0, 0, 0, 0x22, 0x61, 0x5C, 0x22, 0x62, 0x5C, 0x5C, 0x63, 0x22})},
      {Units({0xE9}), Bytes({0x04, 0, 0, 0, 0x22, 0xC3, 0xA9, 0x22})},
      {std::wstring(L"a\0b", 3), Bytes({0x03, 0, 0, 0, 0x22, 0x61, 0x22})},
      {Units({0xD800}), Bytes({0x05, 0, 0, 0, 0x22, 0xEF, 0xBF, 0xBD, 0x22})},
      {L"\n", Bytes({0x04, 0, 0, 0, 0x22, 0x5C, 0x6E, 0x22})},
      {Units({0x1F}), Bytes({0x08, 0, 0, 0, 0x22, 0x5C, 0x75, 0x30, 0x30, 0x31, 0x46, 0x22})},
      // Escapes of every size beside multi-byte characters, so the body
      // grows in several places at once.
      {Units({'"', 0x01, 0xE9, 0xD83D, 0xDE00, '\\', '\t', 'x'}),
       Bytes({0x15, 0, 0, 0, 0x22, 0x5C, 0x22, 0x5C, 0x75, 0x30, 0x30, 0x30, 0x31, 0xC3, 0xA9,
              0xF0, 0x9F, 0x98, 0x80, 0x5C, 0x5C, 0x5C, 0x74, 0x78, 0x22})},
      {std::wstring(70000, L'x'), Bytes({0x72, 0x11, 0x01, 0x00}) + '"' +
                                      std::string(70000, 'x') + '"'},
  };
  for (const Writer& writer : AllWriters()) {
    for (const auto& testCase : cases) {
      const std::wstring& text = testCase.first;
      SCOPED_TRACE(std::string(writer.name) + " with " + std::to_string(text.size()) + " units");
      EXPECT_EQ(Capture([&] { writer.write(text); }), testCase.second);
      ExpectLinesSinceLastCheck(writer.linesPerFrame);
    }
  }
}

// Mended: the protected form of an empty text unwraps to an empty message;
// it must not reach the extension as the protected form itself.
TEST_F(ExtensionWriterTest, ProtectedEmptyTextGoesOutEmpty) {
  EXPECT_EQ(Capture([] { WriteProtectedExtensionMessage(ProtectData(L"")); }),
            Bytes({0x02, 0, 0, 0, 0x22, 0x22}));
}

TEST_F(ExtensionWriterTest, TextThatDoesNotUnwrapGoesOutAsGiven) {
  const std::wstring plain = L"{\"type\":\"x\"}";
  EXPECT_EQ(Capture([&] { WriteProtectedExtensionMessage(plain); }),
            Bytes({0x12, 0, 0, 0}) + "\"{\\\"type\\\":\\\"x\\\"}\"");
}

// Browsers end the connection on a body over 1 MiB; such a frame is
// dropped and reported instead.
TEST_F(ExtensionWriterTest, DropsFramesOverOneMebibyte) {
  const std::wstring fits(kMaxOutboundBodyBytes - 2, L'x');
  for (const Writer& writer : AllWriters()) {
    SCOPED_TRACE(writer.name);
    const std::string stream = Capture([&] { writer.write(fits); });
    ASSERT_EQ(stream.size(), 4 + kMaxOutboundBodyBytes);
    EXPECT_EQ(stream.substr(0, 4), Bytes({0x00, 0x00, 0x10, 0x00}));
    ExpectLinesSinceLastCheck(writer.linesPerFrame);

    EXPECT_EQ(Capture([&] { writer.write(fits + L"x"); }), "");
    ExpectLinesSinceLastCheck({"Message to Chrome Extension dropped: 1048577 bytes "
                               "exceed the 1048576-byte limit"});
  }
  // The limit applies to the escaped body.
  EXPECT_EQ(Capture([] { WriteExtensionMessage(std::wstring(524288, L'"')); }), "");
  ExpectLinesSinceLastCheck({"Message to Chrome Extension dropped: 1048578 bytes "
                             "exceed the 1048576-byte limit"});
}

// The browser has stopped reading: the frame is lost with a line naming
// the error, and the next frame is written as usual.
TEST_F(ExtensionWriterTest, AFailedWriteDropsOnlyItsFrameWithALine) {
  const char* const path = "extension_writer_test_read_only";
  std::fclose(std::fopen(path, "wb"));
  FILE* readOnly = std::fopen(path, "rb");
  ASSERT_NE(readOnly, nullptr);
  SetExtensionOutputForTesting(readOnly);
  WriteProtectedExtensionMessage(ProtectData(L"lost"));
  SetExtensionOutputForTesting(nullptr);
  std::fclose(readOnly);
  std::remove(path);
  if (lines_.Available()) {
    ASSERT_TRUE(lines_.WaitForLineCount(1, kDeadline));
    const std::string line = lines_.Lines().front();
    const std::string prefix = "Message to Chrome Extension dropped: write failed: ";
    EXPECT_EQ(line.substr(0, prefix.size()), prefix);
    EXPECT_GT(std::stoul(line.substr(prefix.size())), 0u);
    lines_.Clear();
  }
  EXPECT_EQ(Capture([] { WriteExtensionMessage(L"abc"); }), Bytes({5, 0, 0, 0, '"', 'a', 'b', 'c', '"'}));
}

// At exit the frame under way is waited for, then the lock is kept, so no
// frame is cut and none starts; a writer stuck past the patience is given up.
TEST_F(ExtensionWriterTest, ClosingWaitsForTheFrameUnderWay) {
  std::promise<void> release;
  std::promise<void> holding;
  std::thread writer([&] {
    std::lock_guard<std::mutex> frame(OutputMutex());
    holding.set_value();
    release.get_future().wait();
  });
  holding.get_future().wait();
  EXPECT_FALSE(CloseExtensionOutput(10ms));
  release.set_value();
  EXPECT_TRUE(CloseExtensionOutput(kDeadline));
  writer.join();
  EXPECT_FALSE(std::async(std::launch::async, [] { return OutputMutex().try_lock(); }).get());
  OutputMutex().unlock();  // for the tests that follow in this process
}

TEST_F(ExtensionWriterTest, FramesFromManyThreadsArriveWhole) {
  constexpr int kThreads = 8;
  constexpr int kFramesPerThread = 40;
  // Lengths up to twice what a pipe holds, so that most frames leave in
  // several writes, which only the lock keeps together.
  auto bodyOf = [](int thread, int frame) {
    return std::to_string(thread) + "/" + std::to_string(frame) + " " +
           std::string(static_cast<std::size_t>((thread * 1031 + frame * 9973) % 131072),
                       static_cast<char>('a' + thread));
  };

  FrameCapture frames;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &bodyOf] {
      const auto& writers = AllWriters();
      for (int f = 0; f < kFramesPerThread; ++f) {
        const std::string body = bodyOf(t, f);
        writers[static_cast<std::size_t>(f) % writers.size()].write(
            std::wstring(body.begin(), body.end()));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  std::vector<std::string> received = SplitFrames(frames.Finish());
  std::vector<std::string> expected;
  for (int t = 0; t < kThreads; ++t) {
    for (int f = 0; f < kFramesPerThread; ++f) expected.push_back('"' + bodyOf(t, f) + '"');
  }
  std::sort(received.begin(), received.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(received, expected);
}

}  // namespace
