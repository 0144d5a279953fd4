// An owner of one COM interface pointer for the shell tests: released when it goes.
#pragma once

#include <ole2.h>

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }
  void Reset() {
    if (p) p->Release();
    p = nullptr;
  }
  T* operator->() const { return p; }
  // For calls that hand the interface out through a pointer.
  T** out() {
    Reset();
    return &p;
  }
  void** put() { return reinterpret_cast<void**>(out()); }
};
