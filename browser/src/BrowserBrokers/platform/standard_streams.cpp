#include "platform/standard_streams.h"

#include "platform/standard_streams_halves.h"

namespace platform {

StandardStreamsTakeOver TakeOverStandardStreams() {
  StandardStreamsTakeOver result;
  SurviveClosedOutput();
  result.input = PrivateStandardCopy(StandardStream::kInput, &result.duplicateError);
  if (result.input == nullptr) return result;
  result.output = PrivateStandardCopy(StandardStream::kOutput, &result.duplicateError);
  if (result.output == nullptr) {
    std::fclose(result.input);
    result.input = nullptr;
    return result;
  }
  result.redirectError = RedirectStandardDescriptors();
  // Stray text then reaches standard error at once, not at exit.
  setvbuf(stdout, nullptr, _IONBF, 0);
  return result;
}

}  // namespace platform
