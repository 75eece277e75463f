// A growable byte buffer for secrets: plain text on its way to or from the
// data-protection service, and the entropy.
#pragma once

#include <cstddef>
#include <cstdint>

namespace browser_extensions {

// Every block of storage the buffer gives back (when it grows into a new
// block, and on destruction) is zero-filled over its whole capacity first,
// so no copy of the bytes is left behind in freed memory.
class SecureBytes {
 public:
  SecureBytes() = default;
  ~SecureBytes();

  SecureBytes(const SecureBytes&) = delete;
  SecureBytes& operator=(const SecureBytes&) = delete;

  const uint8_t* data() const { return data_; }
  uint8_t* data() { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }

  // One byte at a time; the host appends whole runs, tests grow the buffer
  // byte by byte to watch each reallocation.
  void PushBack(uint8_t byte);
  // Grows the size by `count` bytes and returns where they start, for the
  // caller to fill in place.
  uint8_t* Extend(std::size_t count);
  void Append(const uint8_t* bytes, std::size_t count);
  // Makes room for at least `capacity` bytes, growing by the usual policy.
  void Reserve(std::size_t capacity);

  // The capacity that a buffer of `capacity` bytes grows to when it must
  // hold `needed` bytes: 1.5 times its capacity, or `needed` if that is more.
  // Public so that the policy can be tested at the top of the size range,
  // where nothing could be allocated.
  static std::size_t GrownCapacity(std::size_t capacity, std::size_t needed);

 private:
  void MoveToNewStorage(std::size_t newCapacity);

  uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace browser_extensions
