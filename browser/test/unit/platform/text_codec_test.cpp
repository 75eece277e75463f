#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/last_error.h"

namespace {

std::string ToUtf8(const std::wstring& wide) {
  int length = static_cast<int>(wide.size());
  std::string utf8(platform::Utf16ToUtf8(wide.data(), length, nullptr, 0), '\0');
  if (!utf8.empty()) {
    int written = platform::Utf16ToUtf8(wide.data(), length, &utf8[0],
                                        static_cast<int>(utf8.size()));
    EXPECT_EQ(written, static_cast<int>(utf8.size()));
  }
  return utf8;
}

std::wstring ToUtf16(const std::string& utf8) {
  int length = static_cast<int>(utf8.size());
  std::wstring wide(platform::Utf8ToUtf16(utf8.data(), length, nullptr, 0), L'\0');
  if (!wide.empty()) {
    int written = platform::Utf8ToUtf16(utf8.data(), length, &wide[0],
                                        static_cast<int>(wide.size()));
    EXPECT_EQ(written, static_cast<int>(wide.size()));
  }
  return wide;
}

std::wstring Units(std::initializer_list<unsigned> units) {
  std::wstring wide;
  for (unsigned unit : units) wide.push_back(static_cast<wchar_t>(unit));
  return wide;
}

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

TEST(TextCodecTest, RoundTripsValidText) {
  struct Case {
    std::wstring wide;
    std::string utf8;
  } cases[] = {
      {L"abc", "abc"},
      {Units({0x7F, 0x80, 0x7FF, 0x800, 0xFFFF}), "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
      {Units({0xE9, 0x20AC}), "\xC3\xA9\xE2\x82\xAC"},
      // Surrogate pairs and four-byte sequences, at both ends of the range.
      {Units({0xD83D, 0xDE00}), "\xF0\x9F\x98\x80"},
      {Units({0xD800, 0xDC00, 0xDBFF, 0xDFFF}), "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      // Lengths count elements: NULs inside are converted like any unit.
      {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToUtf8(c.wide), c.utf8);
    EXPECT_EQ(ToUtf16(c.utf8), c.wide);
  }
}

TEST(TextCodecTest, UnpairedSurrogatesBecomeOneReplacementEach) {
  const std::string r = kReplacementUtf8;
  EXPECT_EQ(ToUtf8(Units({0xD800})), r);
  EXPECT_EQ(ToUtf8(Units({0xDC00})), r);
  EXPECT_EQ(ToUtf8(Units({'a', 0xD83D, 'b'})), "a" + r + "b");
  EXPECT_EQ(ToUtf8(Units({0xDE00, 0xD83D})), r + r);  // a pair in the wrong order
  EXPECT_EQ(ToUtf8(Units({0xD83D, 0xD83D, 0xDE00})), r + "\xF0\x9F\x98\x80");
}

TEST(TextCodecTest, ElementsBeyondSixteenBitsBecomeReplacement) {
  if (sizeof(wchar_t) == 2) GTEST_SKIP() << "wchar_t holds only 16-bit units here";
  std::wstring wide = {L'a', static_cast<wchar_t>(0x1F600), L'b'};
  EXPECT_EQ(ToUtf8(wide), std::string("a") + kReplacementUtf8 + "b");
}

// Every ill-formed sequence is replaced, and what surrounds it survives.
// How many U+FFFD one sequence gives is the converter's own rule (see the
// POSIX converter's tests); implementations of the Windows call differ.
TEST(TextCodecTest, InvalidUtf8IsReplacedAndItsNeighboursSurvive) {
  const char* invalid[] = {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                           "\xF5",     "\xFE",         "\x80",         "\xF0\x9F\x98"};
  for (const char* sequence : invalid) {
    std::wstring wide = ToUtf16(std::string("<") + sequence + ">");
    ASSERT_GE(wide.size(), 3u) << sequence;
    EXPECT_EQ(wide.front(), L'<');
    EXPECT_EQ(wide.back(), L'>');
    EXPECT_EQ(wide.substr(1, wide.size() - 2), std::wstring(wide.size() - 2, wchar_t(0xFFFD)))
        << sequence;
  }
}

TEST(TextCodecTest, SizingAndCapacityFollowTheWindowsContract) {
  const std::wstring wide = Units({'a', 0xE9, 0xD83D, 0xDE00});  // 1 + 2 + 4 bytes
  EXPECT_EQ(platform::Utf16ToUtf8(wide.data(), 4, nullptr, 0), 7);

  char exact[7];
  EXPECT_EQ(platform::Utf16ToUtf8(wide.data(), 4, exact, 7), 7);
  EXPECT_EQ(std::string(exact, 7), "a\xC3\xA9\xF0\x9F\x98\x80");

  char tooSmall[6];
  platform::SetLastErrorCode(0);
  EXPECT_EQ(platform::Utf16ToUtf8(wide.data(), 4, tooSmall, 6), 0);
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorInsufficientBuffer);

  const std::string utf8 = "a\xF0\x9F\x98\x80";  // a surrogate pair needs two units
  EXPECT_EQ(platform::Utf8ToUtf16(utf8.data(), 5, nullptr, 0), 3);
  wchar_t two[2];
  EXPECT_EQ(platform::Utf8ToUtf16(utf8.data(), 5, two, 2), 0);
  EXPECT_EQ(platform::LastErrorCode(), platform::kErrorInsufficientBuffer);

  EXPECT_EQ(platform::Utf16ToUtf8(wide.data(), 0, nullptr, 0), 0);
  EXPECT_EQ(platform::Utf8ToUtf16(utf8.data(), 0, nullptr, 0), 0);
}

}  // namespace

namespace {

TEST(TextCodecTest, AppendsKeepWhatIsThereAndTakeOnlyTheCount) {
  std::string utf8 = "x";
  const std::wstring text = {0xE9, 0xD83D, 0xDE00, L't'};  // surrogates: UTF-16 on every platform
  platform::AppendUtf16AsUtf8(text.data(), 3, utf8);
  EXPECT_EQ(utf8, "x\xC3\xA9\xF0\x9F\x98\x80");
  std::wstring wide = L"y";
  platform::AppendUtf8AsUtf16("\xC3\xA9z", 2, wide);
  EXPECT_EQ(wide, L"y\u00e9");
  platform::AppendUtf8AsUtf16("", 0, wide);
  EXPECT_EQ(wide, L"y\u00e9");
}

}  // namespace
