#include "channel/report_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct RedactionCase {
  const char* name;
  std::wstring text;
  std::wstring shown;
};

void PrintTo(const RedactionCase& testCase, std::ostream* out) { *out << testCase.name; }

class ReportableMessageTextRedaction : public ::testing::TestWithParam<RedactionCase> {};

TEST_P(ReportableMessageTextRedaction, HidesTheValuesOfSensitiveMembers) {
  EXPECT_EQ(ReportableMessageText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportableMessageTextRedaction,
    ::testing::Values(
        RedactionCase{"NestedInAnUntypedEnvelope",
                      LR"({"type":["saveCredentials"],"payload":{"host":"h","password":"p4ss"}})",
                      LR"({"type":["saveCredentials"],"payload":{"host":"h","password":"***"}})"},
        RedactionCase{"NamesContainingTheWordsInAnyCase",
                      LR"({"userPassword":"a","API_TOKEN":"b","clientSecretKey":"c","user":"u"})",
                      LR"({"userPassword":"***","API_TOKEN":"***","clientSecretKey":"***","user":"u"})"},
        RedactionCase{"InsideArrays", LR"({"l":[{"password":"a"},{"x":[1,{"token":"b"}]}]})",
                      LR"({"l":[{"password":"***"},{"x":[1,{"token":"***"}]}]})"},
        RedactionCase{"EscapedQuotesAndBackslashesInTheValue",
                      LR"({"password":"a\"b\\","next":"n"})", LR"({"password":"***","next":"n"})"},
        RedactionCase{"EscapesInTheName", LR"({"pass\u0077ord":"x","\u0054oken":"y"})",
                      LR"({"pass\u0077ord":"***","\u0054oken":"***"})"},
        RedactionCase{"ValuesThatAreNotStrings",
                      LR"({"token":-12.5e3,"secret":true,"password":null,"n":1})",
                      LR"({"token":"***","secret":"***","password":"***","n":1})"},
        RedactionCase{"ObjectAndArrayValuesWhole",
                      LR"({"secret":{"a":["]",{"c":"}"}]},"passwords":["x","y"],"n":1})",
                      LR"({"secret":"***","passwords":"***","n":1})"},
        RedactionCase{"WhiteSpaceAroundTheColon", L"{ \"password\" :\n \"x\" , \"token\" : 7 }",
                      L"{ \"password\" :\n \"***\" , \"token\" : \"***\" }"},
        RedactionCase{"QuotedWordsThatAreNotNames",
                      LR"({"field":"password","note":"token: \"t\"","password"})",
                      LR"({"field":"password","note":"token: \"t\"","password"})"},
        RedactionCase{"CutInsideAStringValue", LR"({"payload":{"password":"p4s)",
                      LR"({"payload":{"password":"***")"},
        RedactionCase{"CutInsideAnEscape", LR"({"password":"ab\)", LR"({"password":"***")"},
        RedactionCase{"CutInsideANumber", LR"({"token":12)", LR"({"token":"***")"},
        RedactionCase{"CutInsideAnObject", LR"({"secret":{"a":"b)", LR"({"secret":"***")"},
        RedactionCase{"CutAfterTheColon", LR"({"password": )", LR"({"password": )"},
        RedactionCase{"BareNamesAndValues", L"{password: hunter2 , user: u}",
                      L"{password: \"***\" , user: u}"},
        RedactionCase{"EmptyValue", LR"({"password":,"n":1})", LR"({"password":,"n":1})"},
        RedactionCase{"NotJsonAtAll", L"not json!", L"not json!"}),
    [](const ::testing::TestParamInfo<RedactionCase>& info) { return info.param.name; });

std::wstring More(std::size_t count) {
  return L"\x2026 (" + std::to_wstring(count) + L" more characters)";
}

const std::wstring kPair = L"\xD83D\xDE00";  // U+1F600, two code units

TEST(ReportableMessageTextCut, ShowsAtMost4096CharactersAndCountsTheRest) {
  const std::wstring full(kMaxReportedCharacters, L'a');
  EXPECT_EQ(ReportableMessageText(full), full);
  EXPECT_EQ(ReportableMessageText(full + L"bcd"), full + More(3));
  EXPECT_EQ(ReportableMessageText(std::wstring(200000, L'a')), full + More(200000 - 4096));
}

TEST(ReportableMessageTextCut, CountsCharactersNotCodeUnits) {
  std::wstring pairs;
  for (std::size_t i = 0; i < kMaxReportedCharacters; ++i) pairs += kPair;
  EXPECT_EQ(ReportableMessageText(pairs), pairs);
  EXPECT_EQ(ReportableMessageText(pairs + kPair + L"x"), pairs + More(2));

  // A pair at the cut is shown whole or not at all.
  const std::wstring before(kMaxReportedCharacters - 1, L'a');
  EXPECT_EQ(ReportableMessageText(before + kPair + L"b"), before + kPair + More(1));
  const std::wstring upTo(kMaxReportedCharacters, L'a');
  EXPECT_EQ(ReportableMessageText(upTo + kPair), upTo + More(1));
  // A lone surrogate is a character of its own.
  EXPECT_EQ(ReportableMessageText(upTo + L"\xDE00\xD83D"), upTo + More(2));
}

TEST(ReportableMessageTextCut, HidesBeforeItCuts) {
  // The hidden value never reaches the cut, however long it was.
  const std::wstring longSecret = LR"({"password":")" + std::wstring(10000, L'p') + L"\"}";
  EXPECT_EQ(ReportableMessageText(longSecret), LR"({"password":"***"})");
  // A value cut off by the end of a long text stays hidden too.
  const std::wstring prefix = LR"({"pad":")" + std::wstring(5000, L'x') + L"\",";
  const std::wstring shown = ReportableMessageText(prefix + LR"("token":"abc)");
  EXPECT_EQ(shown, prefix.substr(0, kMaxReportedCharacters) +
                       More(prefix.size() - kMaxReportedCharacters + 13));
}

}  // namespace
