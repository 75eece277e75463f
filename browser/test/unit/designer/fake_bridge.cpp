// A small designer bridge library for tests: the three exports the host
// looks up, recording what they are given, and one more through which a
// test reads the record.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "designer/bridge_exports.h"

namespace {

constexpr uint64_t kToken = 0x1122334455667788ull;

std::mutex g_mutex;
std::vector<std::wstring> g_record;  // one entry per call, in order
unsigned char g_instance[kBridgeTokenOffset + sizeof(uint64_t)];

}  // namespace

extern "C" {

void* GetInstance(DesignerTextFunction onDesignerText) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_record.push_back(L"instance for " +
                     std::to_wstring(reinterpret_cast<uintptr_t>(onDesignerText)));
  std::memcpy(g_instance + kBridgeTokenOffset, &kToken, sizeof(kToken));
  return g_instance;
}

void CreateThreadBroker(std::wstring brokerName, std::wstring windowName) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_record.push_back(L"broker " + brokerName + L" " + windowName);
}

void SendMessageToSpindlecraft(const wchar_t* text, uint64_t token) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_record.push_back(std::wstring(text) + L"|" + std::to_wstring(token));
}

// Hands out the record and starts a new one.
void FakeBridgeTakeRecord(std::vector<std::wstring>* record) {
  std::lock_guard<std::mutex> lock(g_mutex);
  record->swap(g_record);
  g_record.clear();
}

}  // extern "C"
