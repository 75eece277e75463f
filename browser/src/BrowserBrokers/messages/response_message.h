// Payload of every envelope that carries a "requestID": the extension's
// answer to an earlier request of the agent.
#pragma once

#include <string>

#include "handling/agent_sdk.h"
#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

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

}  // namespace browser_extensions
