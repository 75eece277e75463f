#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/last_error.h"

namespace platform {
namespace {

// Never the working folder or PATH, where others may plant a library.
constexpr DWORD kOwnAndSystemFolders =
    LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

}  // namespace

LibraryHandle LoadLibraryByName(const std::wstring& dllName) {
  return LoadLibraryExW(dllName.c_str(), nullptr, kOwnAndSystemFolders);
}

void LimitLibrarySearch() { SetDefaultDllDirectories(kOwnAndSystemFolders); }

void* FindExport(LibraryHandle library, const char* exportName) {
  // A null handle would make GetProcAddress search the executable itself.
  if (library == nullptr) {
    SetLastErrorCode(kErrorInvalidHandle);
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), exportName));
}

}  // namespace platform
