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

}  // namespace
