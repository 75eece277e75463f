// The stand-in libraries' settings come from the environment; they are read
// at each use, so a test can point a library at other files between calls.
#pragma once

#include <string>

namespace standins {

// The value of `variable`, or an empty string when it is unset.
std::string EnvironmentValue(const char* variable);

}  // namespace standins
