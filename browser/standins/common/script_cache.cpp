#include "common/script_cache.h"

#include <climits>
#include <cstdio>

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

// Through stdio rather than a file stream: C++ streams would make the library
// set up the whole locale machinery, which costs pages and time in every
// process that loads a stand-in. Unbuffered and straight into `bytes`, so
// the text lies only in the library's own heap blocks, which are wiped when
// freed, and in no stdio buffer or stack array.
// Returns why the file couldn't be read, or null.
const char* ReadWholeFile(const std::string& path, std::string* bytes) {
  constexpr std::size_t kReadStep = 8192;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return "cannot open the file";
  std::setvbuf(file, nullptr, _IONBF, 0);
  std::size_t got;
  do {
    const std::size_t used = bytes->size();
    bytes->resize(used + kReadStep);
    got = std::fread(&(*bytes)[used], 1, kReadStep, file);
    bytes->resize(used + got);
  } while (got == kReadStep);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  return failed ? "cannot read the file" : nullptr;
}

}  // namespace

std::optional<ScriptValue> ReadScriptFile(const char* library,
                                          const std::string& path) {
  std::string bytes;
  if (const char* failure = ReadWholeFile(path, &bytes)) {
    ReportBadScript(library, path, failure);
    return std::nullopt;
  }
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
