// Windows: a manifest for all users goes into folders that only
// administrators may change (admin_only_folder_win.h): each one from
// %ProgramData%\Corvantilhub down, or the --manifest-dir folder. The file is
// written under a new name and moved into place, so a browser never reads
// half a manifest, and it takes the rights of its folder.
#include "manifest_file.h"

#include <windows.h>

#include <random>
#include <system_error>

#include "admin_only_folder_win.h"
#include "manifest_root_win.h"

namespace registration {
namespace fs = std::filesystem;
namespace {

std::string Failed(const char* what, const fs::path& path, DWORD code) {
  return std::string(what) + " " + path.u8string() + ": error " + std::to_string(code);
}

bool MakeFolders(const Target& target, const fs::path& folder, std::string* error) {
  std::error_code code;
  fs::path top = folder;
  if (target.scope == Scope::kSystem && target.manifestDir.empty() &&
      !ManifestRoot(Scope::kSystem, &top, error)) {
    return false;
  }
  fs::create_directories(target.scope == Scope::kSystem ? top.parent_path() : folder, code);
  if (code) {
    *error = "cannot create " + folder.u8string() + ": " + code.message();
    return false;
  }
  if (target.scope != Scope::kSystem) return true;
  fs::path level = top;
  if (!MakeAdminOnlyFolder(level, error)) return false;
  for (const fs::path& name : folder.lexically_relative(top)) {
    if (name == ".") continue;
    level /= name;
    if (!MakeAdminOnlyFolder(level, error)) return false;
  }
  return true;
}

bool WriteThenMove(const fs::path& path, const std::string& content, std::string* error) {
  const fs::path temporary =
      path.parent_path() / (L"." + path.filename().wstring() + L".new-" +
                            std::to_wstring(std::random_device()()));
  const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Failed("cannot write", temporary, GetLastError());
    return false;
  }
  DWORD written = 0;
  bool done = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written,
                        nullptr) &&
              written == content.size() && FlushFileBuffers(file);
  CloseHandle(file);
  done = done && MoveFileExW(temporary.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!done) {
    *error = Failed("cannot write", path, GetLastError());
    DeleteFileW(temporary.c_str());
  }
  return done;
}

}  // namespace

bool WriteManifestFile(const Target& target, const fs::path& path, const std::string& content,
                       std::string* error) {
  return MakeFolders(target, path.parent_path(), error) && WriteThenMove(path, content, error);
}

bool RemoveManifestFile(const fs::path& path, bool* removed, std::string* error) {
  std::error_code code;
  *removed = fs::remove(path, code);
  if (!code) return true;
  *error = "cannot remove " + path.u8string() + ": " + code.message();
  return false;
}

}  // namespace registration
