#include "messages/text_conversion.h"

#include <algorithm>
#include <climits>

#include "platform/text_codec.h"

namespace {

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

bool IsUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// How many bytes the sequence that `lead` starts claims to span.
std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// Length of the next piece of text[start..]: at most `maxUnits`, and never
// ending between the two halves of a surrogate pair.
std::size_t WidePieceLength(const wchar_t* text, std::size_t size,
                            std::size_t start, std::size_t maxUnits) {
  const std::size_t cap = std::max<std::size_t>(maxUnits, 2);  // room for a pair
  if (size - start <= cap) return size - start;
  return IsHighSurrogate(text[start + cap - 1]) ? cap - 1 : cap;
}

// Length of the next piece of bytes[start..]: at most `maxBytes`, and never
// ending inside a multi-byte sequence. A sequence that is cut short is kept
// whole with what follows it, so the converter judges it as it would
// without the cut.
std::size_t Utf8PieceLength(const char* bytes, std::size_t size,
                            std::size_t start, std::size_t maxBytes) {
  maxBytes = std::max<std::size_t>(maxBytes, 4);  // room for a sequence
  std::size_t length = size - start;
  if (length <= maxBytes) return length;
  length = maxBytes;
  for (std::size_t back = 1; back <= 3 && back < length; ++back) {
    const auto byte = static_cast<unsigned char>(bytes[start + length - back]);
    if (IsUtf8Continuation(byte)) continue;
    if (Utf8SequenceLength(byte) > back) length -= back;
    break;
  }
  return length;
}

}  // namespace

std::string WideToUtf8InPieces(const std::wstring& text,
                               std::size_t maxPieceUnits) {
  std::string utf8;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t length =
        WidePieceLength(text.data(), text.size(), start, maxPieceUnits);
    platform::AppendUtf16AsUtf8(text.data() + start, length, utf8);
    start += length;
  }
  return utf8;
}

std::wstring Utf8ToWideInPieces(const char* bytes, std::size_t size,
                                std::size_t maxPieceBytes) {
  // One piece (every frame the host takes in) is sized and converted
  // straight into the result; only longer input is appended piece by piece.
  std::wstring wide;
  for (std::size_t start = 0; start < size;) {
    const std::size_t length = Utf8PieceLength(bytes, size, start, maxPieceBytes);
    platform::AppendUtf8AsUtf16(bytes + start, length, wide);
    start += length;
  }
  return wide;
}

std::wstring Utf8ToWideInPieces(const std::string& bytes,
                                std::size_t maxPieceBytes) {
  return Utf8ToWideInPieces(bytes.data(), bytes.size(), maxPieceBytes);
}

std::string WideToUtf8(const std::wstring& text) {
  return WideToUtf8InPieces(text, kMaxWidePieceUnits);
}

std::wstring Utf8ToWide(const std::string& bytes) {
  return Utf8ToWideInPieces(bytes.data(), bytes.size(), kMaxUtf8PieceBytes);
}

std::wstring Utf8ToWide(const char* bytes, std::size_t size) {
  return Utf8ToWideInPieces(bytes, size, kMaxUtf8PieceBytes);
}

std::size_t Utf8Length(const wchar_t* text, std::size_t size) {
  std::size_t total = 0;
  for (std::size_t start = 0; start < size;) {
    const std::size_t length =
        WidePieceLength(text, size, start, kMaxWidePieceUnits);
    const int needed =
        platform::Utf16ToUtf8(text + start, static_cast<int>(length), nullptr, 0);
    if (needed > 0) total += static_cast<std::size_t>(needed);
    start += length;
  }
  return total;
}

void EncodeUtf8Into(const wchar_t* text, std::size_t size, char* destination,
                    std::size_t utf8Length) {
  for (std::size_t start = 0; start < size;) {
    const std::size_t length =
        WidePieceLength(text, size, start, kMaxWidePieceUnits);
    const int written = platform::Utf16ToUtf8(
        text + start, static_cast<int>(length), destination,
        static_cast<int>(std::min<std::size_t>(utf8Length, INT_MAX)));
    const auto advance = static_cast<std::size_t>(written > 0 ? written : 0);
    destination += advance;
    utf8Length -= advance;
    start += length;
  }
}
