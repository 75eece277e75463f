// The host's entry point: prepares the standard streams, starts the
// handler, the designer bridge thread and the log-level watcher, and serves
// the extension until its input ends. The one place that knows every
// subsystem and wires them together: frames from the read loop go to the
// handler and, for element paths, to the designer relay; the frame writers
// are the handler's reply callback and the designer's text function.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "channel/binary_streams.h"
#include "channel/extension_output.h"
#include "channel/extension_writer.h"
#include "channel/read_loop.h"
#include "channel/startup_check.h"
#include "designer/designer_bridge.h"
#include "designer/xpath_relay.h"
#include "handling/message_handler.h"
#include "platform/debug_output.h"
#include "platform/host_entry.h"
#include "platform/process_privacy.h"

namespace {

using browser_extensions::CMessageHandler;

constexpr std::chrono::milliseconds kExitWritePatience{1000};

// The host runs on without the designer when its thread can't be had.
void StartDesignerBridgeThread() {
  try {
    std::thread(browser_extensions::RunDesignerBridge, &OnDesignerText).detach();
  } catch (const std::system_error&) {
    platform::OutputDebugLineW(L"Designer bridge thread could not be started");
  }
}

// One frame's text: routed by the handler, which also tells its type; an
// element path ("XPath", exactly) then goes to the designer too.
void ReceiveFrame(CMessageHandler& handler, std::wstring& type, const char* text) {
  // A message must never inherit the type of the one before it, also when
  // the one before ran out of memory half-way.
  type.clear();
  handler.ProcessMessage(text, type);
  if (type == L"XPath") browser_extensions::RelayXPath(text);
}

}  // namespace

int HostMain() {
  // Before any message, and before the libraries' threads hold anything.
  platform::KeepMemoryPrivate();
  if (StartupCheckRequested()) return RunStartupCheck();
  // First of all, while no thread runs and the designer bridge isn't loaded.
  ChannelStreams channel{};
  if (!PrepareChannelStreams(channel)) {
    platform::OutputDebugLineW(L"Set binary mode failed");
    return -1;
  }
  SetExtensionOutput(channel.output);

  // Everything meant for the extension arrives here as protected text.
  auto handler = std::make_unique<CMessageHandler>(
      [](const std::wstring&, const std::wstring& text) {
        WriteProtectedExtensionMessage(text);
      });
  StartDesignerBridgeThread();
  handler->Start();
  platform::OutputDebugLineW(L"Corvantilhub Activated");

  std::wstring type;
  browser_extensions::RunReadLoop(channel.input, [&handler, &type](const char* text) {
    ReceiveFrame(*handler, type, text);
  });

  platform::OutputDebugLineW(L"Going to exit");
  // Stops the watcher; nothing is joined.
  handler.reset();
  // Agent, watcher and designer threads may still be writing; let the frame
  // under way finish so the exit never leaves half a frame behind.
  // A writer stuck on a full pipe still holds standard output; the
  // runtime's exit would wait for it while flushing, so leave at once.
  if (!CloseExtensionOutput(kExitWritePatience)) std::_Exit(0);
  return 0;
}
