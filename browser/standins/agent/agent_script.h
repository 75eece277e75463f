// The agent's script (HARROWMERE_SCRIPT): the log levels it reports and the
// replies it sends through the callbacks it is handed.
//   {"logLevels": [4, 1],
//    "replies": {"OnDocumentComplete":  [{"text": "...", "protect": true, "delayMs": 0}],
//                "OnBasicAuthRequired": [...]}}
// Reply texts take any form of common/script_text.h.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/script_json.h"

namespace harrowmere {

struct ScriptedReply {
  std::wstring text;
  bool protect = true;
  std::chrono::milliseconds delay{0};
};

struct AgentScript {
  // Absent: the level comes from HARROWMERE_LOG_LEVEL, as without a script.
  std::optional<std::vector<int>> logLevels;
  std::size_t logLevelCalls = 0;
  // Shared, so that a call takes them without copying the texts.
  std::shared_ptr<const std::vector<ScriptedReply>> documentCompleteReplies;
  std::shared_ptr<const std::vector<ScriptedReply>> basicAuthReplies;
};

// Throws (a std::exception) when the document is malformed.
AgentScript ParseAgentScript(const standins::ScriptValue& document);

}  // namespace harrowmere
