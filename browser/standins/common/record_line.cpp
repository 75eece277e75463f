#include "common/record_line.h"

#include "common/json_text.h"

namespace standins {

RecordLine::RecordLine(const char* function) {
  text_ = "{\"fn\":\"";
  text_ += function;
  text_ += "\",\"args\":[";
}

void RecordLine::BeginArgument() {
  if (!firstArgument_)
    text_ += ',';
  firstArgument_ = false;
}

RecordLine& RecordLine::Text(const std::wstring& text) {
  BeginArgument();
  text_ += AsciiJsonString(text);
  return *this;
}

RecordLine& RecordLine::Map(const std::map<std::wstring, std::wstring>& map) {
  BeginArgument();
  text_ += '{';
  bool firstMember = true;
  for (const auto& [key, value] : map) {
    if (!firstMember)
      text_ += ',';
    firstMember = false;
    text_ += AsciiJsonString(key);
    text_ += ':';
    text_ += AsciiJsonString(value);
  }
  text_ += '}';
  return *this;
}

RecordLine& RecordLine::Flag(bool value) {
  BeginArgument();
  text_ += value ? "true" : "false";
  return *this;
}

RecordLine& RecordLine::Number(long long value) {
  BeginArgument();
  text_ += std::to_string(value);
  return *this;
}

RecordLine& RecordLine::Callback() {
  BeginArgument();
  text_ += "\"callback\"";
  return *this;
}

std::string RecordLine::Line() const {
  return text_ + "]}\n";
}

}  // namespace standins
