#include "common/library_thread.h"

#include <thread>

namespace standins {

void RunOnLibraryThread(std::function<void()> task) {
  std::thread(std::move(task)).detach();
}

}  // namespace standins
