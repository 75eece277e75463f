#include "channel/binary_streams.h"

#include "platform/standard_streams.h"

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
