// The platform-neutral half of DebugLineCapture: everything but receiving,
// which debug_line_capture_posix.cpp and debug_line_capture_win.cpp do.
#include "support/debug_line_capture.h"

#include <algorithm>

#include "support/captured_lines.h"

std::vector<std::string> DebugLineCapture::Lines() const { return lines_->Snapshot(); }

bool DebugLineCapture::WaitForLine(const std::string& line,
                                   std::chrono::milliseconds deadline) const {
  return lines_->WaitUntil(
      [&](const std::vector<std::string>& lines) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
      },
      deadline);
}

bool DebugLineCapture::WaitForLineCount(std::size_t count,
                                        std::chrono::milliseconds deadline) const {
  return lines_->WaitUntil(
      [&](const std::vector<std::string>& lines) { return lines.size() >= count; },
      deadline);
}

void DebugLineCapture::Clear() { lines_->Clear(); }
