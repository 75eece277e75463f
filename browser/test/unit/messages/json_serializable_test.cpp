#include "messages/json_serializable.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "messages/json_members.h"
#include "platform/debug_output.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

constexpr char kSentinel[] = "json serializable test sentinel";

// Records what FromJson received; can be told to throw part way.
class RecordingMessage final : public IJsonSerializable {
 public:
  void ToJson(wmObject& object) override {
    for (const auto& [name, text] : fields) object[name] = text;
  }
  void FromJson(const wmObject& object) override {
    ++fromJsonCalls;
    fields.push_back({L"a", GetStringMember(object, L"a")});
    if (throwAfterFirstField == 1) throw std::logic_error("thrown by FromJson");
    if (throwAfterFirstField == 2) throw 42;
    fields.push_back({L"b", GetStringMember(object, L"b")});
  }

  std::vector<std::pair<std::wstring, std::wstring>> fields;
  int fromJsonCalls = 0;
  int throwAfterFirstField = 0;
};

class FromJsonStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!capture_.Available()) GTEST_SKIP() << "debug lines can't be captured";
  }

  // The debug lines written so far: a sentinel line written last and then
  // received shows that everything before it has arrived.
  std::vector<std::string> LinesWritten() {
    platform::OutputDebugLineA(kSentinel);
    EXPECT_TRUE(capture_.WaitForLine(kSentinel));
    std::vector<std::string> lines = capture_.Lines();
    lines.pop_back();
    return lines;
  }

  DebugLineCapture capture_;
  RecordingMessage message_;
};

TEST_F(FromJsonStringTest, TextWithoutAValueReportsNullNotObject) {
  for (const wchar_t* text : {L"", L" \t\r\n", L"not json"}) {
    message_.FromJsonString(text);
  }
  EXPECT_EQ(message_.fromJsonCalls, 0);
  EXPECT_EQ(LinesWritten(),
            std::vector<std::string>(3, "value type is 6 not 0"));
}

TEST_F(FromJsonStringTest, NonObjectTopLevelReportsItsKind) {
  message_.FromJsonString(L"[{\"a\":\"1\"}]");
  message_.FromJsonString(L"\"{}\"");
  message_.FromJsonString(L"7");
  EXPECT_EQ(message_.fromJsonCalls, 0);
  EXPECT_EQ(LinesWritten(),
            (std::vector<std::string>{"value type is 1 not 0",
                                      "value type is 2 not 0",
                                      "value type is 4 not 0"}));
}

TEST_F(FromJsonStringTest, TruncatedObjectFillsCompletedMembersSilently) {
  message_.FromJsonString(L"{\"a\":\"1\",\"b\":\"2");
  EXPECT_EQ(message_.fields,
            (std::vector<std::pair<std::wstring, std::wstring>>{{L"a", L"1"},
                                                               {L"b", L""}}));

  // A fault before the first member still passes an (empty) object on.
  RecordingMessage other;
  other.FromJsonString(L"{\"a\" \"1\"}");
  EXPECT_EQ(other.fromJsonCalls, 1);
  EXPECT_TRUE(LinesWritten().empty());
}

TEST_F(FromJsonStringTest, IgnoresSurroundingTextAndKeepsLastDuplicate) {
  message_.FromJsonString(L"  \n{\"a\":\"x\",\"b\":\"2\",\"a\":\"1\"} tail ]");
  EXPECT_EQ(message_.fields,
            (std::vector<std::pair<std::wstring, std::wstring>>{{L"a", L"1"},
                                                               {L"b", L"2"}}));
  EXPECT_TRUE(LinesWritten().empty());
}

TEST_F(FromJsonStringTest, ExceptionFromFromJsonIsReportedAndFieldsStay) {
  message_.throwAfterFirstField = 1;
  message_.FromJsonString(L"{\"a\":\"1\",\"b\":\"2\"}");
  message_.throwAfterFirstField = 2;
  message_.FromJsonString(L"{\"a\":\"3\"}");
  EXPECT_EQ(message_.fields,
            (std::vector<std::pair<std::wstring, std::wstring>>{{L"a", L"1"},
                                                               {L"a", L"3"}}));
  // A non-standard exception is dropped without a trace.
  EXPECT_EQ(LinesWritten(), std::vector<std::string>{"thrown by FromJson"});
}

TEST(ToJsonStringTest, WritesCompactObjectOrEmptyBraces) {
  RecordingMessage message;
  EXPECT_EQ(message.ToJsonString(), L"{}");
  message.fields = {{L"z", L"1"}, {L"a", L"\"/"}};
  EXPECT_EQ(message.ToJsonString(), L"{\"a\":\"\\\"/\",\"z\":\"1\"}");
}

}  // namespace
}  // namespace browser_extensions
