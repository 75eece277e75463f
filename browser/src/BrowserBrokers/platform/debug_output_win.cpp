#include "platform/debug_output.h"

#include <windows.h>

namespace platform {

// std::wstring holds UTF-16 here; its c_str() ends at the first NUL as the
// contract asks.
void OutputDebugLineW(const std::wstring& line) { OutputDebugStringW(line.c_str()); }

void OutputDebugLineA(const char* line) {
  if (line == nullptr) return;
  OutputDebugStringA(line);
}

}  // namespace platform
