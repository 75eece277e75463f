#include "common/record_line.h"

#include <gtest/gtest.h>

#include "common/json_text.h"

namespace {

using standins::RecordLine;

TEST(RecordLineTest, WritesEveryUnitOutsidePrintableAsciiAsAnEscape) {
  std::wstring text = {L'a', L'"', L'\\', 0x00, 0x1F, 0x7F, 0xE9, 0xD800, 0xDC00,
                       0xD83D, 0xDE00, L'~'};
  EXPECT_EQ(standins::AsciiJsonString(text),
            "\"a\\\"\\\\\\u0000\\u001f\\u007f\\u00e9\\ud800\\udc00\\ud83d\\ude00~\"");
}

TEST(RecordLineTest, WritesEachKindOfArgument) {
  std::map<std::wstring, std::wstring> map = {{L"b", L"2"}, {L"a", L"1"}};
  std::string line = RecordLine("Fn").Text(L"t").Map(map).Flag(true).Flag(false)
                         .Number(-3).Callback().Map({}).Line();
  EXPECT_EQ(line,
            "{\"fn\":\"Fn\",\"args\":[\"t\",{\"a\":\"1\",\"b\":\"2\"},true,false,-3,"
            "\"callback\",{}]}\n");
  EXPECT_EQ(RecordLine("GetLogLevel").Line(), "{\"fn\":\"GetLogLevel\",\"args\":[]}\n");
}

TEST(JsonTextTest, MessageTextKeepsNonAsciiAndEscapesOnlyWhatJsonRequires) {
  std::wstring out;
  standins::AppendJsonString(out, std::wstring{L'"', L'\\', L'\n', 0xE9, 0xD83D, 0xDE00});
  EXPECT_EQ(out, (std::wstring{L'"', L'\\', L'"', L'\\', L'\\', L'\\', L'u', L'0',
                               L'0', L'0', L'a', 0xE9, 0xD83D, 0xDE00, L'"'}));
}

}  // namespace
