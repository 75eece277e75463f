// Payload of "basicAuthentication": a site asks for HTTP basic
// authentication credentials.
#pragma once

#include <string>

#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

class CBasicAuthMessage final : public IJsonSerializable, public CHandlerBase {
 public:
  // Writes nothing: the message only ever travels to the agent.
  void ToJson(wmObject& object) override;
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  std::wstring host;
};

}  // namespace browser_extensions
