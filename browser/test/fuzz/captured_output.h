// The frame writers' output, captured in memory instead of standard output.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class CapturedOutput {
 public:
  CapturedOutput();   // points the writers here
  ~CapturedOutput();  // and back to standard output

  // Everything written since the last call.
  std::string Take();

 private:
  void Open();
  void Close();

  FILE* stream_ = nullptr;
  char* buffer_ = nullptr;
  size_t size_ = 0;
};

// Splits `bytes` into frame bodies by their 4-byte little-endian lengths.
// Returns false when the bytes don't end on a frame boundary.
bool SplitFrames(const std::string& bytes, std::vector<std::string>& bodies);
