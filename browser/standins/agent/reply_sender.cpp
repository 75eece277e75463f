#include "agent/reply_sender.h"

#include <chrono>
#include <thread>

#include "common/library_thread.h"
#include "protection/protected_text.h"

namespace harrowmere {

void SendReply(const ReplyCallback& reply, const std::wstring& text, bool protect) {
  reply(std::wstring(), protect ? ProtectData(text) : text);
}

void SendScriptedReplies(const ReplyCallback& reply,
                         const std::vector<ScriptedReply>& replies) {
  auto start = std::chrono::steady_clock::now();
  std::vector<ScriptedReply> later;
  for (const ScriptedReply& scripted : replies) {
    if (scripted.delay.count() == 0)
      SendReply(reply, scripted.text, scripted.protect);
    else
      later.push_back(scripted);
  }
  if (later.empty())
    return;
  standins::RunOnLibraryThread([reply, later = std::move(later), start] {
    for (const ScriptedReply& scripted : later) {
      std::this_thread::sleep_until(start + scripted.delay);
      SendReply(reply, scripted.text, scripted.protect);
    }
  });
}

}  // namespace harrowmere
