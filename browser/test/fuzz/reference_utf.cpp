#include "reference_utf.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct Range {
  uint8_t low, high;
};

// The well-formed UTF-8 byte sequences, one row per lead-byte range
// (Unicode, table 3-7). Unused trailing ranges are {0, 0}.
struct Row {
  Range bytes[4];
  int length;
};

constexpr Row kWellFormed[] = {
    {{{0x00, 0x7F}, {0, 0}, {0, 0}, {0, 0}}, 1},
    {{{0xC2, 0xDF}, {0x80, 0xBF}, {0, 0}, {0, 0}}, 2},
    {{{0xE0, 0xE0}, {0xA0, 0xBF}, {0x80, 0xBF}, {0, 0}}, 3},
    {{{0xE1, 0xEC}, {0x80, 0xBF}, {0x80, 0xBF}, {0, 0}}, 3},
    {{{0xED, 0xED}, {0x80, 0x9F}, {0x80, 0xBF}, {0, 0}}, 3},
    {{{0xEE, 0xEF}, {0x80, 0xBF}, {0x80, 0xBF}, {0, 0}}, 3},
    {{{0xF0, 0xF0}, {0x90, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
    {{{0xF1, 0xF3}, {0x80, 0xBF}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
    {{{0xF4, 0xF4}, {0x80, 0x8F}, {0x80, 0xBF}, {0x80, 0xBF}}, 4},
};

bool In(uint8_t byte, Range range) { return byte >= range.low && byte <= range.high; }

const Row* RowFor(uint8_t lead) {
  for (const Row& row : kWellFormed)
    if (In(lead, row.bytes[0])) return &row;
  return nullptr;
}

char32_t Assemble(const std::string& bytes, size_t at, int length) {
  static constexpr uint8_t kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t codePoint = static_cast<uint8_t>(bytes[at]) & kLeadMask[length];
  for (int k = 1; k < length; ++k)
    codePoint = (codePoint << 6) | (static_cast<uint8_t>(bytes[at + k]) & 0x3F);
  return codePoint;
}

}  // namespace

std::u32string ReferenceDecodeUtf8(const std::string& bytes) {
  std::u32string out;
  size_t at = 0;
  while (at < bytes.size()) {
    const Row* row = RowFor(static_cast<uint8_t>(bytes[at]));
    if (row == nullptr) {
      out.push_back(kReplacement);
      ++at;
      continue;
    }
    int matched = 1;
    while (matched < row->length && at + matched < bytes.size() &&
           In(static_cast<uint8_t>(bytes[at + matched]), row->bytes[matched]))
      ++matched;
    out.push_back(matched == row->length ? Assemble(bytes, at, matched) : kReplacement);
    at += matched;
  }
  return out;
}

std::u32string ReferenceDecodeUtf16(const std::wstring& units) {
  std::u32string out;
  for (size_t i = 0; i < units.size(); ++i) {
    const auto unit = static_cast<char32_t>(units[i]) & 0xFFFF;
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < units.size()) {
      const auto next = static_cast<char32_t>(units[i + 1]) & 0xFFFF;
      if (next >= 0xDC00 && next <= 0xDFFF) {
        out.push_back(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    out.push_back(high || low ? kReplacement : unit);
  }
  return out;
}

std::string ReferenceEncodeUtf8(const std::u32string& codePoints) {
  std::string out;
  for (const char32_t c : codePoints) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring ReferenceEncodeUtf16(const std::u32string& codePoints) {
  std::wstring out;
  for (const char32_t c : codePoints) {
    if (c < 0x10000) {
      out += static_cast<wchar_t>(c);
    } else {
      out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}
