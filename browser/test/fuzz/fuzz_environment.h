// The private folder of a fuzz program (see fuzz_environment.cpp).
#pragma once

#include <string>

// XDG_RUNTIME_DIR points here and XDG_DATA_HOME to its "data" subfolder.
const std::string& FuzzFolder();
