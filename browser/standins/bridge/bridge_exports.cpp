// The three exports of the stand-in designer bridge, with C linkage. Each
// call is recorded first (TOLLGATELINK_RECORD).
#include "designer/bridge_exports.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <type_traits>

#include "bridge/bridge_instance.h"
#include "bridge/designer_side.h"
#include "common/record_file.h"

namespace {

constexpr char kRecordVariable[] = "TOLLGATELINK_RECORD";

template <typename BuildLine>
void Record(BuildLine buildLine) {
  standins::RecordCall(kRecordVariable, buildLine);
}

// "0x" and 16 lower-case hex digits.
std::wstring TokenText(uint64_t token) {
  char digits[19];
  std::snprintf(digits, sizeof digits, "0x%016llx",
                static_cast<unsigned long long>(token));
  return std::wstring(digits, digits + 18);
}

}  // namespace

extern "C" {

void* GetInstance(DesignerTextFunction onDesignerText) {
  auto called = std::chrono::steady_clock::now();
  Record([&] { return standins::RecordLine("GetInstance").Callback(); });
  tollgatelink::SetDesignerTextFunction(onDesignerText);
  if (auto script = tollgatelink::CurrentScript()) {
    tollgatelink::SendScriptedTexts(*script, called);
    std::this_thread::sleep_until(called + script->loadDelay);
  }
  return tollgatelink::Instance();
}

void CreateThreadBroker(std::wstring brokerName, std::wstring windowName) {
  Record([&] { return standins::RecordLine("CreateThreadBroker").Text(brokerName).Text(windowName); });
}

void SendMessageToSpindlecraft(const wchar_t* text, uint64_t token) {
  std::wstring elementPath = text ? text : L"";
  Record([&] { return standins::RecordLine("SendMessageToSpindlecraft")
             .Text(elementPath)
             .Text(TokenText(token)); });
  if (!tollgatelink::CurrentScript())
    tollgatelink::AcknowledgeElementPath(elementPath);
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&GetInstance), GetInstanceFunction>);
static_assert(std::is_same_v<decltype(&CreateThreadBroker), CreateThreadBrokerFunction>);
static_assert(std::is_same_v<decltype(&SendMessageToSpindlecraft),
                             SendMessageToSpindlecraftFunction>);
