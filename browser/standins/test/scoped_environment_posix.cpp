#include "test/scoped_environment.h"

#include <stdlib.h>

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value)
    : name_(name) {
  setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
  unsetenv(name_.c_str());
}
