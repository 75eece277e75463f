// UTF-8 <-> UTF-16 for the Windows halves of the tool.
#pragma once

#include <string>

namespace registration {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace registration
