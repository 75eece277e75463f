// Payload of "triggerFired": a single-sign-on trigger fired on a page, with
// the values the extension collected there.
#pragma once

#include <string>

#include "handling/agent_sdk.h"
#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

class CTriggerFiredMessage final : public IJsonSerializable,
                                   public CHandlerBase {
 public:
  // Writes "triggerId" only; the values travel from the extension to the
  // agent and are never written back.
  void ToJson(wmObject& object) override;

  // Reads "triggerId", then each element of "values" as an object with a
  // "signature" and a "value"; an empty signature drops the element and a
  // repeated one keeps the last value. An element that is not an object
  // ends the reading with the type error, keeping what came before.
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  std::wstring triggerId;
  ValuesMap values;
};

}  // namespace browser_extensions
