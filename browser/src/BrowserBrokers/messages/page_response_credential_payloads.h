// Payloads of the page, response and credential messages:
// "documentComplete", the answer to a request of the agent (any envelope
// with a "requestID"), "basicAuthentication" and "saveCredentials". Each
// reads itself here; its Handle, which passes the fields to the agent, is
// in handling/payload_handlers.cpp.
#pragma once

#include <string>

#include "messages/agent_types.h"
#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

// A page, or a frame in it, finished loading.
class CDocumentCompleteMessage final : public IJsonSerializable,
                                       public CHandlerBase {
 public:
  // Writes "url" and "bTopLvlDoc", the flag as the string "true" or
  // "false", the form in which the extension sends it.
  void ToJson(wmObject& object) override;

  // The flag is true only for the string "true" in any case of letters;
  // anything else, the JSON boolean true included, is false.
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  std::wstring url;
  bool bTopLvlDoc = false;
};

// The extension's answer to an earlier request of the agent.
class CResponseMessage final : public IJsonSerializable, public CHandlerBase {
 public:
  explicit CResponseMessage(const std::wstring& requestID);

  // Writes each entry of `values` as a string member; the envelope, not the
  // payload, writes the request id.
  void ToJson(wmObject& object) override;

  // Takes every member, in name order, as a string entry. A member that is
  // not a string ends the reading with the type error, keeping the entries
  // stored before it.
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  ValuesMap values;
  std::wstring requestID;
};

// A site asks for HTTP basic authentication credentials.
class CBasicAuthMessage final : public IJsonSerializable, public CHandlerBase {
 public:
  // Writes nothing: the message only ever travels to the agent.
  void ToJson(wmObject& object) override;
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  std::wstring host;
};

// The user submitted credentials for a host that the agent may store.
class CSaveCredentialsMessage final : public IJsonSerializable,
                                      public CHandlerBase {
 public:
  // Writes nothing, so the password is never written out as JSON text.
  void ToJson(wmObject& object) override;
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  std::wstring host;
  std::wstring username;
  std::wstring password;
};

}  // namespace browser_extensions
