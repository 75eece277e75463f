// Payload of "documentComplete": a page, or a frame in it, finished loading.
#pragma once

#include <string>

#include "messages/handler_base.h"
#include "messages/json_serializable.h"

namespace browser_extensions {

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

}  // namespace browser_extensions
