// UTF-8 <-> UTF-16 for the Windows halves of the tool, through the host's
// converter (its texts are paths and names, far below its size limit).
#pragma once

#include <string>

namespace registration {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace registration
