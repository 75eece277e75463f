#include "agent/answers.h"

#include "agent/agent_state.h"
#include "agent/demo_agent.h"
#include "agent/reply_sender.h"

namespace harrowmere {

void AnswerDocumentComplete(const std::wstring& tabId, const std::wstring& url,
                            bool topLevelDocument, const ReplyCallback& reply) {
  if (auto replies = ScriptedReplies(ReplyKind::kDocumentComplete))
    SendScriptedReplies(reply, *replies);
  else
    DemoAnswerDocumentComplete(tabId, url, topLevelDocument, reply);
}

void AnswerBasicAuth(const std::wstring& tabId, const std::wstring& host,
                     const ReplyCallback& reply) {
  if (auto replies = ScriptedReplies(ReplyKind::kBasicAuth))
    SendScriptedReplies(reply, *replies);
  else
    DemoAnswerBasicAuth(tabId, host, reply);
}

}  // namespace harrowmere
