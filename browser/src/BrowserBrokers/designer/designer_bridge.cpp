#include "designer/designer_bridge.h"

#include "designer/bridge_state.h"
#include "platform/debug_output.h"
#include "platform/last_error.h"

namespace browser_extensions {
namespace {

constexpr wchar_t kBridgeLibraryName[] = L"Tollgatelink.dll";
constexpr wchar_t kBrokerName[] = L"Corvantilhub";

template <typename Function>
Function LookUp(platform::LibraryHandle library, const char* exportName) {
  return reinterpret_cast<Function>(platform::FindExport(library, exportName));
}

}  // namespace

void RunDesignerBridge(DesignerTextFunction onDesignerText) {
  RunDesignerBridgeWithLibrary(kBridgeLibraryName, onDesignerText);
}

// Runs on the bridge thread.
void RunDesignerBridgeWithLibrary(const std::wstring& dllName,
                                  DesignerTextFunction onDesignerText) {
  platform::LibraryHandle library = platform::LoadLibraryByName(dllName);
  if (library == nullptr) {
    const uint32_t error = platform::LastErrorCode();
    platform::OutputDebugLineW(L"Tollgatelink LoadLibrary failed: " +
                               std::to_wstring(error));
    return;
  }
  platform::OutputDebugLineW(L"Tollgatelink Dll Loaded");

  // Filled completely before it is published, and never changed after.
  auto* state = new BridgeState;
  state->library = library;
  state->getInstance = LookUp<GetInstanceFunction>(library, kGetInstanceExport);
  if (state->getInstance != nullptr)
    state->instance = state->getInstance(onDesignerText);
  state->createThreadBroker =
      LookUp<CreateThreadBrokerFunction>(library, kCreateThreadBrokerExport);
  state->sendMessageToSpindlecraft = LookUp<SendMessageToSpindlecraftFunction>(
      library, kSendMessageToSpindlecraftExport);
  PublishBridgeState(state);

  platform::OutputDebugLineW(L"Corvantilhub window created");
  if (state->createThreadBroker != nullptr)
    state->createThreadBroker(kBrokerName, kBrokerName);
}

}  // namespace browser_extensions
