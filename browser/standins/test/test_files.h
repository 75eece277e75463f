// Files and texts the stand-in tests share.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// A path in the test's temporary folder, unique to this process and name;
// any file left there by an earlier run is removed.
std::string FreshTestFile(const std::string& name);

void WriteTextFile(const std::string& path, const std::string& text);

// The lines of a record file, each without its line feed.
std::vector<std::string> ReadLines(const std::string& path);

// Each line of a record file, parsed.
std::vector<nlohmann::json> ReadRecord(const std::string& path);

// Wide text (UTF-16 units) as UTF-8.
std::string Utf8(const std::wstring& text);
