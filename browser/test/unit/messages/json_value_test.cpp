#include "messages/json_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include "json_test_support.h"

namespace browser_extensions {
namespace {

template <typename Read>
std::string TypeError(const wmValue& value, Read read) {
  try {
    read(value);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no error";
}

TEST(JsonValueTest, TypedReadOfWrongKindNamesBothKindNumbers) {
  EXPECT_EQ(TypeError(wmValue(), [](auto& v) { v.get_obj(); }), "value type is 6 not 0");
  EXPECT_EQ(TypeError(wmArray(), [](auto& v) { v.get_obj(); }), "value type is 1 not 0");
  EXPECT_EQ(TypeError(7, [](auto& v) { v.get_str(); }), "value type is 4 not 2");
  EXPECT_EQ(TypeError(3.0, [](auto& v) { v.get_int(); }), "value type is 5 not 4");
  EXPECT_EQ(TypeError(L"x", [](auto& v) { v.get_array(); }), "value type is 2 not 1");
  EXPECT_EQ(TypeError(true, [](auto& v) { v.get_real(); }), "value type is 3 not 5");
}

TEST(JsonValueTest, IntegersAboveSignedRangeAreUnsignedButStillKindFour) {
  const wmValue max(std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(max.type(), int_type);
  EXPECT_TRUE(max.is_uint64());
  EXPECT_EQ(max.get_int64(), -1);
  // Unsigned values inside the signed range equal their signed form.
  EXPECT_EQ(wmValue(std::uint64_t{5}), wmValue(5));
}

TEST(JsonValueTest, ObjectNamesSortByUnsignedCodeUnitWithPrefixFirst) {
  wmObject object;
  for (const wchar_t* name : {L"type", L"a", L"tabID", L"Z", L"payload", L"requestID",
                              L"ab", L"\xFFFD", L"\xD83D\xDE00", L"\x7F"}) {
    object[name] = 0;
  }
  std::wstring order;
  for (const auto& member : object) order += member.first + L"|";
  EXPECT_EQ(order, L"Z|a|ab|payload|requestID|tabID|type|\x7F|\xD83D\xDE00|\xFFFD|");
}

TEST(JsonValueTest, AssigningADescendantToItsAncestorIsSafe) {
  wmValue value = messages_test::ReadText(L"[[1,{\"a\":[2]}],3]");
  value = value.get_array()[0];
  value = std::move(value.get_array()[1]);
  EXPECT_EQ(write(value), L"{\"a\":[2]}");
  value = value.get_obj().at(L"a").get_array()[0];
  EXPECT_EQ(value, wmValue(2));

  wmValue moved = std::move(value);
  EXPECT_TRUE(value.is_null());
}

// Empty containers and texts are held without an allocation of their own;
// they must read, copy, compare and fill like any other.
TEST(JsonValueTest, EmptyContainersBehaveLikeFilledOnes) {
  const wmValue emptyArray(wmArray{});
  const wmValue emptyObject(wmObject{});
  EXPECT_TRUE(emptyArray.get_array().empty());
  EXPECT_TRUE(emptyObject.get_obj().empty());
  EXPECT_EQ(wmValue(L"").get_str(), L"");
  EXPECT_EQ(emptyArray, wmValue(wmArray{}));
  EXPECT_NE(emptyArray, emptyObject);
  EXPECT_EQ(TypeError(emptyArray, [](auto& v) { v.get_obj(); }), "value type is 1 not 0");

  wmValue filled = emptyArray;
  filled.get_array().push_back(L"x");
  wmValue copy = filled;
  copy.get_array().push_back(1);
  EXPECT_TRUE(emptyArray.get_array().empty());
  EXPECT_EQ(write(filled), L"[\"x\"]");
  EXPECT_EQ(write(copy), L"[\"x\",1]");

  wmValue object = emptyObject;
  object.get_obj()[L"a"] = wmArray{};
  EXPECT_EQ(write(object), L"{\"a\":[]}");
  EXPECT_EQ(write(messages_test::ReadText(L"[[],{},\"\",[[]]]")), L"[[],{},\"\",[[]]]");
}

}  // namespace
}  // namespace browser_extensions
