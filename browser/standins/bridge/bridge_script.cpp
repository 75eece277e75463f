#include "bridge/bridge_script.h"

#include <stdexcept>

#include "common/script_text.h"

namespace tollgatelink {

BridgeScript ParseBridgeScript(const nlohmann::json& document) {
  if (!document.is_object())
    throw std::invalid_argument("the script must be a JSON object");
  BridgeScript script;
  script.loadDelay =
      std::chrono::milliseconds(standins::CountMember(document, "loadDelayMs", 0));
  auto texts = document.find("designerTexts");
  if (texts == document.end())
    return script;
  if (!texts->is_array())
    throw std::invalid_argument("designerTexts must be a list");
  for (const nlohmann::json& entry : *texts) {
    script.designerTexts.push_back(
        {standins::ScriptText(entry),
         std::chrono::milliseconds(standins::CountMember(entry, "delayMs", 0))});
  }
  return script;
}

}  // namespace tollgatelink
