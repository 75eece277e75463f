// Our own UTF-16 <-> UTF-8 converter, with the replacement rules of the
// Windows converter: an invalid UTF-8 sequence becomes one U+FFFD per
// maximal subpart (the Unicode and WHATWG practice), an unpaired surrogate
// becomes one U+FFFD, and nothing fails.
#include "platform/text_codec.h"

#include <climits>
#include <cstdint>
#include <type_traits>

#include "platform/last_error.h"

namespace platform {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Collects output units: counts them always, stores them when given room.
// The count is 64-bit so that a huge input can be refused instead of
// overflowing.
template <typename Unit>
class UnitSink {
 public:
  explicit UnitSink(Unit* destination) : destination_(destination) {}

  void Put(uint32_t unit) {
    if (destination_ != nullptr) destination_[count_] = static_cast<Unit>(unit);
    ++count_;
  }
  // Puts `count` units that pass through unchanged (ASCII), in one go.
  template <typename In>
  void PutAscii(const In* units, int count) {
    if (destination_ != nullptr) {
      Unit* out = destination_ + count_;
      for (int i = 0; i < count; ++i) out[i] = static_cast<Unit>(units[i]);
    }
    count_ += count;
  }
  int64_t count() const { return count_; }

 private:
  Unit* destination_;
  int64_t count_ = 0;
};

void PutUtf8(uint32_t codePoint, UnitSink<char>& out) {
  if (codePoint < 0x80) {
    out.Put(codePoint);
  } else if (codePoint < 0x800) {
    out.Put(0xC0 | (codePoint >> 6));
    out.Put(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out.Put(0xE0 | (codePoint >> 12));
    out.Put(0x80 | ((codePoint >> 6) & 0x3F));
    out.Put(0x80 | (codePoint & 0x3F));
  } else {
    out.Put(0xF0 | (codePoint >> 18));
    out.Put(0x80 | ((codePoint >> 12) & 0x3F));
    out.Put(0x80 | ((codePoint >> 6) & 0x3F));
    out.Put(0x80 | (codePoint & 0x3F));
  }
}

void PutUtf16(uint32_t codePoint, UnitSink<wchar_t>& out) {
  if (codePoint < 0x10000) {
    out.Put(codePoint);
  } else {
    codePoint -= 0x10000;
    out.Put(0xD800 | (codePoint >> 10));
    out.Put(0xDC00 | (codePoint & 0x3FF));
  }
}

// The length of the run of ASCII units (below 0x80) at the start of
// `source`: they convert one to one, in either direction.
template <typename In>
int AsciiRun(const In* source, int length) {
  int run = 0;
  while (run < length &&
         static_cast<uint32_t>(static_cast<std::make_unsigned_t<In>>(source[run])) < 0x80) {
    ++run;
  }
  return run;
}

void EncodeUtf8(const wchar_t* source, int length, UnitSink<char>& out) {
  for (int i = 0; i < length; ++i) {
    const int run = AsciiRun(source + i, length - i);
    if (run > 0) {
      out.PutAscii(source + i, run);
      i += run - 1;
      continue;
    }
    // wchar_t may be signed and 32 bits wide here; anything beyond 16 bits
    // is not a UTF-16 unit.
    uint32_t unit = static_cast<uint32_t>(source[i]);
    if (unit > 0xFFFF || IsLowSurrogate(unit)) {
      PutUtf8(kReplacement, out);
    } else if (IsHighSurrogate(unit)) {
      uint32_t next = i + 1 < length ? static_cast<uint32_t>(source[i + 1]) : 0;
      if (IsLowSurrogate(next)) {
        PutUtf8(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), out);
        ++i;
      } else {
        PutUtf8(kReplacement, out);
      }
    } else {
      PutUtf8(unit, out);
    }
  }
}

// For a lead byte, the number of continuation bytes it needs and the range
// allowed for the first of them; the narrowed ranges exclude overlong
// forms, UTF-16 surrogates and code points above U+10FFFF. Returns false
// for a byte that can't start a sequence.
bool DescribeLead(uint8_t lead, int* continuations, uint8_t* low, uint8_t* high) {
  *low = 0x80;
  *high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    *continuations = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    *continuations = 2;
    if (lead == 0xE0) *low = 0xA0;
    if (lead == 0xED) *high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    *continuations = 3;
    if (lead == 0xF0) *low = 0x90;
    if (lead == 0xF4) *high = 0x8F;
  } else {
    return false;
  }
  return true;
}

void DecodeUtf8(const char* source, int length, UnitSink<wchar_t>& out) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(source);
  int i = 0;
  while (i < length) {
    const int run = AsciiRun(bytes + i, length - i);
    out.PutAscii(bytes + i, run);
    i += run;
    if (i == length) break;
    uint8_t lead = bytes[i++];
    if (lead < 0x80) {
      out.Put(lead);
      continue;
    }
    int continuations;
    uint8_t low, high;
    if (!DescribeLead(lead, &continuations, &low, &high)) {
      out.Put(kReplacement);
      continue;
    }
    uint32_t codePoint = lead & (0x3F >> continuations);
    bool complete = true;
    for (int k = 0; k < continuations; ++k) {
      // A byte out of range ends the maximal subpart and is looked at
      // again as the start of what follows.
      if (i >= length || bytes[i] < low || bytes[i] > high) {
        complete = false;
        break;
      }
      codePoint = (codePoint << 6) | (bytes[i++] & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    if (complete) {
      PutUtf16(codePoint, out);
    } else {
      out.Put(kReplacement);
    }
  }
}

// The sizing pass and the writing pass of both directions, with the
// Windows results: the size when asked for it, 0 when it does not fit.
template <typename In, typename Unit, typename Convert>
int ConvertInTwoPasses(const In* source, int sourceLength, Unit* destination,
                 int capacity, Convert convert) {
  if (sourceLength <= 0 || source == nullptr || capacity < 0 ||
      (destination == nullptr && capacity != 0)) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  UnitSink<Unit> sizing(nullptr);
  convert(source, sourceLength, sizing);
  if (sizing.count() > INT_MAX) {
    SetLastErrorCode(kErrorInsufficientBuffer);
    return 0;
  }
  int needed = static_cast<int>(sizing.count());
  if (capacity == 0) return needed;
  if (needed > capacity) {
    SetLastErrorCode(kErrorInsufficientBuffer);
    return 0;
  }
  UnitSink<Unit> writing(destination);
  convert(source, sourceLength, writing);
  return needed;
}

}  // namespace

int Utf16ToUtf8(const wchar_t* source, int sourceLength, char* destination,
                int capacity) {
  return ConvertInTwoPasses(source, sourceLength, destination, capacity, EncodeUtf8);
}

int Utf8ToUtf16(const char* source, int sourceLength, wchar_t* destination,
                int capacity) {
  return ConvertInTwoPasses(source, sourceLength, destination, capacity, DecodeUtf8);
}

}  // namespace platform
