// Writes a wmValue as compact JSON text.
#pragma once

#include <string>

#include "messages/json_value.h"

namespace browser_extensions {

// The text form the extension receives: no whitespace anywhere; object
// members in name order; strings escaped as below; integers in plain
// decimal; reals with 17 significant digits and the decimal point always
// shown ("%#.17g", with a 0 after a point that would end the number);
// true, false, null.
//
// In strings, the quotation mark, the backslash and the controls \b \f \n
// \r \t get their short escapes; every other unit that iswprint accepts in
// the current C locale is written as it is, and the rest as \u with four
// upper-case hexadecimal digits. The solidus is not escaped.
//
// A real that is not finite has no JSON form and is written as null.
std::wstring write(const wmValue& value);

}  // namespace browser_extensions
