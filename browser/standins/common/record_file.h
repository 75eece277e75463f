// The call record of a stand-in library: a file named by an environment
// variable, to which every call appends one line.
#pragma once

#include <string>

#include "common/environment.h"
#include "common/record_line.h"

namespace standins {

// Appends `line` to the record file at `path`. Each line is written whole
// with one write, so lines from different threads never mix.
void AppendRecordLine(const std::string& path, const RecordLine& line);

// Appends the line that `buildLine()` makes to the file named by the
// environment variable `variable`; while the variable is unset or empty,
// calls are not recorded and the line is not even built.
template <typename BuildLine>
void RecordCall(const char* variable, BuildLine buildLine) {
  const std::string path = EnvironmentValue(variable);
  if (!path.empty()) AppendRecordLine(path, buildLine());
}

}  // namespace standins
