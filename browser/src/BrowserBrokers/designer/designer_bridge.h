// The designer bridge thread: loads the bridge library, hands it the
// function through which the designer's text reaches the extension, and
// publishes what the element-path relay needs.
#pragma once

#include <string>

#include "designer/bridge_exports.h"

namespace browser_extensions {

// The body of the bridge thread; loads "Tollgatelink.dll" and hands it
// `onDesignerText`, the plain function through which the designer's text
// goes to the extension (the entry point gives the frame writer's). Returns
// when the library's CreateThreadBroker returns, or at once when the library
// can't be loaded.
void RunDesignerBridge(DesignerTextFunction onDesignerText);

// The same with another library name, so tests can load a fake bridge.
void RunDesignerBridgeWithLibrary(const std::wstring& dllName,
                                  DesignerTextFunction onDesignerText);

}  // namespace browser_extensions
