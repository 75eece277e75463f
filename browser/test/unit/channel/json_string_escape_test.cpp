#include "channel/json_string_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace {

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
