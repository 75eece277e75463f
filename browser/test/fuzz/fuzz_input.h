// Helpers that turn fuzz bytes into the host's kinds of text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Two bytes per UTF-16 code unit, low byte first; a final odd byte is
// dropped. Every unit value can occur, lone surrogates and NUL included.
inline std::wstring UnitsFromBytes(const uint8_t* data, size_t size) {
  std::wstring units;
  for (size_t i = 0; i + 1 < size; i += 2)
    units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  return units;
}

inline std::string BytesFrom(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}
