#include "messages/text_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Units(std::initializer_list<unsigned> units) {
  std::wstring text;
  for (unsigned unit : units) text += static_cast<wchar_t>(unit);
  return text;
}

struct Pair {
  std::wstring wide;
  std::string utf8;
};

TEST(TextConversionTest, ConvertsValidTextBothWays) {
  const std::vector<Pair> pairs = {
      {L"", ""},
      {L"abc", "abc"},
      {Units({0xE9, 0xD83D, 0xDE00}), "\xC3\xA9\xF0\x9F\x98\x80"},
      // Measured by length, not by a terminator.
      {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Pair& pair : pairs) {
    EXPECT_EQ(WideToUtf8(pair.wide), pair.utf8);
    EXPECT_EQ(Utf8ToWide(pair.utf8), pair.wide);
    EXPECT_EQ(Utf8ToWide(pair.utf8.data(), pair.utf8.size()), pair.wide);
  }
}

// Long texts are converted piece by piece; the cuts must never split a
// surrogate pair or a UTF-8 sequence, valid or not.
TEST(TextConversionTest, ConvertingInPiecesGivesTheSameResult) {
  const std::wstring wide =
      Units({'a', 0xD83D, 0xDE00, 0xE9, 0xD83D, 0xDE01, 0x20AC, 'b', 0xD800, 'c',
             0xD83D, 0xDE02, 0xD83D, 0xDE03, 0xDC00, 0xE9, 0xE9, 'd', 0xD83D, 0xDE04});
  const std::string utf8 = WideToUtf8(wide) + "\xE2\x82" "A\x80\x80\x80\x80" +
                           "\xF0\x9F\x98" "B\xC3\xA9\xFF\xF0\x9F\x98\x80\xE2\x82" +
                           "\xE0\xA0\x80" "C\xE0\xA0\x80\xE0\xA0\x80";
  const std::wstring expectedWide = Utf8ToWide(utf8);
  for (std::size_t piece = 2; piece <= 9; ++piece) {
    EXPECT_EQ(WideToUtf8InPieces(wide, piece), WideToUtf8(wide)) << piece;
  }
  for (std::size_t piece = 4; piece <= 11; ++piece) {
    EXPECT_EQ(Utf8ToWideInPieces(utf8, piece), expectedWide) << piece;
  }
}

}  // namespace
