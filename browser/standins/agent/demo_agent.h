// How the stand-in agent answers when no script is in force: a small
// believable agent for the demo. Its answers are JSON message texts:
//   basic authentication for a host with saved credentials, at once:
//     {"type":"basicAuthCredentials","tabID":..,"host":..,"username":..,"password":..}
//   basic authentication for any other host, at once:
//     {"type":"basicAuthUnknown","tabID":..,"host":..}
//   a top-level sign-in page finished loading, shortly after, from a library thread:
//     {"type":"fillForm","tabID":..,"url":..,"fields":[{"name":"username","value":..},
//                                                      {"name":"password","value":..}]}
//     ("fields" is empty when nothing is saved for the page's host).
// A sign-in page is one whose path contains "/login" or "/signin", or whose
// host has saved credentials.
#pragma once

#include <string>

#include "handling/agent_sdk.h"

namespace harrowmere {

void DemoAnswerBasicAuth(const std::wstring& tabId, const std::wstring& host,
                         const ReplyCallback& reply);

void DemoAnswerDocumentComplete(const std::wstring& tabId, const std::wstring& url,
                                bool topLevelDocument, const ReplyCallback& reply);

}  // namespace harrowmere
