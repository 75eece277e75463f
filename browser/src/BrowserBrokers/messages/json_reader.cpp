#include "messages/json_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "platform/text_codec.h"

namespace browser_extensions {

namespace {

// The code of one unit of the text: a UTF-16 unit, or a UTF-8 byte.
std::uint32_t CodeOf(wchar_t unit) { return static_cast<std::uint32_t>(unit); }
std::uint32_t CodeOf(char byte) { return static_cast<unsigned char>(byte); }

// Copies a run of string content that holds no quote, backslash or control
// character to `out`, which has room for it, and returns the end of what
// was written.
wchar_t* CopyContent(const wchar_t* begin, const wchar_t* end, wchar_t* out) {
  return std::copy(begin, end, out);
}

// UTF-8 content: ASCII is widened as it is; each run of other bytes is
// converted on its own, which gives what converting the whole text would,
// since an ASCII byte never belongs to a sequence, valid or not. A run
// never gives more units than it has bytes.
wchar_t* CopyContent(const char* begin, const char* end, wchar_t* out) {
  while (begin != end) {
    if (CodeOf(*begin) < 0x80) {
      *out++ = static_cast<wchar_t>(*begin++);
      continue;
    }
    const char* run = begin;
    while (begin != end && CodeOf(*begin) >= 0x80) ++begin;
    const int length = static_cast<int>(begin - run);
    if (length > 0) out += platform::Utf8ToUtf16(run, length, out, length);
  }
  return out;
}

// Where the run of string content from `from` ends: at the first quote,
// backslash or control character, or at `end`. `allCodes` collects every
// code of the run OR-ed together: below 0x80 means all ASCII. The scan
// keeps its place in a local, which the compiler can hold in a register.
template <typename Unit>
const Unit* ContentEnd(const Unit* from, const Unit* end, std::uint32_t& allCodes) {
  for (; from != end; ++from) {
    const std::uint32_t code = CodeOf(*from);
    if (code == '"' || code == '\\' || code < 0x20) break;
    allCodes |= code;
  }
  return from;
}

// Reads with an explicit stack of open containers instead of recursion, so
// the nesting depth costs heap, not call stack. Pointers on the stack stay
// valid: map nodes never move, and only the innermost container grows.
//
// The text is UTF-16 units (wchar_t) or UTF-8 bytes (char). Outside strings
// JSON is ASCII, so both are read alike; only string content differs.
template <typename Unit>
class Reader {
 public:
  Reader(const Unit* begin, const Unit* end) : next_(begin), end_(end) {
    open_.reserve(kUsualDepth);
  }

  bool ReadDocument(wmValue& root);

 private:
  struct OpenContainer {
    wmValue* value;
    bool isObject;
    bool hasElements;
  };

  bool AtEnd() const { return next_ == end_; }
  bool At(char ascii) const { return !AtEnd() && CodeOf(*next_) == static_cast<std::uint32_t>(ascii); }
  void SkipWhitespace();
  bool Expect(char ascii);

  // Reads the next element of the innermost container, or its closer.
  bool ReadInContainer();
  // Reads one value and stores it through `store`; an object or array is
  // stored empty and opened.
  template <typename Store>
  bool ReadValue(Store store);
  std::optional<wmValue> ReadScalar();
  std::optional<std::wstring> ReadString();
  std::size_t RawStringLength(const Unit* from) const;
  std::optional<wmValue> ReadNumber();
  bool ReadWord(const char* word);
  bool ReadEscape(wchar_t*& out);

  // Messages nest a level or two: the stack of open containers is
  // allocated once for them.
  static constexpr std::size_t kUsualDepth = 8;

