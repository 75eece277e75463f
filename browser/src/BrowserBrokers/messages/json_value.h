// The JSON value model of the host: wmValue, wmObject and wmArray.
//
// A wmValue holds exactly one of seven kinds. The kind numbers are part of
// the host's diagnostics: a typed read of the wrong kind throws
// std::runtime_error("value type is <actual> not <expected>").
//
// Text is held as std::wstring of UTF-16 code units on every platform.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace browser_extensions {

enum Value_type {
  obj_type = 0,
  array_type = 1,
  str_type = 2,
  bool_type = 3,
  int_type = 4,
  real_type = 5,
  null_type = 6,
};

// Orders member names by 16-bit code unit, as unsigned numbers, with a
// proper prefix first. Comparing through an unsigned type keeps the order
// the same where wchar_t is a signed 32-bit type.
// Transparent, so a member can be looked up by a literal name without
// making a std::wstring of it first.
struct CodeUnitLess {
  using is_transparent = void;
  bool operator()(std::wstring_view left, std::wstring_view right) const;
};

class wmValue;
using wmObject = std::map<std::wstring, wmValue, CodeUnitLess>;
using wmArray = std::vector<wmValue>;

// Owns a heap copy of a container (or text), so that wmValue stays one
// pointer wide and can hold containers of itself. An empty container is
// held as no allocation at all and made on the first write, so a tree of
// small, empty arrays and objects costs a few bytes per node. Copies are
// deep; a moved-from box is empty and only destroyed or assigned to.
template <typename Container>
class OwnedContainer {
 public:
  explicit OwnedContainer(Container container)
      : held_(container.empty()
                  ? nullptr
                  : std::make_unique<Container>(std::move(container))) {}
  OwnedContainer(const OwnedContainer& other)
      : held_(other.held_ ? std::make_unique<Container>(*other.held_)
                          : nullptr) {}
  OwnedContainer(OwnedContainer&&) noexcept = default;
  OwnedContainer& operator=(const OwnedContainer& other) {
    OwnedContainer copy(other);
    held_ = std::move(copy.held_);
    return *this;
  }
  OwnedContainer& operator=(OwnedContainer&&) noexcept = default;
  ~OwnedContainer() = default;

  Container& get() {
    if (!held_) held_ = std::make_unique<Container>();
    return *held_;
  }
  const Container& get() const { return held_ ? *held_ : Empty(); }

 private:
  static const Container& Empty() {
    static const Container* const empty = new Container();
    return *empty;
  }

  std::unique_ptr<Container> held_;
};

class wmValue {
 public:
  // A value made without content is null.
  wmValue() = default;
  wmValue(wmObject object);
  wmValue(wmArray array);
  wmValue(std::wstring text);
  wmValue(const wchar_t* text);
  wmValue(bool flag);
  wmValue(double real);

  // Any integer type. Values above the signed 64-bit range are held as
  // unsigned 64-bit; both are kind 4.
  template <typename Integer,
            typename = std::enable_if_t<std::is_integral_v<Integer> &&
                                        !std::is_same_v<Integer, bool>>>
  wmValue(Integer integer) : content_(MakeInteger(integer)) {}

  // A moved-from value is null. Assigning a value's own descendant to it,
  // by copy or by move, is safe: the old content goes last.
  wmValue(const wmValue& other) = default;
  wmValue(wmValue&& other) noexcept;
  wmValue& operator=(const wmValue& other);
  wmValue& operator=(wmValue&& other) noexcept;
  ~wmValue() = default;

  Value_type type() const;
  bool is_null() const { return type() == null_type; }
  // True for an integer held as unsigned, i.e. above the signed range.
  bool is_uint64() const;

  // Typed reads. Each checks the kind first and throws the type error.
  const wmObject& get_obj() const;
  wmObject& get_obj();
  const wmArray& get_array() const;
  wmArray& get_array();
  const std::wstring& get_str() const;
  bool get_bool() const;
  // The integer reads convert between the signed and unsigned forms with
  // two's complement; get_int keeps the low 32 bits.
  int get_int() const;
  std::int64_t get_int64() const;
  std::uint64_t get_uint64() const;
  double get_real() const;

  friend bool operator==(const wmValue& left, const wmValue& right);
  friend bool operator!=(const wmValue& left, const wmValue& right) {
    return !(left == right);
  }

 private:
  using Content =
      std::variant<OwnedContainer<wmObject>, OwnedContainer<wmArray>,
                   OwnedContainer<std::wstring>, bool, std::int64_t, double,
                   std::monostate, std::uint64_t>;

  template <typename Integer>
  static Content MakeInteger(Integer integer) {
    if constexpr (std::is_signed_v<Integer>) {
      return static_cast<std::int64_t>(integer);
    } else {
      return MakeUnsigned(static_cast<std::uint64_t>(integer));
    }
  }
  static Content MakeUnsigned(std::uint64_t integer);

  void CheckType(Value_type expected) const;

  // Alternative index equals the kind number, except the unsigned integer
  // at the end, which is kind 4 as well. Every alternative is at most one
  // pointer wide, so a value takes 16 bytes.
  Content content_{std::monostate()};
};

}  // namespace browser_extensions
