// The interface of every JSON message class.
#pragma once

#include <string>
#include <string_view>

#include "messages/json_value.h"

class IJsonSerializable {
 public:
  // Adds the object's fields as members of `object`.
  virtual void ToJson(browser_extensions::wmObject& object) = 0;
  // Sets the object's fields from `object`.
  virtual void FromJson(const browser_extensions::wmObject& object) = 0;

  // The object as compact JSON text. Errors reach the caller.
  std::wstring ToJsonString();

  // Reads `text` and, when it holds an object, passes that object to
  // FromJson. Nothing is thrown: the text of a standard exception goes to
  // the debug output, anything else is dropped. Fields that were not read
  // keep their values, so a caller sees the outcome in the fields alone.
  void FromJsonString(const std::wstring& text);
  // The same, for a caller that no longer needs the text: it is released
  // as soon as it has been read, before FromJson runs, so a large message
  // is not held as text and as values at once while the fields are filled.
  void FromJsonString(std::wstring&& text);
  // The same for UTF-8 text, read without a UTF-16 copy of it; strings come
  // out as FromJsonString would give them for the converted text.
  void FromJsonUtf8(std::string_view text);

 protected:
  // Objects are owned and destroyed as their concrete class, never through
  // this interface, so the destructor is neither public nor virtual.
  IJsonSerializable() = default;
  IJsonSerializable(const IJsonSerializable&) = default;
  IJsonSerializable& operator=(const IJsonSerializable&) = default;
  ~IJsonSerializable() = default;
};
