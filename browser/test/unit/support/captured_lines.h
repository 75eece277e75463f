// The store behind DebugLineCapture: lines arrive from a receiving thread
// and are waited for by the test's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CapturedLines {
 public:
  void Add(std::string line);
  std::vector<std::string> Snapshot() const;
  void Clear();
  // True once `done` holds for the lines, false when the deadline passes.
  bool WaitUntil(const std::function<bool(const std::vector<std::string>&)>& done,
                 std::chrono::milliseconds deadline) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> lines_;
};
