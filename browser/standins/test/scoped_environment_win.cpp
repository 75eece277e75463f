#include "test/scoped_environment.h"

#include <stdlib.h>

// The C runtime's copy of the environment is the one getenv reads, in the
// test program and in the stand-in libraries alike (one msvcrt.dll).
ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value)
    : name_(name) {
  _putenv_s(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  _putenv_s(name_.c_str(), "");  // an empty value removes the variable
}
