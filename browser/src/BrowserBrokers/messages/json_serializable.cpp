#include "messages/json_serializable.h"

#include <exception>
#include <new>

#include "messages/json_reader.h"
#include "messages/json_writer.h"
#include "platform/debug_output.h"

using browser_extensions::wmObject;
using browser_extensions::wmValue;

std::wstring IJsonSerializable::ToJsonString() {
  wmObject object;
  ToJson(object);
  return browser_extensions::write(wmValue(std::move(object)));
}

namespace {

// Reads `text` and fills `target` from the object it holds, inside the one
// guard that lets nothing out. `release` runs between the two steps.
template <typename Text, typename Release>
void FillFromText(IJsonSerializable& target, const Text& text, Release release) {
  try {
    wmValue value;
    // The result is not needed: a truncated object still holds the
    // members read before the fault, and they are used.
    browser_extensions::read(text, value);
    release();
    target.FromJson(value.get_obj());
  } catch (const std::bad_alloc&) {
    throw;  // not the text's fault: the frame as a whole is given up
  } catch (const std::exception& e) {
    platform::OutputDebugLineA(e.what());
  } catch (...) {
  }
}

}  // namespace

void IJsonSerializable::FromJsonString(const std::wstring& text) {
  FillFromText(*this, text, [] {});
}

void IJsonSerializable::FromJsonString(std::wstring&& text) {
  FillFromText(*this, text,
               [&text] { std::wstring().swap(text); });
}

void IJsonSerializable::FromJsonUtf8(std::string_view text) {
  FillFromText(*this, text, [] {});
}
