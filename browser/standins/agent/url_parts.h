// The parts of a page URL that the stand-in agent looks at.
#pragma once

#include <string>

namespace harrowmere {

struct UrlParts {
  std::wstring host;  // lower case, without user info and port
  std::wstring path;  // lower case, without query and fragment
};

UrlParts SplitUrl(const std::wstring& url);

// ASCII letters to lower case; other units unchanged.
std::wstring LowerAscii(std::wstring text);

}  // namespace harrowmere
