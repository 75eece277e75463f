#include "messages/json_serializable.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "messages/json_members.h"
#include "platform/debug_output.h"
#include "support/debug_line_capture.h"

namespace browser_extensions {
namespace {

using Fields = std::vector<std::pair<std::wstring, std::wstring>>;

// Records what FromJson read, member "a" then "b"; can throw in between.
class RecordingMessage final : public IJsonSerializable {
 public:
  void ToJson(wmObject& object) override {
    for (const auto& [name, text] : fields) object[name] = text;
  }
  void FromJson(const wmObject& object) override {
    ++calls;
    fields.push_back({L"a", GetStringMember(object, L"a")});
    if (throwBetween == 1) throw std::logic_error("thrown by FromJson");
    if (throwBetween == 2) throw 42;
    fields.push_back({L"b", GetStringMember(object, L"b")});
  }

  Fields fields;
  int calls = 0;
  int throwBetween = 0;
};

class FromJsonStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!capture_.Available()) GTEST_SKIP() << "debug lines can't be captured";
  }

  // The lines written so far: once a line written last has arrived, all
  // earlier ones have.
  std::vector<std::string> LinesWritten() {
    platform::OutputDebugLineA("sentinel");
    EXPECT_TRUE(capture_.WaitForLine("sentinel"));
    std::vector<std::string> lines = capture_.Lines();
    lines.pop_back();
    return lines;
  }

  DebugLineCapture capture_;
  RecordingMessage message_;
};

TEST_F(FromJsonStringTest, TextThatIsNoObjectIsReportedWithItsKind) {
  for (const wchar_t* text : {L"", L" \t\r\n", L"not json", L"[{\"a\":\"1\"}]",
                              L"\"{}\"", L"7"}) {
    message_.FromJsonString(text);
  }
  EXPECT_EQ(message_.calls, 0);
  EXPECT_EQ(LinesWritten(),
            (std::vector<std::string>{"value type is 6 not 0", "value type is 6 not 0",
                                      "value type is 6 not 0", "value type is 1 not 0",
                                      "value type is 2 not 0", "value type is 4 not 0"}));
}

TEST_F(FromJsonStringTest, TruncatedObjectFillsCompletedMembersSilently) {
  message_.FromJsonString(L"{\"a\":\"1\",\"b\":\"2");
  EXPECT_EQ(message_.fields, (Fields{{L"a", L"1"}, {L"b", L""}}));
  // A fault before the first member still passes an empty object on.
  RecordingMessage other;
  other.FromJsonString(L"{\"a\" \"1\"}");
  EXPECT_EQ(other.calls, 1);
  EXPECT_TRUE(LinesWritten().empty());
}

TEST_F(FromJsonStringTest, IgnoresSurroundingTextAndKeepsLastDuplicate) {
  message_.FromJsonString(L"  \n{\"a\":\"x\",\"b\":\"2\",\"a\":\"1\"} tail ]");
  EXPECT_EQ(message_.fields, (Fields{{L"a", L"1"}, {L"b", L"2"}}));
  EXPECT_TRUE(LinesWritten().empty());
}

TEST_F(FromJsonStringTest, ExceptionFromFromJsonIsCaughtAndFieldsStay) {
  message_.throwBetween = 1;
  message_.FromJsonString(L"{\"a\":\"1\",\"b\":\"2\"}");
  message_.throwBetween = 2;
  message_.FromJsonString(L"{\"a\":\"3\"}");
  EXPECT_EQ(message_.fields, (Fields{{L"a", L"1"}, {L"a", L"3"}}));
  // Only the standard exception leaves a line.
  EXPECT_EQ(LinesWritten(), std::vector<std::string>{"thrown by FromJson"});
}

// A text handed over for good is read alike and let go of.
TEST_F(FromJsonStringTest, TextHandedOverIsReadAlikeAndReleased) {
  std::wstring text = L"{\"b\":\"2\",\"a\":\"1\"}" + std::wstring(1000, L' ');
  message_.FromJsonString(std::move(text));
  EXPECT_EQ(message_.fields, (Fields{{L"a", L"1"}, {L"b", L"2"}}));
  EXPECT_EQ(text.capacity(), std::wstring().capacity());

  std::wstring array = L"[{\"a\":\"1\"}]";
  message_.FromJsonString(std::move(array));
  EXPECT_EQ(message_.calls, 1);
  EXPECT_EQ(LinesWritten(), std::vector<std::string>{"value type is 1 not 0"});
}

}  // namespace
}  // namespace browser_extensions
