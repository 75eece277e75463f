#include "messages/report_text.h"

#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "messages/json_escape.h"

namespace {

constexpr std::wstring_view kHiddenString = L"\"***\"";
constexpr std::wstring_view kHiddenWord = L"***";
// Members whose string values say what a message is, never what it carries.
constexpr std::array<std::wstring_view, 5> kPlainMembers = {L"type", L"tabID", L"requestID",
                                                            L"triggerId", L"xpath"};

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool IsJsonSpace(wchar_t unit) {
  return unit == L' ' || unit == L'\t' || unit == L'\n' || unit == L'\r';
}

bool IsControl(wchar_t unit) {
  return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
}

bool IsPunctuation(wchar_t unit) {
  return std::wstring_view(L"{}[],:").find(unit) != std::wstring_view::npos;
}

enum class TokenKind { kString, kWord, kPunctuation, kSpace, kControl };

struct Token {
  TokenKind kind;
  std::wstring_view text;
};

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

// Splits text into strings, bare words, punctuation, runs of JSON white
// space and single other control characters. Any text splits.
class Tokenizer {
 public:
  explicit Tokenizer(std::wstring_view text) : text_(text) {}

  bool Next(Token& token) {
    if (at_ >= text_.size()) return false;
    const std::size_t start = at_;
    const wchar_t unit = text_[at_];
    if (unit == L'"') {
      at_ = StringEnd(text_, at_);
      token.kind = TokenKind::kString;
    } else if (IsJsonSpace(unit)) {
      while (at_ < text_.size() && IsJsonSpace(text_[at_])) ++at_;
      token.kind = TokenKind::kSpace;
    } else if (IsPunctuation(unit) || IsControl(unit)) {
      ++at_;
      token.kind = IsControl(unit) ? TokenKind::kControl : TokenKind::kPunctuation;
    } else {
      while (at_ < text_.size() && IsWordUnit(text_[at_])) ++at_;
      token.kind = TokenKind::kWord;
    }
    token.text = text_.substr(start, at_ - start);
    return true;
  }

 private:
  static bool IsWordUnit(wchar_t unit) {
    return unit != L'"' && !IsJsonSpace(unit) && !IsPunctuation(unit) && !IsControl(unit);
  }

  std::wstring_view text_;
  std::size_t at_ = 0;
};

bool IsDigit(wchar_t unit) { return unit >= L'0' && unit <= L'9'; }

int HexDigit(wchar_t unit) {
  if (IsDigit(unit)) return unit - L'0';
  if (unit >= L'a' && unit <= L'f') return unit - L'a' + 10;
  if (unit >= L'A' && unit <= L'F') return unit - L'A' + 10;
  return -1;
}

// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool IsJsonNumber(std::wstring_view word) {
  std::size_t at = 0;
  const auto digits = [&] {
    const std::size_t start = at;
    while (at < word.size() && IsDigit(word[at])) ++at;
    return at - start;
  };
  if (at < word.size() && word[at] == L'-') ++at;
  if (at < word.size() && word[at] == L'0') {
    ++at;
  } else if (digits() == 0) {
    return false;
  }
  if (at < word.size() && word[at] == L'.') {
    ++at;
    if (digits() == 0) return false;
  }
  if (at < word.size() && (word[at] == L'e' || word[at] == L'E')) {
    ++at;
    if (at < word.size() && (word[at] == L'+' || word[at] == L'-')) ++at;
    if (digits() == 0) return false;
  }
  return at == word.size();
}

bool IsJsonScalarWord(std::wstring_view word) {
  return word == L"true" || word == L"false" || word == L"null" || IsJsonNumber(word);
}

// A closed string literal with valid escapes and no raw control character.
bool IsJsonString(std::wstring_view token) {
  for (std::size_t at = 1; at < token.size(); ++at) {
    const wchar_t unit = token[at];
    if (unit == L'"') return at + 1 == token.size();
    if (unit < 0x20) return false;
    if (unit != L'\\' || ++at == token.size()) continue;
    if (token[at] == L'u') {
      for (int digit = 0; digit < 4; ++digit) {
        if (++at == token.size() || HexDigit(token[at]) < 0) return false;
      }
    } else if (std::wstring_view(L"\"\\/bfnrt").find(token[at]) == std::wstring_view::npos) {
      return false;
    }
  }
  return false;
}

// The content of a valid string literal as a JSON reader decodes it.
std::wstring DecodedString(std::wstring_view token) {
  std::wstring decoded;
  for (std::size_t at = 1; at + 1 < token.size(); ++at) {
    wchar_t unit = token[at];
    if (unit == L'\\') {
      unit = token[++at];
      if (unit == L'u') {
        int value = 0;
        for (int digit = 0; digit < 4; ++digit) value = value * 16 + HexDigit(token[++at]);
        unit = static_cast<wchar_t>(value);
      } else {
        const std::size_t form = std::wstring_view(L"bfnrt").find(unit);
        if (form != std::wstring_view::npos) unit = L"\b\f\n\r\t"[form];
      }
    }
    decoded += unit;
  }
  return decoded;
}

bool IsPlainMember(std::wstring_view nameToken) {
  const std::wstring name = DecodedString(nameToken);
  for (const std::wstring_view plain : kPlainMembers) {
    if (name == plain) return true;
  }
  return false;
}

// What a string is in a whole JSON value, which decides whether it shows.
enum class StringRole { kName, kPlainValue, kOtherValue };

