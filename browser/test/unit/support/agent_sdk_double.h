// A recording double of the agent SDK, linked into test programs in place
// of the Harrowmere64 library. Calls may come from any thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "handling/agent_sdk.h"

namespace agent_double {

struct Call {
  std::string function;            // e.g. "NotifyTriggerFired"
  std::vector<std::wstring> texts; // string arguments in order
  ValuesMap values;                // the map argument, if any
  bool flag = false;               // OnDocumentComplete's flag
  int level = 0;                   // WriteLog's level
  ReplyCallback reply;             // the callback handed over, if any
};

// Forgets the recorded calls and the scripted levels.
void Reset();
std::vector<Call> Calls();
std::vector<Call> CallsTo(const std::string& function);

// GetLogLevel returns these in turn, the last one repeating (default 1).
void ScriptLogLevels(std::vector<int> levels);

}  // namespace agent_double
