// Gives a test process a private folder for the state that the platform
// layer keeps per user, so test programs that run in parallel never share
// a debug socket or a protection key: on POSIX XDG_RUNTIME_DIR and
// XDG_DATA_HOME point into a fresh folder, removed again at the end.
// Windows needs nothing of the kind.
#pragma once

#include <string>

class IsolatedEnvironment {
 public:
  IsolatedEnvironment();
  ~IsolatedEnvironment();
  IsolatedEnvironment(const IsolatedEnvironment&) = delete;
  IsolatedEnvironment& operator=(const IsolatedEnvironment&) = delete;

 private:
  std::string folder_;
};
