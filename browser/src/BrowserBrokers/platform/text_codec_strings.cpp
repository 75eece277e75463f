#include "platform/text_codec.h"

#include <algorithm>
#include <climits>

namespace platform {
namespace {

// Sizes the conversion with a first call, then writes it after `out`.
template <typename From, typename To>
void AppendConverted(const From* source, std::size_t count, std::basic_string<To>& out,
                     int (*convert)(const From*, int, To*, int)) {
  const int length = static_cast<int>(std::min<std::size_t>(count, INT_MAX));
  const int needed = convert(source, length, nullptr, 0);
  if (needed <= 0) return;
  const std::size_t offset = out.size();
  out.resize(offset + static_cast<std::size_t>(needed));
  const int written = convert(source, length, &out[offset], needed);
  out.resize(offset + static_cast<std::size_t>(written > 0 ? written : 0));
}

}  // namespace

void AppendUtf16AsUtf8(const wchar_t* units, std::size_t count, std::string& out) {
  AppendConverted(units, count, out, &Utf16ToUtf8);
}

void AppendUtf8AsUtf16(const char* bytes, std::size_t count, std::wstring& out) {
  AppendConverted(bytes, count, out, &Utf8ToUtf16);
}

std::string TerminatedTextAsUtf8(const std::wstring& text, std::size_t maxUnits) {
  const std::size_t units = std::min({text.find(L'\0'), text.size(), maxUnits});
  std::string utf8;
  AppendUtf16AsUtf8(text.data(), units, utf8);
  return utf8;
}

}  // namespace platform
