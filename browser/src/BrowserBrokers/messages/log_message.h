// Payload of "log": a line for the agent's log, at the level it carries.
#pragma once

#include <cstdint>
#include <string>

#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

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
