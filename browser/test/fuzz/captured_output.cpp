#include "captured_output.h"

#include <cstdint>
#include <cstdlib>

#include "channel/extension_output.h"

CapturedOutput::CapturedOutput() { Open(); }

CapturedOutput::~CapturedOutput() {
  SetExtensionOutputForTesting(nullptr);
  Close();
}

std::string CapturedOutput::Take() {
  std::fflush(stream_);
  std::string taken(buffer_, size_);
  Close();
  Open();
  return taken;
}

void CapturedOutput::Open() {
  stream_ = open_memstream(&buffer_, &size_);
  if (stream_ == nullptr) std::abort();
  SetExtensionOutputForTesting(stream_);
}

void CapturedOutput::Close() {
  std::fclose(stream_);
  std::free(buffer_);
  stream_ = nullptr;
  buffer_ = nullptr;
  size_ = 0;
}

bool SplitFrames(const std::string& bytes, std::vector<std::string>& bodies) {
  size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 4) return false;
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<uint8_t>(bytes[at + i]);
    at += 4;
    if (bytes.size() - at < length) return false;
    bodies.push_back(bytes.substr(at, length));
    at += length;
  }
  return true;
}
