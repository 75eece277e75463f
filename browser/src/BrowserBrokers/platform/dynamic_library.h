// Run-time loading of a library and lookup of its exports
// (LoadLibraryW/GetProcAddress on Windows).
//
// On POSIX the Windows file name "Name.dll" maps to "libName.so" (other
// names are taken as POSIX file names already), looked up first in the
// folder of the running executable, then by the dynamic loader's standard
// search.
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

// Returns null and sets the last-error code (126 when the library is not
// found) on failure. A loaded library is never unloaded.
LibraryHandle LoadLibraryByName(const std::wstring& dllName);

// Returns null (and sets the last-error code) when the export is missing.
void* FindExport(LibraryHandle library, const char* exportName);

}  // namespace platform
