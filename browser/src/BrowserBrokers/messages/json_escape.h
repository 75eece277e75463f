// The one JSON string escaper. Every writer of JSON text in this tree (the
// host's outbound frames, the JSON writer, the reports, the stand-ins, the
// registration tool) escapes through it; a `JsonEscapeStyle` says which
// units go as they are. A library of its own (corv_json_text), so that the
// tools can use it without the host's libraries.
#pragma once

#include <cstddef>
#include <string>
#include <cwctype>
#include <type_traits>

// Which units, besides quotation mark, backslash and those below 0x20
// (always escaped), are written as \uXXXX rather than copied.
enum class JsonEscapeRaw {
  kAllOthers,       // nothing else: UTF-8 bytes and UTF-16 units pass through
  kPrintable,       // whatever iswprint rejects (DEL, C1 controls, ...)
  kPrintableAscii,  // everything outside 0x20..0x7E
};

struct JsonEscapeStyle {
  JsonEscapeRaw raw;
};

// The host's outbound frames escape only what JSON requires, so that the
// UTF-8 of the text passes through byte for byte.
inline constexpr JsonEscapeStyle kJsonEscapeMinimal{JsonEscapeRaw::kAllOthers};
// The JSON writer also escapes what would not print (and so would be
// invisible in a log or debug line); its output may differ from the
// host's frames on purpose.
inline constexpr JsonEscapeStyle kJsonEscapePrintable{JsonEscapeRaw::kPrintable};
// Plain ASCII that keeps every UTF-16 unit, lone surrogates included,
// recoverable from the text.
inline constexpr JsonEscapeStyle kJsonEscapeAscii{JsonEscapeRaw::kPrintableAscii};

// The escape of one unit: `length` characters at `text`, or length 0 when
// the unit is written as it is. Short forms are used for \b \f \n \r \t,
// upper-case \uXXXX for the others. A unit above 0xFFFF (a whole code point
// where wchar_t is 32 bits) is not a UTF-16 unit and goes as \uFFFD.
struct JsonEscape {
  char text[7];
  std::size_t length;
};

inline bool JsonUnitGoesRaw(unsigned long unit, JsonEscapeStyle style) {
  if (unit < 0x20 || unit == '"' || unit == '\\' || unit > 0xFFFF) return false;
  switch (style.raw) {
    case JsonEscapeRaw::kAllOthers: return true;
    case JsonEscapeRaw::kPrintable: return std::iswprint(static_cast<wint_t>(unit)) != 0;
    case JsonEscapeRaw::kPrintableAscii: return unit < 0x7F;
  }
  return true;
}

inline JsonEscape EscapeJsonUnit(unsigned long unit, JsonEscapeStyle style) {
  JsonEscape escape{{'\\'}, 0};
  if (JsonUnitGoesRaw(unit, style)) return escape;
  char shortForm = 0;
  switch (unit) {
    case '"': shortForm = '"'; break;
    case '\\': shortForm = '\\'; break;
    case '\b': shortForm = 'b'; break;
    case '\f': shortForm = 'f'; break;
    case '\n': shortForm = 'n'; break;
    case '\r': shortForm = 'r'; break;
    case '\t': shortForm = 't'; break;
    default: break;
  }
  if (shortForm != 0) {
    escape.text[1] = shortForm;
    escape.length = 2;
    return escape;
  }
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  const unsigned long value = unit > 0xFFFF ? 0xFFFD : unit;
  escape.text[1] = 'u';
  for (int i = 0; i < 4; ++i) escape.text[2 + i] = kHexDigits[(value >> (12 - 4 * i)) & 0xF];
  escape.length = 6;
  return escape;
}

// Appends `text` (bytes or UTF-16 units) to `out` as a quoted JSON string.
template <typename Out, typename Text>
void AppendJsonString(Out& out, const Text& text, JsonEscapeStyle style) {
  using OutUnit = typename Out::value_type;
  out.push_back(OutUnit('"'));
  for (const auto element : text) {
    // Through the unsigned type of the element's own width, so a char
    // byte above 0x7F is not sign-extended.
    const auto unit = static_cast<unsigned long>(
        static_cast<std::make_unsigned_t<decltype(element)>>(element));
    const JsonEscape escape = EscapeJsonUnit(unit, style);
    if (escape.length == 0) {
      out.push_back(static_cast<OutUnit>(element));
      continue;
    }
    for (std::size_t i = 0; i < escape.length; ++i) out.push_back(OutUnit(escape.text[i]));
  }
  out.push_back(OutUnit('"'));
}

template <typename Out, typename Text>
Out JsonString(const Text& text, JsonEscapeStyle style) {
  Out out;
  out.reserve(text.size() + 2);
  AppendJsonString(out, text, style);
  return out;
}

// The host's outbound escaping (the minimal style of the shared escaper).
// Puts a backslash before every quotation mark and backslash, and escapes
// every byte below 0x20: \b \f \n \r \t for those five, \u00XX (upper-case
// hex) for the others. All other bytes, multi-byte UTF-8 sequences
// included, are copied unchanged, so the text in quotation marks is a JSON
// string whose value is exactly the text.
std::string EscapeForJsonString(const std::string& text);

// How many bytes escaping adds to a text holding this unit (a byte of
// UTF-8, or a UTF-16 unit, which gives one byte when it is below 0x80):
// 1 for a quotation mark, a backslash or one of \b \f \n \r \t, 5 for
// another control character, 0 for anything else.
inline std::size_t EscapeGrowth(unsigned long unit) {
  // Nearly every unit goes as it is; only the rest asks the escaper.
  if (unit >= 0x20 && unit <= 0xFFFF && unit != '"' && unit != '\\') return 0;
  const std::size_t length = EscapeJsonUnit(unit, kJsonEscapeMinimal).length;
  return length == 0 ? 0 : length - 1;
}

// Escapes the `count` bytes at `source` into `destination`, which has room
// for them plus their growth, and returns the end of what it wrote.
// `source` may lie inside `destination` at or after the place where the
// escaped text starts, as long as it lies exactly the growth further on:
// the writing never overtakes the reading.
char* EscapeJsonBytes(const char* source, std::size_t count, char* destination);
