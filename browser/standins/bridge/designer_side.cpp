#include "bridge/designer_side.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "bridge/bridge_instance.h"
#include "common/library_thread.h"
#include "common/script_cache.h"

namespace tollgatelink {
namespace {

struct DesignerSide {
  std::mutex mutex;  // guards the script
  standins::ScriptCache<BridgeScript, ParseBridgeScript> script{"Tollgatelink",
                                                                "TOLLGATELINK_SCRIPT"};
  std::atomic<DesignerTextFunction> designerText{nullptr};
};

// Never destroyed: library threads may still run while the process exits.
DesignerSide& Side() {
  static auto* side = new DesignerSide;
  return *side;
}

void SendToHost(const std::wstring& text) {
  if (DesignerTextFunction send = Side().designerText.load())
    send(std::wstring(), text);
}

}  // namespace

BridgeInstance* Instance() {
  static auto* instance = new BridgeInstance;
  return instance;
}

std::optional<BridgeScript> CurrentScript() {
  DesignerSide& side = Side();
  std::lock_guard<std::mutex> lock(side.mutex);
  const BridgeScript* script = side.script.Current();
  if (!script)
    return std::nullopt;
  return *script;
}

void SetDesignerTextFunction(DesignerTextFunction function) {
  Side().designerText.store(function);
}

void SendScriptedTexts(const BridgeScript& script,
                       std::chrono::steady_clock::time_point start) {
  if (script.designerTexts.empty())
    return;
  standins::RunOnLibraryThread([texts = script.designerTexts, start] {
    for (const ScriptedDesignerText& scripted : texts) {
      std::this_thread::sleep_until(start + scripted.delay);
      SendToHost(scripted.text);
    }
  });
}

void AcknowledgeElementPath(const std::wstring& elementPath) {
  std::wstring ack = L"{\"type\":\"designerAck\",\"received\":" +
                     std::to_wstring(elementPath.size()) + L"}";
  standins::RunOnLibraryThread([ack] { SendToHost(ack); });
}

}  // namespace tollgatelink
