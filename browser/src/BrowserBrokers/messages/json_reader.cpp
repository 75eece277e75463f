#include "messages/json_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace browser_extensions {

namespace {

// Reads with an explicit stack of open containers instead of recursion, so
// the nesting depth costs heap, not call stack. Pointers on the stack stay
// valid: map nodes never move, and only the innermost container grows.
class Reader {
 public:
  explicit Reader(const std::wstring& text)
      : next_(text.data()), end_(text.data() + text.size()) {}

  bool ReadDocument(wmValue& root);

 private:
  struct OpenContainer {
    wmValue* value;
    bool isObject;
    bool hasElements;
  };

  bool AtEnd() const { return next_ == end_; }
  bool At(wchar_t unit) const { return !AtEnd() && *next_ == unit; }
  void SkipWhitespace();
  bool Expect(wchar_t unit);

  // Reads the next element of the innermost container, or its closer.
  bool ReadInContainer();
  // Reads one value and stores it through `store`; an object or array is
  // stored empty and opened.
  template <typename Store>
  bool ReadValue(Store store);
  std::optional<wmValue> ReadScalar();
  std::optional<std::wstring> ReadString();
  std::size_t RawStringLength() const;
  std::optional<wmValue> ReadNumber();
  bool ReadWord(const wchar_t* word);
  bool ReadEscape(std::wstring& text);

