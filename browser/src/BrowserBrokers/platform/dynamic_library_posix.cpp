// Library names follow Windows: "Name.dll" (the suffix in any case) maps to
// "libName.so", the rest of the name kept as written. Any other name is
// taken as the POSIX file name it already is (e.g. "libz.so.1"). A name
// without a folder is looked for beside the running executable only, never
// by dlopen's own search (LD_LIBRARY_PATH, the caller's run path), which
// whoever starts the process can point elsewhere; a name with a folder is
// loaded from there only.
#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <strings.h>
#include <unistd.h>

#include "platform/last_error.h"
#include "platform/text_codec.h"

namespace platform {
namespace {

constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;

std::string PosixFileName(const std::string& name) {
  size_t fileStart = name.rfind('/') + 1;  // 0 when there is no folder
  std::string file = name.substr(fileStart);
  constexpr char kDllSuffix[] = ".dll";
  constexpr size_t kSuffixLength = sizeof(kDllSuffix) - 1;
  if (file.size() <= kSuffixLength ||
      strcasecmp(file.c_str() + file.size() - kSuffixLength, kDllSuffix) != 0)
    return name;
  file.resize(file.size() - kSuffixLength);
  return name.substr(0, fileStart) + "lib" + file + ".so";
}

std::string ExecutableFolder() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path));
  if (length <= 0 || static_cast<size_t>(length) >= sizeof(path)) return {};
  std::string executable(path, static_cast<size_t>(length));
  return executable.substr(0, executable.rfind('/'));
}

}  // namespace

LibraryHandle LoadLibraryByName(const std::wstring& dllName) {
  std::string file = PosixFileName(TerminatedTextAsUtf8(dllName));
  if (!file.empty() && file.find('/') == std::string::npos) {
    std::string folder = ExecutableFolder();
    file = folder.empty() ? std::string() : folder + "/" + file;
  }
  void* library = file.empty() ? nullptr : dlopen(file.c_str(), kOpenFlags);
  if (library == nullptr) {
    // glibc keeps the failure's message for this thread until it has been
    // read twice or the thread's end frees it; a thread that ends as the
    // process does (the bridge's) would leave it to look like a leak.
    dlerror();
    dlerror();
    SetLastErrorCode(kErrorModNotFound);
  }
  return library;
}

void LimitLibrarySearch() {}

void* FindExport(LibraryHandle library, const char* exportName) {
  // A null handle would make dlsym search every loaded library.
  if (library == nullptr) {
    SetLastErrorCode(kErrorInvalidHandle);
    return nullptr;
  }
  void* address = exportName != nullptr ? dlsym(library, exportName) : nullptr;
  if (address == nullptr) SetLastErrorCode(kErrorProcNotFound);
  return address;
}

}  // namespace platform
