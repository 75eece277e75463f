// OutputDebugStringW raises DBG_PRINTEXCEPTION_WIDE_C and OutputDebugStringA
// DBG_PRINTEXCEPTION_C for a debugger to see; a vectored exception handler
// sees them first. Wine raises only the narrow one, with the wide text
// converted to the ANSI code page.
#include "support/debug_line_capture.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <cwchar>
#include <mutex>

#include "support/captured_lines.h"

namespace {

constexpr DWORD kDebugPrintNarrow = 0x40010006;  // DBG_PRINTEXCEPTION_C
constexpr DWORD kDebugPrintWide = 0x4001000A;    // DBG_PRINTEXCEPTION_WIDE_C

// Shared with the handler, which may run on any thread at any time; never
// destroyed, so a late line can't reach a dead object.
struct CaptureTarget {
  std::mutex mutex;
  CapturedLines* lines = nullptr;
  std::atomic<bool> wideSeen{false};
};

CaptureTarget& Target() {
  static CaptureTarget* target = new CaptureTarget;
  return *target;
}

std::string Utf8FromWide(const wchar_t* text, int length) {
  if (length <= 0) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string utf8(size, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text, length, &utf8[0], size, nullptr, nullptr);
  return utf8;
}

// Narrow debug text is in the ANSI code page.
std::string Utf8FromAnsi(const char* text, int length) {
  if (length <= 0) return {};
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0), L'\0');
  if (!wide.empty())
    MultiByteToWideChar(CP_ACP, 0, text, length, &wide[0], static_cast<int>(wide.size()));
  return Utf8FromWide(wide.data(), static_cast<int>(wide.size()));
}

// The exception's first argument is the text's length with its terminator,
// the second its address.
LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  bool wide = record->ExceptionCode == kDebugPrintWide;
  if ((!wide && record->ExceptionCode != kDebugPrintNarrow) || record->NumberParameters < 2)
    return EXCEPTION_CONTINUE_SEARCH;
  CaptureTarget& target = Target();
  if (wide) target.wideSeen = true;
  std::lock_guard<std::mutex> lock(target.mutex);
  if (target.lines == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  size_t limit = static_cast<size_t>(record->ExceptionInformation[0]);
  const void* text = reinterpret_cast<const void*>(record->ExceptionInformation[1]);
  if (text == nullptr) return EXCEPTION_CONTINUE_SEARCH;
  std::string line =
      wide ? Utf8FromWide(static_cast<const wchar_t*>(text),
                          static_cast<int>(wcsnlen(static_cast<const wchar_t*>(text), limit)))
           : Utf8FromAnsi(static_cast<const char*>(text),
                          static_cast<int>(strnlen(static_cast<const char*>(text), limit)));
  target.lines->Add(std::move(line));
  // Handled: OutputDebugStringW then does not repeat the line narrow.
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Installs the handler once for the rest of the process, and learns whether
// wide lines arrive as such by sending one before any capture listens.
bool InstallHandler() {
  AddVectoredExceptionHandler(1, OnException);
  OutputDebugStringW(L"DebugLineCapture: checking for wide debug text");
  return Target().wideSeen.load();
}

}  // namespace

class DebugLineCapture::Receiver {
 public:
  explicit Receiver(CapturedLines* lines) {
    static const bool wideSeen = InstallHandler();
    wideSeen_ = wideSeen;
    std::lock_guard<std::mutex> lock(Target().mutex);
    Target().lines = lines;
  }
  ~Receiver() {
    std::lock_guard<std::mutex> lock(Target().mutex);
    Target().lines = nullptr;
  }
  bool wideSeen() const { return wideSeen_; }

 private:
  bool wideSeen_ = false;
};

DebugLineCapture::DebugLineCapture()
    : lines_(std::make_unique<CapturedLines>()),
      receiver_(std::make_unique<Receiver>(lines_.get())) {}

DebugLineCapture::~DebugLineCapture() = default;

bool DebugLineCapture::Available() const { return true; }

bool DebugLineCapture::CarriesAllCharacters() const { return receiver_->wideSeen(); }
