// The script of a stand-in library: a JSON file named by an environment
// variable. It is read on first use and again whenever the variable names
// another file; a file that can't be read or parsed is reported with one
// line on standard error and the library behaves as without a script.
#pragma once

#include <cstdlib>
#include <exception>
#include <optional>
#include <string>

#include "common/environment.h"
#include "common/script_json.h"

namespace standins {

// Reads and parses the file at `path` (UTF-8 JSON, one value); on failure writes one line, naming
// `library`, to standard error and returns nothing.
std::optional<ScriptValue> ReadScriptFile(const char* library,
                                             const std::string& path);

void ReportBadScript(const char* library, const std::string& path,
                     const char* reason);

// Holds the parsed script of type Script. `Parse` turns the JSON document
// into a Script and throws (any std::exception) when the document is
// malformed. Not thread-safe: the owner guards it.
template <typename Script, Script (*Parse)(const ScriptValue&)>
class ScriptCache {
 public:
  ScriptCache(const char* library, const char* variable)
      : library_(library), variable_(variable) {}

  // The current script, or null when there is none. The script's own state
  // starts afresh whenever another file is named.
  Script* Current() {
    // Compared before anything is copied: this runs on every call.
    const char* named = std::getenv(variable_);
    const char* path = named != nullptr ? named : "";
    if (path_ != path) {
      path_ = path;
      script_.reset();
      if (!path_.empty())
        Load();
    }
    return script_ ? &*script_ : nullptr;
  }

 private:
  void Load() {
    std::optional<ScriptValue> document = ReadScriptFile(library_, path_);
    if (!document)
      return;
    try {
      script_ = Parse(*document);
    } catch (const std::exception& error) {
      ReportBadScript(library_, path_, error.what());
    }
  }

  const char* library_;
  const char* variable_;
  std::string path_;
  std::optional<Script> script_;
};

}  // namespace standins
