#include "test/test_files.h"

#include <cstdio>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "platform/text_codec.h"

std::string FreshTestFile(const std::string& name) {
  // ctest runs test cases as separate processes, possibly side by side.
  static const std::string prefix = "standins-" + std::to_string(std::random_device()());
  std::string path = ::testing::TempDir() + prefix + "-" + name;
  std::remove(path.c_str());
  return path;
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);)
    lines.push_back(line);
  return lines;
}

std::vector<nlohmann::json> ReadRecord(const std::string& path) {
  std::vector<nlohmann::json> calls;
  for (const std::string& line : ReadLines(path))
    calls.push_back(nlohmann::json::parse(line));
  return calls;
}

std::string Utf8(const std::wstring& text) {
  int length = static_cast<int>(text.size());
  int needed = platform::Utf16ToUtf8(text.data(), length, nullptr, 0);
  std::string narrow(static_cast<size_t>(needed), '\0');
  if (needed > 0)
    platform::Utf16ToUtf8(text.data(), length, &narrow[0], needed);
  return narrow;
}
