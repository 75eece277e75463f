// The calling thread's last-error code of the platform services below
// (GetLastError on Windows; a thread-local value elsewhere).
#pragma once

#include <cstdint>

namespace platform {

uint32_t LastErrorCode();
void SetLastErrorCode(uint32_t code);

// Codes set by the POSIX stand-ins, chosen to match their Windows meaning.
inline constexpr uint32_t kErrorInvalidData = 13;    // a blob that does not open
inline constexpr uint32_t kErrorModNotFound = 126;   // a library that is not there
inline constexpr uint32_t kErrorProcNotFound = 127;  // an export that is not there
inline constexpr uint32_t kErrorAccessDenied = 5;    // an insecure or foreign key file
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorInvalidHandle = 6;         // a null library handle
inline constexpr uint32_t kErrorInvalidParameter = 87;     // a null buffer or bad length
inline constexpr uint32_t kErrorInsufficientBuffer = 122;  // output does not fit

}  // namespace platform
