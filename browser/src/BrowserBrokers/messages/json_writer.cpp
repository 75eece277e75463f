#include "messages/json_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "messages/json_escape.h"

namespace browser_extensions {

namespace {

// Also escapes what would not print, unlike the host's outbound frames:
// this text ends up in debug lines and logs as well.
void WriteString(const std::wstring& text, std::wstring& out) {
  AppendJsonString(out, text, kJsonEscapePrintable);
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
