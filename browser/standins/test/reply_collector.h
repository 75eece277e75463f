// Collects the calls that a library makes on the callbacks a test handed
// it, from any thread. The callbacks share the collection, so a library
// thread that calls after the test has ended still finds it alive.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct CollectedCall {
  std::wstring first;
  std::wstring second;
  std::thread::id thread;
};

class ReplyCollector {
 public:
  ReplyCollector() : state_(std::make_shared<State>()) {}

  // A callback in the shape of the agent's ReplyCallback.
  auto Callback() const {
    return [state = state_](const std::wstring& first, const std::wstring& second) {
      std::lock_guard<std::mutex> lock(state->mutex);
      state->calls.push_back({first, second, std::this_thread::get_id()});
      state->arrived.notify_all();
    };
  }

  bool WaitForCount(std::size_t count,
                    std::chrono::milliseconds deadline = std::chrono::seconds(20)) const {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->arrived.wait_for(lock, deadline,
                                    [&] { return state_->calls.size() >= count; });
  }

  void Clear() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->calls.clear();
  }

  std::vector<CollectedCall> Calls() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->calls;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<CollectedCall> calls;
  };
  std::shared_ptr<State> state_;
};
