// The call record of a stand-in library: a file named by an environment
// variable, to which every call appends one line.
#pragma once

#include <string>

#include "common/record_line.h"

namespace standins {

// Whether calls are recorded: the environment variable `variable` names a
// file.
bool RecordingOn(const char* variable);

// Appends `line` to the file named by the environment variable `variable`;
// does nothing when the variable is unset or empty. Each line is written
// whole with one write, so lines from different threads never mix.
void AppendRecordLine(const char* variable, const RecordLine& line);

// Appends the line that `buildLine()` makes, which is only built when
// calls are recorded.
template <typename BuildLine>
void RecordCall(const char* variable, BuildLine buildLine) {
  if (RecordingOn(variable)) AppendRecordLine(variable, buildLine());
}

}  // namespace standins
