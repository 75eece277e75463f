// Sets an environment variable for the life of the object and removes it
// afterwards. The stand-ins read their settings at each call, so a test can
// point them at its own files.
#pragma once

#include <string>

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
};
