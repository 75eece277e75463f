#include "messages/page_response_credential_payloads.h"

#include <algorithm>

#include "messages/json_members.h"

namespace browser_extensions {
namespace {

wchar_t LowerAscii(wchar_t unit) {
  return (unit >= L'A' && unit <= L'Z') ? unit - L'A' + L'a' : unit;
}

bool EqualsIgnoringAsciiCase(const std::wstring& text,
                             const std::wstring& lowerCase) {
  return text.size() == lowerCase.size() &&
         std::equal(text.begin(), text.end(), lowerCase.begin(),
                    [](wchar_t a, wchar_t b) { return LowerAscii(a) == b; });
}

}  // namespace

void CDocumentCompleteMessage::ToJson(wmObject& object) {
  object[L"url"] = url;
  object[L"bTopLvlDoc"] = bTopLvlDoc ? L"true" : L"false";
}

void CDocumentCompleteMessage::FromJson(const wmObject& object) {
  url = GetStringMember(object, L"url");
  bTopLvlDoc =
      EqualsIgnoringAsciiCase(GetStringMember(object, L"bTopLvlDoc"), L"true");
}

CResponseMessage::CResponseMessage(const std::wstring& requestID)
    : requestID(requestID) {}

void CResponseMessage::ToJson(wmObject& object) {
  for (const auto& [name, text] : values) object[name] = text;
}

void CResponseMessage::FromJson(const wmObject& object) {
  for (const auto& [name, member] : object) values[name] = member.get_str();
}

void CBasicAuthMessage::ToJson(wmObject&) {}

void CBasicAuthMessage::FromJson(const wmObject& object) {
  host = GetStringMember(object, L"host");
}

void CSaveCredentialsMessage::ToJson(wmObject&) {}

void CSaveCredentialsMessage::FromJson(const wmObject& object) {
  host = GetStringMember(object, L"host");
  username = GetStringMember(object, L"username");
  password = GetStringMember(object, L"password");
}

}  // namespace browser_extensions
