#include "common/json_text.h"

namespace standins {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// Writes "\uXXXX" for `unit` through `put`.
template <typename Put>
void PutUnicodeEscape(unsigned unit, Put put) {
  put('\\');
  put('u');
  for (int shift = 12; shift >= 0; shift -= 4)
    put(kHexDigits[(unit >> shift) & 0xF]);
}

// On platforms with a 32-bit wchar_t an element above 0xFFFF is not a UTF-16
// unit; it is written as the replacement character.
unsigned UnitValue(wchar_t element) {
  auto value = static_cast<unsigned long>(element);
  return value > 0xFFFF ? 0xFFFD : static_cast<unsigned>(value);
}

}  // namespace

void AppendJsonString(std::wstring& out, const std::wstring& text) {
  auto put = [&out](char c) { out.push_back(static_cast<wchar_t>(c)); };
  out.push_back(L'"');
  for (wchar_t element : text) {
    unsigned unit = UnitValue(element);
    if (unit == '"' || unit == '\\') {
      out.push_back(L'\\');
      out.push_back(static_cast<wchar_t>(unit));
    } else if (unit < 0x20) {
      PutUnicodeEscape(unit, put);
    } else {
      out.push_back(static_cast<wchar_t>(unit));
    }
  }
  out.push_back(L'"');
}

std::string AsciiJsonString(const std::wstring& text) {
  std::string out;
  out.reserve(text.size() + 2);
  auto put = [&out](char c) { out.push_back(c); };
  out.push_back('"');
  for (wchar_t element : text) {
    unsigned unit = UnitValue(element);
    if (unit == '"' || unit == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(unit));
    } else if (unit >= 0x20 && unit < 0x7F) {
      out.push_back(static_cast<char>(unit));
    } else {
      PutUnicodeEscape(unit, put);
    }
  }
  out.push_back('"');
  return out;
}

}  // namespace standins
