// The message the host sends by itself when the agent's log level changes:
// {"level":<level>,"type":"updateLogLevel"}.
#pragma once

#include <cstdint>
#include <string>

#include "messages/json_serializable.h"

namespace browser_extensions {

class CUpdateLogLevelMessage final : public IJsonSerializable {
 public:
  void ToJson(wmObject& object) override;
  void FromJson(const wmObject& object) override;

  std::wstring type;
  std::int32_t level = 0;
};

}  // namespace browser_extensions
