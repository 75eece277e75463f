// Protected text: a wide string that carries the bytes of a blob sealed by
// the per-user data-protection service, two bytes per code unit, low byte
// first. Texts for the extension cross the host's reply callback in this
// form.
//
// Both operations are stateless and may run on any thread at the same time.
#pragma once

#include <string>

// Seals the UTF-16 units of `text` (NUL units included) and packs the blob
// into a wide string. On failure writes
// "ProtectData failed. Returning input string. GLE=0x<hex code>" to the
// debug output and returns a copy of `text`.
std::wstring ProtectData(const std::wstring& text);

// Opens protected text made by ProtectData and returns the wide text that
// was sealed, which may be empty. When the service refuses the blob (for
// instance, `text` was never protected), writes
// "UnProtectData failed. Returning input string. GLE=0x<hex code>" to the
// debug output and returns a copy of `text`, so plain text passes through.
std::wstring UnProtectData(const std::wstring& text);
