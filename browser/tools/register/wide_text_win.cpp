#include "wide_text_win.h"

#include "platform/text_codec.h"

namespace registration {

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring wide;
  platform::AppendUtf8AsUtf16(text.data(), text.size(), wide);
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string narrow;
  platform::AppendUtf16AsUtf8(text.data(), text.size(), narrow);
  return narrow;
}

}  // namespace registration
