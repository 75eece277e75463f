// Drives the stand-in agent SDK through its nine exported functions.
#include "handling/agent_sdk.h"

#include <atomic>
#include <optional>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "protection/protected_text.h"
#include "test/reply_collector.h"
#include "test/scoped_environment.h"
#include "test/test_files.h"

namespace {

// Replies as JSON, unwrapped from their protected form.
nlohmann::json UnwrappedJson(const CollectedCall& call) {
  return nlohmann::json::parse(Utf8(UnProtectData(call.second)));
}

class HarrowmereTest : public ::testing::Test {
 protected:
  HarrowmereTest()
      : recordPath_(FreshTestFile("agent-record")),
        record_("HARROWMERE_RECORD", recordPath_) {}

  // Each script gets a file of its own: the agent re-reads its script only
  // when the variable names another file.
  void UseScript(const std::string& text) {
    static std::atomic<int> scripts{0};
    std::string path = FreshTestFile("agent-script-" + std::to_string(++scripts));
    WriteTextFile(path, text);
    script_.reset();
    script_.emplace("HARROWMERE_SCRIPT", path);
  }

  std::vector<std::string> RecordLines() const { return ReadLines(recordPath_); }

  std::string recordPath_;
  ScopedEnvironment record_;
  std::optional<ScopedEnvironment> script_;
  ReplyCollector replies_;
};

TEST_F(HarrowmereTest, RecordsEveryCallWithItsArguments) {
  wexkit_core::NotifyTriggerFired(L"7", L"trig", {{L"sig2", L"v2"}, {L"sig1", L"v1"}});
  wexkit_core::NotifyTriggerFailed(L"7", L"trig");
  wexkit_core::OnDocumentComplete(L"7", L"https://example.test/page", false, replies_.Callback());
  wexkit_core::OnBasicAuthRequired(L"7", L"records.test", replies_.Callback());
  wexkit_core::SaveCredentials(L"7", L"records.test", L"ann", L"pw");
  wexkit_core::SendResponse(L"7", L"req-1", {{L"answer", L"yes"}});
  EXPECT_EQ(wexkit_core::OnTabClosed(L"7"), 0);
  wexkit_utils::WriteLog(-2, L"line");
  wexkit_utils::GetLogLevel();

  EXPECT_EQ(RecordLines(), (std::vector<std::string>{
      R"({"fn":"NotifyTriggerFired","args":["7","trig",{"sig1":"v1","sig2":"v2"}]})",
      R"({"fn":"NotifyTriggerFailed","args":["7","trig"]})",
      R"({"fn":"OnDocumentComplete","args":["7","https://example.test/page",false,"callback"]})",
      R"({"fn":"OnBasicAuthRequired","args":["7","records.test","callback"]})",
      R"({"fn":"SaveCredentials","args":["7","records.test","ann","pw"]})",
      R"({"fn":"SendResponse","args":["7","req-1",{"answer":"yes"}]})",
      R"({"fn":"OnTabClosed","args":["7"]})",
      R"({"fn":"WriteLog","args":[-2,"line"]})",
      R"({"fn":"GetLogLevel","args":[]})"}));
}

TEST_F(HarrowmereTest, RecordKeepsLoneSurrogatesAndNulUnits) {
  std::wstring text = {L'a', 0xD800, 0, 0xDFFF, 0xD83D, 0xDE00, L'"'};
  wexkit_core::NotifyTriggerFailed(text, L"");
  EXPECT_EQ(RecordLines(), (std::vector<std::string>{
      R"({"fn":"NotifyTriggerFailed","args":["a\uD800\u0000\uDFFF\uD83D\uDE00\"",""]})"}));
}

TEST_F(HarrowmereTest, LinesFromManyThreadsNeverMix) {
  constexpr int kThreads = 4;
  constexpr int kLinesPerThread = 100;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLinesPerThread; ++i)
        wexkit_utils::WriteLog(t, std::wstring(5000, static_cast<wchar_t>(L'a' + t)));
    });
  }
  for (std::thread& thread : threads)
    thread.join();

  std::vector<std::string> lines = RecordLines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLinesPerThread));
  for (const std::string& line : lines) {
    nlohmann::json call = nlohmann::json::parse(line);
    int t = call["args"][0].get<int>();
    EXPECT_EQ(call["args"][1].get<std::string>(), std::string(5000, static_cast<char>('a' + t)));
  }
}

