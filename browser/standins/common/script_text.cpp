#include "common/script_text.h"

#include <stdexcept>

namespace standins {
namespace {

std::wstring FromUnits(const browser_extensions::wmArray& units) {
  std::wstring wide;
  for (const ScriptValue& unit : units) {
    const unsigned long long value = AsCount(unit, "a code unit");
    if (value > 0xFFFF) throw std::invalid_argument("a code unit must be a number 0..65535");
    wide.push_back(static_cast<wchar_t>(value));
  }
  return wide;
}

std::wstring BaseText(const ScriptValue& entry) {
  if (FindMember(entry, "textBytes") != nullptr)
    return std::wstring(CountMember(entry, "textBytes", 0), L'x');
  const ScriptValue* text = FindMember(entry, "text");
  if (text == nullptr) throw std::invalid_argument("an entry needs text or textBytes");
  if (text->type() == browser_extensions::array_type) return FromUnits(text->get_array());
  return AsText(*text, "text");
}

}  // namespace

unsigned long long CountMember(const ScriptValue& entry, const char* name,
                               unsigned long long fallback) {
  const ScriptValue* member = FindMember(entry, name);
  return member == nullptr ? fallback : AsCount(*member, name);
}

std::wstring ScriptText(const ScriptValue& entry) {
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
