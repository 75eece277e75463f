#include "platform/standard_streams.h"
#include "platform/standard_streams_halves.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>

namespace platform {
namespace {

// ReadFile and WriteFile take a 32-bit count.
constexpr std::size_t kMaxTransferBytes = 1u << 30;

HANDLE StreamHandle(FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

bool Usable(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  SetLastError(NO_ERROR);
  return GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
}

// A private, non-inheritable copy of one standard handle, as a stream.
FILE* PrivateCopy(DWORD which, int flags, const char* mode, uint32_t* error) {
  const HANDLE original = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (original == nullptr || original == INVALID_HANDLE_VALUE) {
    *error = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  if (!DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    *error = GetLastError();
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(copy), flags | _O_BINARY);
  if (fd == -1) {
    *error = ERROR_TOO_MANY_OPEN_FILES;
    CloseHandle(copy);
    return nullptr;
  }
  FILE* stream = _fdopen(fd, mode);
  if (stream == nullptr) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    _close(fd);
  }
  return stream;
}

}  // namespace

FILE* PrivateStandardCopy(StandardStream which, uint32_t* error) {
  return which == StandardStream::kInput ? PrivateCopy(STD_INPUT_HANDLE, _O_RDONLY, "rb", error)
                                         : PrivateCopy(STD_OUTPUT_HANDLE, _O_WRONLY, "wb", error);
}

// Points CRT descriptor 0 and the standard input handle at the null device,
// descriptor 1 and the standard output handle at standard error (or the
// null device). A library with a CRT of its own, or one that writes to
// GetStdHandle, is caught by the handles. Returns 0, or the first error.
uint32_t RedirectStandardDescriptors() {
  const int nullInput = _open("NUL", _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  const int nullOutput = _open("NUL", _O_WRONLY | _O_BINARY | _O_NOINHERIT);
  uint32_t error = 0;
  if (nullInput == -1 || nullOutput == -1) {
    error = ERROR_FILE_NOT_FOUND;
  } else {
    const bool toError = Usable(reinterpret_cast<HANDLE>(_get_osfhandle(2)));
    if (_dup2(nullInput, 0) != 0 || _dup2(toError ? 2 : nullOutput, 1) != 0) {
      error = ERROR_INVALID_HANDLE;
    } else if (!SetStdHandle(STD_INPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(0))) ||
               !SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)))) {
      error = GetLastError();
    }
  }
  if (nullInput != -1) _close(nullInput);
  if (nullOutput != -1) _close(nullOutput);
  return error;
}

int SetBinaryMode(FILE* stream) {
  if (stream == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return _setmode(_fileno(stream), _O_BINARY) == -1 ? -1 : 0;
}

std::size_t ReadStream(FILE* stream, void* buffer, std::size_t size, uint32_t* error) {
  *error = 0;
  const HANDLE handle = StreamHandle(stream);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = ERROR_INVALID_HANDLE;
    return 0;
  }
  char* const bytes = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const auto wanted = static_cast<DWORD>(std::min(size - done, kMaxTransferBytes));
    DWORD got = 0;
    if (!ReadFile(handle, bytes + done, wanted, &got, nullptr)) {
      const DWORD code = GetLastError();
      // The writer closed the pipe, or a file ended: end of input.
      if (code != ERROR_BROKEN_PIPE && code != ERROR_HANDLE_EOF) *error = code;
      break;
    }
    if (got == 0) break;  // end of a file, as the CRT takes it
    done += got;
  }
  return done;
}

bool WriteStream(FILE* stream, const void* data, std::size_t size, uint32_t* error) {
  *error = 0;
  const HANDLE handle = StreamHandle(stream);
  if (handle == INVALID_HANDLE_VALUE) {
    *error = ERROR_INVALID_HANDLE;
    return false;
  }
  const char* const bytes = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const auto wanted = static_cast<DWORD>(std::min(size - done, kMaxTransferBytes));
    DWORD put = 0;
    if (!WriteFile(handle, bytes + done, wanted, &put, nullptr)) {
      *error = GetLastError();
      return false;
    }
    done += put;
  }
  return true;
}

// A write to a pipe whose reader has gone fails on Windows already.
void SurviveClosedOutput() {}

}  // namespace platform
