#include "messages/json_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

#include "json_test_support.h"

namespace browser_extensions {
namespace {

std::string TypeErrorOf(void (*read)(const wmValue&), const wmValue& value) {
  try {
    read(value);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

TEST(JsonValueTest, DefaultValueIsNull) {
  EXPECT_EQ(wmValue().type(), null_type);
}

TEST(JsonValueTest, TypedReadOfWrongKindNamesBothKindNumbers) {
  EXPECT_EQ(TypeErrorOf([](const wmValue& v) { v.get_obj(); }, wmValue()),
            "value type is 6 not 0");
  EXPECT_EQ(TypeErrorOf([](const wmValue& v) { v.get_obj(); }, wmArray()),
            "value type is 1 not 0");
  EXPECT_EQ(TypeErrorOf([](const wmValue& v) { v.get_str(); }, wmValue(7)),
            "value type is 4 not 2");
  EXPECT_EQ(TypeErrorOf([](const wmValue& v) { v.get_int(); }, wmValue(3.0)),
            "value type is 5 not 4");
  EXPECT_EQ(TypeErrorOf([](const wmValue& v) { v.get_array(); }, L"x"),
            "value type is 2 not 1");
  EXPECT_EQ(TypeErrorOf([](const wmValue& v) { v.get_real(); }, true),
            "value type is 3 not 5");
}

TEST(JsonValueTest, IntegersAboveSignedRangeAreUnsignedButStillKindFour) {
  const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  const wmValue big(max);
  EXPECT_EQ(big.type(), int_type);
  EXPECT_TRUE(big.is_uint64());
  EXPECT_EQ(big.get_uint64(), max);
  EXPECT_EQ(big.get_int64(), -1);
  EXPECT_EQ(big.get_int(), -1);

  // Unsigned values inside the signed range equal their signed form.
  EXPECT_FALSE(wmValue(std::uint64_t{5}).is_uint64());
  EXPECT_EQ(wmValue(std::uint64_t{5}), wmValue(5));
}

TEST(JsonValueTest, GetIntKeepsLowThirtyTwoBits) {
  EXPECT_EQ(wmValue(std::int64_t{0x100000001}).get_int(), 1);
  EXPECT_EQ(wmValue(std::int64_t{0xFFFFFFFF}).get_int(), -1);
  EXPECT_EQ(wmValue(std::int64_t{-2}).get_int(), -2);
}

TEST(JsonValueTest, ObjectNamesSortByUnsignedCodeUnitWithPrefixFirst) {
  wmObject object;
  for (const wchar_t* name :
       {L"type", L"a", L"tabID", L"Z", L"payload", L"requestID", L"ab",
        L"\xFFFD", L"\xD83D\xDE00", L"\x7F"}) {
    object[name] = 0;
  }
  std::wstring order;
  for (const auto& member : object) order += member.first + L"|";
  EXPECT_EQ(order,
            L"Z|a|ab|payload|requestID|tabID|type|\x7F|\xD83D\xDE00|\xFFFD|");
}

TEST(JsonValueTest, CopiesAreDeepAndIndependent) {
  wmObject inner;
  inner[L"k"] = L"v";
  wmValue original(wmArray{wmValue(inner)});
  wmValue copy = original;
  copy.get_array()[0].get_obj()[L"k"] = L"changed";
  EXPECT_EQ(original.get_array()[0].get_obj().at(L"k").get_str(), L"v");
  EXPECT_NE(original, copy);
}

}  // namespace
}  // namespace browser_extensions
