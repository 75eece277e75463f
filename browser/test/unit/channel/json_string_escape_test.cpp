#include "channel/json_string_escape.h"

#include <gtest/gtest.h>

#include <string>

#include "json_string_literal.h"

namespace {

TEST(EscapeForJsonStringTest, EscapesQuotesBackslashesAndControlBytes) {
  EXPECT_EQ(EscapeForJsonString(""), "");
  EXPECT_EQ(EscapeForJsonString("abc"), "abc");
  EXPECT_EQ(EscapeForJsonString("a\"b\\c"), "a\\\"b\\\\c");
  EXPECT_EQ(EscapeForJsonString("\n"), "\x5C\x6E");
  EXPECT_EQ(EscapeForJsonString("\b\f\n\r\t"), "\\b\\f\\n\\r\\t");
  EXPECT_EQ(EscapeForJsonString(std::string("\x00\x01\x1A\x1F", 4)),
            "\\u0000\\u0001\\u001A\\u001F");
}

TEST(EscapeForJsonStringTest, CopiesEveryOtherByteUnchanged) {
  EXPECT_EQ(EscapeForJsonString("\xC3\xA9"), "\xC3\xA9");
  EXPECT_EQ(EscapeForJsonString("\xEF\xBF\xBD"), "\xEF\xBF\xBD");
  EXPECT_EQ(EscapeForJsonString(" /\x7F{}'"), " /\x7F{}'");
}

TEST(EscapeForJsonStringTest, EveryByteValueSurvivesAJsonReader) {
  std::string text;
  for (int byte = 0; byte < 256; ++byte) text += static_cast<char>(byte);
  text += "\"\\\"\\\n\n";

  std::string value;
  ASSERT_TRUE(ReadJsonStringLiteral("\"" + EscapeForJsonString(text) + "\"", value));
  EXPECT_EQ(value, text);
}

}  // namespace
