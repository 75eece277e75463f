#include "host_file.h"

#include <windows.h>

#include <system_error>

namespace registration {

bool RelativeHostPathAllowed() { return true; }

bool HostFileExecutable(const std::filesystem::path&) { return true; }

bool FileUnreadable(const std::filesystem::path& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

// S-1-5-32-545 is the Users group, whatever the system's language.
std::string MakeReadableCommand(const std::filesystem::path& path) {
  return "icacls \"" + path.u8string() + "\" /grant *S-1-5-32-545:RX";
}

const char* AgentLibraryFileName() { return "Harrowmere64.dll"; }
const char* BridgeLibraryFileName() { return "Tollgatelink.dll"; }

}  // namespace registration