TEST_F(HarrowmereTest, LogLevelsFollowTheScriptAndRepeatTheLast) {
  UseScript(R"({"logLevels": [4, -1]})");
  EXPECT_EQ(wexkit_utils::GetLogLevel(), 4);
  EXPECT_EQ(wexkit_utils::GetLogLevel(), -1);
  EXPECT_EQ(wexkit_utils::GetLogLevel(), -1);
}

TEST_F(HarrowmereTest, LogLevelComesFromTheEnvironmentWithoutScriptedLevels) {
  EXPECT_EQ(wexkit_utils::GetLogLevel(), 1);
  {
    ScopedEnvironment level("HARROWMERE_LOG_LEVEL", "x7");
    EXPECT_EQ(wexkit_utils::GetLogLevel(), 1);
  }
  ScopedEnvironment level("HARROWMERE_LOG_LEVEL", "7");
  EXPECT_EQ(wexkit_utils::GetLogLevel(), 7);
  UseScript(R"({"replies": {}})");
  EXPECT_EQ(wexkit_utils::GetLogLevel(), 7);
}

TEST_F(HarrowmereTest, BadOrMissingScriptIsIgnored) {
  ScopedEnvironment level("HARROWMERE_LOG_LEVEL", "6");
  for (const char* script : {"{not json", R"({"logLevels": "4"})",
                             R"({"replies": {"OnBasicAuthRequired": [{"delayMs": 5}]}})"}) {
    UseScript(script);
    EXPECT_EQ(wexkit_utils::GetLogLevel(), 6) << script;
    wexkit_core::OnBasicAuthRequired(L"1", L"bad-script.example", replies_.Callback());
  }
  script_.reset();
  script_.emplace("HARROWMERE_SCRIPT", FreshTestFile("no-such-script"));
  EXPECT_EQ(wexkit_utils::GetLogLevel(), 6);

  // Without a usable script the demo agent answers.
  ASSERT_TRUE(replies_.WaitForCount(3));
  for (const CollectedCall& call : replies_.Calls())
    EXPECT_EQ(UnwrappedJson(call)["type"], "basicAuthUnknown");
}

TEST_F(HarrowmereTest, RepliesWithoutDelayArriveOnTheCallingThreadOnEveryCall) {
  UseScript(R"({"replies": {"OnBasicAuthRequired": [
      {"text": "first \u00e9"}, {"text": "second", "protect": false}]}})");
  wexkit_core::OnBasicAuthRequired(L"1", L"a.example", replies_.Callback());
  wexkit_core::OnBasicAuthRequired(L"2", L"b.example", replies_.Callback());

  std::vector<CollectedCall> calls = replies_.Calls();
  ASSERT_EQ(calls.size(), 4u);
  for (size_t i = 0; i < calls.size(); i += 2) {
    EXPECT_NE(calls[i].second, L"first \u00e9");  // sent protected
    EXPECT_EQ(UnProtectData(calls[i].second), L"first \u00e9");
    EXPECT_EQ(calls[i + 1].second, L"second");
    EXPECT_EQ(calls[i].thread, std::this_thread::get_id());
  }
}

TEST_F(HarrowmereTest, DelayedRepliesArriveInListOrderFromALibraryThread) {
  UseScript(R"({"replies": {"OnDocumentComplete": [
      {"text": "later-1", "delayMs": 40}, {"text": "now"}, {"text": "later-2", "delayMs": 20}]}})");
  // The callback is a temporary: the library must keep its own copy.
  wexkit_core::OnDocumentComplete(L"1", L"https://x.example/", true, replies_.Callback());
  ASSERT_TRUE(replies_.WaitForCount(3));

  std::vector<CollectedCall> calls = replies_.Calls();
  EXPECT_EQ(UnProtectData(calls[0].second), L"now");
  EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
  EXPECT_EQ(UnProtectData(calls[1].second), L"later-1");
  EXPECT_EQ(UnProtectData(calls[2].second), L"later-2");
  EXPECT_NE(calls[1].thread, std::this_thread::get_id());
  EXPECT_EQ(calls[1].thread, calls[2].thread);
}

