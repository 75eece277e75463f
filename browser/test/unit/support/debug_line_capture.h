// Captures the debug lines that this process writes (platform/
// debug_output.h) while an instance lives, so tests can check them.
//
// POSIX: binds the process's debug socket (the test main gives every test
// process a socket path of its own) and receives on a thread of its own.
// Windows: a vectored exception handler sees the exceptions by which
// OutputDebugString reaches a debugger. Under Wine wide lines arrive
// converted through the ANSI code page, so characters outside it turn into
// '?' there; CarriesAllCharacters() tells.
//
// One capture at a time per process. Lines are UTF-8.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class CapturedLines;

class DebugLineCapture {
 public:
  DebugLineCapture();
  ~DebugLineCapture();
  DebugLineCapture(const DebugLineCapture&) = delete;
  DebugLineCapture& operator=(const DebugLineCapture&) = delete;

  // False when lines can't be captured here; tests then GTEST_SKIP.
  bool Available() const;
  // False when some characters of wide lines can't reach the capture.
  bool CarriesAllCharacters() const;

  // The lines received so far, oldest first.
  std::vector<std::string> Lines() const;
  // Wait until `line` has been received (true) or the deadline passes.
  bool WaitForLine(const std::string& line,
                   std::chrono::milliseconds deadline = std::chrono::seconds(10)) const;
  // Wait until at least `count` lines have been received.
  bool WaitForLineCount(std::size_t count,
                        std::chrono::milliseconds deadline = std::chrono::seconds(10)) const;
  void Clear();

 private:
  class Receiver;  // the platform half

  std::unique_ptr<CapturedLines> lines_;
  std::unique_ptr<Receiver> receiver_;
};
