// The form in which an inbound message's text may appear in diagnostics
// (the debug output and the agent's log).
#pragma once

#include <cstddef>
#include <string>

// The most characters of a message text that a report shows.
inline constexpr std::size_t kMaxReportedCharacters = 4096;

// `text` (UTF-16 code units) made safe to report:
//
// - The value of every member whose name contains "password", "secret" or
//   "token", in any letter case and at any depth, becomes "***". The text is
//   scanned as it stands, without being parsed, so text that is cut off or
//   is not JSON at all is covered too: a name is a quoted string (escapes
//   decoded before the test) or a bare word, followed by a colon; its value
//   is a string, an object or array (brackets matched), or anything else up
//   to the next comma or closing bracket; a value that runs to the end of
//   the text is hidden to the end.
//     {"user":"u","Password":"p4ss"}  ->  {"user":"u","Password":"***"}
// - Then at most kMaxReportedCharacters characters are shown, followed by
//   "… (N more characters)" when N characters are left out. A character is
//   a code point: a surrogate pair counts once and is never cut in two.
std::wstring ReportableMessageText(const std::wstring& text);
