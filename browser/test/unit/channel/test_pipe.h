// An anonymous OS pipe opened as two stdio streams, binary on both ends.
#pragma once

#include <cstdio>
#include <string>

struct TestPipe {
  FILE* readEnd = nullptr;
  FILE* writeEnd = nullptr;
};

// Fails the current test (and returns null ends) if the pipe can't be made.
TestPipe OpenTestPipe();

// A stream that gives `bytes` and then fails every read with EIO, as a
// device that has gone does; null where no such stream can be made. One
// at a time.
FILE* OpenStreamFailingAfter(const std::string& bytes);
