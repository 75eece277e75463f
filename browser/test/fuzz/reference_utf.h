// A deliberately plain UTF-8 and UTF-16 codec, written straight from the
// Unicode tables, to judge the host's converters against. Speed is no aim.
#pragma once

#include <string>

// UTF-8 bytes to code points. Each maximal subpart of an ill-formed
// sequence (the longest start of a well-formed sequence, or one byte when
// none starts here) becomes one U+FFFD.
std::u32string ReferenceDecodeUtf8(const std::string& bytes);

// UTF-16 units (one per wchar_t) to code points; each unpaired surrogate
// becomes U+FFFD.
std::u32string ReferenceDecodeUtf16(const std::wstring& units);

std::string ReferenceEncodeUtf8(const std::u32string& codePoints);
std::wstring ReferenceEncodeUtf16(const std::u32string& codePoints);
