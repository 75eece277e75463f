#include <windows.h>

#include "agent/stray_io.h"

// Windows has no SIGUSR1; HARROWMERE_SIGNAL_HANDLER has no effect here.

namespace harrowmere {

void WriteRawStandardOutput(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
            &written, nullptr);
}

std::size_t ReadRawStandardInput(char* buffer, std::size_t size) {
  DWORD got = 0;
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, static_cast<DWORD>(size), &got,
                nullptr)) {
    return 0;
  }
  return got;
}

}  // namespace harrowmere
