#include "module.h"

#include "class_factory.h"
#include "simple_folde.h"
#include "win_app.h"

namespace qz::shell {
namespace {
const ClassEntry kSimpleFoldeEntry{&kClsidSimpleFolde, &CSimpleFolde::CreateInstance};
}  // namespace

CZaDizuvOzarModule::CZaDizuvOzarModule() : m_classes{{&kSimpleFoldeEntry, nullptr}} {
  m_initialized = InitializeCriticalSectionAndSpinCount(&m_creationLock, 0) != FALSE;
}

CZaDizuvOzarModule::~CZaDizuvOzarModule() {
  for (ClassSlot& slot : m_classes) {
    if (slot.classObject) slot.classObject->Release();
  }
  if (m_initialized) DeleteCriticalSection(&m_creationLock);
}

CZaDizuvOzarModule& CZaDizuvOzarModule::Instance() {
  static CZaDizuvOzarModule module;
  return module;
}

LONG CZaDizuvOzarModule::Lock() { return InterlockedIncrement(&m_lockCount); }
LONG CZaDizuvOzarModule::Unlock() { return InterlockedDecrement(&m_lockCount); }
LONG CZaDizuvOzarModule::GetLockCount() const {
  return InterlockedCompareExchange(const_cast<LONG*>(&m_lockCount), 0, 0);
}

bool CZaDizuvOzarModule::CanUnload() const {
  return GetLockCount() == 0 && ui::ModuleLockCount() == 0;
}

CZaDizuvOzarModule::ClassSlot* CZaDizuvOzarModule::FindSlot(REFCLSID rclsid) {
  for (ClassSlot& slot : m_classes) {
    if (IsEqualCLSID(*slot.entry->clsid, rclsid)) return &slot;
  }
  return nullptr;
}

// Under the creation lock, so that two threads asking at once get the same class object.
HRESULT CZaDizuvOzarModule::EnsureClassObject(ClassSlot& slot) {
  EnterCriticalSection(&m_creationLock);
  HRESULT hr = S_OK;
  if (!slot.classObject) hr = ClassFactory::Create(*slot.entry, &slot.classObject);
  LeaveCriticalSection(&m_creationLock);
  return hr;
}

HRESULT CZaDizuvOzarModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!m_initialized) return E_UNEXPECTED;
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  ClassSlot* slot = FindSlot(rclsid);
  if (!slot) return CLASS_E_CLASSNOTAVAILABLE;
  HRESULT hr = EnsureClassObject(*slot);
  if (FAILED(hr)) return hr;
  hr = slot->classObject->QueryInterface(riid, ppv);
  if (SUCCEEDED(hr) && !*ppv) return CLASS_E_CLASSNOTAVAILABLE;
  return hr;
}

}  // namespace qz::shell
