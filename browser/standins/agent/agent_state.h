// What the stand-in agent remembers during a run. Every function takes the
// state's lock: the host calls GetLogLevel and WriteLog from its watcher
// thread while its main thread is inside the other SDK functions.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/agent_script.h"

namespace harrowmere {

struct Credentials {
  std::wstring username;
  std::wstring password;
};

enum class ReplyKind { kDocumentComplete, kBasicAuth };

// The n-th call returns the script's n-th level, the last one repeating;
// without scripted levels, HARROWMERE_LOG_LEVEL if it holds an integer, else 1.
int NextLogLevel();

// The scripted replies for `kind`, or nothing when no script is in force.
std::shared_ptr<const std::vector<ScriptedReply>> ScriptedReplies(ReplyKind kind);

// Credentials are kept per host, in memory only; hosts compare without
// regard to ASCII case.
void RememberCredentials(const std::wstring& host, Credentials credentials);
std::optional<Credentials> SavedCredentials(const std::wstring& host);

// Keeps the most recent log lines, as an agent's log would.
void KeepLogLine(int level, const std::wstring& text);

}  // namespace harrowmere
