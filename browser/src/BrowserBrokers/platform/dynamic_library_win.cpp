#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/last_error.h"

namespace platform {

LibraryHandle LoadLibraryByName(const std::wstring& dllName) {
  return LoadLibraryW(dllName.c_str());
}

void* FindExport(LibraryHandle library, const char* exportName) {
  // A null handle would make GetProcAddress search the executable itself.
  if (library == nullptr) {
    SetLastErrorCode(kErrorInvalidHandle);
    return nullptr;
  }
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), exportName));
}

}  // namespace platform
