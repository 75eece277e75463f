// The designer bridge thread: loads the bridge library, hands it the
// function through which the designer's text reaches the extension, and
// publishes what the element-path relay needs.
#pragma once

#include <string>

namespace browser_extensions {

// The body of the bridge thread; loads "Tollgatelink.dll". Returns when the
// library's CreateThreadBroker returns, or at once when the library can't
// be loaded.
void RunDesignerBridge();

// The same with another library name, so tests can load a fake bridge.
void RunDesignerBridgeWithLibrary(const std::wstring& dllName);

}  // namespace browser_extensions