TEST_F(HarrowmereTest, ReplyTextsTakeEveryScriptedForm) {
  UseScript(R"({"replies": {"OnDocumentComplete": [
      {"text": [97, 55296, 0, 57343]},
      {"textBytes": 1100000},
      {"text": "ab", "repeat": 3},
      {"text": "\ud83d\ude00"},
      {"text": "\ud83d-\ude00-\ude00\ud83d\u0000"}]}})");
  wexkit_core::OnDocumentComplete(L"1", L"https://x.example/", true, replies_.Callback());

  std::vector<CollectedCall> calls = replies_.Calls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(UnProtectData(calls[0].second), (std::wstring{L'a', 0xD800, 0, 0xDFFF}));
  EXPECT_EQ(UnProtectData(calls[1].second), std::wstring(1100000, L'x'));
  EXPECT_EQ(UnProtectData(calls[2].second), L"ababab");
  EXPECT_EQ(UnProtectData(calls[3].second), (std::wstring{0xD83D, 0xDE00}));
  // Escapes give their units as they are, unpaired or reversed.
  EXPECT_EQ(UnProtectData(calls[4].second),
            (std::wstring{0xD83D, L'-', 0xDE00, L'-', 0xDE00, 0xD83D, 0}));
}

using DemoAgentTest = HarrowmereTest;

TEST_F(DemoAgentTest, AnswersBasicAuthWithTheCredentialsSavedForTheHost) {
  wexkit_core::SaveCredentials(L"3", L"Intranet.Example", L"ann", L"s3cret");
  wexkit_core::OnBasicAuthRequired(L"4", L"intranet.example", replies_.Callback());
  wexkit_core::OnBasicAuthRequired(L"4", L"unknown.example", replies_.Callback());

  std::vector<CollectedCall> calls = replies_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(UnwrappedJson(calls[0]), nlohmann::json::parse(R"({"type":"basicAuthCredentials",
      "tabID":"4","host":"intranet.example","username":"ann","password":"s3cret"})"));
  EXPECT_EQ(UnwrappedJson(calls[1]), nlohmann::json::parse(
      R"({"type":"basicAuthUnknown","tabID":"4","host":"unknown.example"})"));
}

TEST_F(DemoAgentTest, AnswersSignInPagesLaterFromALibraryThread) {
  wexkit_core::SaveCredentials(L"3", L"portal.example", L"ann", L"s\"3\\");
  wexkit_core::OnDocumentComplete(L"5", L"https://ann@Portal.Example:8443/home?q=1", true,
                                  replies_.Callback());
  wexkit_core::OnDocumentComplete(L"6", L"https://other.example/Account/Login", true,
                                  replies_.Callback());
  ASSERT_TRUE(replies_.WaitForCount(2));

  std::set<std::string> answers;
  for (const CollectedCall& call : replies_.Calls()) {
    EXPECT_NE(call.thread, std::this_thread::get_id());
    answers.insert(UnwrappedJson(call).dump());
  }
  EXPECT_EQ(answers, (std::set<std::string>{
      nlohmann::json::parse(R"({"type":"fillForm","tabID":"5",
          "url":"https://ann@Portal.Example:8443/home?q=1",
          "fields":[{"name":"username","value":"ann"},{"name":"password","value":"s\"3\\"}]})").dump(),
      nlohmann::json::parse(R"({"type":"fillForm","tabID":"6",
          "url":"https://other.example/Account/Login","fields":[]})").dump()}));
}

TEST_F(DemoAgentTest, LeavesFramesAndOrdinaryPagesUnanswered) {
  wexkit_core::OnDocumentComplete(L"6", L"https://x.example/login", false, replies_.Callback());
  wexkit_core::OnDocumentComplete(L"6", L"https://news.example/today?next=/login", true,
                                  replies_.Callback());
  wexkit_core::OnDocumentComplete(L"6", L"https://news.example/today", true, replies_.Callback());
  wexkit_core::OnDocumentComplete(L"6", L"https://x.example/signin", true, replies_.Callback());
  ASSERT_TRUE(replies_.WaitForCount(1));

  std::vector<CollectedCall> calls = replies_.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(UnwrappedJson(calls[0])["url"], "https://x.example/signin");
}

}  // namespace
