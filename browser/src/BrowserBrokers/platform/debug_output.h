// Diagnostic lines for a debugger or a debug monitor: one call, one line.
//
// On Windows these are OutputDebugStringW/OutputDebugStringA. Elsewhere each
// line goes as one datagram to the user's debug socket (see
// debug_socket_path.h) without ever waiting: it is dropped silently when
// nobody listens, and dropped and counted when the monitor's queue is full
// (debug_output_posix.cpp).
#pragma once

#include <string>

namespace platform {

// `line` holds UTF-16 code units; it is cut at its first NUL, as the
// Windows call would see it.
void OutputDebugLineW(const std::wstring& line);

// `line` is narrow text (an exception's what()), sent as it is.
void OutputDebugLineA(const char* line);

}  // namespace platform
