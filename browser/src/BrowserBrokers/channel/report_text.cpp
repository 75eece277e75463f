#include "channel/report_text.h"

#include <array>
#include <string_view>
#include <utility>

namespace {

constexpr std::wstring_view kHiddenValue = L"\"***\"";
constexpr std::array<std::wstring_view, 3> kSensitiveWords = {L"password", L"secret",
                                                              L"token"};

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool IsJsonSpace(wchar_t unit) {
  return unit == L' ' || unit == L'\t' || unit == L'\n' || unit == L'\r';
}

bool IsStructural(wchar_t unit) {
  return std::wstring_view(L"{}[],:\"").find(unit) != std::wstring_view::npos;
}

// A unit of a bare word: a number, a literal, or an unquoted name in text
// that is not quite JSON.
bool IsBareUnit(wchar_t unit) { return !IsJsonSpace(unit) && !IsStructural(unit); }

std::size_t SkipSpace(std::wstring_view text, std::size_t at) {
  while (at < text.size() && IsJsonSpace(text[at])) ++at;
  return at;
}

// Just past the string literal whose quotation mark is at `start`, or the
// end of the text when it is never closed.
std::size_t StringEnd(std::wstring_view text, std::size_t start) {
  for (std::size_t at = start + 1; at < text.size(); ++at) {
    if (text[at] == L'\\') {
      ++at;
    } else if (text[at] == L'"') {
      return at + 1;
    }
  }
  return text.size();
}

std::size_t BareWordEnd(std::wstring_view text, std::size_t start) {
  while (start < text.size() && IsBareUnit(text[start])) ++start;
  return start;
}

// Just past the object or array that opens at `start`, counting brackets of
// both kinds and skipping strings, or the end of the text when it is never
// closed.
std::size_t CompositeEnd(std::wstring_view text, std::size_t start) {
  std::size_t depth = 0;
  for (std::size_t at = start; at < text.size();) {
    const wchar_t unit = text[at];
    if (unit == L'"') {
      at = StringEnd(text, at);
      continue;
    }
    if (unit == L'{' || unit == L'[') {
      ++depth;
    } else if ((unit == L'}' || unit == L']') && --depth == 0) {
      return at + 1;
    }
    ++at;
  }
  return text.size();
}

// Just past the value that starts at `start`; `start` itself when there is
// none. A value that is neither a string nor an object or array runs to the
// next comma or closing bracket, without the white space before it.
std::size_t ValueEnd(std::wstring_view text, std::size_t start) {
  if (start >= text.size()) return start;
  if (text[start] == L'"') return StringEnd(text, start);
  if (text[start] == L'{' || text[start] == L'[') return CompositeEnd(text, start);
  std::size_t end = start;
  while (end < text.size() && std::wstring_view(L",}]").find(text[end]) == std::wstring_view::npos) {
    ++end;
  }
  while (end > start && IsJsonSpace(text[end - 1])) --end;
  return end;
}

int HexDigit(wchar_t unit) {
  if (unit >= L'0' && unit <= L'9') return unit - L'0';
  if (unit >= L'a' && unit <= L'f') return unit - L'a' + 10;
  if (unit >= L'A' && unit <= L'F') return unit - L'A' + 10;
  return -1;
}

// The name as a JSON reader would see it (escapes such as \u0077 decoded,
// so they can't hide a word), with ASCII letters in lower case.
std::wstring NameToTest(std::wstring_view token) {
  std::wstring name;
  name.reserve(token.size());
  for (std::size_t at = 0; at < token.size(); ++at) {
    wchar_t unit = token[at];
    if (unit == L'\\' && at + 1 < token.size()) {
      unit = token[++at];
      if (unit == L'u' && at + 4 < token.size()) {
        int value = 0;
        for (std::size_t digit = 1; digit <= 4 && value >= 0; ++digit) {
          const int next = HexDigit(token[at + digit]);
          value = next < 0 ? -1 : value * 16 + next;
        }
        if (value >= 0) {
          unit = static_cast<wchar_t>(value);
          at += 4;
        }
      }
    }
    if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
    name += unit;
  }
  return name;
}

bool IsSensitiveName(std::wstring_view token) {
  const std::wstring name = NameToTest(token);
  for (const std::wstring_view word : kSensitiveWords) {
    if (name.find(word) != std::wstring::npos) return true;
  }
  return false;
}

// Keeps the first kMaxReportedCharacters characters of what is appended and
// counts the characters after them.
class CappedText {
 public:
  void Append(std::wstring_view piece) {
    for (const wchar_t unit : piece) Append(unit);
  }

  void Append(wchar_t unit) {
    const bool endsPair = IsLowSurrogate(unit) && IsHighSurrogate(last_);
    last_ = unit;
    if (omitted_ == 0 && (endsPair || shownCharacters_ < kMaxReportedCharacters)) {
      shown_ += unit;
      if (!endsPair) ++shownCharacters_;
    } else if (!endsPair) {
      ++omitted_;
    }
  }

  std::wstring Finish() && {
    if (omitted_ > 0) {
      shown_ += L"\x2026 (" + std::to_wstring(omitted_) + L" more characters)";
    }
    return std::move(shown_);
  }

 private:
  std::wstring shown_;
  std::size_t shownCharacters_ = 0;
  std::size_t omitted_ = 0;
  wchar_t last_ = 0;
};

}  // namespace

std::wstring ReportableMessageText(const std::wstring& wholeText) {
  const std::wstring_view text(wholeText);
  CappedText shown;
  std::size_t at = 0;
  while (at < text.size()) {
    const wchar_t unit = text[at];
    if (unit != L'"' && !IsBareUnit(unit)) {
      shown.Append(unit);
      ++at;
      continue;
    }
    const std::size_t tokenEnd = unit == L'"' ? StringEnd(text, at) : BareWordEnd(text, at);
    const std::size_t colon = SkipSpace(text, tokenEnd);
    const std::wstring_view token = text.substr(at, tokenEnd - at);
    if (colon >= text.size() || text[colon] != L':' || !IsSensitiveName(token)) {
      shown.Append(token);
      at = tokenEnd;
      continue;
    }
    const std::size_t valueStart = SkipSpace(text, colon + 1);
    const std::size_t valueEnd = ValueEnd(text, valueStart);
    shown.Append(text.substr(at, valueStart - at));
    if (valueEnd > valueStart) shown.Append(kHiddenValue);
    at = valueEnd;
  }
  return std::move(shown).Finish();
}
