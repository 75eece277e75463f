#include "admin_only_folder_win.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "wide_text_win.h"

namespace registration {
namespace {

// SYSTEM and Administrators: full control; Users: read and execute
// (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE); protected from inheritance.
constexpr wchar_t kAdminOnlyRights[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// What lets the holder change a folder or what it holds.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                      FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE |
                                      WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// TrustedInstaller, which owns the system's own folders.
constexpr wchar_t kTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

class LocalMemory {
 public:
  ~LocalMemory() { LocalFree(memory_); }
  void** Receive() { return &memory_; }
  void* Get() const { return memory_; }

 private:
  void* memory_ = nullptr;
};

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE known[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof known;
  return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool IsTheRunningUser(PSID sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  const bool same = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
                    EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
  CloseHandle(token);
  return same;
}

// SYSTEM, Administrators, TrustedInstaller, or the administrator who runs
// the tool (a --system registration needs one).
bool IsAdministrative(PSID sid) {
  LocalMemory installer;
  return IsWellKnown(sid, WinLocalSystemSid) || IsWellKnown(sid, WinBuiltinAdministratorsSid) ||
         (ConvertStringSidToSidW(kTrustedInstaller, installer.Receive()) &&
          EqualSid(sid, installer.Get())) ||
         IsTheRunningUser(sid);
}

bool OthersMayChange(const ACL* acl) {
  if (acl == nullptr) return true;  // no access list: everyone may do anything
  for (DWORD index = 0; index < acl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(const_cast<ACL*>(acl), index, &entry)) return true;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
      continue;
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    PSID holder = const_cast<DWORD*>(&allowed->SidStart);
    if ((allowed->Mask & kChangeRights) != 0 && !IsAdministrative(holder)) return true;
  }
  return false;
}

std::string AccountName(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use;
  if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
    return WideToUtf8(std::wstring(domain) + L"\\" + name);
  LocalMemory text;
  return ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(text.Receive()))
             ? WideToUtf8(static_cast<const wchar_t*>(text.Get()))
             : "an unknown account";
}

std::string Failed(const char* what, const std::filesystem::path& folder, DWORD code) {
  return std::string(what) + " " + folder.u8string() + ": error " + std::to_string(code);
}

// Checks, and where need be mends, a folder that is there already.
bool GuardExisting(const std::filesystem::path& folder, const ACL* adminOnly, std::string* error) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = folder.u8string() + " is a link or a file, not a folder; remove it and register again";
    return false;
  }
  PSID owner = nullptr;
  PACL acl = nullptr;
  LocalMemory descriptor;
  const DWORD read = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                           &owner, nullptr, &acl, nullptr, descriptor.Receive());
  if (read != ERROR_SUCCESS) {
    *error = Failed("cannot read the rights of", folder, read);
    return false;
  }
  if (!IsAdministrative(owner)) {
    *error = folder.u8string() + " belongs to " + AccountName(owner) +
             ", not to an administrator; remove it and register again";
    return false;
  }
  if (!OthersMayChange(acl)) return true;
  const DWORD set = SetNamedSecurityInfoW(
      const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
      const_cast<ACL*>(adminOnly), nullptr);
  if (set == ERROR_SUCCESS) return true;
  *error = Failed("cannot restrict the rights of", folder, set);
  return false;
}

}  // namespace

bool MakeAdminOnlyFolder(const std::filesystem::path& folder, std::string* error) {
  LocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminOnlyRights, SDDL_REVISION_1,
                                                            descriptor.Receive(), nullptr)) {
    *error = Failed("cannot describe the rights of", folder, GetLastError());
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
  if (CreateDirectoryW(folder.c_str(), &attributes)) return true;
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    *error = Failed("cannot create", folder, GetLastError());
    return false;
  }
  BOOL present = FALSE, defaulted = FALSE;
  PACL adminOnly = nullptr;
  GetSecurityDescriptorDacl(descriptor.Get(), &present, &adminOnly, &defaulted);
  return GuardExisting(folder, adminOnly, error);
}

}  // namespace registration
