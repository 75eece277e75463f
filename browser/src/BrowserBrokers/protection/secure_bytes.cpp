#include "protection/secure_bytes.h"

#include <cstring>
#include <new>

#include "protection/secure_zero.h"

namespace browser_extensions {

namespace {

void ReleaseStorage(uint8_t* storage, std::size_t capacity) {
  if (storage == nullptr) return;
  SecureZero(storage, capacity);
  delete[] storage;
}

}  // namespace

SecureBytes::~SecureBytes() { ReleaseStorage(data_, capacity_); }

std::size_t SecureBytes::GrownCapacity(std::size_t capacity,
                                       std::size_t needed) {
  std::size_t grown = capacity + capacity / 2;
  if (grown < capacity) grown = SIZE_MAX;  // 1.5x overflowed
  return grown > needed ? grown : needed;
}

void SecureBytes::Reserve(std::size_t capacity) {
  if (capacity <= capacity_) return;
  MoveToNewStorage(GrownCapacity(capacity_, capacity));
}

void SecureBytes::PushBack(uint8_t byte) { Append(&byte, 1); }

void SecureBytes::Append(const uint8_t* bytes, std::size_t count) {
  if (count == 0) return;
  std::memcpy(Extend(count), bytes, count);
}

uint8_t* SecureBytes::Extend(std::size_t count) {
  if (count > SIZE_MAX - size_) throw std::bad_alloc();
  Reserve(size_ + count);
  uint8_t* added = data_ + size_;
  size_ += count;
  return added;
}

void SecureBytes::MoveToNewStorage(std::size_t newCapacity) {
  uint8_t* storage = new uint8_t[newCapacity];
  if (size_ != 0) std::memcpy(storage, data_, size_);
  ReleaseStorage(data_, capacity_);
  data_ = storage;
  capacity_ = newCapacity;
}

}  // namespace browser_extensions
