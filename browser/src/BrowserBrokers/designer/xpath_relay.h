// Forwarding of element-path ("XPath") messages to the designer.
#pragma once

#include <string>

namespace browser_extensions {

// Runs on the main thread after the frame has been routed. Sends the whole
// frame text to the designer when the bridge is ready; a message that
// arrives earlier is dropped, not queued.
void RelayXPath(const char* text);

// Converts the zero-terminated UTF-8 frame text into `out` and writes it to
// the debug output in its reportable form (secrets hidden, length capped).
void CaptureXPath(const char* text, std::wstring& out);

}  // namespace browser_extensions
