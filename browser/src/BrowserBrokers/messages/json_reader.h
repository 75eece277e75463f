// Reads JSON text, held as UTF-16 code units or as UTF-8, into a wmValue.
#pragma once

#include <string>
#include <string_view>

#include "messages/json_value.h"

namespace browser_extensions {

// Objects and arrays nest at most this deep. Opening one more is a syntax
// fault, so no deeper tree is ever built, and destroying or writing a tree
// that was read stays within a bounded stack.
constexpr int kMaxNestingDepth = 512;

// Reads the first complete JSON value of `text` into `value` and returns
// true; whatever follows that value is ignored. Nothing is thrown for bad
// text: reading stops at the first syntax fault and returns false.
//
// The value is built in place. An object or array is stored in its parent
// as soon as it opens, and every other value once it is complete, so after
// a fault `value` keeps what was read before it: `{"a":"1","b":` leaves
// {"a":"1"}, and `{` alone leaves an empty object. Text that does not begin
// a value leaves null.
//
// The syntax is strict JSON with these points settled:
//  - whitespace is space, tab, CR and LF; there are no comments;
//  - a member name that repeats keeps its last value;
//  - a number with a fraction or an exponent is a real, any other number an
//    integer: signed 64-bit, or unsigned 64-bit above that range; an
//    integer beyond both ranges is held as a real; a number too large for
//    a double is a syntax fault;
//  - true, false and null in lower case only;
//  - each \uXXXX escape gives exactly one code unit, so a surrogate pair is
//    two escapes, and a lone surrogate escape is kept as it is;
//  - a raw control character (below U+0020) inside a string is a fault.
bool read(const std::wstring& text, wmValue& value);

// The same for UTF-8 text, read as if it had been converted to UTF-16
// first (every invalid sequence in a string becomes U+FFFD), without the
// converted copy.
bool read(std::string_view utf8Text, wmValue& value);

}  // namespace browser_extensions
