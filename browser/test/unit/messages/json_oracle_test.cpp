// Compares the reader with nlohmann-json, an independent parser, on texts
// that nlohmann accepts as one complete value: both must yield one tree.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "json_test_support.h"
#include "messages/json_reader.h"

namespace browser_extensions {
namespace {

// Valid UTF-8 to UTF-16 units; the texts here are built from valid code
// points only.
std::wstring Utf8ToUnits(const std::string& text) {
  std::wstring units;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      units.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units.push_back(static_cast<wchar_t>(code));
    }
  }
  return units;
}

std::string CodePointToUtf8(std::uint32_t code) {
  std::string out;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

wmValue FromOracle(const nlohmann::json& json) {
  switch (json.type()) {
    case nlohmann::json::value_t::object: {
      wmObject object;
      for (const auto& [name, member] : json.items()) {
        object[Utf8ToUnits(name)] = FromOracle(member);
      }
      return object;
    }
    case nlohmann::json::value_t::array: {
      wmArray array;
      for (const auto& element : json) array.push_back(FromOracle(element));
      return array;
    }
    case nlohmann::json::value_t::string:
      return Utf8ToUnits(json.get<std::string>());
    case nlohmann::json::value_t::boolean:
      return json.get<bool>();
    case nlohmann::json::value_t::number_integer:
      return json.get<std::int64_t>();
    case nlohmann::json::value_t::number_unsigned:
      return json.get<std::uint64_t>();
    case nlohmann::json::value_t::number_float:
      return json.get<double>();
    default:
      return wmValue();
  }
}

// Builds random valid JSON text with the features the reader must agree on:
// escapes, raw and escaped characters beyond the BMP, integer range edges,
// reals, repeated names, nesting and whitespace.
class TextGenerator {
 public:
  explicit TextGenerator(unsigned seed) : random_(seed) {}

  std::string Document() { return Space() + Value(0) + Space(); }

 private:
  int Below(int bound) {
    return std::uniform_int_distribution<int>(0, bound - 1)(random_);
  }

  std::string Space() {
    static const char* const kSpaces[] = {"", "", "", " ", "\t", "\r\n", "  \n "};
    return kSpaces[Below(7)];
  }

  std::string Value(int depth) {
    switch (Below(depth < 5 ? 9 : 6)) {
      case 0: return String();
      case 1: return Number();
      case 2: return Integer();
      case 3: {
        static const char* const kWords[] = {"true", "false", "null"};
        return kWords[Below(3)];
      }
      case 4: return Real();
      case 5: return String();
      case 6: case 7: return Object(depth + 1);
      default: return Array(depth + 1);
    }
  }

  std::string Object(int depth) {
    std::string text = "{" + Space();
    const int members = Below(5);
    for (int i = 0; i < members; ++i) {
      if (i > 0) text += "," + Space();
      // A small name pool makes repeated names common.
      text += Below(2) ? "\"k" + std::to_string(Below(4)) + "\"" : String();
      text += Space() + ":" + Space() + Value(depth) + Space();
    }
    return text + "}";
  }

  std::string Array(int depth) {
    std::string text = "[" + Space();
    const int elements = Below(5);
    for (int i = 0; i < elements; ++i) {
      if (i > 0) text += "," + Space();
      text += Value(depth) + Space();
    }
    return text + "]";
  }

  std::string String() {
    static const char* const kEscapes[] = {
        "\\\"", "\\\\", "\\/", "\\b", "\\f", "\\n", "\\r", "\\t",
        "\\u0000", "\\u001f", "\\u00E9", "\\uFFFF", "\\ud83d\\ude00",
        "\\uDBFF\\uDFFF", "\\u2028"};
    static const std::uint32_t kRaw[] = {'a', ' ', '~', 0x7F, 0xE9, 0x7FF,
                                         0x800, 0x4E2D, 0xFFFD, 0x10000,
                                         0x1F600, 0x10FFFF};
    std::string text = "\"";
    const int pieces = Below(6);
    for (int i = 0; i < pieces; ++i) {
      text += Below(2) ? std::string(kEscapes[Below(15)])
                       : CodePointToUtf8(kRaw[Below(12)]);
    }
    return text + "\"";
  }

  std::string Integer() {
    static const char* const kEdges[] = {
        "0", "-0", "9223372036854775807", "-9223372036854775808",
        "9223372036854775808", "18446744073709551615", "18446744073709551616",
        "-9223372036854775809", "4294967297", "-2147483649"};
    return kEdges[Below(10)];
  }

  std::string Number() {
    std::string text = Below(2) ? "-" : "";
    return text + std::to_string(
                      std::uniform_int_distribution<std::int64_t>()(random_));
  }

  std::string Real() {
    static const char* const kReals[] = {
        "3.0", "3e0", "-0.0", "0.1", "1E+2", "2.5e-3", "1e308", "4.9e-324",
        "1e-400", "123456789012345678901234567890", "0.30000000000000004"};
    return kReals[Below(11)];
  }

  std::mt19937 random_;
};

void ExpectSameTreeAsOracle(const std::string& utf8) {
  const nlohmann::json oracle = nlohmann::json::parse(utf8);
  wmValue ours;
  EXPECT_TRUE(read(Utf8ToUnits(utf8), ours)) << utf8;
  EXPECT_EQ(ours, FromOracle(oracle)) << utf8;
}

TEST(JsonOracleTest, HandPickedTextsGiveTheSameTree) {
  const char* const texts[] = {
      "{}", "[]", "0", "\"\"", " {\"a\" : [ 1 , 2.5 , \"x\" ] } ",
      "{\"a\":1,\"a\":{\"b\":2},\"a\":[3]}",
      "{\"\\u0041\":\"\\u00e9\\uD83D\\uDE00\",\"A\":\"dup\"}",
      u8"\"\u00E9\u4E2D\U0001F600\"",
      "[18446744073709551615,-9223372036854775808,1e-7,1E7,-0]",
      "{\"tabID\":\"7\",\"type\":\"log\",\"payload\":{\"message\":\"m\","
      "\"level\":2}}",
      "[[[[[[[[[[{\"deep\":[true,false,null]}]]]]]]]]]]"};
  for (const char* text : texts) ExpectSameTreeAsOracle(text);
}

TEST(JsonOracleTest, GeneratedTextsGiveTheSameTree) {
  TextGenerator generator(20240229);
  for (int i = 0; i < 2000; ++i) {
    const std::string text = generator.Document();
    ASSERT_TRUE(nlohmann::json::accept(text)) << text;
    ExpectSameTreeAsOracle(text);
    if (HasFailure()) break;
  }
}

}  // namespace
}  // namespace browser_extensions
