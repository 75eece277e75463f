// Captures what the frame writers send: while alive, their output goes into
// a real pipe whose other end a reader thread drains, so the pipe never
// fills however much is written.
#pragma once

#include <string>
#include <thread>
#include <vector>

#include "test_pipe.h"

class FrameCapture {
 public:
  FrameCapture();
  ~FrameCapture();

  FrameCapture(const FrameCapture&) = delete;
  FrameCapture& operator=(const FrameCapture&) = delete;

  // Points the writers back at standard output, closes the pipe and
  // returns every byte that came through it. Call once, after all writes.
  std::string Finish();

 private:
  TestPipe pipe_;
  std::string received_;
  std::thread reader_;
  bool finished_ = false;
};

// Splits a byte stream into frame bodies; fails the current test if the
// stream does not consist of whole frames.
std::vector<std::string> SplitFrames(const std::string& stream);
