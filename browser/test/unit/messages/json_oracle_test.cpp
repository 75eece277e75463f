// Compares the reader with nlohmann-json, an independent parser, on texts
// that nlohmann accepts as one complete value: both must yield one tree.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include <nlohmann/json.hpp>

#include "json_test_support.h"
#include "messages/json_reader.h"
#include "platform/text_codec.h"

namespace browser_extensions {
namespace {

std::wstring Units(const std::string& utf8) {
  const int size = static_cast<int>(utf8.size());
  std::wstring units(platform::Utf8ToUtf16(utf8.data(), size, nullptr, 0), L'\0');
  platform::Utf8ToUtf16(utf8.data(), size, units.data(),
                        static_cast<int>(units.size()));
  return units;
}

wmValue FromOracle(const nlohmann::json& json) {
  using Kind = nlohmann::json::value_t;
  switch (json.type()) {
    case Kind::object: {
      wmObject object;
      for (const auto& [name, member] : json.items()) {
        object[Units(name)] = FromOracle(member);
      }
      return object;
    }
    case Kind::array: {
      wmArray array;
      for (const auto& element : json) array.push_back(FromOracle(element));
      return array;
    }
    case Kind::string: return Units(json.get<std::string>());
    case Kind::boolean: return json.get<bool>();
    case Kind::number_integer: return json.get<std::int64_t>();
    case Kind::number_unsigned: return json.get<std::uint64_t>();
    case Kind::number_float: return json.get<double>();
    default: return wmValue();
  }
}

// Random valid JSON with the features the two parsers must agree on:
// escapes, raw and escaped characters beyond the BMP, integer range edges,
// reals, repeated names, nesting and whitespace.
class TextGenerator {
 public:
  std::string Document() { return Pick(kSpaces) + Value(0) + Pick(kSpaces); }

 private:
  static constexpr const char* kSpaces[] = {"", "", " ", "\t", "\r\n "};
  static constexpr const char* kScalars[] = {
      "true", "false", "null", "0", "-0", "-2", "9223372036854775807",
      "-9223372036854775808", "9223372036854775808", "18446744073709551615",
      "18446744073709551616", "-9223372036854775809", "4294967297", "3.0",
      "3e0", "-0.0", "1E+2", "2.5e-3", "1e308", "4.9e-324", "1e-400",
      "0.30000000000000004", "123456789012345678901234567890"};
  static constexpr const char* kStringPieces[] = {
      "\\\"", "\\\\", "\\/", "\\b", "\\f", "\\n", "\\r", "\\t", "\\u0000",
      "\\u001f", "\\u00E9", "\\uFFFF", "\\ud83d\\ude00", "\\uDBFF\\uDFFF",
      "a", " ", "~", "\x7F", u8"\u00E9", u8"\u07FF", u8"\u4E2D", u8"\uFFFD",
      u8"\U00010000", u8"\U0001F600", u8"\U0010FFFF"};

  template <std::size_t N>
  std::string Pick(const char* const (&choices)[N]) {
    return choices[Below(N)];
  }
  std::size_t Below(std::size_t bound) {
    return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
  }

  std::string String() {
    std::string text = "\"";
    for (std::size_t i = Below(6); i > 0; --i) text += Pick(kStringPieces);
    return text + "\"";
  }

  std::string Value(int depth) {
    switch (Below(depth < 5 ? 4 : 2)) {
      case 0: return String();
      case 1: return Pick(kScalars);
      case 2: return Container(depth + 1, '{', '}');
      default: return Container(depth + 1, '[', ']');
    }
  }

  std::string Container(int depth, char open, char close) {
    std::string text(1, open);
    for (std::size_t i = 0, n = Below(5); i < n; ++i) {
      if (i > 0) text += ",";
      // A small pool of names makes repeated names common.
      if (open == '{') {
        text += Pick(kSpaces) +
                (Below(2) ? "\"k" + std::to_string(Below(3)) + "\"" : String()) +
                Pick(kSpaces) + ":";
      }
      text += Pick(kSpaces) + Value(depth) + Pick(kSpaces);
    }
    return text + close;
  }

  std::mt19937 random_{20240229};
};

void ExpectSameTreeAsOracle(const std::string& utf8) {
  ASSERT_TRUE(nlohmann::json::accept(utf8)) << utf8;
  wmValue ours;
  EXPECT_TRUE(read(Units(utf8), ours)) << utf8;
  EXPECT_EQ(ours, FromOracle(nlohmann::json::parse(utf8))) << utf8;
}

TEST(JsonOracleTest, HandPickedTextsGiveTheSameTree) {
  for (const char* text :
       {"{}", "[]", "0", "\"\"", " {\"a\" : [ 1 , 2.5 , \"x\" ] } ",
        "{\"a\":1,\"a\":{\"b\":2},\"a\":[3]}",
        "{\"\\u0041\":\"\\u00e9\\uD83D\\uDE00\",\"A\":\"dup\"}",
        "{\"tabID\":\"7\",\"type\":\"log\",\"payload\":{\"level\":2}}",
        "[[[[[[[[[[{\"deep\":[true,false,null]}]]]]]]]]]]"}) {
    ExpectSameTreeAsOracle(text);
  }
}

TEST(JsonOracleTest, GeneratedTextsGiveTheSameTree) {
  TextGenerator generator;
  for (int i = 0; i < 2000 && !HasFailure(); ++i) {
    ExpectSameTreeAsOracle(generator.Document());
  }
}

}  // namespace
}  // namespace browser_extensions
