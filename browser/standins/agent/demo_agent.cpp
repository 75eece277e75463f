#include "agent/demo_agent.h"

#include <chrono>
#include <optional>
#include <thread>

#include "agent/agent_state.h"
#include "agent/reply_sender.h"
#include "agent/url_parts.h"
#include "common/json_text.h"
#include "common/library_thread.h"

namespace harrowmere {
namespace {

// Long enough for the answer to come visibly later than the call.
constexpr std::chrono::milliseconds kSignInAnswerDelay{300};

// Builds a JSON object text member by member.
class MessageText {
 public:
  MessageText() = default;
  explicit MessageText(const std::wstring& type) { Member(L"type", type); }

  MessageText& Member(const std::wstring& name, const std::wstring& value) {
    Name(name);
    standins::AppendJsonString(text_, value);
    return *this;
  }

  MessageText& RawMember(const std::wstring& name, const std::wstring& json) {
    Name(name);
    text_ += json;
    return *this;
  }

  std::wstring Finish() const { return text_ + L"}"; }

 private:
  void Name(const std::wstring& name) {
    text_ += text_.empty() ? L"{" : L",";
    standins::AppendJsonString(text_, name);
    text_ += L':';
  }

  std::wstring text_;
};

std::wstring FormField(const std::wstring& name, const std::wstring& value) {
  return MessageText().Member(L"name", name).Member(L"value", value).Finish();
}

std::wstring FormFields(const std::optional<Credentials>& credentials) {
  if (!credentials)
    return L"[]";
  return L"[" + FormField(L"username", credentials->username) + L"," +
         FormField(L"password", credentials->password) + L"]";
}

bool IsSignInPage(const UrlParts& page) {
  return page.path.find(L"/login") != std::wstring::npos ||
         page.path.find(L"/signin") != std::wstring::npos ||
         SavedCredentials(page.host).has_value();
}

}  // namespace

void DemoAnswerBasicAuth(const std::wstring& tabId, const std::wstring& host,
                         const ReplyCallback& reply) {
  std::optional<Credentials> credentials = SavedCredentials(host);
  if (!credentials) {
    SendReply(reply,
              MessageText(L"basicAuthUnknown").Member(L"tabID", tabId).Member(L"host", host).Finish(),
              true);
    return;
  }
  SendReply(reply,
            MessageText(L"basicAuthCredentials")
                .Member(L"tabID", tabId)
                .Member(L"host", host)
                .Member(L"username", credentials->username)
                .Member(L"password", credentials->password)
                .Finish(),
            true);
}

void DemoAnswerDocumentComplete(const std::wstring& tabId, const std::wstring& url,
                                bool topLevelDocument, const ReplyCallback& reply) {
  UrlParts page = SplitUrl(url);
  if (!topLevelDocument || !IsSignInPage(page))
    return;
  auto due = std::chrono::steady_clock::now() + kSignInAnswerDelay;
  standins::RunOnLibraryThread([tabId, url, host = page.host, reply, due] {
    std::this_thread::sleep_until(due);
    SendReply(reply,
              MessageText(L"fillForm")
                  .Member(L"tabID", tabId)
                  .Member(L"url", url)
                  .RawMember(L"fields", FormFields(SavedCredentials(host)))
                  .Finish(),
              true);
  });
}

}  // namespace harrowmere
