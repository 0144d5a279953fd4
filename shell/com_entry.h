// The one way into the library from COM: no exception may cross into the caller, so every
// entry point runs its body through ComEntry, which turns whatever escapes into an HRESULT.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <new>

namespace qz::shell {

template <typename Body>
HRESULT ComEntry(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace qz::shell
