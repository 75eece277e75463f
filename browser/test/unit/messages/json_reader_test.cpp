// What the reader does beyond well-formed input, which the comparison with
// nlohmann-json covers: partial trees, strictness, lone surrogates, depth.
#include "messages/json_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <string>
#include <string_view>

#include "json_test_support.h"
#include "messages/json_writer.h"

namespace browser_extensions {
namespace {

using messages_test::ReadText;

// Levels of a tree that nests only through first elements or members.
int NestingDepth(const wmValue& value) {
  int depth = 0;
  for (const wmValue* level = &value;; ++depth) {
    if (level->type() == array_type && !level->get_array().empty()) {
      level = &level->get_array().front();
    } else if (level->type() == obj_type && !level->get_obj().empty()) {
      level = &level->get_obj().begin()->second;
    } else {
      return depth + (level->type() == array_type || level->type() == obj_type);
    }
  }
}

TEST(JsonReaderTest, KeepsWhatWasCompleteBeforeAFault) {
  wmValue value;
  EXPECT_FALSE(read(L"{\"a\":\"1\",\"b\":", value));
  EXPECT_EQ(write(value), L"{\"a\":\"1\"}");
  // A trailing comma is a fault in an object as in an array.
  EXPECT_FALSE(read(L"{\"a\":1,}", value));
  EXPECT_FALSE(read(L"[1,2,]", value));

  // A container is stored when it opens, a scalar once it is complete.
  EXPECT_EQ(write(ReadText(L"{\"a\":{\"x\":[1,\"y")), L"{\"a\":{\"x\":[1]}}");
  EXPECT_EQ(write(ReadText(L"{\"a\":12")), L"{\"a\":12}");
  EXPECT_EQ(write(ReadText(L"{\"a\":tru")), L"{}");
  EXPECT_EQ(write(ReadText(L"{\"a\":1 \"b\":2}")), L"{\"a\":1}");
  EXPECT_EQ(write(ReadText(L"[1,2,]")), L"[1,2]");
  EXPECT_EQ(write(ReadText(L"{\"a\":1,}")), L"{\"a\":1}");
  EXPECT_EQ(write(ReadText(L"{\"a\":[1,2],\"a\":[3")), L"{\"a\":[3]}");
}

TEST(JsonReaderTest, LeavesNullWhenTextBeginsNoValue) {
  for (const wchar_t* text : {L"", L"  \r\n\t", L"hello", L"True", L"NULL", L"\"open",
                              L"+1", L".5", L"'a'", L"// {}", L"\x00A0{}"}) {
    wmValue value = L"before";
    EXPECT_FALSE(read(text, value)) << text;
    EXPECT_TRUE(value.is_null()) << text;
  }
}

TEST(JsonReaderTest, StopsAfterFirstCompleteValue) {
  wmValue value;
  EXPECT_TRUE(read(L" \t{\"a\":1} trailing {\"b\":2}", value));
  EXPECT_EQ(write(value), L"{\"a\":1}");
  EXPECT_TRUE(read(L"0123", value));
  EXPECT_EQ(write(value), L"0");
}

TEST(JsonReaderTest, RejectsWhatStrictJsonRejects) {
  for (const wchar_t* text :
       {L"[01]", L"[1.]", L"[1.e3]", L"[1e]", L"[1e+]", L"[-]", L"[1e999]",
        L"[\"\\x\"]", L"[\"\\u12G4\"]", L"[\"\\U0041\"]", L"[\"a\nb\"]", L"[\"\t\"]",
        L"[\"\x1F\"]", L"[true,False]", L"[null,nul]"}) {
    wmValue value;
    EXPECT_FALSE(read(text, value)) << text;
  }
}

TEST(JsonReaderTest, EachUnicodeEscapeGivesOneCodeUnitEvenUnpaired) {
  EXPECT_EQ(ReadText(L"\"\\ud83d\\uDE00\"").get_str(), L"\xD83D\xDE00");
  EXPECT_EQ(ReadText(L"\"a\\uD800b\\uDFFF\"").get_str(), L"a\xD800" L"b\xDFFF");
  EXPECT_EQ(ReadText(L"\"\\u0000\"").get_str(), std::wstring(1, L'\0'));
  EXPECT_EQ(ReadText(L"\"\xDC00\x00E9\"").get_str(), L"\xDC00\x00E9");
}

// UTF-8 text reads as its UTF-16 conversion would: sequences in strings
// become their units (a pair above U+FFFF), each ill-formed one U+FFFD,
// and anything but ASCII outside strings is a fault.
TEST(JsonReaderTest, Utf8TextReadsAsItsConversion) {
  wmValue value;
  ASSERT_TRUE(read(std::string_view("{\"k\\u00e9\":[\"a\xC3\xA9\xF0\x9F\x98\x80\",\"\xC3\\n\xE2\x82\"]}"),
                   value));
  wmObject expected;
  expected[L"k\u00e9"] = wmArray{wmValue(L"a\u00e9\xD83D\xDE00"), wmValue(L"\xFFFD\n\xFFFD")};
  EXPECT_EQ(value, wmValue(expected));
  EXPECT_FALSE(read(std::string_view("[1,\xC3\xA9]"), value));
  EXPECT_FALSE(read(std::string_view("[\"a\x01\"]"), value));
  EXPECT_FALSE(read(std::string_view("[\"a\0\"]", 5), value));
  EXPECT_EQ(write(value), L"[]");
}

TEST(JsonReaderTest, AcceptsNestingUpToTheDepthLimitOnly) {
  const std::wstring deepest = std::wstring(kMaxNestingDepth, L'[') +
                               std::wstring(kMaxNestingDepth, L']');
  wmValue value;
  EXPECT_TRUE(read(deepest, value));
  EXPECT_EQ(NestingDepth(value), kMaxNestingDepth);
  EXPECT_FALSE(read(L"[" + deepest + L"]", value));
  EXPECT_EQ(NestingDepth(value), kMaxNestingDepth);
}

TEST(JsonReaderTest, MillionDeepTextStopsAtLimitAndIsWrittenAndDropped) {
  const int kLevels = 1000000;
  const int kInner = kMaxNestingDepth - 1;
  std::wstring objects;
  std::wstring deepestObjects;
  for (int i = 0; i < kLevels; ++i) objects += L"{\"a\":";
  for (int i = 0; i < kInner; ++i) deepestObjects += L"{\"a\":";
  deepestObjects += L"{}" + std::wstring(kInner, L'}');
  const std::pair<std::wstring, std::wstring> cases[] = {
      {std::wstring(kLevels, L'['),
       std::wstring(kMaxNestingDepth, L'[') + std::wstring(kMaxNestingDepth, L']')},
      {objects, deepestObjects}};

  for (const auto& [text, expected] : cases) {
    auto value = std::make_unique<wmValue>();
    EXPECT_FALSE(read(text, *value));
    EXPECT_EQ(write(*value), expected);
    value.reset();
  }
}

}  // namespace
}  // namespace browser_extensions
