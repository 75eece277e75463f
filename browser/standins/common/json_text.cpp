#include "common/json_text.h"

#include "messages/json_escape.h"

namespace standins {

void AppendJsonString(std::wstring& out, const std::wstring& text) {
  ::AppendJsonString(out, text, kJsonEscapeMinimal);
}

std::string AsciiJsonString(const std::wstring& text) {
  return JsonString<std::string>(text, kJsonEscapeAscii);
}

}  // namespace standins
