#include "trusted_path.h"

namespace registration {

bool RunsAsRoot() { return false; }

std::string WhoElseCanChange(const std::filesystem::path&) { return {}; }

}  // namespace registration
