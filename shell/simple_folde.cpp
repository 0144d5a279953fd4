#include "simple_folde.h"

#include <cstring>
#include <new>
#include <string>

#include "com_entry.h"
#include "dialogs.h"
#include "display_text.h"
#include "message_boxes.h"
#include "module.h"
#include "naming.h"

namespace qz::shell {
namespace {

constexpr char kErrorCaption[] = "出错提示";
constexpr char kEncryptionFailed[] = "加密产生异常!";
constexpr char kNotDecryptable[] = "对不起,不支持此文件夹解密!";

// The first path of a drop list in the ANSI code page the runs work in. Read as UTF-16 and
// converted without look-alike letters: a character that code page lacks becomes a '?', which
// names no folder, where the ANSI drop list would name another one ("Ďocs" as "Docs").
// E_INVALIDARG when there is none, or when it does not fit: a shortened path is another folder.
HRESULT CopyFirstPath(HDROP drop, char (&path)[MAX_PATH]) {
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 0) return E_INVALIDARG;
  std::wstring wide(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
  wide.resize(DragQueryFileW(drop, 0, wide.data(), static_cast<UINT>(wide.size())));
  const std::string ansi = ui::AnsiTextFromWide(wide);
  if (ansi.empty() || ansi.size() >= MAX_PATH) return E_INVALIDARG;
  std::memcpy(path, ansi.c_str(), ansi.size() + 1);
  return S_OK;
}

// Copies the first path of the data object's drop list; E_INVALIDARG when there is none to read.
HRESULT FirstDroppedPath(IDataObject& data, char (&path)[MAX_PATH]) {
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (FAILED(data.GetData(&format, &medium))) return E_INVALIDARG;
  HRESULT hr = E_INVALIDARG;
  if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
    hr = CopyFirstPath(drop, path);
    GlobalUnlock(medium.hGlobal);
  }
  ReleaseStgMedium(&medium);
  return hr;
}

}  // namespace

// Both items go to the same position, so the later one (decrypt) stands above the earlier.
const CSimpleFolde::Command CSimpleFolde::kCommands[2] = {
    {"Orvel文件夹加密", "Orvel文件夹加密", &CSimpleFolde::OpenEncryption},
    {"Orvel文件夹解密", "Orvel文件夹解密", &CSimpleFolde::OpenDecryption},
};

HRESULT CSimpleFolde::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  auto* object = new (std::nothrow) CSimpleFolde(outer);
  if (!object) return E_OUTOFMEMORY;
  // Held while asking, so that a refused interface frees the new object.
  object->m_own.AddRef();
  HRESULT hr = object->m_own.QueryInterface(riid, ppv);
  object->m_own.Release();
  return hr;
}

CSimpleFolde::CSimpleFolde(IUnknown* outer) : m_own(this), m_controlling(outer ? outer : &m_own) {
  CZaDizuvOzarModule::Instance().Lock();
}

CSimpleFolde::~CSimpleFolde() {
  if (m_typeInfo) m_typeInfo->Release();
  CZaDizuvOzarModule::Instance().Unlock();
}

STDMETHODIMP CSimpleFolde::OwnUnknown::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  CSimpleFolde& object = Object();
  if (IsEqualIID(riid, IID_IUnknown)) {
    *ppv = static_cast<IUnknown*>(this);
  } else if (IsEqualIID(riid, kIidSimpleFolde) || IsEqualIID(riid, IID_IDispatch)) {
    *ppv = static_cast<ISimpleFolde*>(&object);
  } else if (IsEqualIID(riid, IID_IShellExtInit)) {
    *ppv = static_cast<IShellExtInit*>(&object);
  } else if (IsEqualIID(riid, IID_IContextMenu)) {
    *ppv = static_cast<IContextMenu*>(&object);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CSimpleFolde::OwnUnknown::AddRef() { return ++Object().m_refs; }

STDMETHODIMP_(ULONG) CSimpleFolde::OwnUnknown::Release() {
  CSimpleFolde& object = Object();
  ULONG refs = --object.m_refs;
  if (refs == 0) delete &object;
  return refs;
}

STDMETHODIMP CSimpleFolde::QueryInterface(REFIID riid, void** ppv) {
  return m_controlling->QueryInterface(riid, ppv);
}
STDMETHODIMP_(ULONG) CSimpleFolde::AddRef() { return m_controlling->AddRef(); }
STDMETHODIMP_(ULONG) CSimpleFolde::Release() { return m_controlling->Release(); }

HRESULT CSimpleFolde::LoadTypeInfo() {
  if (m_typeInfo) return S_OK;
  ITypeLib* library = nullptr;
  HRESULT hr = LoadRegTypeLib(kLibidZaDizuvOzarLib, 1, 0, LOCALE_NEUTRAL, &library);
  if (FAILED(hr)) return hr;
  hr = library->GetTypeInfoOfGuid(kIidSimpleFolde, &m_typeInfo);
  library->Release();
  return hr;
}

STDMETHODIMP CSimpleFolde::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP CSimpleFolde::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  return ComEntry([&] {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return static_cast<HRESULT>(DISP_E_BADINDEX);
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr)) return hr;
    m_typeInfo->AddRef();
    *info = m_typeInfo;
    return S_OK;
  });
}

