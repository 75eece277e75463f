// Forwarding of element-path ("XPath") messages to the designer.
#pragma once

namespace browser_extensions {

// Runs on the main thread after the frame has been routed. Sends the whole
// frame text to the designer when the bridge is ready; a message that
// arrives earlier is dropped, not queued.
void RelayXPath(const char* text);

}  // namespace browser_extensions
