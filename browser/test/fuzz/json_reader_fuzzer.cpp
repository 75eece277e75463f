// Fuzzes the JSON reader with arbitrary UTF-16 text: every two input bytes
// make one code unit, little-endian, so lone surrogates and controls reach
// it as freely as anything else.
//
// Whatever the reader leaves in the value, truncated or not, must nest no
// deeper than the limit and must survive writing and reading back
// unchanged. The same bytes read as UTF-8 must give exactly what reading
// their conversion to UTF-16 gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "messages/json_reader.h"
#include "messages/json_value.h"
#include "messages/json_writer.h"
#include "platform/text_codec.h"

namespace {

using browser_extensions::wmValue;

// Depth of the deepest container, walked with an explicit stack.
int MaxNestingDepth(const wmValue& root) {
  struct Pending {
    const wmValue* value;
    int depth;
  };
  int deepest = 0;
  std::vector<Pending> pending{{&root, 0}};
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    const int depth = next.depth + 1;
    if (next.value->type() == browser_extensions::obj_type) {
      if (depth > deepest) deepest = depth;
      for (const auto& member : next.value->get_obj()) {
        pending.push_back({&member.second, depth});
      }
    } else if (next.value->type() == browser_extensions::array_type) {
      if (depth > deepest) deepest = depth;
      for (const wmValue& element : next.value->get_array()) {
        pending.push_back({&element, depth});
      }
    }
  }
  return deepest;
}

void RequireUtf8ReadsAsConverted(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::wstring converted;
  platform::AppendUtf8AsUtf16(bytes.data(), bytes.size(), converted);
  wmValue fromBytes;
  wmValue fromConverted;
  const bool bytesRead = browser_extensions::read(bytes, fromBytes);
  if (bytesRead != browser_extensions::read(converted, fromConverted) ||
      fromBytes != fromConverted) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  }

  wmValue value;
  browser_extensions::read(text, value);
  if (MaxNestingDepth(value) > browser_extensions::kMaxNestingDepth) std::abort();

  wmValue readBack;
  if (!browser_extensions::read(browser_extensions::write(value), readBack) ||
      readBack != value) {
    std::abort();
  }
  RequireUtf8ReadsAsConverted(data, size);
  return 0;
}
