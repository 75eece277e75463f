// Payload of "triggerFailed": a single-sign-on trigger failed on a page.
#pragma once

#include <string>

#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

class CTriggerFailedMessage final : public IJsonSerializable,
                                    public CHandlerBase {
 public:
  void ToJson(wmObject& object) override;
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  std::wstring triggerId;
};

}  // namespace browser_extensions
