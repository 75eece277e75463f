// Run-time loading of a library and lookup of its exports
// (LoadLibraryExW/GetProcAddress on Windows).
//
// A name without a folder is looked for only in the folder of the running
// executable and, on Windows, the system folder: never in the working
// folder or along PATH, where anyone who can write there could plant a
// library of that name. On POSIX the Windows file name "Name.dll" maps to
// "libName.so" (other names are taken as POSIX file names already).
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

// Returns null and sets the last-error code (126 when the library is not
// found) on failure. A loaded library is never unloaded.
LibraryHandle LoadLibraryByName(const std::wstring& dllName);

// Called first thing at start. Windows: every later library search of the
// process, whoever asks for it, looks in the executable's folder and the
// system folder only (SetDefaultDllDirectories). POSIX: nothing to do; the
// dynamic loader's own search is for the libraries linked in, and
// LoadLibraryByName does not use it.
void LimitLibrarySearch();

// Returns null (and sets the last-error code) when the export is missing.
void* FindExport(LibraryHandle library, const char* exportName);

}  // namespace platform
