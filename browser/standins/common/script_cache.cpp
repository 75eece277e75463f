#include "common/script_cache.h"

#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "messages/json_reader.h"
#include "platform/text_codec.h"

namespace standins {

void ReportBadScript(const char* library, const std::string& path,
                     const char* reason) {
  std::fprintf(stderr, "%s: script %s ignored: %s\n", library, path.c_str(),
               reason);
}

namespace {

std::wstring WideFromUtf8(const std::string& bytes) {
  const int length = static_cast<int>(bytes.size());
  const int needed = platform::Utf8ToUtf16(bytes.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(needed > 0 ? needed : 0), L'\0');
  if (needed > 0) platform::Utf8ToUtf16(bytes.data(), length, &wide[0], needed);
  return wide;
}

}  // namespace

std::optional<ScriptValue> ReadScriptFile(const char* library,
                                          const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    ReportBadScript(library, path, "cannot open the file");
    return std::nullopt;
  }
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (bytes.size() > static_cast<size_t>(INT_MAX)) {
    ReportBadScript(library, path, "the file is too big");
    return std::nullopt;
  }
  ScriptValue document;
  if (!browser_extensions::read(WideFromUtf8(bytes), document)) {
    ReportBadScript(library, path, "the file is not valid JSON");
    return std::nullopt;
  }
  return document;
}

}  // namespace standins
