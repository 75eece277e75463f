#include "messages/json_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <string>

#include "json_test_support.h"
#include "messages/json_writer.h"

namespace browser_extensions {
namespace {

using messages_test::ReadText;

// Counts the levels of a tree that nests only in first elements or members.
int NestingDepth(const wmValue& value) {
  int depth = 0;
  const wmValue* level = &value;
  for (;;) {
    if (level->type() == array_type && !level->get_array().empty()) {
      level = &level->get_array().front();
    } else if (level->type() == obj_type && !level->get_obj().empty()) {
      level = &level->get_obj().begin()->second;
    } else {
      return depth + (level->type() == array_type ||
                      level->type() == obj_type);
    }
    ++depth;
  }
}

TEST(JsonReaderTest, KeepsCompletedMembersOfATruncatedObject) {
  wmValue value;
  EXPECT_FALSE(read(L"{\"a\":\"1\",\"b\":", value));
  EXPECT_EQ(write(value), L"{\"a\":\"1\"}");

  // A container is stored when it opens; a scalar only once complete.
  EXPECT_EQ(write(ReadText(L"{\"a\":{\"x\":[1,\"y")), L"{\"a\":{\"x\":[1]}}");
  EXPECT_EQ(write(ReadText(L"{\"a\":12")), L"{\"a\":12}");
  EXPECT_EQ(write(ReadText(L"{\"a\":tru")), L"{}");
  EXPECT_EQ(write(ReadText(L"{\"a\":1 \"b\":2}")), L"{\"a\":1}");
  EXPECT_EQ(write(ReadText(L" {")), L"{}");
  EXPECT_EQ(write(ReadText(L"[1,2,]")), L"[1,2]");
}

TEST(JsonReaderTest, LeavesNullWhenTextBeginsNoValue) {
  for (const wchar_t* text :
       {L"", L"  \r\n\t", L"hello", L"True", L"NULL", L"\"open", L"+1", L".5",
        L"'a'", L"// {}", L"\x00A0{}"}) {
    wmValue value = L"before";
    EXPECT_FALSE(read(text, value)) << write(wmValue(text));
    EXPECT_TRUE(value.is_null()) << write(wmValue(text));
  }
}

TEST(JsonReaderTest, StopsAfterFirstCompleteValue) {
  wmValue value;
  EXPECT_TRUE(read(L" \t{\"a\":1} trailing {\"b\":2}", value));
  EXPECT_EQ(write(value), L"{\"a\":1}");
  EXPECT_TRUE(read(L"[]]", value));
  EXPECT_EQ(write(value), L"[]");
  EXPECT_TRUE(read(L"0123", value));
  EXPECT_EQ(write(value), L"0");
}

TEST(JsonReaderTest, RepeatedNameKeepsLastValue) {
  EXPECT_EQ(write(ReadText(L"{\"type\":\"a\",\"x\":0,\"type\":\"b\"}")),
            L"{\"type\":\"b\",\"x\":0}");
  // The later value replaces the earlier one even when it is cut short.
  EXPECT_EQ(write(ReadText(L"{\"a\":[1,2],\"a\":[3")), L"{\"a\":[3]}");
}

TEST(JsonReaderTest, NumbersWithFractionOrExponentAreReals) {
  const wmArray numbers = ReadText(L"[3,3.0,3e0,-0,-2,1E+2,0.5e-1]").get_array();
  ASSERT_EQ(numbers.size(), 7u);
  EXPECT_EQ(numbers[0].type(), int_type);
  EXPECT_EQ(numbers[1].type(), real_type);
  EXPECT_EQ(numbers[2].type(), real_type);
  EXPECT_EQ(numbers[3], wmValue(0));
  EXPECT_EQ(numbers[4], wmValue(-2));
  EXPECT_EQ(numbers[5], wmValue(100.0));
  EXPECT_EQ(numbers[6], wmValue(0.05));
}

TEST(JsonReaderTest, IntegersUseSignedThenUnsignedThenRealRange) {
  const wmArray numbers =
      ReadText(
          L"[9223372036854775807,-9223372036854775808,9223372036854775808,"
          L"18446744073709551615,18446744073709551616,-9223372036854775809]")
          .get_array();
  ASSERT_EQ(numbers.size(), 6u);
  EXPECT_EQ(numbers[0], wmValue(std::numeric_limits<std::int64_t>::max()));
  EXPECT_EQ(numbers[1], wmValue(std::numeric_limits<std::int64_t>::min()));
  EXPECT_TRUE(numbers[2].is_uint64());
  EXPECT_EQ(numbers[2].get_uint64(), 9223372036854775808u);
  EXPECT_EQ(numbers[3].get_uint64(), 18446744073709551615u);
  EXPECT_EQ(numbers[4], wmValue(18446744073709551616.0));
  EXPECT_EQ(numbers[5], wmValue(-9223372036854775809.0));
}

TEST(JsonReaderTest, RejectsMalformedNumbers) {
  for (const wchar_t* text :
       {L"[01]", L"[1.]", L"[1.e3]", L"[1e]", L"[1e+]", L"[-]", L"[--1]",
        L"[1e999]", L"[-1e400]"}) {
    wmValue value;
    EXPECT_FALSE(read(text, value)) << write(wmValue(text));
  }
}

TEST(JsonReaderTest, EachUnicodeEscapeGivesOneCodeUnit) {
  EXPECT_EQ(ReadText(L"\"\\ud83d\\uDE00\"").get_str(), L"\xD83D\xDE00");
  EXPECT_EQ(ReadText(L"\"a\\uD800b\\uDFFF\"").get_str(), L"a\xD800" L"b\xDFFF");
  EXPECT_EQ(ReadText(L"\"\\u0000\\u00e9\"").get_str(), std::wstring(L"\0\xE9", 2));
  EXPECT_EQ(ReadText(L"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"").get_str(),
            L"\"\\/\b\f\n\r\t");
  // Raw units, lone surrogates included, pass unchanged.
  EXPECT_EQ(ReadText(L"\"\xD800\x00E9\"").get_str(), L"\xD800\x00E9");
}

TEST(JsonReaderTest, RejectsBadEscapesAndRawControls) {
  for (const wchar_t* text :
       {L"\"\\x\"", L"\"\\u12\"", L"\"\\u12G4\"", L"\"\\U0041\"", L"\"a\nb\"",
        L"\"\t\"", L"\"\x1F\"", L"\"\\"}) {
    wmValue value;
    EXPECT_FALSE(read(text, value)) << write(wmValue(text));
    EXPECT_TRUE(value.is_null());
  }
}

TEST(JsonReaderTest, AcceptsNestingUpToTheDepthLimit) {
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
  std::wstring arrays(kLevels, L'[');
  std::wstring objects;
  for (int i = 0; i < kLevels; ++i) objects += L"{\"a\":";

  std::wstring deepestObjects;
  for (int i = 0; i < kInner; ++i) deepestObjects += L"{\"a\":";
  deepestObjects += L"{}" + std::wstring(kInner, L'}');
  const std::pair<std::wstring, std::wstring> cases[] = {
      {arrays, std::wstring(kMaxNestingDepth, L'[') +
                   std::wstring(kMaxNestingDepth, L']')},
      {objects, deepestObjects}};

  for (const auto& [text, expected] : cases) {
    auto value = std::make_unique<wmValue>();
    EXPECT_FALSE(read(text, *value));
    EXPECT_EQ(NestingDepth(*value), kMaxNestingDepth);
    EXPECT_EQ(write(*value), expected);
    value.reset();
  }
}

}  // namespace
}  // namespace browser_extensions
