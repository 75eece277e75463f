#include "common/environment.h"

#include <cstdlib>

namespace standins {

std::string EnvironmentValue(const char* variable) {
  const char* value = std::getenv(variable);
  return value ? value : "";
}

}  // namespace standins
