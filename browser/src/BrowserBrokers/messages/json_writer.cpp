#include "messages/json_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cwctype>

namespace browser_extensions {

namespace {

void WriteString(const std::wstring& text, std::wstring& out) {
  static const wchar_t kHexDigits[] = L"0123456789ABCDEF";
  out.push_back(L'"');
  for (const wchar_t unit : text) {
    switch (unit) {
      case L'"': out += L"\\\""; continue;
      case L'\\': out += L"\\\\"; continue;
      case L'\b': out += L"\\b"; continue;
      case L'\f': out += L"\\f"; continue;
      case L'\n': out += L"\\n"; continue;
      case L'\r': out += L"\\r"; continue;
      case L'\t': out += L"\\t"; continue;
      default: break;
    }
    const auto value = static_cast<std::uint32_t>(unit);
    if (std::iswprint(static_cast<wint_t>(value))) {
      out.push_back(unit);
      continue;
    }
    out += L"\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
      out.push_back(kHexDigits[(value >> shift) & 0xF]);
    }
  }
  out.push_back(L'"');
}

void WriteReal(double real, std::wstring& out) {
  if (!std::isfinite(real)) {
    out += L"null";
    return;
  }
  char buffer[64];
  const int length = std::snprintf(buffer, sizeof buffer, "%#.17g", real);
  for (int i = 0; i < length; ++i) out.push_back(static_cast<wchar_t>(buffer[i]));
  // A number with seventeen digits before the point comes out as "...0."
  // and JSON needs a digit after the point.
  if (out.back() == L'.') out.push_back(L'0');
}

void WriteNarrow(const std::string& text, std::wstring& out) {
  out.append(text.begin(), text.end());
}

// Recursion depth follows the value's nesting, which the reader bounds.
void WriteValue(const wmValue& value, std::wstring& out) {
  switch (value.type()) {
    case obj_type: {
      out.push_back(L'{');
      bool first = true;
      for (const auto& [name, member] : value.get_obj()) {
        if (!first) out.push_back(L',');
        first = false;
        WriteString(name, out);
        out.push_back(L':');
        WriteValue(member, out);
      }
      out.push_back(L'}');
      return;
    }
    case array_type: {
      out.push_back(L'[');
      bool first = true;
      for (const wmValue& element : value.get_array()) {
        if (!first) out.push_back(L',');
        first = false;
        WriteValue(element, out);
      }
      out.push_back(L']');
      return;
    }
    case str_type:
      WriteString(value.get_str(), out);
      return;
    case bool_type:
      out += value.get_bool() ? L"true" : L"false";
      return;
    case int_type:
      WriteNarrow(value.is_uint64() ? std::to_string(value.get_uint64())
                                    : std::to_string(value.get_int64()),
                  out);
      return;
    case real_type:
      WriteReal(value.get_real(), out);
      return;
    case null_type:
      out += L"null";
      return;
  }
}

}  // namespace

std::wstring write(const wmValue& value) {
  std::wstring out;
  WriteValue(value, out);
  return out;
}

}  // namespace browser_extensions
