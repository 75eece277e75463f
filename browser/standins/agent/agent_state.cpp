#include "agent/agent_state.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "agent/url_parts.h"
#include "common/environment.h"
#include "common/script_cache.h"

namespace harrowmere {
namespace {

constexpr int kDefaultLogLevel = 1;
constexpr std::size_t kKeptLogLines = 200;

struct LogLine {
  int level;
  std::wstring text;
};

struct AgentState {
  std::mutex mutex;
  standins::ScriptCache<AgentScript, ParseAgentScript> script{"Harrowmere64",
                                                              "HARROWMERE_SCRIPT"};
  std::map<std::wstring, Credentials> credentials;  // by lower-case host
  std::deque<LogLine> log;
};

// Never destroyed: library threads may still run while the process exits.
AgentState& State() {
  static auto* state = new AgentState;
  return *state;
}

int LevelFromEnvironment() {
  std::string text = standins::EnvironmentValue("HARROWMERE_LOG_LEVEL");
  if (text.empty())
    return kDefaultLogLevel;
  char* end = nullptr;
  errno = 0;
  long level = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || level < INT_MIN || level > INT_MAX)
    return kDefaultLogLevel;
  return static_cast<int>(level);
}

}  // namespace

int NextLogLevel() {
  AgentState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  AgentScript* script = state.script.Current();
  if (!script || !script->logLevels)
    return LevelFromEnvironment();
  const std::vector<int>& levels = *script->logLevels;
  if (levels.empty())
    return kDefaultLogLevel;
  std::size_t index = std::min(script->logLevelCalls, levels.size() - 1);
  ++script->logLevelCalls;
  return levels[index];
}

std::shared_ptr<const std::vector<ScriptedReply>> ScriptedReplies(ReplyKind kind) {
  AgentState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  AgentScript* script = state.script.Current();
  if (!script)
    return nullptr;
  return kind == ReplyKind::kDocumentComplete ? script->documentCompleteReplies
                                              : script->basicAuthReplies;
}

void RememberCredentials(const std::wstring& host, Credentials credentials) {
  AgentState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.credentials[LowerAscii(host)] = std::move(credentials);
}

std::optional<Credentials> SavedCredentials(const std::wstring& host) {
  AgentState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  auto found = state.credentials.find(LowerAscii(host));
  if (found == state.credentials.end())
    return std::nullopt;
  return found->second;
}

void KeepLogLine(int level, const std::wstring& text) {
  AgentState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.log.push_back({level, text});
  if (state.log.size() > kKeptLogLines)
    state.log.pop_front();
}

}  // namespace harrowmere
