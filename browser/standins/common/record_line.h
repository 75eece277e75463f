// One line of a stand-in library's call record:
//   {"fn":"<function name>","args":[...]}
// Texts are JSON strings in printable ASCII (every UTF-16 unit recoverable),
// maps are objects with their keys in map order, flags are booleans,
// numbers are numbers and a callback is the string "callback".
#pragma once

#include <map>
#include <string>

namespace standins {

class RecordLine {
 public:
  explicit RecordLine(const char* function);

  RecordLine& Text(const std::wstring& text);
  RecordLine& Map(const std::map<std::wstring, std::wstring>& map);
  RecordLine& Flag(bool value);
  RecordLine& Number(long long value);
  RecordLine& Callback();

  // The finished line, ending in a line feed.
  std::string Line() const;

 private:
  void BeginArgument();

  std::string text_;
  bool firstArgument_ = true;
};

}  // namespace standins
