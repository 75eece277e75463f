#include "support/isolated_environment.h"

// The Windows services keep their per-user state themselves.
IsolatedEnvironment::IsolatedEnvironment() = default;
IsolatedEnvironment::~IsolatedEnvironment() = default;
