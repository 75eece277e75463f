#include "protection/failure_line.h"

namespace {

std::wstring LowerHex(uint32_t value) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return digits;
}

}  // namespace

std::wstring ProtectionFailureLine(const std::wstring& operation,
                                   uint32_t errorCode) {
  return operation + L" failed. Returning input string. GLE=0x" +
         LowerHex(errorCode);
}
