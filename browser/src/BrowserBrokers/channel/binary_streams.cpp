#include "channel/binary_streams.h"

#include <string>

#include "platform/debug_output.h"
#include "platform/standard_streams.h"

bool PrepareChannelStreams(ChannelStreams& channel) {
  const platform::StandardStreamsTakeOver takeOver = platform::TakeOverStandardStreams();
  const bool copied = takeOver.duplicateError == 0;
  channel = copied ? ChannelStreams{takeOver.input, takeOver.output} : ChannelStreams{stdin, stdout};
  const bool prepared =
      SetBinaryUnbuffered(channel.input) == 0 && SetBinaryUnbuffered(channel.output) == 0;
  // Reported only now: the first debug line may open a descriptor, which
  // would take the place of a closed standard one and pass its check.
  if (!copied) {
    platform::OutputDebugLineW(L"Standard streams could not be duplicated: " +
                               std::to_wstring(takeOver.duplicateError));
  }
  if (takeOver.redirectError != 0) {
    platform::OutputDebugLineW(L"Standard streams could not be redirected: " +
                               std::to_wstring(takeOver.redirectError));
  }
  return prepared;
}

int SetBinaryUnbuffered(FILE* stream) {
  if (platform::SetBinaryMode(stream) != 0) {
    perror("Cannot set binary mode");
    return -1;
  }
  const int result = setvbuf(stream, nullptr, _IONBF, 0);
  if (result != 0) {
    perror("Cannot set zero buffer");
    return result;
  }
  return 0;
}
