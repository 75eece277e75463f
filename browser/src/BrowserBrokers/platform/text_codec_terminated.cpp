#include "platform/text_codec.h"

#include <algorithm>
#include <climits>

namespace platform {

std::string TerminatedTextAsUtf8(const std::wstring& text, std::size_t maxUnits) {
  const std::size_t units = std::min({text.find(L'\0'), text.size(), maxUnits,
                                      static_cast<std::size_t>(INT_MAX)});
  if (units == 0) return {};
  const int length = static_cast<int>(units);
  std::string utf8(Utf16ToUtf8(text.data(), length, nullptr, 0), '\0');
  if (!utf8.empty())
    Utf16ToUtf8(text.data(), length, &utf8[0], static_cast<int>(utf8.size()));
  return utf8;
}

}  // namespace platform
