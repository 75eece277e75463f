// The exports of the designer bridge library (Tollgatelink), looked up by
// these exact names at run time.
#pragma once

#include <cstdint>
#include <string>

// Receives the designer's text for the extension; called from any thread of
// the library. The first argument is ignored.
using DesignerTextFunction = void (*)(const std::wstring& first,
                                      const std::wstring& second);

extern "C" {
// Returns the library's instance record; the host reads the 8-byte value at
// byte offset kBridgeTokenOffset of it at each relay.
using GetInstanceFunction = void* (*)(DesignerTextFunction onDesignerText);
// Both names are passed by value; the library keeps its own copies.
using CreateThreadBrokerFunction = void (*)(std::wstring brokerName,
                                            std::wstring windowName);
// `text` is zero-terminated UTF-16; `token` is the instance record's value.
using SendMessageToSpindlecraftFunction = void (*)(const wchar_t* text,
                                                   uint64_t token);
}

inline constexpr char kGetInstanceExport[] = "GetInstance";
inline constexpr char kCreateThreadBrokerExport[] = "CreateThreadBroker";
inline constexpr char kSendMessageToSpindlecraftExport[] = "SendMessageToSpindlecraft";
inline constexpr std::size_t kBridgeTokenOffset = 40;
