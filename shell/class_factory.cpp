#include "class_factory.h"

#include <new>

#include "com_entry.h"

namespace qz::shell {

HRESULT ClassFactory::Create(const ClassEntry& entry, IUnknown** unknown) {
  auto* factory = new (std::nothrow) ClassFactory(entry);
  if (!factory) return E_OUTOFMEMORY;
  factory->m_refs = 1;  // the module's own reference
  *unknown = factory;
  return S_OK;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
  LONG refs = InterlockedIncrement(&m_refs);
  if (refs == 2) CZaDizuvOzarModule::Instance().Lock();
  return static_cast<ULONG>(refs);
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  LONG refs = InterlockedDecrement(&m_refs);
  if (refs == 1) CZaDizuvOzarModule::Instance().Unlock();
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  return ComEntry([&] {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return m_entry.createInstance(outer, riid, ppv);
  });
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    CZaDizuvOzarModule::Instance().Lock();
  } else {
    CZaDizuvOzarModule::Instance().Unlock();
  }
  return S_OK;
}

}  // namespace qz::shell
