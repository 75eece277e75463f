#include "agent/url_parts.h"

namespace harrowmere {
namespace {

std::wstring HostOfAuthority(const std::wstring& authority) {
  std::wstring host = authority.substr(authority.rfind(L'@') + 1);
  if (!host.empty() && host[0] == L'[')
    return host.substr(0, host.find(L']') + 1);  // IPv6 literal
  return host.substr(0, host.find(L':'));
}

}  // namespace

std::wstring LowerAscii(std::wstring text) {
  for (wchar_t& unit : text) {
    if (unit >= L'A' && unit <= L'Z')
      unit = static_cast<wchar_t>(unit - L'A' + L'a');
  }
  return text;
}

UrlParts SplitUrl(const std::wstring& url) {
  std::wstring rest = url;
  size_t scheme = rest.find(L"://");
  if (scheme != std::wstring::npos)
    rest = rest.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of(L"?#"));
  size_t pathStart = rest.find(L'/');
  UrlParts parts;
  parts.host = LowerAscii(HostOfAuthority(rest.substr(0, pathStart)));
  if (pathStart != std::wstring::npos)
    parts.path = LowerAscii(rest.substr(pathStart));
  return parts;
}

}  // namespace harrowmere
