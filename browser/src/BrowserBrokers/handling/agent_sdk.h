// The nine functions of the single-sign-on agent's SDK library
// (Harrowmere64), as the host calls them. The host links the library at
// load time; a stand-in library or a test double provides the same symbols.
//
// Text crosses as UTF-16 wide strings. The agent keeps the ReplyCallback
// copies it is given and may call them later, from any thread; the second
// argument of such a call is protected text.
#pragma once

#include <string>

#include "messages/agent_types.h"

namespace wexkit_core {

void NotifyTriggerFired(const std::wstring& tabId, const std::wstring& triggerId,
                        const ValuesMap& values);
void NotifyTriggerFailed(const std::wstring& tabId, const std::wstring& triggerId);
void OnDocumentComplete(const std::wstring& tabId, const std::wstring& url,
                        bool topLevelDocument, ReplyCallback reply);
void OnBasicAuthRequired(const std::wstring& tabId, const std::wstring& host,
                         ReplyCallback reply);
void SaveCredentials(const std::wstring& tabId, const std::wstring& host,
                     const std::wstring& username, const std::wstring& password);
void SendResponse(const std::wstring& tabId, const std::wstring& requestId,
                  const ValuesMap& response);
int OnTabClosed(const std::wstring& tabId);

}  // namespace wexkit_core

namespace wexkit_utils {

int GetLogLevel();
void WriteLog(int level, const std::wstring& text);

}  // namespace wexkit_utils
