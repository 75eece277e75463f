#include "common/script_cache.h"

#include <cstdio>
#include <fstream>

namespace standins {

void ReportBadScript(const char* library, const std::string& path,
                     const char* reason) {
  std::fprintf(stderr, "%s: script %s ignored: %s\n", library, path.c_str(),
               reason);
}

std::optional<nlohmann::json> ReadScriptFile(const char* library,
                                             const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ReportBadScript(library, path, "cannot open the file");
    return std::nullopt;
  }
  try {
    return nlohmann::json::parse(file);
  } catch (const std::exception& error) {
    ReportBadScript(library, path, error.what());
    return std::nullopt;
  }
}

}  // namespace standins
