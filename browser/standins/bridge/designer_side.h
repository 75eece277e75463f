// The stand-in's side of the designer: what it keeps between export calls
// and the texts it sends to the host.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "bridge/bridge_script.h"
#include "designer/bridge_exports.h"

namespace tollgatelink {

// The current script, or nothing when none is in force.
std::optional<BridgeScript> CurrentScript();

// Remembers the host's function for designer texts (from GetInstance).
void SetDesignerTextFunction(DesignerTextFunction function);

// Sends the script's designer texts from one library thread, in list
// order, each no sooner than its delay after `start`.
void SendScriptedTexts(const BridgeScript& script,
                       std::chrono::steady_clock::time_point start);

// Without a script, the designer acknowledges each element path from a
// library thread: {"type":"designerAck","received":<length in UTF-16 units>}.
void AcknowledgeElementPath(const std::wstring& elementPath);

}  // namespace tollgatelink
