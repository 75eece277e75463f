#include "agent/agent_script.h"

#include <stdexcept>

#include "common/script_text.h"

namespace harrowmere {
namespace {

ScriptedReply ParseReply(const nlohmann::json& entry) {
  ScriptedReply reply;
  reply.text = standins::ScriptText(entry);
  reply.protect = entry.value("protect", true);
  reply.delay = std::chrono::milliseconds(standins::CountMember(entry, "delayMs", 0));
  return reply;
}

std::vector<ScriptedReply> ParseReplies(const nlohmann::json& replies,
                                        const char* function) {
  std::vector<ScriptedReply> parsed;
  auto list = replies.find(function);
  if (list == replies.end())
    return parsed;
  if (!list->is_array())
    throw std::invalid_argument(std::string("replies of ") + function +
                                " must be a list");
  for (const nlohmann::json& entry : *list)
    parsed.push_back(ParseReply(entry));
  return parsed;
}

}  // namespace

AgentScript ParseAgentScript(const nlohmann::json& document) {
  if (!document.is_object())
    throw std::invalid_argument("the script must be a JSON object");
  AgentScript script;
  if (document.contains("logLevels"))
    script.logLevels = document.at("logLevels").get<std::vector<int>>();
  if (document.contains("replies")) {
    const nlohmann::json& replies = document.at("replies");
    if (!replies.is_object())
      throw std::invalid_argument("replies must be an object");
    script.documentCompleteReplies = ParseReplies(replies, "OnDocumentComplete");
    script.basicAuthReplies = ParseReplies(replies, "OnBasicAuthRequired");
  }
  return script;
}

}  // namespace harrowmere
