// The designer bridge thread and the element-path relay, against a missing
// library and against a small fake bridge library built beside the test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "channel/extension_output.h"
#include "designer/bridge_state.h"
#include "designer/designer_bridge.h"
#include "designer/xpath_relay.h"
#include "platform/debug_output.h"
#include "platform/dynamic_library.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kFakeBridge[] = L"FakeTollgatelink.dll";
constexpr uint64_t kFakeToken = 0x1122334455667788ull;

// The fake library's test-only exports.
struct FakeBridge {
  void (*reset)() = nullptr;
  int (*sentCount)() = nullptr;
  bool (*sentAt)(int, std::wstring*, uint64_t*) = nullptr;
  void (*brokerNames)(std::vector<std::wstring>*) = nullptr;
  void (*speak)(const wchar_t*) = nullptr;

  bool Load() {
    platform::LibraryHandle library = platform::LoadLibraryByName(kFakeBridge);
    if (library == nullptr) return false;
    reset = reinterpret_cast<decltype(reset)>(platform::FindExport(library, "FakeBridgeReset"));
    sentCount = reinterpret_cast<decltype(sentCount)>(
        platform::FindExport(library, "FakeBridgeSentCount"));
    sentAt = reinterpret_cast<decltype(sentAt)>(platform::FindExport(library, "FakeBridgeSentAt"));
    brokerNames = reinterpret_cast<decltype(brokerNames)>(
        platform::FindExport(library, "FakeBridgeBrokerNames"));
    speak = reinterpret_cast<decltype(speak)>(platform::FindExport(library, "FakeBridgeSpeak"));
    return reset && sentCount && sentAt && brokerNames && speak;
  }

  std::wstring SentText(int index) {
    std::wstring text;
    uint64_t token = 0;
    EXPECT_TRUE(sentAt(index, &text, &token));
    EXPECT_EQ(token, kFakeToken);
    return text;
  }
};

class DesignerRelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBridgeStateForTesting();
    ASSERT_TRUE(fake_.Load());
    fake_.reset();
  }
  void TearDown() override { ResetBridgeStateForTesting(); }

  // Every debug line so far, once a marker written after them has arrived.
  std::vector<std::string> DebugLinesSoFar() {
    platform::OutputDebugLineW(L"-- end of test lines --");
    EXPECT_TRUE(debug_.WaitForLine("-- end of test lines --"));
    std::vector<std::string> lines = debug_.Lines();
    lines.pop_back();
    return lines;
  }

  DebugLineCapture debug_;
  FakeBridge fake_;
};

TEST_F(DesignerRelayTest, MissingLibraryLeavesTheRelayIdle) {
  RunDesignerBridgeWithLibrary(L"NoSuchBridge.dll");
  EXPECT_EQ(PublishedBridgeState(), nullptr);

  RelayXPath(R"({"type":"XPath"})");

  EXPECT_EQ(fake_.sentCount(), 0);
  if (!debug_.Available()) return;
  const std::vector<std::string> expected = {
      "Tollgatelink LoadLibrary failed: 126", "Xpath received from Extension",
      "XPath received at Broker side", R"({"type":"XPath"})"};
  EXPECT_EQ(DebugLinesSoFar(), expected);
}

TEST_F(DesignerRelayTest, LoadedBridgeGetsTheHostNamesAndTheRelays) {
  RunDesignerBridgeWithLibrary(kFakeBridge);
  RelayXPath(R"({"tabID":"1","type":"XPath","payload":{"xpath":"/html/body"}})");

  std::vector<std::wstring> names;
  fake_.brokerNames(&names);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Corvantilhub", L"Corvantilhub"}));
  ASSERT_EQ(fake_.sentCount(), 1);
  EXPECT_EQ(fake_.SentText(0),
            L"{\"tabID\":\"1\",\"type\":\"XPath\",\"payload\":{\"xpath\":\"/html/body\"}}");

  if (!debug_.Available()) return;
  const std::vector<std::string> lines = DebugLinesSoFar();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Tollgatelink Dll Loaded");
  EXPECT_EQ(lines[1], "Corvantilhub window created");
}

TEST_F(DesignerRelayTest, RelaysTheTextAsUtf16UpToItsFirstZeroByte) {
  RunDesignerBridgeWithLibrary(kFakeBridge);

  RelayXPath("{\"p\":\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"}");
  const char withZero[] = "{\"p\":\"a\"}\0tail";
  RelayXPath(withZero);

  ASSERT_EQ(fake_.sentCount(), 2);
  const std::wstring expected = {L'{', L'"', L'p', L'"', L':', L'"', 0x00E9, 0x20AC,
                                 0xD83D, 0xDE00, L'"', L'}'};
  EXPECT_EQ(fake_.SentText(0), expected);
  EXPECT_EQ(fake_.SentText(1), L"{\"p\":\"a\"}");
}

TEST_F(DesignerRelayTest, RelaysBeforeTheBridgeIsReadyAreDroppedNotQueued) {
  RelayXPath("early");
  EXPECT_EQ(fake_.sentCount(), 0);

  // Relays race the loading thread: each one sees no bridge or all of it.
  std::thread bridgeThread(RunDesignerBridgeWithLibrary, std::wstring(kFakeBridge));
  const auto giveUp = std::chrono::steady_clock::now() + 60s;
  while (fake_.sentCount() == 0 && std::chrono::steady_clock::now() < giveUp)
    RelayXPath("late");
  bridgeThread.join();

  ASSERT_GT(fake_.sentCount(), 0);
  for (int i = 0; i < fake_.sentCount(); ++i) EXPECT_EQ(fake_.SentText(i), L"late");
}

TEST_F(DesignerRelayTest, DesignerTextReachesTheExtensionUnwrapped) {
  FILE* output = std::tmpfile();
  ASSERT_NE(output, nullptr);
  SetExtensionOutputForTesting(output);
  RunDesignerBridgeWithLibrary(kFakeBridge);

  fake_.speak(L"hi");

  SetExtensionOutputForTesting(nullptr);
  std::rewind(output);
  char bytes[16] = {};
  const size_t count = std::fread(bytes, 1, sizeof(bytes), output);
  std::fclose(output);
  EXPECT_EQ(std::string(bytes, count), std::string("\x04\x00\x00\x00\"hi\"", 8));
}

}  // namespace
}  // namespace browser_extensions
