#include "bridge/bridge_script.h"

#include "common/script_text.h"

namespace tollgatelink {

BridgeScript ParseBridgeScript(const standins::ScriptValue& document) {
  BridgeScript script;
  script.loadDelay =
      std::chrono::milliseconds(standins::CountMember(document, "loadDelayMs", 0));
  const standins::ScriptValue* texts = standins::FindMember(document, "designerTexts");
  if (texts == nullptr) return script;
  for (const standins::ScriptValue& entry : standins::AsList(*texts, "designerTexts")) {
    script.designerTexts.push_back(
        {standins::ScriptText(entry),
         std::chrono::milliseconds(standins::CountMember(entry, "delayMs", 0))});
  }
  return script;
}

}  // namespace tollgatelink
