// Payload of "saveCredentials": the user submitted credentials for a host
// that the agent may store.
#pragma once

#include <string>

#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

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
