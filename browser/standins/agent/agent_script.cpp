#include "agent/agent_script.h"

#include "common/script_text.h"

namespace harrowmere {
namespace {

using standins::ScriptValue;

ScriptedReply ParseReply(const ScriptValue& entry) {
  ScriptedReply reply;
  reply.text = standins::ScriptText(entry);
  const ScriptValue* protect = standins::FindMember(entry, "protect");
  reply.protect = protect == nullptr || standins::AsFlag(*protect, "protect");
  reply.delay = std::chrono::milliseconds(standins::CountMember(entry, "delayMs", 0));
  return reply;
}

std::vector<ScriptedReply> ParseReplies(const ScriptValue& replies, const char* function) {
  std::vector<ScriptedReply> parsed;
  const ScriptValue* list = standins::FindMember(replies, function);
  if (list == nullptr) return parsed;
  for (const ScriptValue& entry : standins::AsList(*list, function))
    parsed.push_back(ParseReply(entry));
  return parsed;
}

std::vector<int> ParseLogLevels(const ScriptValue& levels) {
  std::vector<int> parsed;
  for (const ScriptValue& level : standins::AsList(levels, "logLevels"))
    parsed.push_back(standins::AsInt(level, "a log level"));
  return parsed;
}

}  // namespace

AgentScript ParseAgentScript(const ScriptValue& document) {
  AgentScript script;
  if (const ScriptValue* levels = standins::FindMember(document, "logLevels"))
    script.logLevels = ParseLogLevels(*levels);
  const ScriptValue* replies = standins::FindMember(document, "replies");
  script.documentCompleteReplies = std::make_shared<const std::vector<ScriptedReply>>(
      replies ? ParseReplies(*replies, "OnDocumentComplete") : std::vector<ScriptedReply>());
  script.basicAuthReplies = std::make_shared<const std::vector<ScriptedReply>>(
      replies ? ParseReplies(*replies, "OnBasicAuthRequired") : std::vector<ScriptedReply>());
  return script;
}

}  // namespace harrowmere
