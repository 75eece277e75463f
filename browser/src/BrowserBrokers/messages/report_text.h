// The form in which an inbound message's text may appear in diagnostics
// (the debug output and the agent's log).
#pragma once

#include <cstddef>
#include <string>

// The most characters of a message text that a report shows.
inline constexpr std::size_t kMaxReportedCharacters = 4096;

// `text` (UTF-16 code units) made safe to report: its shape, not its
// secrets.
//
// - When the text is one whole JSON value, every string value is shown as
//   "***" except the values of the members whose names say they are plainly
//   not secret: "type", "tabID", "requestID", "triggerId" and "xpath" (the
//   name as a JSON reader decodes it). Member names, numbers, true, false,
//   null, white space and structure stay, so the report still tells what
//   arrived.
//     {"tabID":"7","payload":{"pwd":"hunter2","n":5}}
//       ->  {"tabID":"7","payload":{"pwd":"***","n":5}}
// - Text that is not JSON, or is cut off, shows no string contents at all:
//   every string, name or value, closed or not, is "***", and so is every
//   bare word that is not a JSON number or literal.
//     {"tabID":"7","password":"hun  ->  {"***":"***","***":"***"
// - Control characters (below U+0020, DEL and U+0080 to U+009F) never pass
//   raw: they are written as JSON escapes, so a report can't break a line
//   or drive a terminal.
// - Then at most kMaxReportedCharacters characters are shown, followed by
//   "… (N more characters)" when N characters are left out. A character is
//   a code point: a surrogate pair counts once and is never cut in two.
std::wstring ReportableMessageText(const std::wstring& text);

// `text` with its control characters written as JSON escapes (\n, \t,
// \u001B, ...) and nothing else changed: for a line the extension asks to be
// written to the agent's log.
std::wstring WithControlsEscaped(const std::wstring& text);
