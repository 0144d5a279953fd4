#include "registration.h"

#include <oleauto.h>

#include <string>

#include "identifiers.h"
#include "server_resources.h"

namespace qz::shell {

// The platform's registry-script registrar (atl.dll), which the MinGW headers do not declare.
// Outside the unnamed namespace: with no implementation in sight there the compiler would
// take every call for one to a pure virtual function.
constexpr CLSID kClsidRegistrar = {0x44EC053A, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};
constexpr IID kIidRegistrar = {0x44EC053B, 0x400F, 0x11D0, {0x9D, 0xCD, 0x00, 0xA0, 0xC9, 0x03, 0x91, 0xD3}};

struct IRegistrar : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddReplacement(LPCOLESTR key, LPCOLESTR item) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearReplacements() = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceRegisterSz(LPCOLESTR file, LPCOLESTR id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceUnregisterSz(LPCOLESTR file, LPCOLESTR id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileRegister(LPCOLESTR file) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileUnregister(LPCOLESTR file) = 0;
  virtual HRESULT STDMETHODCALLTYPE StringRegister(LPCOLESTR data) = 0;
  virtual HRESULT STDMETHODCALLTYPE StringUnregister(LPCOLESTR data) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceRegister(LPCOLESTR file, UINT id, LPCOLESTR type) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResourceUnregister(LPCOLESTR file, UINT id, LPCOLESTR type) = 0;
};

namespace {

// COM for the calls below; the caller's apartment when it has one already.
class ComScope {
 public:
  ComScope() : m_initialized(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (m_initialized) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool m_initialized;
};

// Registration runs under the system's default locale, whatever the calling thread has set.
class SystemLocaleScope {
 public:
  SystemLocaleScope() : m_saved(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
  ~SystemLocaleScope() { SetThreadLocale(m_saved); }
  SystemLocaleScope(const SystemLocaleScope&) = delete;
  SystemLocaleScope& operator=(const SystemLocaleScope&) = delete;

 private:
  LCID m_saved;
};

template <typename T>
struct ComReleaser {
  T* pointer = nullptr;
  ~ComReleaser() {
    if (pointer) pointer->Release();
  }
};

// The library's full path, read the way the platform's module class does: at most 260
// characters. As UTF-16: the ANSI code page may lack characters of the folder a user chose.
HRESULT ModulePath(HMODULE module, std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
  if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  path.assign(buffer, length);
  return S_OK;
}

// The script language quotes with single quotes: a quote inside a value is written twice.
std::wstring DoubleQuotes(const std::wstring& text) {
  std::wstring doubled;
  for (wchar_t ch : text) {
    doubled += ch;
    if (ch == L'\'') doubled += ch;
  }
  return doubled;
}

class ScriptRunner {
 public:
  explicit ScriptRunner(HMODULE module) : m_module(module) {}

  HRESULT Run(UINT scriptId, bool registering) {
    HRESULT hr = Prepare();
    if (FAILED(hr)) return hr;
    const wchar_t* type = L"REGISTRY";
    return registering ? m_registrar.pointer->ResourceRegister(m_file.c_str(), scriptId, type)
                       : m_registrar.pointer->ResourceUnregister(m_file.c_str(), scriptId, type);
  }

  const std::wstring& File() const { return m_file; }

 private:
  HRESULT Prepare() {
    if (m_registrar.pointer) return S_OK;
    std::wstring path;
    HRESULT hr = ModulePath(m_module, path);
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(kClsidRegistrar, nullptr, CLSCTX_INPROC_SERVER, kIidRegistrar,
                          reinterpret_cast<void**>(&m_registrar.pointer));
    if (FAILED(hr)) return hr;
    m_file = path;
    const std::wstring module = DoubleQuotes(path);
    hr = m_registrar.pointer->AddReplacement(L"MODULE", module.c_str());
    if (SUCCEEDED(hr)) hr = m_registrar.pointer->AddReplacement(L"MODULE_RAW", module.c_str());
    if (SUCCEEDED(hr)) hr = m_registrar.pointer->AddReplacement(L"APPID", kAppidText);
    return hr;
  }

  HMODULE m_module;
  ComReleaser<IRegistrar> m_registrar;
  std::wstring m_file;
};

HRESULT RegisterTypeLibrary(std::wstring file) {
  ComReleaser<ITypeLib> library;
  HRESULT hr = LoadTypeLib(file.c_str(), &library.pointer);
  if (FAILED(hr)) return hr;
  return RegisterTypeLib(library.pointer, file.data(), nullptr);
}

HRESULT UnregisterTypeLibrary() {
  return UnRegisterTypeLib(kLibidZaDizuvOzarLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
}

}  // namespace

HRESULT RegisterServer(HMODULE module) {
  ComScope com;
  SystemLocaleScope locale;
  ScriptRunner scripts(module);
  HRESULT hr = scripts.Run(IDR_APPID_SCRIPT, true);
  if (SUCCEEDED(hr)) hr = scripts.Run(IDR_CLASS_SCRIPT, true);
  if (SUCCEEDED(hr)) hr = RegisterTypeLibrary(scripts.File());
  return hr;
}

HRESULT UnregisterServer(HMODULE module) {
  ComScope com;
  SystemLocaleScope locale;
  ScriptRunner scripts(module);
  HRESULT hr = scripts.Run(IDR_CLASS_SCRIPT, false);
  if (SUCCEEDED(hr)) hr = UnregisterTypeLibrary();
  if (SUCCEEDED(hr)) hr = scripts.Run(IDR_APPID_SCRIPT, false);
  return hr;
}

}  // namespace qz::shell
