// Loads the stand-in designer bridge as the host does, by its Windows name
// at run time, and drives its three exports.
#include <atomic>
#include <cstring>
#include <optional>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "designer/bridge_exports.h"
#include "platform/dynamic_library.h"
#include "test/reply_collector.h"
#include "test/scoped_environment.h"
#include "test/test_files.h"

namespace {

struct BridgeExports {
  GetInstanceFunction getInstance = nullptr;
  CreateThreadBrokerFunction createThreadBroker = nullptr;
  SendMessageToSpindlecraftFunction sendMessage = nullptr;
};

const BridgeExports& Bridge() {
  static const BridgeExports exports = [] {
    BridgeExports found;
    platform::LibraryHandle library = platform::LoadLibraryByName(L"Tollgatelink.dll");
    if (!library)
      return found;
    found.getInstance = reinterpret_cast<GetInstanceFunction>(
        platform::FindExport(library, kGetInstanceExport));
    found.createThreadBroker = reinterpret_cast<CreateThreadBrokerFunction>(
        platform::FindExport(library, kCreateThreadBrokerExport));
    found.sendMessage = reinterpret_cast<SendMessageToSpindlecraftFunction>(
        platform::FindExport(library, kSendMessageToSpindlecraftExport));
    return found;
  }();
  return exports;
}

// The bridge takes a plain function, so the texts it sends go to one
// process-wide collector, which each test empties first. Every test waits
// for all the texts it causes, so none spills into the next.
ReplyCollector& DesignerTexts() {
  static auto* collector = new ReplyCollector;
  return *collector;
}

void OnDesignerText(const std::wstring& first, const std::wstring& second) {
  DesignerTexts().Callback()(first, second);
}

uint64_t TokenOf(void* instance) {
  uint64_t token = 0;
  std::memcpy(&token, static_cast<const char*>(instance) + kBridgeTokenOffset, sizeof token);
  return token;
}

class TollgatelinkTest : public ::testing::Test {
 protected:
  TollgatelinkTest()
      : recordPath_(FreshTestFile("bridge-record")),
        record_("TOLLGATELINK_RECORD", recordPath_) {
    DesignerTexts().Clear();
  }

  void SetUp() override {
    ASSERT_TRUE(Bridge().getInstance && Bridge().createThreadBroker && Bridge().sendMessage)
        << "Tollgatelink was not found beside the test program";
  }

  void UseScript(const std::string& text) {
    static std::atomic<int> scripts{0};
    std::string path = FreshTestFile("bridge-script-" + std::to_string(++scripts));
    WriteTextFile(path, text);
    script_.emplace("TOLLGATELINK_SCRIPT", path);
  }

  std::string recordPath_;
  ScopedEnvironment record_;
  std::optional<ScopedEnvironment> script_;
};

TEST_F(TollgatelinkTest, RecordsEachExportCallAndHandsOutTheTokenAtOffset40) {
  void* instance = Bridge().getInstance(&OnDesignerText);
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(TokenOf(instance), 0x54474C4B00C0FFEEull);

  Bridge().createThreadBroker(L"Corvantilhub", L"Corvantilhub");
  std::wstring elementPath = {L'/', L'/', L'p', L'[', 0xE9, L']', 0xD800, L'"'};
  Bridge().sendMessage(elementPath.c_str(), TokenOf(instance));
  Bridge().sendMessage(L"", 1);

  EXPECT_EQ(ReadLines(recordPath_), (std::vector<std::string>{
      R"({"fn":"GetInstance","args":["callback"]})",
      R"({"fn":"CreateThreadBroker","args":["Corvantilhub","Corvantilhub"]})",
      R"({"fn":"SendMessageToSpindlecraft","args":["//p[\u00E9]\uD800\"","0x54474c4b00c0ffee"]})",
      R"({"fn":"SendMessageToSpindlecraft","args":["","0x0000000000000001"]})"}));
  EXPECT_TRUE(DesignerTexts().WaitForCount(2));  // the acknowledgements
}

TEST_F(TollgatelinkTest, AcknowledgesEachElementPathFromALibraryThread) {
  void* instance = Bridge().getInstance(&OnDesignerText);
  Bridge().sendMessage(L"//div[@id='x']", TokenOf(instance));
  ASSERT_TRUE(DesignerTexts().WaitForCount(1));

  CollectedCall ack = DesignerTexts().Calls()[0];
  EXPECT_EQ(ack.second, L"{\"type\":\"designerAck\",\"received\":14}");
  EXPECT_NE(ack.thread, std::this_thread::get_id());
}

TEST_F(TollgatelinkTest, SendsScriptedDesignerTextsInOrderFromALibraryThread) {
  UseScript(R"({"designerTexts": [{"text": "first \u00e9", "delayMs": 30},
                                   {"text": [55296, 65], "delayMs": 0}]})");
  Bridge().getInstance(&OnDesignerText);
  ASSERT_TRUE(DesignerTexts().WaitForCount(2));

  std::vector<CollectedCall> texts = DesignerTexts().Calls();
  EXPECT_EQ(texts[0].second, L"first \u00e9");
  EXPECT_EQ(texts[1].second, (std::wstring{0xD800, L'A'}));
  EXPECT_NE(texts[0].thread, std::this_thread::get_id());
}

}  // namespace
