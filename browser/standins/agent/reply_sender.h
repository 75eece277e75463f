// Sends the agent's messages through the callbacks the host handed over.
#pragma once

#include <string>
#include <vector>

#include "agent/agent_script.h"
#include "handling/agent_sdk.h"

namespace harrowmere {

// One message, wrapped as protected text unless `protect` is false. Runs
// on the calling thread.
void SendReply(const ReplyCallback& reply, const std::wstring& text, bool protect);

// Sends every reply of `replies`: those without a delay at once on the
// calling thread, the others in list order from one library thread, each
// no sooner than its delay after this call. The thread keeps its own copy
// of the callback.
void SendScriptedReplies(const ReplyCallback& reply,
                         const std::vector<ScriptedReply>& replies);

}  // namespace harrowmere