  const Unit* next_;
  const Unit* const end_;
  std::vector<OpenContainer> open_;
};

template <typename Unit>
bool Reader<Unit>::ReadDocument(wmValue& root) {
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

template <typename Unit>
void Reader<Unit>::SkipWhitespace() {
  while (!AtEnd() && (At(' ') || At('\t') || At('\r') || At('\n'))) {
    ++next_;
  }
}

template <typename Unit>
bool Reader<Unit>::Expect(char ascii) {
  if (!At(ascii)) return false;
  ++next_;
  return true;
}

template <typename Unit>
bool Reader<Unit>::ReadInContainer() {
  OpenContainer& container = open_.back();
  SkipWhitespace();
  if (Expect(container.isObject ? '}' : ']')) {
    open_.pop_back();
    return true;
  }
  if (container.hasElements) {
    if (!Expect(',')) return false;
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
  if (!Expect(':')) return false;
  SkipWhitespace();
  wmObject& object = container.value->get_obj();
  return ReadValue([&object, &name](wmValue value) -> wmValue& {
    wmValue& member = object[std::move(*name)];
    member = std::move(value);
    return member;
  });
}

template <typename Unit>
template <typename Store>
bool Reader<Unit>::ReadValue(Store store) {
  const bool opensObject = At('{');
  if (opensObject || At('[')) {
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

template <typename Unit>
std::optional<wmValue> Reader<Unit>::ReadScalar() {
  if (At('"')) {
    std::optional<std::wstring> text = ReadString();
    if (!text) return std::nullopt;
    return wmValue(std::move(*text));
  }
  if (At('t')) {
    if (ReadWord("true")) return wmValue(true);
    return std::nullopt;
  }
  if (At('f')) {
    if (ReadWord("false")) return wmValue(false);
    return std::nullopt;
  }
  if (At('n')) {
    if (ReadWord("null")) return wmValue();
    return std::nullopt;
  }
  return ReadNumber();
}

template <typename Unit>
bool Reader<Unit>::ReadWord(const char* word) {
  for (; *word != '\0'; ++word) {
    if (!Expect(*word)) return false;
  }
  return true;
}

// The units from `from` to the closing quote (or the end): an upper bound
// for the decoded text, so a long string is allocated once, at its size.
template <typename Unit>
std::size_t Reader<Unit>::RawStringLength(const Unit* from) const {
  const Unit* scan = from;
  while (scan != end_ && CodeOf(*scan) != '"') {
    if (CodeOf(*scan) == '\\' && scan + 1 != end_) ++scan;
    ++scan;
  }
  return static_cast<std::size_t>(scan - from);
}

template <typename Unit>
std::optional<std::wstring> Reader<Unit>::ReadString() {
  if (!Expect('"')) return std::nullopt;
  // Most strings hold no escape, and in UTF-8 nothing but ASCII: they are
  // copied in one go.
  std::uint32_t allCodes = 0;
  const Unit* scan = ContentEnd(next_, end_, allCodes);
  if (scan != end_ && CodeOf(*scan) == '"' && (sizeof(Unit) > 1 || allCodes < 0x80)) {
    std::wstring text(next_, scan);
    next_ = scan + 1;
    return text;
  }

  // Escapes, or UTF-8 beyond ASCII: decoded into room for the most units
  // the rest can give, which is then cut to what was written.
  std::wstring text(RawStringLength(next_), L'\0');
  wchar_t* const first = &text[0];
  wchar_t* out = first;
  while (!AtEnd()) {
    const Unit* content = next_;
    std::uint32_t runCodes = 0;
    const Unit* stop = ContentEnd(content, end_, runCodes);
    // A run of ASCII is only widened; the rest may need decoding.
    out = runCodes < 0x80 ? std::copy(content, stop, out) : CopyContent(content, stop, out);
    next_ = stop;
    if (AtEnd()) break;
    const std::uint32_t code = CodeOf(*next_++);
    if (code == '"') {
      text.resize(static_cast<std::size_t>(out - first));
      return text;
    }
    // A control character can't stand in a string.
    if (code != '\\' || !ReadEscape(out)) return std::nullopt;
  }
  return std::nullopt;
}

int HexDigitValue(std::uint32_t code) {
  if (code >= '0' && code <= '9') return static_cast<int>(code - '0');
  if (code >= 'a' && code <= 'f') return static_cast<int>(code - 'a') + 10;
  if (code >= 'A' && code <= 'F') return static_cast<int>(code - 'A') + 10;
  return -1;
}

template <typename Unit>
bool Reader<Unit>::ReadEscape(wchar_t*& out) {
  if (AtEnd()) return false;
  switch (CodeOf(*next_++)) {
    case '"': *out++ = L'"'; return true;
    case '\\': *out++ = L'\\'; return true;
    case '/': *out++ = L'/'; return true;
    case 'b': *out++ = L'\b'; return true;
    case 'f': *out++ = L'\f'; return true;
    case 'n': *out++ = L'\n'; return true;
    case 'r': *out++ = L'\r'; return true;
    case 't': *out++ = L'\t'; return true;
    case 'u': break;
    default: return false;
  }
  std::uint32_t unit = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = AtEnd() ? -1 : HexDigitValue(CodeOf(*next_));
    if (digit < 0) return false;
    ++next_;
    unit = unit * 16 + static_cast<std::uint32_t>(digit);
  }
  *out++ = static_cast<wchar_t>(unit);
  return true;
}

bool IsDigit(std::uint32_t code) { return code >= '0' && code <= '9'; }

template <typename Unit>
std::optional<wmValue> Reader<Unit>::ReadNumber() {
  // The literal is ASCII, so it is copied unit by unit to narrow text for
  // the C library's conversions.
  std::string literal;
  bool isReal = false;
  auto takeDigits = [this, &literal] {
    const std::size_t before = literal.size();
    while (!AtEnd() && IsDigit(CodeOf(*next_))) {
      literal.push_back(static_cast<char>(*next_++));
    }
    return literal.size() > before;
  };

  if (At('-')) literal.push_back(static_cast<char>(*next_++));
  if (At('0')) {
    literal.push_back(static_cast<char>(*next_++));
  } else if (!takeDigits()) {
    return std::nullopt;
  }
  if (At('.')) {
    isReal = true;
    literal.push_back(static_cast<char>(*next_++));
    if (!takeDigits()) return std::nullopt;
  }
  if (At('e') || At('E')) {
    isReal = true;
    literal.push_back(static_cast<char>(*next_++));
    if (At('+') || At('-')) literal.push_back(static_cast<char>(*next_++));
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
  return Reader<wchar_t>(text.data(), text.data() + text.size()).ReadDocument(value);
}

bool read(std::string_view utf8Text, wmValue& value) {
  value = wmValue();
  return Reader<char>(utf8Text.data(), utf8Text.data() + utf8Text.size()).ReadDocument(value);
}

}  // namespace browser_extensions
