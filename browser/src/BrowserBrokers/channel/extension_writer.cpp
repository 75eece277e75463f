#include "channel/extension_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>

#include "channel/extension_output.h"
#include "messages/json_escape.h"
#include "messages/text_conversion.h"
#include "platform/debug_output.h"
#include "platform/standard_streams.h"
#include "protection/protected_text.h"

namespace {

enum class DebugLine { kWrite, kOmit };

constexpr std::size_t kHeaderBytes = 4;

std::size_t outboundBodyLimit = kMaxOutboundBodyBytes;

// One whole frame in one buffer: the 4-byte little-endian length, then the
// body, a quotation mark, the escaped UTF-8 text up to its first NUL, and a
// quotation mark. Built in one allocation: the text is converted into the
// tail of the buffer and escaped forward in place, so the frame leaves in
// one write.
class Frame {
 public:
  explicit Frame(const std::wstring& text) {
    const std::size_t units = std::min(text.find(L'\0'), text.size());
    const wchar_t* unitsBegin = text.data();
    // Escaping touches only ASCII, which is one byte per unit either way,
    // so its growth is counted on the wide text.
    std::size_t growth = 0;
    for (std::size_t i = 0; i < units; ++i) {
      const auto unit = static_cast<std::uint32_t>(unitsBegin[i]);
      if (unit < 0x80) growth += EscapeGrowth(unit);
    }
    const std::size_t utf8Length = Utf8Length(unitsBegin, units);
    bodySize_ = utf8Length + growth + 2;
    if (bodySize_ > outboundBodyLimit) return;

    bytes_.reset(new char[kHeaderBytes + bodySize_]);
    char* body = bytes_.get() + kHeaderBytes;
    char* converted = body + 1 + growth;
    EncodeUtf8Into(unitsBegin, units, converted, utf8Length);
    body[0] = '"';
    EscapeJsonBytes(converted, utf8Length, body + 1);
    body[bodySize_ - 1] = '"';
    const auto length = static_cast<std::uint32_t>(bodySize_);
    for (std::size_t i = 0; i < kHeaderBytes; ++i) {
      bytes_[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    }
  }

  // False when the body would exceed the outbound limit; nothing is built.
  bool fits() const { return bytes_ != nullptr; }
  std::size_t bodySize() const { return bodySize_; }
  const char* data() const { return bytes_.get(); }
  std::size_t size() const { return kHeaderBytes + bodySize_; }

 private:
  std::size_t bodySize_ = 0;
  std::unique_ptr<char[]> bytes_;
};

void ReportDroppedFrame(std::size_t bodySize) {
  platform::OutputDebugLineW(L"Message to Chrome Extension dropped: " +
                             std::to_wstring(bodySize) +
                             L" bytes exceed the " +
                             std::to_wstring(outboundBodyLimit) +
                             L"-byte limit");
}

// The frame is lost when the write fails (the browser has stopped reading);
// the host reads on, so later messages still reach the agent.
void ReportFailedWrite(uint32_t error) {
  platform::OutputDebugLineW(L"Message to Chrome Extension dropped: write failed: " +
                             std::to_wstring(error));
}

void WriteFrame(const std::wstring& text, DebugLine debugLine) {
  const Frame frame(text);
  if (!frame.fits()) {
    ReportDroppedFrame(frame.bodySize());
    return;
  }

  uint32_t error = 0;
  bool written = false;
  {
    std::lock_guard<std::mutex> lock(OutputMutex());
    if (debugLine == DebugLine::kWrite) {
      platform::OutputDebugLineW(
          L"Message Sent to Chrome Extension Message Written");
    }
    // The write goes on through short writes and signals until the frame
    // is whole.
    written = platform::WriteStream(ExtensionOutput(), frame.data(), frame.size(), &error);
  }
  if (!written) ReportFailedWrite(error);
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

void SetOutboundBodyLimitForTesting(std::size_t bytes) {
  outboundBodyLimit = bytes == 0 ? kMaxOutboundBodyBytes : bytes;
}

bool CloseExtensionOutput(std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!OutputMutex().try_lock()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;  // never unlocked: the process is ending
}
