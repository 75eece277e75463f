// Conversion between UTF-16 code units and UTF-8 bytes, with the contract of
// WideCharToMultiByte/MultiByteToWideChar on the UTF-8 code page with no
// flags: every invalid UTF-8 sequence and every unpaired surrogate becomes
// U+FFFD, and nothing fails.
//
// Wide text holds one UTF-16 code unit per wchar_t element on every
// platform, also where wchar_t is 32 bits wide.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Both calls work like their Windows counterparts: with a null destination
// (capacity 0) they return the size the output needs; otherwise they write
// at most `capacity` units and return how many they wrote (0 if it did not
// fit). Lengths are element counts; no terminator is read or written.
int Utf16ToUtf8(const wchar_t* source, int sourceLength, char* destination,
                int capacity);
int Utf8ToUtf16(const char* source, int sourceLength, wchar_t* destination,
                int capacity);

// Append the conversion of the first `count` elements (at most INT_MAX of
// them are taken) to `out`, sized with the call above and then written.
void AppendUtf16AsUtf8(const wchar_t* units, std::size_t count, std::string& out);
void AppendUtf8AsUtf16(const char* bytes, std::size_t count, std::wstring& out);

// The text as a Windows call taking a zero-terminated wide string sees it
// (up to its first NUL), and at most `maxUnits` units of it, as UTF-8.
std::string TerminatedTextAsUtf8(const std::wstring& text,
                                 std::size_t maxUnits = std::wstring::npos);

}  // namespace platform
