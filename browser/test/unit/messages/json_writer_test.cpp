#include "messages/json_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "messages/json_reader.h"

namespace browser_extensions {
namespace {

TEST(JsonWriterTest, WritesMembersInNameOrderWithoutWhitespace) {
  wmObject inner;
  inner[L"b"] = wmArray{wmValue(1), wmValue(L"x"), wmValue(), wmValue(false)};
  inner[L"a"] = wmObject();
  wmObject outer;
  outer[L"type"] = L"t";
  outer[L"level"] = 1;
  outer[L"level"] = 3;
  outer[L"Z"] = inner;
  outer[L"e"] = wmArray();
  EXPECT_EQ(write(outer),
            L"{\"Z\":{\"a\":{},\"b\":[1,\"x\",null,false]},\"e\":[],\"level\":3,"
            L"\"type\":\"t\"}");
}

TEST(JsonWriterTest, EscapesQuotesBackslashesAndControls) {
  EXPECT_EQ(write(L"\"\\\n\t\x01/"), L"\"\\\"\\\\\\n\\t\\u0001/\"");
  EXPECT_EQ(write(std::wstring(L"\b\f\r\x1A\x7F\0", 6)),
            L"\"\\b\\f\\r\\u001A\\u007F\\u0000\"");
  std::wstring printable;
  for (wchar_t unit = 0x20; unit < 0x7F; ++unit) {
    if (unit != L'"' && unit != L'\\') printable.push_back(unit);
  }
  EXPECT_EQ(write(printable), L"\"" + printable + L"\"");
}

TEST(JsonWriterTest, EveryCodeUnitSurvivesWritingAndReadingBack) {
  std::wstring allUnits;
  for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
    allUnits.push_back(static_cast<wchar_t>(unit));
  }
  wmValue readBack;
  ASSERT_TRUE(read(write(allUnits), readBack));
  EXPECT_TRUE(readBack.get_str() == allUnits);
}

TEST(JsonWriterTest, WritesNumbers) {
  EXPECT_EQ(write(wmArray{wmValue(-1), wmValue(std::numeric_limits<std::int64_t>::min()),
                          wmValue(std::numeric_limits<std::uint64_t>::max())}),
            L"[-1,-9223372036854775808,18446744073709551615]");
  EXPECT_EQ(write(3.0), L"3.0000000000000000");
  EXPECT_EQ(write(0.1), L"0.10000000000000001");
  EXPECT_EQ(write(-1e-5), L"-1.0000000000000001e-05");
  // Seventeen digits before the point: a digit must still follow it.
  EXPECT_EQ(write(92233720368547760.0), L"92233720368547760.0");
  EXPECT_EQ(write(std::numeric_limits<double>::infinity()), L"null");
}

}  // namespace
}  // namespace browser_extensions
