// The class object of a class of the module. The module keeps one reference of its own, which
// does not lock the module; every outside reference does, so that a class object held only by
// the module lets the library unload.
#pragma once

#include <windows.h>

#include "module.h"

namespace qz::shell {

class ClassFactory final : public IClassFactory {
 public:
  // Makes the class object with the module's own reference in *unknown.
  static HRESULT Create(const ClassEntry& entry, IUnknown** unknown);

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  explicit ClassFactory(const ClassEntry& entry) : m_entry(entry) {}
  ~ClassFactory() = default;

  const ClassEntry& m_entry;
  LONG m_refs = 0;
};

}  // namespace qz::shell
