// One owner template for every OS and library handle: the close call is part of the type,
// so each exit path releases what it acquired.
#pragma once

#include <cstdio>
#include <utility>

namespace qz {

template <typename T, auto Close, T Invalid = T{}>
class unique_handle {
 public:
  unique_handle() = default;
  explicit unique_handle(T value) : value_(value) {}
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  unique_handle(unique_handle&& other) noexcept : value_(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~unique_handle() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    T old = std::exchange(value_, value);
    if (old != Invalid) Close(old);
  }
  // For APIs that return the handle through an out-parameter.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Invalid;
};

inline void CloseFile(FILE* f) { std::fclose(f); }
using unique_file = unique_handle<FILE*, CloseFile>;

}  // namespace qz
