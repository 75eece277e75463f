// The bridge's script (TOLLGATELINK_SCRIPT):
//   {"loadDelayMs": 500,
//    "designerTexts": [{"text": "...", "delayMs": 100}]}
// GetInstance waits loadDelayMs before it returns; each designer text goes
// to the host from a library thread, no sooner than its delay after the
// GetInstance call. Texts take any form of common/script_text.h.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "common/script_json.h"

namespace tollgatelink {

struct ScriptedDesignerText {
  std::wstring text;
  std::chrono::milliseconds delay{0};
};

struct BridgeScript {
  std::chrono::milliseconds loadDelay{0};
  std::vector<ScriptedDesignerText> designerTexts;
};

// Throws (a std::exception) when the document is malformed.
BridgeScript ParseBridgeScript(const standins::ScriptValue& document);

}  // namespace tollgatelink
