#include "support/captured_lines.h"

#include <utility>

void CapturedLines::Add(std::string line) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(std::move(line));
  }
  changed_.notify_all();
}

std::vector<std::string> CapturedLines::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

void CapturedLines::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

bool CapturedLines::WaitUntil(
    const std::function<bool(const std::vector<std::string>&)>& done,
    std::chrono::milliseconds deadline) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, deadline, [&] { return done(lines_); });
}
