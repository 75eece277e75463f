#include "platform/text_codec.h"

#include <windows.h>

#include "platform/last_error.h"

namespace platform {

// wchar_t is a UTF-16 unit here, so the calls take our text as it is. A
// length of 0 or less is refused: the Windows calls would read -1 as
// "up to a terminator", which our lengths never mean.

int Utf16ToUtf8(const wchar_t* source, int sourceLength, char* destination,
                int capacity) {
  if (sourceLength <= 0) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  return WideCharToMultiByte(CP_UTF8, 0, source, sourceLength, destination,
                             capacity, nullptr, nullptr);
}

int Utf8ToUtf16(const char* source, int sourceLength, wchar_t* destination,
                int capacity) {
  if (sourceLength <= 0) {
    SetLastErrorCode(kErrorInvalidParameter);
    return 0;
  }
  return MultiByteToWideChar(CP_UTF8, 0, source, sourceLength, destination,
                             capacity);
}

}  // namespace platform
