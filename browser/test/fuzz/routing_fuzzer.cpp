// Fuzzes the message handler with arbitrary frame text: parsing of the
// envelope and its payload, routing by type, and the payload handlers,
// against a recording agent. The fuzz bytes are the frame's body.
//
// Invariants, for any text:
//  - one message makes at most one agent call;
//  - a message that leaves the type alone was reported as unknown: one
//    WriteLog at the host's level whose line starts "Unknown message sent = ",
//    and the result is false;
//  - a result of false means nothing but that report reached the agent;
//  - no report carries a raw control character.
// For text that is one well-formed JSON object, read independently with the
// JSON reader:
//  - the type comes out as the object's "type";
//  - "closeTab" closes the object's "tabID"; "XPath" calls nothing; a
//    non-empty "requestID" is answered with SendResponse; each payload type
//    reaches its own agent function with the object's "tabID";
//  - a reply callback handed to the agent writes one whole frame.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "captured_output.h"
#include "channel/extension_writer.h"
#include "handling/message_handler.h"
#include "messages/json_reader.h"
#include "messages/text_conversion.h"
#include "protection/protected_text.h"
#include "support/agent_sdk_double.h"

namespace {

using browser_extensions::wmValue;

// No message can set this type: it holds a lone surrogate and a NUL.
const std::wstring kUntouched(L"\xD800untouched\0", 11);

void Require(bool condition) {
  if (!condition) std::abort();
}

std::wstring StringMember(const wmValue& object, const std::wstring& name) {
  const auto& members = object.get_obj();
  const auto found = members.find(name);
  if (found == members.end() || found->second.type() != browser_extensions::str_type)
    return L"";
  return found->second.get_str();
}

// The agent function that each payload type reaches.
const std::map<std::wstring, std::string> kPayloadFunctions = {
    {L"log", "WriteLog"},
    {L"triggerFired", "NotifyTriggerFired"},
    {L"triggerFailed", "NotifyTriggerFailed"},
    {L"documentComplete", "OnDocumentComplete"},
    {L"basicAuthentication", "OnBasicAuthRequired"},
    {L"saveCredentials", "SaveCredentials"},
};

bool HasControlCharacter(const std::wstring& text) {
  for (const wchar_t unit : text) {
    if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F)) return true;
  }
  return false;
}

bool IsUnknownReport(const agent_double::Call& call) {
  return call.function == "WriteLog" && call.level == browser_extensions::kHostLogLevel &&
         call.texts[0].rfind(L"Unknown message sent = ", 0) == 0 &&
         !HasControlCharacter(call.texts[0]);
}

void CheckAnyText(bool result, const std::wstring& type,
                  const std::vector<agent_double::Call>& calls) {
  Require(calls.size() <= 1);
  if (type == kUntouched) {
    Require(!result && calls.size() == 1 && IsUnknownReport(calls[0]));
  } else {
    Require(!type.empty());
  }
  if (!result) Require(calls.empty() || IsUnknownReport(calls[0]));
}

void CheckWellFormedObject(const wmValue& object, bool result, const std::wstring& type,
                           const std::vector<agent_double::Call>& calls) {
  const std::wstring expectedType = StringMember(object, L"type");
  if (expectedType.empty()) return;  // covered by CheckAnyText
  const std::wstring tabID = StringMember(object, L"tabID");
  const std::wstring requestID = StringMember(object, L"requestID");
  Require(type == expectedType);
  if (type == L"XPath") {
    Require(result && calls.empty());
    return;
  }
  std::string function;
  if (type == L"closeTab") {
    function = "OnTabClosed";
  } else if (!requestID.empty()) {
    function = "SendResponse";
  } else {
    const auto found = kPayloadFunctions.find(type);
    if (found == kPayloadFunctions.end()) {
      Require(!result && calls.empty());
      return;
    }
    function = found->second;
  }
  Require(result);
  if (function == "WriteLog" && calls.empty()) return;  // a log line with no text
  Require(calls.size() == 1 && calls[0].function == function);
  if (function != "WriteLog") Require(calls[0].texts[0] == tabID);
  if (function == "SendResponse") Require(calls[0].texts[1] == requestID);
}

// A callback handed to the agent must reach the extension as one frame.
void CheckReplyCallbacks(const std::vector<agent_double::Call>& calls, CapturedOutput& output) {
  for (const agent_double::Call& call : calls) {
    if (!call.reply) continue;
    call.reply(L"", ProtectData(L"answer"));
    Require(output.Take() == std::string("\x08\0\0\0\"answer\"", 12));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* handler = new browser_extensions::CMessageHandler(
      [](const std::wstring&, const std::wstring& text) { WriteProtectedExtensionMessage(text); });
  static auto* output = new CapturedOutput;
  // The handler takes the frame's text up to its first zero byte.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string terminated = text.substr(0, text.find('\0'));

  agent_double::Reset();
  std::wstring type = kUntouched;
  const bool result = handler->ProcessMessage(terminated.c_str(), type);
  const std::vector<agent_double::Call> calls = agent_double::Calls();
  CheckAnyText(result, type, calls);

  wmValue value;
  if (browser_extensions::read(Utf8ToWide(terminated), value) &&
      value.type() == browser_extensions::obj_type) {
    CheckWellFormedObject(value, result, type, calls);
  }
  CheckReplyCallbacks(calls, *output);
  Require(output->Take().empty());
  return 0;
}
