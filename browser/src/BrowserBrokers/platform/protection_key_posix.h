// The per-user key of the POSIX data-protection service, kept in
//   $XDG_DATA_HOME/corvantilhub/protect.key, or
//   <home from the password database>/.local/share/corvantilhub/protect.key
//   when XDG_DATA_HOME is unset, empty or not absolute.
//
// The key is created on first use (mode 0600, in a folder created 0700 when
// missing) so that processes starting together all end up with the one key.
// A process reads it once and keeps it (protection_key_cache_posix.h). A key file
// that another user owns, that group or others may read or write, or that
// is not exactly kProtectionKeyBytes long, and a folder that another user
// owns or that group or others may write, are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

inline constexpr size_t kProtectionKeyBytes = 32;

// The folder that holds the key file, resolved afresh from the environment;
// empty when no home folder can be found.
std::string ProtectionKeyFolder();

// Fills `key` (kProtectionKeyBytes long) with the user's key from its file,
// creating it if there is none yet (libsodium must be initialised). On
// failure returns false with the last-error code kErrorAccessDenied and
// `key` zeroed.
bool LoadProtectionKey(uint8_t* key);

// How many times this process has called LoadProtectionKey, so that tests
// can tell that the key is read once.
unsigned ProtectionKeyLoads();

}  // namespace platform
