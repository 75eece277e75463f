#include "frame_capture.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "channel/extension_output.h"

FrameCapture::FrameCapture() : pipe_(OpenTestPipe()) {
  // Unbuffered like the host's standard output, so the length and the body
  // reach the pipe as separate writes.
  std::setvbuf(pipe_.writeEnd, nullptr, _IONBF, 0);
  reader_ = std::thread([this] {
    char chunk[65536];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof(chunk), pipe_.readEnd)) > 0) {
      received_.append(chunk, count);
    }
  });
  SetExtensionOutputForTesting(pipe_.writeEnd);
}

FrameCapture::~FrameCapture() { Finish(); }

std::string FrameCapture::Finish() {
  if (finished_) return received_;
  finished_ = true;
  SetExtensionOutputForTesting(nullptr);
  std::fclose(pipe_.writeEnd);
  reader_.join();
  std::fclose(pipe_.readEnd);
  return received_;
}

std::vector<std::string> SplitFrames(const std::string& stream) {
  std::vector<std::string> bodies;
  std::size_t at = 0;
  while (at < stream.size()) {
    if (stream.size() - at < 4) {
      ADD_FAILURE() << "stream ends inside a length at byte " << at;
      break;
    }
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) {
      length = (length << 8) | static_cast<unsigned char>(stream[at + i]);
    }
    at += 4;
    if (stream.size() - at < length) {
      ADD_FAILURE() << "stream ends inside a body of " << length << " bytes";
      break;
    }
    bodies.push_back(stream.substr(at, length));
    at += length;
  }
  return bodies;
}
