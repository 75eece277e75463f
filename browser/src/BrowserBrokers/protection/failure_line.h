// The debug line that a failed wrap or unwrap writes.
#pragma once

#include <cstdint>
#include <string>

// "<operation> failed. Returning input string. GLE=0x" followed by
// `errorCode` in lower-case hex without leading zeros.
std::wstring ProtectionFailureLine(const std::wstring& operation,
                                   uint32_t errorCode);
