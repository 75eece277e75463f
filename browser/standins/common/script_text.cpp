#include "common/script_text.h"

#include <climits>
#include <stdexcept>

#include "platform/text_codec.h"

namespace standins {
namespace {

std::wstring FromUtf8(const std::string& text) {
  if (text.size() > static_cast<size_t>(INT_MAX))
    throw std::length_error("text too long");
  int length = static_cast<int>(text.size());
  int needed = platform::Utf8ToUtf16(text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  if (needed > 0)
    platform::Utf8ToUtf16(text.data(), length, &wide[0], needed);
  return wide;
}

std::wstring FromUnits(const nlohmann::json& units) {
  std::wstring wide;
  for (const nlohmann::json& unit : units) {
    if (!unit.is_number_unsigned() || unit.get<unsigned long long>() > 0xFFFF)
      throw std::invalid_argument("a code unit must be a number 0..65535");
    wide.push_back(static_cast<wchar_t>(unit.get<unsigned>()));
  }
  return wide;
}

std::wstring BaseText(const nlohmann::json& entry) {
  if (entry.contains("textBytes"))
    return std::wstring(CountMember(entry, "textBytes", 0), L'x');
  const nlohmann::json& text = entry.at("text");
  if (text.is_array())
    return FromUnits(text);
  return FromUtf8(text.get<std::string>());
}

}  // namespace

unsigned long long CountMember(const nlohmann::json& entry, const char* name,
                               unsigned long long fallback) {
  auto member = entry.find(name);
  if (member == entry.end())
    return fallback;
  if (!member->is_number_unsigned())
    throw std::invalid_argument(std::string(name) +
                                " must be a non-negative integer");
  return member->get<unsigned long long>();
}

std::wstring ScriptText(const nlohmann::json& entry) {
  std::wstring base = BaseText(entry);
  unsigned long long repeat = CountMember(entry, "repeat", 1);
  if (repeat > 1 && base.size() > std::wstring().max_size() / repeat)
    throw std::length_error("repeated text too long");
  std::wstring text;
  text.reserve(base.size() * repeat);
  for (unsigned long long i = 0; i < repeat; ++i)
    text += base;
  return text;
}

}  // namespace standins
