// An anonymous OS pipe opened as two stdio streams, binary on both ends.
#pragma once

#include <cstdio>

struct TestPipe {
  FILE* readEnd = nullptr;
  FILE* writeEnd = nullptr;
};

// Fails the current test (and returns null ends) if the pipe can't be made.
TestPipe OpenTestPipe();