STDMETHODIMP CSimpleFolde::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return ComEntry([&] {
    HRESULT hr = LoadTypeInfo();
    return FAILED(hr) ? hr : DispGetIDsOfNames(m_typeInfo, names, count, ids);
  });
}

STDMETHODIMP CSimpleFolde::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  return ComEntry([&] {
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr)) return hr;
    return DispInvoke(static_cast<ISimpleFolde*>(this), m_typeInfo, id, flags, params, result,
                      exception, argError);
  });
}

STDMETHODIMP CSimpleFolde::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) {
  return ComEntry([&] { return data ? FirstDroppedPath(*data, m_path) : E_INVALIDARG; });
}

STDMETHODIMP CSimpleFolde::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT, UINT flags) {
  return ComEntry([&] {
    if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    for (UINT offset = 0; offset < ARRAYSIZE(kCommands); ++offset) {
      InsertMenuW(menu, index, MF_BYPOSITION, firstId + offset, ui::OurText(kCommands[offset].menuText).c_str());
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, ARRAYSIZE(kCommands));
  });
}

STDMETHODIMP CSimpleFolde::GetCommandString(UINT_PTR command, UINT type, UINT*, CHAR* name, UINT cchMax) {
  return ComEntry([&] {
    if (!(type & GCS_HELPTEXTA)) return S_OK;  // verbs and validation: nothing to say
    if (command >= ARRAYSIZE(kCommands)) return E_INVALIDARG;
    if (!name) return E_POINTER;
    // Our text is code page 936; a narrow caller reads the ANSI code page, '?' where it has no such character.
    const std::wstring wide = ui::OurText(kCommands[command].helpText);
    if (type & GCS_UNICODE) {
      lstrcpynW(reinterpret_cast<wchar_t*>(name), wide.c_str(), static_cast<int>(cchMax));
    } else {
      lstrcpynA(name, ui::AnsiTextFromWide(wide).c_str(), static_cast<int>(cchMax));
    }
    return S_OK;
  });
}

STDMETHODIMP CSimpleFolde::InvokeCommand(CMINVOKECOMMANDINFO* info) {
  return ComEntry([&] {
    if (!info || HIWORD(reinterpret_cast<UINT_PTR>(info->lpVerb)) != 0) return E_INVALIDARG;
    const UINT offset = LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb));
    if (offset >= ARRAYSIZE(kCommands)) return E_INVALIDARG;
    (this->*kCommands[offset].action)(info->hwnd);
    return S_OK;
  });
}

void CSimpleFolde::OpenEncryption(HWND owner) const {
  try {
    const std::string source = m_path;
    dialogs::OpenEncryptionDialog(source, EncryptedFolderOf(source));
  } catch (...) {
    ui::SystemMessageBoxes().Show(owner, kEncryptionFailed, kErrorCaption, MessageIcon::Information);
  }
}

void CSimpleFolde::OpenDecryption(HWND owner) const {
  const std::string source = m_path;
  if (!IsInEncryptedForm(source)) {
    ui::SystemMessageBoxes().Show(owner, kNotDecryptable, kErrorCaption, MessageIcon::Information);
    return;
  }
  dialogs::OpenDecryptionDialog(source, PlainNameOf(source));
}

}  // namespace qz::shell
