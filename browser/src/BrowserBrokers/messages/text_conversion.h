// Conversions between the host's wide text (UTF-16 code units) and the
// UTF-8 bytes on the extension channel.
//
// Neither fails: every unpaired surrogate and every invalid UTF-8 sequence
// becomes U+FFFD, and empty input gives empty output.
#pragma once

#include <cstddef>
#include <string>

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& bytes);
// The same for `size` bytes at `bytes`, without copying them first.
std::wstring Utf8ToWide(const char* bytes, std::size_t size);

// For writing UTF-8 straight into a buffer of one's own: the byte count of
// the UTF-8 form of `size` units, and the conversion into `destination`,
// which has room for exactly that many bytes.
std::size_t Utf8Length(const wchar_t* text, std::size_t size);
void EncodeUtf8Into(const wchar_t* text, std::size_t size, char* destination,
                    std::size_t utf8Length);

// The platform converter counts in int. Longer texts are converted in
// pieces of at most this many units or bytes, cut only between whole
// characters, so the result is the same as one conversion would give.
// A piece of kMaxWidePieceUnits units never needs more than INT_MAX bytes.
inline constexpr std::size_t kMaxWidePieceUnits = 0x7FFFFFFF / 3;
inline constexpr std::size_t kMaxUtf8PieceBytes = 0x7FFFFFFF;

// The same conversions with a smaller piece bound, so the cutting can be
// exercised on short texts.
std::string WideToUtf8InPieces(const std::wstring& text,
                               std::size_t maxPieceUnits);
std::wstring Utf8ToWideInPieces(const std::string& bytes,
                                std::size_t maxPieceBytes);
