// The envelope of every inbound message, and the factory of its payloads.
#pragma once

#include <memory>
#include <string>

#include "messages/json_serializable.h"

namespace browser_extensions {

class CTabMessage final : public IJsonSerializable {
 public:
  // Writes "tabID" and "type" always, "requestID" only when not empty, and
  // "payload" only when there is one.
  void ToJson(wmObject& object) override;

  // Reads the three strings, then makes the payload: a response to
  // `requestID` when that is not empty, otherwise what CreatePayload makes
  // of `type`. The payload is stored before it reads the "payload" member,
  // so one whose reading throws part way is still held.
  void FromJson(const wmObject& object) override;

  std::wstring tabID;
  std::wstring type;
  std::wstring requestID;
  std::shared_ptr<IJsonSerializable> payload;
};

// A new, empty payload of the class that `type` names (case-sensitive,
// whole string), or an empty pointer when it names none. Each object is
// owned as its concrete class. The type-to-class table opens
// tab_message.cpp.
std::shared_ptr<IJsonSerializable> CreatePayload(const std::wstring& type);

}  // namespace browser_extensions
