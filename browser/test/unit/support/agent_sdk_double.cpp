#include "support/agent_sdk_double.h"

#include <algorithm>
#include <utility>

namespace agent_double {
namespace {

struct State {
  std::mutex mutex;
  std::vector<Call> calls;
  std::vector<int> levels;
  std::size_t levelIndex = 0;
};

State& TheState() {
  static State* state = new State;  // outlives detached test threads
  return *state;
}

void Record(Call call) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.calls.push_back(std::move(call));
}

}  // namespace

void Reset() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.calls.clear();
  s.levels.clear();
  s.levelIndex = 0;
}

std::vector<Call> Calls() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.calls;
}

std::vector<Call> CallsTo(const std::string& function) {
  std::vector<Call> matching;
  for (Call& call : Calls())
    if (call.function == function) matching.push_back(std::move(call));
  return matching;
}

void ScriptLogLevels(std::vector<int> levels) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.levels = std::move(levels);
  s.levelIndex = 0;
}

int NextLogLevel() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.levels.empty()) return 1;
  int level = s.levels[std::min(s.levelIndex, s.levels.size() - 1)];
  ++s.levelIndex;
  return level;
}

}  // namespace agent_double

using agent_double::Call;
using agent_double::Record;

namespace wexkit_core {

void NotifyTriggerFired(const std::wstring& tabId, const std::wstring& triggerId,
                        const ValuesMap& values) {
  Record({"NotifyTriggerFired", {tabId, triggerId}, values, false, 0, nullptr});
}
void NotifyTriggerFailed(const std::wstring& tabId, const std::wstring& triggerId) {
  Record({"NotifyTriggerFailed", {tabId, triggerId}, {}, false, 0, nullptr});
}
void OnDocumentComplete(const std::wstring& tabId, const std::wstring& url,
                        bool topLevelDocument, ReplyCallback reply) {
  Record({"OnDocumentComplete", {tabId, url}, {}, topLevelDocument, 0, std::move(reply)});
}
void OnBasicAuthRequired(const std::wstring& tabId, const std::wstring& host,
                         ReplyCallback reply) {
  Record({"OnBasicAuthRequired", {tabId, host}, {}, false, 0, std::move(reply)});
}
void SaveCredentials(const std::wstring& tabId, const std::wstring& host,
                     const std::wstring& username, const std::wstring& password) {
  Record({"SaveCredentials", {tabId, host, username, password}, {}, false, 0, nullptr});
}
void SendResponse(const std::wstring& tabId, const std::wstring& requestId,
                  const ValuesMap& response) {
  Record({"SendResponse", {tabId, requestId}, response, false, 0, nullptr});
}
int OnTabClosed(const std::wstring& tabId) {
  Record({"OnTabClosed", {tabId}, {}, false, 0, nullptr});
  return 0;
}

}  // namespace wexkit_core

namespace wexkit_utils {

int GetLogLevel() {
  Record({"GetLogLevel", {}, {}, false, 0, nullptr});
  return agent_double::NextLogLevel();
}
void WriteLog(int level, const std::wstring& text) {
  Record({"WriteLog", {text}, {}, false, level, nullptr});
}

}  // namespace wexkit_utils
