#include "channel/text_conversion.h"

#include <algorithm>

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
std::size_t WidePieceLength(const std::wstring& text, std::size_t start,
                            std::size_t maxUnits) {
  maxUnits = std::max<std::size_t>(maxUnits, 2);  // room for a pair
  std::size_t length = text.size() - start;
  if (length <= maxUnits) return length;
  length = maxUnits;
  if (length > 1 && IsHighSurrogate(text[start + length - 1])) --length;
  return length;
}

// Length of the next piece of bytes[start..]: at most `maxBytes`, and never
// ending inside a multi-byte sequence. A sequence that is cut short is kept
// whole with what follows it, so the converter judges it as it would
// without the cut.
std::size_t Utf8PieceLength(const std::string& bytes, std::size_t start,
                            std::size_t maxBytes) {
  maxBytes = std::max<std::size_t>(maxBytes, 4);  // room for a sequence
  std::size_t length = bytes.size() - start;
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

// Appends the UTF-8 form of `count` units; count fits the converter's int.
void AppendUtf8(const wchar_t* units, std::size_t count, std::string& out) {
  const int length = static_cast<int>(count);
  const int needed = platform::Utf16ToUtf8(units, length, nullptr, 0);
  if (needed <= 0) return;
  const std::size_t offset = out.size();
  out.resize(offset + static_cast<std::size_t>(needed));
  const int written = platform::Utf16ToUtf8(units, length, &out[offset], needed);
  out.resize(offset + static_cast<std::size_t>(written > 0 ? written : 0));
}

void AppendUtf16(const char* bytes, std::size_t count, std::wstring& out) {
  const int length = static_cast<int>(count);
  const int needed = platform::Utf8ToUtf16(bytes, length, nullptr, 0);
  if (needed <= 0) return;
  const std::size_t offset = out.size();
  out.resize(offset + static_cast<std::size_t>(needed));
  const int written = platform::Utf8ToUtf16(bytes, length, &out[offset], needed);
  out.resize(offset + static_cast<std::size_t>(written > 0 ? written : 0));
}

}  // namespace

std::string WideToUtf8InPieces(const std::wstring& text,
                               std::size_t maxPieceUnits) {
  std::string utf8;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t length = WidePieceLength(text, start, maxPieceUnits);
    AppendUtf8(text.data() + start, length, utf8);
    start += length;
  }
  return utf8;
}

std::wstring Utf8ToWideInPieces(const std::string& bytes,
                                std::size_t maxPieceBytes) {
  std::wstring wide;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t length = Utf8PieceLength(bytes, start, maxPieceBytes);
    AppendUtf16(bytes.data() + start, length, wide);
    start += length;
  }
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  return WideToUtf8InPieces(text, kMaxWidePieceUnits);
}

std::wstring Utf8ToWide(const std::string& bytes) {
  return Utf8ToWideInPieces(bytes, kMaxUtf8PieceBytes);
}
