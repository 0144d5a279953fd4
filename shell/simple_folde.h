// The folder context-menu handler that the file manager creates for every folder menu: keeps
// the first selected path, adds "Orvel文件夹加密" and "Orvel文件夹解密", gives their help
// texts and opens the encryption or decryption dialog when one is picked.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "identifiers.h"

namespace qz::shell {

// Empty dual interface: its IDispatch is served from the registered type library.
struct ISimpleFolde : public IDispatch {};

class CSimpleFolde final : public ISimpleFolde, public IShellExtInit, public IContextMenu {
 public:
  // The class table's creation function: a plain object, or an aggregatable one inside `outer`.
  static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

  // IUnknown, delegating to the controlling unknown.
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // IShellExtInit
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) override;

  // IContextMenu
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  STDMETHODIMP GetCommandString(UINT_PTR command, UINT type, UINT* reserved, CHAR* name, UINT cchMax) override;

  // The commands, by their offset from the first identifier the file manager granted. The texts
  // are ours (code page 936): shown through the wide functions, whatever the ANSI code page.
  struct Command {
    const char* menuText;
    const char* helpText;
    void (CSimpleFolde::*action)(HWND owner) const;
  };

 private:
  // The object's own, non-delegating IUnknown: the outer object holds this one.
  struct OwnUnknown final : public IUnknown {
    explicit OwnUnknown(CSimpleFolde* owner) : object(owner) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    CSimpleFolde& Object() { return *object; }
    CSimpleFolde* object;
  };

  explicit CSimpleFolde(IUnknown* outer);
  ~CSimpleFolde();
  CSimpleFolde(const CSimpleFolde&) = delete;
  CSimpleFolde& operator=(const CSimpleFolde&) = delete;

  HRESULT LoadTypeInfo();
  void OpenEncryption(HWND owner) const;
  void OpenDecryption(HWND owner) const;

  static const Command kCommands[2];

  OwnUnknown m_own;
  IUnknown* m_controlling;
  ULONG m_refs = 0;  // plain: the object lives in one apartment
  ITypeInfo* m_typeInfo = nullptr;
  char m_path[MAX_PATH] = {};
};

}  // namespace qz::shell
