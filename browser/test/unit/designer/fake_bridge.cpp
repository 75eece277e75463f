// A tiny designer bridge library for tests. It exports the three functions
// the host looks up, records what the host sends, and offers a few more
// exports through which a test reads the record or makes the "designer"
// speak to the extension.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "designer/bridge_exports.h"

namespace {

constexpr uint64_t kFakeToken = 0x1122334455667788ull;

struct Sent {
  std::wstring text;
  uint64_t token;
};

std::mutex g_mutex;
DesignerTextFunction g_onDesignerText = nullptr;
std::vector<std::wstring> g_brokerNames;
std::vector<Sent> g_sent;
unsigned char g_instanceRecord[kBridgeTokenOffset + sizeof(uint64_t)];

}  // namespace

extern "C" {

void* GetInstance(DesignerTextFunction onDesignerText) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_onDesignerText = onDesignerText;
  std::memset(g_instanceRecord, 0xAB, sizeof(g_instanceRecord));
  std::memcpy(g_instanceRecord + kBridgeTokenOffset, &kFakeToken, sizeof(kFakeToken));
  return g_instanceRecord;
}

void CreateThreadBroker(std::wstring brokerName, std::wstring windowName) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_brokerNames = {brokerName, windowName};
}

void SendMessageToSpindlecraft(const wchar_t* text, uint64_t token) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_sent.push_back({text, token});
}

// Test-only exports.
void FakeBridgeReset() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_brokerNames.clear();
  g_sent.clear();
}

int FakeBridgeSentCount() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return static_cast<int>(g_sent.size());
}

// Copies the index-th sent message; false when there is none.
bool FakeBridgeSentAt(int index, std::wstring* text, uint64_t* token) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (index < 0 || static_cast<size_t>(index) >= g_sent.size()) return false;
  *text = g_sent[index].text;
  *token = g_sent[index].token;
  return true;
}

void FakeBridgeBrokerNames(std::vector<std::wstring>* names) {
  std::lock_guard<std::mutex> lock(g_mutex);
  *names = g_brokerNames;
}

// Calls the function the host handed to GetInstance, as the designer would.
void FakeBridgeSpeak(const wchar_t* text) {
  DesignerTextFunction onText;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    onText = g_onDesignerText;
  }
  if (onText != nullptr) onText(L"ignored", text);
}

}  // extern "C"