  const wchar_t* next_;
  const wchar_t* const end_;
  std::vector<OpenContainer> open_;
};

bool Reader::ReadDocument(wmValue& root) {
  SkipWhitespace();
  if (!ReadValue([&root](wmValue value) -> wmValue& {
        root = std::move(value);
        return root;
      })) {
    return false;
  }
  while (!open_.empty()) {
    if (!ReadInContainer()) return false;
  }
  return true;
}

void Reader::SkipWhitespace() {
  while (!AtEnd() && (*next_ == L' ' || *next_ == L'\t' || *next_ == L'\r' ||
                      *next_ == L'\n')) {
    ++next_;
  }
}

bool Reader::Expect(wchar_t unit) {
  if (!At(unit)) return false;
  ++next_;
  return true;
}

bool Reader::ReadInContainer() {
  OpenContainer& container = open_.back();
  SkipWhitespace();
  if (Expect(container.isObject ? L'}' : L']')) {
    open_.pop_back();
    return true;
  }
  if (container.hasElements) {
    if (!Expect(L',')) return false;
    SkipWhitespace();
  }
  container.hasElements = true;

  if (!container.isObject) {
    wmArray& array = container.value->get_array();
    return ReadValue([&array](wmValue value) -> wmValue& {
      array.push_back(std::move(value));
      return array.back();
    });
  }

  std::optional<std::wstring> name = ReadString();
  if (!name) return false;
  SkipWhitespace();
  if (!Expect(L':')) return false;
  SkipWhitespace();
  wmObject& object = container.value->get_obj();
  return ReadValue([&object, &name](wmValue value) -> wmValue& {
    wmValue& member = object[std::move(*name)];
    member = std::move(value);
    return member;
  });
}

template <typename Store>
bool Reader::ReadValue(Store store) {
  const bool opensObject = At(L'{');
  if (opensObject || At(L'[')) {
    if (open_.size() >= static_cast<std::size_t>(kMaxNestingDepth)) {
      return false;
    }
    ++next_;
    wmValue& opened =
        store(opensObject ? wmValue(wmObject()) : wmValue(wmArray()));
    open_.push_back({&opened, opensObject, false});
    return true;
  }
  std::optional<wmValue> scalar = ReadScalar();
  if (!scalar) return false;
  store(std::move(*scalar));
  return true;
}

std::optional<wmValue> Reader::ReadScalar() {
  if (At(L'"')) {
    std::optional<std::wstring> text = ReadString();
    if (!text) return std::nullopt;
    return wmValue(std::move(*text));
  }
  if (At(L't')) {
    if (ReadWord(L"true")) return wmValue(true);
    return std::nullopt;
  }
  if (At(L'f')) {
    if (ReadWord(L"false")) return wmValue(false);
    return std::nullopt;
  }
  if (At(L'n')) {
    if (ReadWord(L"null")) return wmValue();
    return std::nullopt;
  }
  return ReadNumber();
}

bool Reader::ReadWord(const wchar_t* word) {
  for (; *word != L'\0'; ++word) {
    if (!Expect(*word)) return false;
  }
  return true;
}

// The units from here to the closing quote (or the end): an upper bound
// for the decoded text, so a long string is allocated once, at its size.
std::size_t Reader::RawStringLength() const {
  const wchar_t* scan = next_;
  while (scan != end_ && *scan != L'"') {
    if (*scan == L'\\' && scan + 1 != end_) ++scan;
    ++scan;
  }
  return static_cast<std::size_t>(scan - next_);
}

std::optional<std::wstring> Reader::ReadString() {
  if (!Expect(L'"')) return std::nullopt;
  std::wstring text;
  text.reserve(RawStringLength());
  while (!AtEnd()) {
    const wchar_t unit = *next_++;
    if (unit == L'"') return text;
    if (static_cast<std::uint32_t>(unit) < 0x20) return std::nullopt;
    if (unit != L'\\') {
      text.push_back(unit);
    } else if (!ReadEscape(text)) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

int HexDigitValue(wchar_t unit) {
  if (unit >= L'0' && unit <= L'9') return unit - L'0';
  if (unit >= L'a' && unit <= L'f') return unit - L'a' + 10;
  if (unit >= L'A' && unit <= L'F') return unit - L'A' + 10;
  return -1;
}

bool Reader::ReadEscape(std::wstring& text) {
  if (AtEnd()) return false;
  switch (*next_++) {
    case L'"': text.push_back(L'"'); return true;
    case L'\\': text.push_back(L'\\'); return true;
    case L'/': text.push_back(L'/'); return true;
    case L'b': text.push_back(L'\b'); return true;
    case L'f': text.push_back(L'\f'); return true;
    case L'n': text.push_back(L'\n'); return true;
    case L'r': text.push_back(L'\r'); return true;
    case L't': text.push_back(L'\t'); return true;
    case L'u': break;
    default: return false;
  }
  std::uint32_t unit = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = AtEnd() ? -1 : HexDigitValue(*next_);
    if (digit < 0) return false;
    ++next_;
    unit = unit * 16 + static_cast<std::uint32_t>(digit);
  }
  text.push_back(static_cast<wchar_t>(unit));
  return true;
}

bool IsDigit(wchar_t unit) { return unit >= L'0' && unit <= L'9'; }

std::optional<wmValue> Reader::ReadNumber() {
  // The literal is ASCII, so it is copied unit by unit to narrow text for
  // the C library's conversions.
  std::string literal;
  bool isReal = false;
  auto takeDigits = [this, &literal] {
    const std::size_t before = literal.size();
    while (!AtEnd() && IsDigit(*next_)) {
      literal.push_back(static_cast<char>(*next_++));
    }
    return literal.size() > before;
  };

  if (At(L'-')) literal.push_back(static_cast<char>(*next_++));
  if (At(L'0')) {
    literal.push_back(static_cast<char>(*next_++));
  } else if (!takeDigits()) {
    return std::nullopt;
  }
  if (At(L'.')) {
    isReal = true;
    literal.push_back(static_cast<char>(*next_++));
    if (!takeDigits()) return std::nullopt;
  }
  if (At(L'e') || At(L'E')) {
    isReal = true;
    literal.push_back(static_cast<char>(*next_++));
    if (At(L'+') || At(L'-')) literal.push_back(static_cast<char>(*next_++));
    if (!takeDigits()) return std::nullopt;
  }

  if (!isReal) {
    errno = 0;
    const long long signedValue = std::strtoll(literal.c_str(), nullptr, 10);
    if (errno == 0) return wmValue(static_cast<std::int64_t>(signedValue));
    if (literal[0] != '-') {
      errno = 0;
      const unsigned long long unsignedValue =
          std::strtoull(literal.c_str(), nullptr, 10);
      if (errno == 0) return wmValue(static_cast<std::uint64_t>(unsignedValue));
    }
  }
  // Underflow gives zero or a denormal and is accepted; overflow is not.
  const double real = std::strtod(literal.c_str(), nullptr);
  if (std::isinf(real)) return std::nullopt;
  return wmValue(real);
}

}  // namespace

bool read(const std::wstring& text, wmValue& value) {
  value = wmValue();
  return Reader(text).ReadDocument(value);
}

}  // namespace browser_extensions
