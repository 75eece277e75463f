// Our own converter's replacement rule, which the Windows converter
// follows too: one U+FFFD per maximal subpart of an ill-formed sequence.
#include <gtest/gtest.h>

#include <string>

#include "platform/text_codec.h"

namespace {

std::wstring ToUtf16(const std::string& utf8) {
  int length = static_cast<int>(utf8.size());
  std::wstring wide(platform::Utf8ToUtf16(utf8.data(), length, nullptr, 0), L'\0');
  platform::Utf8ToUtf16(utf8.data(), length, &wide[0], static_cast<int>(wide.size()));
  return wide;
}

// One U+FFFD per maximal subpart of an ill-formed sequence: a byte that
// can't continue the sequence ends it and is read again on its own.
TEST(TextCodecPosixTest, InvalidUtf8BecomesOneReplacementPerMaximalSubpart) {
  const wchar_t r = 0xFFFD;
  struct Case {
    const char* what;
    std::string utf8;
    std::wstring wide;
  } cases[] = {
      {"overlong two-byte", "\xC0\xAF", {r, r}},
      {"overlong three-byte", "\xE0\x80\xAF", {r, r, r}},
      {"overlong four-byte", "\xF0\x8F\xBF\xBF", {r, r, r, r}},
      {"encoded surrogate", "\xED\xA0\x80", {r, r, r}},
      {"above U+10FFFF", "\xF4\x90\x80\x80", {r, r, r, r}},
      {"lead byte F5", "\xF5\x80", {r, r}},
      {"bytes FE and FF", "\xFE\xFF", {r, r}},
      {"stray continuations", "a\x80\xBF" "b", {L'a', r, r, L'b'}},
      {"truncated at the end", "a\xF0\x9F\x98", {L'a', r}},
      {"truncated before ASCII", "\xE2\x82" "A", {r, L'A'}},
      {"truncated before a lead", "\xE2\xC3\xA9", {r, 0xE9}},
      // The example of the Unicode standard's table 3-8.
      {"mixed", "a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d",
       {L'a', r, r, r, L'b', r, L'c', r, r, L'd'}},
  };
  for (const Case& c : cases) EXPECT_EQ(ToUtf16(c.utf8), c.wide) << c.what;
}

}  // namespace
