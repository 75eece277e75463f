// The designer bridge thread and the element-path relay, against a missing
// library and against a fake bridge library built beside the test.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "designer/bridge_state.h"
#include "designer/designer_bridge.h"
#include "designer/xpath_relay.h"
#include "platform/debug_output.h"
#include "platform/dynamic_library.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

using Record = std::vector<std::wstring>;

constexpr wchar_t kFakeBridge[] = L"FakeTollgatelink.dll";
const std::wstring kToken = L"|1234605616436508552";  // 0x1122334455667788

// What the bridge is handed for the designer's text; the fake records its
// address.
void DesignerText(const std::wstring&, const std::wstring&) {}

class DesignerRelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBridgeStateForTesting();
    platform::LibraryHandle fake = platform::LoadLibraryByName(kFakeBridge);
    ASSERT_NE(fake, nullptr);
    takeRecord_ = reinterpret_cast<void (*)(Record*)>(
        platform::FindExport(fake, "FakeBridgeTakeRecord"));
    ASSERT_NE(takeRecord_, nullptr);
    TakeRecord();
  }
  void TearDown() override { ResetBridgeStateForTesting(); }

  Record TakeRecord() {
    Record record;
    takeRecord_(&record);
    return record;
  }

  DebugLineCapture debug_;
  void (*takeRecord_)(Record*) = nullptr;
};

TEST_F(DesignerRelayTest, MissingLibraryLeavesTheRelayIdle) {
  RunDesignerBridgeWithLibrary(L"NoSuchBridge.dll", &DesignerText);
  RelayXPath(R"({"type":"XPath"})");

  EXPECT_EQ(PublishedBridgeState(), nullptr);
  if (!debug_.Available()) GTEST_SKIP() << "debug lines can't be captured here";
  platform::OutputDebugLineW(L"end");
  ASSERT_TRUE(debug_.WaitForLine("end"));
  const std::vector<std::string> expected = {
      "Tollgatelink LoadLibrary failed: 126", "Xpath received from Extension",
      "XPath received at Broker side", R"({"type":"XPath"})", "end"};
  EXPECT_EQ(debug_.Lines(), expected);
}

TEST_F(DesignerRelayTest, ReadyBridgeGetsTheWholeTextAsUtf16WithTheToken) {
  RunDesignerBridgeWithLibrary(kFakeBridge, &DesignerText);
  RelayXPath(R"({"tabID":"1","type":"XPath","payload":{"x":"/a"}})");
  RelayXPath("\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"");
  const char withZero[] = "{\"p\":\"a\"}\0tail";
  RelayXPath(withZero);

  const std::wstring nonAscii = {L'"', 0x00E9, 0x20AC, 0xD83D, 0xDE00, L'"'};
  const std::wstring hostFunction =
      std::to_wstring(reinterpret_cast<uintptr_t>(&DesignerText));
  const Record expected = {L"instance for " + hostFunction,
                           L"broker Corvantilhub Corvantilhub",
                           LR"({"tabID":"1","type":"XPath","payload":{"x":"/a"}})" + kToken,
                           nonAscii + kToken, L"{\"p\":\"a\"}" + kToken};
  EXPECT_EQ(TakeRecord(), expected);
  if (debug_.Available()) {
    EXPECT_TRUE(debug_.WaitForLine("Tollgatelink Dll Loaded"));
    EXPECT_TRUE(debug_.WaitForLine("Corvantilhub window created"));
  }
}

TEST_F(DesignerRelayTest, RelaysBeforeTheBridgeIsReadyAreDroppedNotQueued) {
  RelayXPath("early");
  // Relays race the loading thread: each sees no bridge or all of it.
  std::thread bridgeThread(RunDesignerBridgeWithLibrary, std::wstring(kFakeBridge), &DesignerText);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  Record record;
  while (record.size() < 3 && std::chrono::steady_clock::now() < giveUp) {
    RelayXPath("late");
    for (std::wstring& entry : TakeRecord()) record.push_back(std::move(entry));
  }
  bridgeThread.join();

  ASSERT_GE(record.size(), 3u);
  for (const std::wstring& entry : record) {
    if (entry.rfind(L"instance for ", 0) != 0 && entry.rfind(L"broker ", 0) != 0) {
      EXPECT_EQ(entry, L"late" + kToken);
    }
  }
}

}  // namespace
}  // namespace browser_extensions
