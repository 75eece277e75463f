#include "messages/json_members.h"

#include <gtest/gtest.h>

#include "json_test_support.h"

namespace browser_extensions {
namespace {

using messages_test::ReadObject;

TEST(JsonMembersTest, StringMemberIsExactNameAndStringKindOnly) {
  EXPECT_EQ(GetStringMember(ReadObject(L"{\"tabID\":\"7\"}"), L"tabID"), L"7");
  EXPECT_EQ(GetStringMember(ReadObject(L"{\"tabId\":\"7\"}"), L"tabID"), L"");
  EXPECT_EQ(GetStringMember(ReadObject(L"{\"tabID \":\"7\"}"), L"tabID"), L"");
  for (const wchar_t* text :
       {L"{\"tabID\":7}", L"{\"tabID\":true}", L"{\"tabID\":null}",
        L"{\"tabID\":[\"7\"]}", L"{\"tabID\":{}}"}) {
    EXPECT_EQ(GetStringMember(ReadObject(text), L"tabID"), L"");
  }
}

TEST(JsonMembersTest, IntMemberTakesIntegersOnlyAndKeepsLowThirtyTwoBits) {
  const wmObject levels = ReadObject(
      L"{\"neg\":-2,\"string\":\"3\",\"real\":3.0,\"null\":null,\"bool\":true,"
      L"\"wide\":4294967297,\"huge\":18446744073709551615,\"min\":-2147483648}");
  EXPECT_EQ(GetIntMember(levels, L"neg"), -2);
  EXPECT_EQ(GetIntMember(levels, L"string"), 0);
  EXPECT_EQ(GetIntMember(levels, L"real"), 0);
  EXPECT_EQ(GetIntMember(levels, L"null"), 0);
  EXPECT_EQ(GetIntMember(levels, L"bool"), 0);
  EXPECT_EQ(GetIntMember(levels, L"wide"), 1);
  EXPECT_EQ(GetIntMember(levels, L"huge"), -1);
  EXPECT_EQ(GetIntMember(levels, L"min"), -2147483648);
  EXPECT_EQ(GetIntMember(levels, L"absent"), 0);
}

TEST(JsonMembersTest, ContainerMembersAreCopiesOrEmpty) {
  const wmObject object =
      ReadObject(L"{\"o\":{\"a\":1},\"l\":[1,2],\"s\":\"x\",\"n\":null}");
  EXPECT_EQ(GetObjectMember(object, L"o"), ReadObject(L"{\"a\":1}"));
  EXPECT_EQ(GetArrayMember(object, L"l").size(), 2u);
  for (const wchar_t* name : {L"s", L"n", L"l", L"absent"}) {
    EXPECT_TRUE(GetObjectMember(object, name).empty()) << name;
  }
  for (const wchar_t* name : {L"s", L"n", L"o", L"absent"}) {
    EXPECT_TRUE(GetArrayMember(object, name).empty()) << name;
  }
}

TEST(JsonMembersTest, ContainerMemberRefsAreTheMembersOrEmpty) {
  const wmObject object = ReadObject(L"{\"o\":{\"a\":1},\"l\":[1,2],\"s\":\"x\"}");
  EXPECT_EQ(&ObjectMemberRef(object, L"o"), &object.at(L"o").get_obj());
  EXPECT_EQ(&ArrayMemberRef(object, L"l"), &object.at(L"l").get_array());
  for (const wchar_t* name : {L"s", L"l", L"O", L"absent"}) {
    EXPECT_TRUE(ObjectMemberRef(object, name).empty()) << name;
  }
  for (const wchar_t* name : {L"s", L"o", L"absent"}) {
    EXPECT_TRUE(ArrayMemberRef(object, name).empty()) << name;
  }
}

}  // namespace
}  // namespace browser_extensions
