#include <gtest/gtest.h>

#include "support/isolated_environment.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  IsolatedEnvironment environment;
  return RUN_ALL_TESTS();
}
