#include "platform/last_error.h"

namespace platform {
namespace {

thread_local uint32_t lastErrorCode = 0;

}  // namespace

uint32_t LastErrorCode() { return lastErrorCode; }

void SetLastErrorCode(uint32_t code) { lastErrorCode = code; }

}  // namespace platform
