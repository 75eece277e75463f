#include "platform/text_codec.h"

#include <windows.h>

#include "platform/last_error.h"

namespace platform {
namespace {

// A length of 0 or less is refused: the Windows calls would read -1 as
// "up to a terminator", which our lengths never mean.
bool ValidLength(int sourceLength) {
  if (sourceLength > 0) return true;
  SetLastErrorCode(kErrorInvalidParameter);
  return false;
}

// Not every implementation of the calls (Wine's, for one) refuses a
// destination that is too small; some write what fits. Sizing first keeps
// the contract: all or nothing.
bool Fits(int needed, int capacity) {
  if (needed <= capacity) return true;
  SetLastErrorCode(kErrorInsufficientBuffer);
  return false;
}

}  // namespace

// wchar_t is a UTF-16 unit here, so the calls take our text as it is.

int Utf16ToUtf8(const wchar_t* source, int sourceLength, char* destination,
                int capacity) {
  if (!ValidLength(sourceLength)) return 0;
  int needed = WideCharToMultiByte(CP_UTF8, 0, source, sourceLength, nullptr, 0, nullptr, nullptr);
  if (capacity == 0) return needed;
  if (!Fits(needed, capacity)) return 0;
  return WideCharToMultiByte(CP_UTF8, 0, source, sourceLength, destination, capacity, nullptr,
                             nullptr);
}

int Utf8ToUtf16(const char* source, int sourceLength, wchar_t* destination,
                int capacity) {
  if (!ValidLength(sourceLength)) return 0;
  int needed = MultiByteToWideChar(CP_UTF8, 0, source, sourceLength, nullptr, 0);
  if (capacity == 0) return needed;
  if (!Fits(needed, capacity)) return 0;
  return MultiByteToWideChar(CP_UTF8, 0, source, sourceLength, destination, capacity);
}

}  // namespace platform
