#include <cstdio>

#include <gtest/gtest.h>

#include "support/isolated_environment.h"

int main(int argc, char** argv) {
  // Unbuffered, so a test program that is ended abruptly still leaves
  // everything it printed in the test log.
  setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  IsolatedEnvironment environment;
  return RUN_ALL_TESTS();
}
