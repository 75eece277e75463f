// Payloads of the trigger and log messages: "triggerFired", "triggerFailed"
// and "log". Each reads itself here; its Handle, which passes the fields to
// the agent, is in handling/payload_handlers.cpp.
#pragma once

#include <cstdint>
#include <string>

#include "messages/agent_types.h"
#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

// A single-sign-on trigger fired on a page, with the values the extension
// collected there.
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

// A single-sign-on trigger failed on a page.
class CTriggerFailedMessage final : public IJsonSerializable,
                                    public CHandlerBase {
 public:
  void ToJson(wmObject& object) override;
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  std::wstring triggerId;
};

// A line for the agent's log, at the level it carries.
class CLogMessage final : public IJsonSerializable, public CHandlerBase {
 public:
  void ToJson(wmObject& object) override;
  // Reads "message", then "level" (0 when missing or not an integer).
  void FromJson(const wmObject& object) override;

  bool Handle(ReplyCallback reply, const std::wstring& tabID) override;

  std::int32_t level = 0;
  std::wstring message;
};

}  // namespace browser_extensions
