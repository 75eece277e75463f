#include "messages/report_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct ReportCase {
  const char* name;
  std::wstring text;
  std::wstring shown;
};

void PrintTo(const ReportCase& testCase, std::ostream* out) { *out << testCase.name; }

class ReportableMessageTextShape : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportableMessageTextShape, ShowsTheShapeButNoSecret) {
  EXPECT_EQ(ReportableMessageText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Json, ReportableMessageTextShape,
    ::testing::Values(
        ReportCase{"OnlyPlainMembersShowTheirStrings",
                   LR"({"tabID":"7","requestID":"r","payload":{"triggerId":"t","xpath":"/a","host":"h"}})",
                   LR"({"tabID":"7","requestID":"r","payload":{"triggerId":"t","xpath":"/a","host":"***"}})"},
        ReportCase{"NumbersLiteralsAndStructureStay",
                   LR"({"n":-1.5e3,"z":0,"ok":true,"no":false,"nil":null,"a":[],"o":{}})",
                   LR"({"n":-1.5e3,"z":0,"ok":true,"no":false,"nil":null,"a":[],"o":{}})"},
        ReportCase{"ShortSecretNames",
                   LR"({"pwd":"a","passwd":"b","pass":"c","pin":"1234","PIN":"5"})",
                   LR"({"pwd":"***","passwd":"***","pass":"***","pin":"***","PIN":"***"})"},
        ReportCase{"JsonInsideAString", LR"({"payload":"{\"password\":\"hunter2\"}"})",
                   LR"({"payload":"***"})"},
        ReportCase{"FormFields", LR"({"fields":[{"name":"password","value":"hunter2"}]})",
                   LR"({"fields":[{"name":"***","value":"***"}]})"},
        ReportCase{"AuthorizationHeader",
                   LR"({"headers":{"Authorization":"Basic aHVudGVyMg=="}})",
                   LR"({"headers":{"Authorization":"***"}})"},
        ReportCase{"PlainNamesOnlyForTheirOwnStrings",
                   LR"({"type":["saveCredentials"],"xpath":{"v":"s"},"tabID":7})",
                   LR"({"type":["***"],"xpath":{"v":"***"},"tabID":7})"},
        ReportCase{"NamesAsAReaderDecodesThem",
                   LR"({"t\u0079pe":"log","Type":"x","tab\u0049D":"1","TABID":"2"})",
                   LR"({"t\u0079pe":"log","Type":"***","tab\u0049D":"1","TABID":"***"})"},
        ReportCase{"TopLevelStringAndWhiteSpace", L" \"hunter2\"\r\n",
                   L" \"***\"\\r\\n"},
        ReportCase{"ControlsInAPlainValueAreEscaped",
                   L"{\"type\":\"a\x7F\x9B" L"b\",\t\"tabID\" :\n\"1\"}",
                   L"{\"type\":\"a\\u007F\\u009Bb\",\\t\"tabID\" :\\n\"1\"}"}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

// Not JSON, or cut: no string shows, names included.
INSTANTIATE_TEST_SUITE_P(
    NotJson, ReportableMessageTextShape,
    ::testing::Values(
        ReportCase{"CutInsideAValue", LR"({"tabID":"7","password":"hun)",
                   LR"({"***":"***","***":"***")"},
        ReportCase{"CutAfterAValue", LR"({"tabID":"7","n":12,)", LR"({"***":"***","***":12,)"},
        ReportCase{"CutAfterAMember", LR"({"tabID":"7","n":[12])", LR"({"***":"***","***":[12])"},
        ReportCase{"RawControlInAString", L"{\"tabID\":\"7\x01\"}", L"{\"***\":\"***\"}"},
        ReportCase{"BareWordsThatAreNotNumbers", L"{tabID: 1, \"clientSecret\": Sec-51c2 , x",
                   L"{***: 1, \"***\": *** , ***"},
        ReportCase{"TrailingText", LR"({"type":"log"} hunter2)", LR"({"***":"***"} ***)"},
        ReportCase{"BadEscape", LR"({"type":"\q","n":1})", LR"({"***":"***","***":1})"},
        ReportCase{"EscapedClosingQuote", LR"({"type":"ab\")", LR"({"***":"***")"},
        ReportCase{"LeadingZero", LR"({"n":01})", LR"({"***":***})"},
        ReportCase{"TerminalControls", L"\x1B]0;forged\x07\x1B[2J{\"a\":\"b\x1B\"}",
                   L"\\u001B]***\\u0007\\u001B[***{\"***\":\"***\"}"},
        ReportCase{"NotJsonAtAll", L"password=hunter2 42", L"*** 42"}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

TEST(WithControlsEscaped, EscapesControlsOnly) {
  // The edges of the ranges: U+001F, U+007F and U+009F are controls; space,
  // '~' and U+00A0 are not.
  EXPECT_EQ(WithControlsEscaped(L"line\nnext\r\t\x1B[1m\x1F \x7F~\x85\x9F\xA0 \"ok\" \\ \xE9"),
            L"line\\nnext\\r\\t\\u001B[1m\\u001F \\u007F~\\u0085\\u009F\xA0 \"ok\" \\ \xE9");
}

std::wstring More(std::size_t count) {
  return L"\x2026 (" + std::to_wstring(count) + L" more characters)";
}

const std::wstring kPair = L"\xD83D\xDE00";  // U+1F600, two code units
const std::wstring kShownStart = LR"({"xpath":")";  // 10 characters

TEST(ReportableMessageTextCut, ShowsAtMost4096CharactersAndCountsTheRest) {
  const std::wstring full(kMaxReportedCharacters, L'1');  // one long number
  EXPECT_EQ(ReportableMessageText(full), full);
  EXPECT_EQ(ReportableMessageText(full + L"234"), full + More(3));
  EXPECT_EQ(ReportableMessageText(std::wstring(200000, L'1')), full + More(200000 - 4096));
}

TEST(ReportableMessageTextCut, CountsCharactersNotCodeUnits) {
  const std::size_t room = kMaxReportedCharacters - kShownStart.size();
  std::wstring pairs;
  for (std::size_t i = 0; i < room; ++i) pairs += kPair;
  EXPECT_EQ(ReportableMessageText(kShownStart + pairs + L"\"}"), kShownStart + pairs + More(2));

  // A pair at the cut is shown whole or not at all.
  const std::wstring before(room - 1, L'a');
  EXPECT_EQ(ReportableMessageText(kShownStart + before + kPair + L"\"}"),
            kShownStart + before + kPair + More(2));
  const std::wstring upTo(room, L'a');
  EXPECT_EQ(ReportableMessageText(kShownStart + upTo + kPair + L"\"}"),
            kShownStart + upTo + More(3));
  // An escape counts as the characters it is written with.
  EXPECT_EQ(ReportableMessageText(kShownStart + before + L"\x7F\"}"),
            kShownStart + before + L"\\" + More(7));
}

TEST(ReportableMessageTextCut, HidesBeforeItCuts) {
  const std::wstring longSecret = LR"({"password":")" + std::wstring(10000, L'p') + L"\"}";
  EXPECT_EQ(ReportableMessageText(longSecret), LR"({"password":"***"})");
}

}  // namespace
