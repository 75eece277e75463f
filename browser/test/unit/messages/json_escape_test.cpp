#include "messages/json_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JsonEscapeTest, EveryStyleEscapesWhatJsonRequiresWithShortForms) {
  const std::string text = "\"\\\b\f\n\r\t\x01\x1F";
  const std::string expected = "\"\\\"\\\\\\b\\f\\n\\r\\t\\u0001\\u001F\"";
  for (JsonEscapeStyle style : {kJsonEscapeMinimal, kJsonEscapePrintable, kJsonEscapeAscii}) {
    EXPECT_EQ(JsonString<std::string>(text, style), expected);
  }
}

TEST(JsonEscapeTest, StylesDifferOnlyInWhatGoesRawBeyondTheControls) {
  // UTF-8 bytes above 0x7F are not sign-extended into escapes.
  EXPECT_EQ(JsonString<std::string>(std::string("caf\xC3\xA9\x7F"), kJsonEscapeMinimal),
            "\"caf\xC3\xA9\x7F\"");
  const std::wstring wide = {L'a', 0x7F, 0xE9, 0xD800};
  EXPECT_EQ(JsonString<std::wstring>(wide, kJsonEscapeMinimal),
            (std::wstring{L'"', L'a', 0x7F, 0xE9, 0xD800, L'"'}));
  EXPECT_EQ(JsonString<std::string>(wide, kJsonEscapeAscii), "\"a\\u007F\\u00E9\\uD800\"");
  EXPECT_EQ(JsonString<std::wstring>(std::wstring{0x7F}, kJsonEscapePrintable), L"\"\\u007F\"");
}

TEST(EscapeForJsonStringTest, EscapesQuotesBackslashesAndEveryControlByte) {
  EXPECT_EQ(EscapeForJsonString("a\"b\\c"), "a\\\"b\\\\c");

  std::string controls;
  for (char byte = 0; byte < 0x20; ++byte) controls += byte;
  EXPECT_EQ(EscapeForJsonString(controls),
            "\\u0000\\u0001\\u0002\\u0003\\u0004\\u0005\\u0006\\u0007"
            "\\b\\t\\n\\u000B\\f\\r\\u000E\\u000F"
            "\\u0010\\u0011\\u0012\\u0013\\u0014\\u0015\\u0016\\u0017"
            "\\u0018\\u0019\\u001A\\u001B\\u001C\\u001D\\u001E\\u001F");
}

TEST(EscapeForJsonStringTest, CopiesEveryOtherByteUnchanged) {
  std::string others;
  for (int byte = 0x20; byte < 0x100; ++byte) {
    if (byte != '"' && byte != '\\') others += static_cast<char>(byte);
  }
  EXPECT_EQ(EscapeForJsonString(others), others);
}

}  // namespace