// Walks the tokens of `text` as JSON. Calls `visit(token, role)` for each
// token (the role matters for strings only) as long as the text is valid,
// and returns whether all of it is exactly one JSON value.
template <typename Visit>
bool WalkJson(std::wstring_view text, Visit visit) {
  enum class Expect { kValue, kValueOrEnd, kName, kNameOrEnd, kColon, kAfterValue };
  std::vector<wchar_t> open;  // the brackets of the containers around
  Expect expect = Expect::kValue;
  bool plainMember = false;  // the member whose value comes next is plain
  Tokenizer tokens(text);
  Token token;
  // Ends the innermost container, which then stands as a value.
  const auto close = [&] {
    visit(token, StringRole::kOtherValue);
    open.pop_back();
    expect = Expect::kAfterValue;
  };
  while (tokens.Next(token)) {
    if (token.kind == TokenKind::kSpace) {
      visit(token, StringRole::kOtherValue);
      continue;
    }
    const wchar_t first = token.text.front();
    const bool punctuation = token.kind == TokenKind::kPunctuation;
    const bool inObject = !open.empty() && open.back() == L'{';
    switch (expect) {
      case Expect::kValue:
      case Expect::kValueOrEnd:
        if (token.kind == TokenKind::kString && IsJsonString(token.text)) {
          visit(token, inObject && plainMember ? StringRole::kPlainValue : StringRole::kOtherValue);
          expect = Expect::kAfterValue;
        } else if (token.kind == TokenKind::kWord && IsJsonScalarWord(token.text)) {
          visit(token, StringRole::kOtherValue);
          expect = Expect::kAfterValue;
        } else if (punctuation && (first == L'{' || first == L'[')) {
          visit(token, StringRole::kOtherValue);
          open.push_back(first);
          expect = first == L'{' ? Expect::kNameOrEnd : Expect::kValueOrEnd;
        } else if (punctuation && first == L']' && expect == Expect::kValueOrEnd) {
          close();
        } else {
          return false;
        }
        break;
      case Expect::kName:
      case Expect::kNameOrEnd:
        if (token.kind == TokenKind::kString && IsJsonString(token.text)) {
          visit(token, StringRole::kName);
          plainMember = IsPlainMember(token.text);
          expect = Expect::kColon;
        } else if (punctuation && first == L'}' && expect == Expect::kNameOrEnd) {
          close();
        } else {
          return false;
        }
        break;
      case Expect::kColon:
        if (!punctuation || first != L':') return false;
        visit(token, StringRole::kOtherValue);
        expect = Expect::kValue;
        break;
      case Expect::kAfterValue:
        if (!punctuation || open.empty()) return false;
        if (first == (inObject ? L'}' : L']')) {
          close();
        } else if (first == L',') {
          visit(token, StringRole::kOtherValue);
          expect = inObject ? Expect::kName : Expect::kValue;
        } else {
          return false;
        }
        break;
    }
  }
  return expect == Expect::kAfterValue && open.empty();
}

// Passes each unit of `piece` to `sink`, a control character as the units
// of its JSON escape.
template <typename Sink>
void ForEachShownUnit(std::wstring_view piece, Sink sink) {
  for (const wchar_t unit : piece) {
    if (!IsControl(unit)) {
      sink(unit);
      continue;
    }
    const JsonEscape escape = EscapeJsonUnit(unit, kJsonEscapeAscii);
    for (std::size_t i = 0; i < escape.length; ++i) sink(static_cast<wchar_t>(escape.text[i]));
  }
}

// Keeps the first kMaxReportedCharacters characters of what is appended and
// counts the characters after them.
class CappedText {
 public:
  void Append(std::wstring_view piece) {
    ForEachShownUnit(piece, [this](wchar_t unit) { AppendUnit(unit); });
  }

  std::wstring Finish() && {
    if (omitted_ > 0) {
      shown_ += L"\x2026 (" + std::to_wstring(omitted_) + L" more characters)";
    }
    return std::move(shown_);
  }

 private:
  void AppendUnit(wchar_t unit) {
    const bool endsPair = IsLowSurrogate(unit) && IsHighSurrogate(last_);
    last_ = unit;
    if (omitted_ == 0 && (endsPair || shownCharacters_ < kMaxReportedCharacters)) {
      shown_ += unit;
      if (!endsPair) ++shownCharacters_;
    } else if (!endsPair) {
      ++omitted_;
    }
  }

  std::wstring shown_;
  std::size_t shownCharacters_ = 0;
  std::size_t omitted_ = 0;
  wchar_t last_ = 0;
};

// Strings are hidden unless they are names or plain members' values.
std::wstring ShownWholeJson(std::wstring_view text) {
  CappedText shown;
  WalkJson(text, [&shown](const Token& token, StringRole role) {
    const bool hidden = token.kind == TokenKind::kString && role == StringRole::kOtherValue;
    shown.Append(hidden ? kHiddenString : token.text);
  });
  return std::move(shown).Finish();
}

// Only structure, numbers and literals are shown.
std::wstring ShownNonJson(std::wstring_view text) {
  CappedText shown;
  Tokenizer tokens(text);
  Token token;
  while (tokens.Next(token)) {
    if (token.kind == TokenKind::kString) {
      shown.Append(kHiddenString);
    } else if (token.kind == TokenKind::kWord && !IsJsonScalarWord(token.text)) {
      shown.Append(kHiddenWord);
    } else {
      shown.Append(token.text);
    }
  }
  return std::move(shown).Finish();
}

}  // namespace

std::wstring ReportableMessageText(const std::wstring& text) {
  const bool wholeJson = WalkJson(text, [](const Token&, StringRole) {});
  return wholeJson ? ShownWholeJson(text) : ShownNonJson(text);
}

std::wstring WithControlsEscaped(const std::wstring& text) {
  std::wstring escaped;
  escaped.reserve(text.size());
  ForEachShownUnit(text, [&escaped](wchar_t unit) { escaped += unit; });
  return escaped;
}
