// The server module: the library's lock count, its class table and the lock that guards the
// one-time creation of each class object.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace qz::shell {

// One class the library serves: its identifier and how an object is made. (Its registry script
// is run by the registration.)
struct ClassEntry {
  const CLSID* clsid;
  // Creates an object (aggregated by `outer` when given) and hands out `riid` from it.
  HRESULT (*createInstance)(IUnknown* outer, REFIID riid, void** ppv);
};

class CZaDizuvOzarModule {
 public:
  CZaDizuvOzarModule();
  virtual ~CZaDizuvOzarModule();
  CZaDizuvOzarModule(const CZaDizuvOzarModule&) = delete;
  CZaDizuvOzarModule& operator=(const CZaDizuvOzarModule&) = delete;

  // Live handler objects, outside references to a class object and LockServer locks.
  virtual LONG Lock();
  virtual LONG Unlock();
  virtual LONG GetLockCount() const;

  HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
  // Whether nothing of the module, nor a window or run of the dialogs, is alive.
  bool CanUnload() const;

  static CZaDizuvOzarModule& Instance();

 private:
  struct ClassSlot {
    const ClassEntry* entry;
    IUnknown* classObject;  // the module's own reference, kept until unload
  };

  ClassSlot* FindSlot(REFCLSID rclsid);
  HRESULT EnsureClassObject(ClassSlot& slot);

  LONG m_lockCount = 0;
  bool m_initialized = false;
  CRITICAL_SECTION m_creationLock;
  ClassSlot m_classes[1];
};

}  // namespace qz::shell
