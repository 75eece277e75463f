#include "channel/extension_writer.h"

#include <cstdint>
#include <cstdio>
#include <thread>

#include "channel/extension_output.h"
#include "channel/json_string_escape.h"
#include "channel/text_conversion.h"
#include "platform/debug_output.h"
#include "platform/standard_streams.h"
#include "protection/protected_text.h"

namespace {

enum class DebugLine { kWrite, kOmit };

// The frame body: the UTF-8 text up to its first zero byte, escaped and
// quoted.
std::string MakeFrameBody(const std::wstring& text) {
  std::string utf8 = WideToUtf8(text);
  const std::size_t nul = utf8.find('\0');
  if (nul != std::string::npos) utf8.resize(nul);
  std::string body;
  body.reserve(utf8.size() + 2);
  body += '"';
  body += EscapeForJsonString(utf8);
  body += '"';
  return body;
}

void ReportDroppedFrame(std::size_t bodySize) {
  platform::OutputDebugLineW(L"Message to Chrome Extension dropped: " +
                             std::to_wstring(bodySize) +
                             L" bytes exceed the 1048576-byte limit");
}

void WriteFrame(const std::wstring& text, DebugLine debugLine) {
  const std::string body = MakeFrameBody(text);
  if (body.size() > kMaxOutboundBodyBytes) {
    ReportDroppedFrame(body.size());
    return;
  }
  const auto length = static_cast<uint32_t>(body.size());
  const unsigned char header[4] = {
      static_cast<unsigned char>(length & 0xFF),
      static_cast<unsigned char>((length >> 8) & 0xFF),
      static_cast<unsigned char>((length >> 16) & 0xFF),
      static_cast<unsigned char>((length >> 24) & 0xFF)};

  std::lock_guard<std::mutex> lock(OutputMutex());
  if (debugLine == DebugLine::kWrite) {
    platform::OutputDebugLineW(
        L"Message Sent to Chrome Extension Message Written");
  }
  FILE* output = ExtensionOutput();
  // Each write goes on through short writes and signals until the frame is
  // whole. A failed write (the browser has gone) loses the frame; nobody is
  // left to tell.
  if (platform::WriteStream(output, header, sizeof(header))) {
    platform::WriteStream(output, body.data(), body.size());
  }
}

}  // namespace

std::mutex& OutputMutex() {
  static std::mutex* const mutex = new std::mutex;
  return *mutex;
}

void WriteExtensionMessage(const std::wstring& text) {
  WriteFrame(text, DebugLine::kWrite);
}

void WriteProtectedExtensionMessage(const std::wstring& protectedText) {
  WriteFrame(UnProtectData(protectedText), DebugLine::kOmit);
}

void OnDesignerText(const std::wstring& /*first*/, const std::wstring& second) {
  WriteExtensionMessage(second);
}

bool CloseExtensionOutput(std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!OutputMutex().try_lock()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;  // never unlocked: the process is ending
}
