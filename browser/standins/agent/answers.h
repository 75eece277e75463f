// The agent's answers to the calls that hand it a callback: the script's
// replies when a script is in force, otherwise the demo agent's.
#pragma once

#include <string>

#include "handling/agent_sdk.h"

namespace harrowmere {

void AnswerDocumentComplete(const std::wstring& tabId, const std::wstring& url,
                            bool topLevelDocument, const ReplyCallback& reply);

void AnswerBasicAuth(const std::wstring& tabId, const std::wstring& host,
                     const ReplyCallback& reply);

}  // namespace harrowmere
