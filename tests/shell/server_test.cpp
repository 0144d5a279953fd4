// The server functions of ZaDizuvOzar.dll as COM and the file manager use them: through
// LoadLibrary/GetProcAddress, and through CoCreateInstance with the library registered.
// QZ_SHELL_DLL names the library (a Windows path); the test driver registers it first.
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "identifiers.h"
#include "com_ptr.h"
#include "resource.h"

namespace {

using qz::shell::kClsidSimpleFolde;
using qz::shell::kIidSimpleFolde;

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

std::string LibraryPath() {
  const char* path = std::getenv("QZ_SHELL_DLL");
  return path ? path : "ZaDizuvOzar.dll";
}

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// The library loaded by hand, as a file manager does before it asks for the class object.
class Library {
 public:
  Library() : m_module(LoadLibraryA(LibraryPath().c_str())) {
    if (m_module) {
      getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(m_module, "DllGetClassObject")));
      canUnloadNow = reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(m_module, "DllCanUnloadNow")));
    }
  }
  ~Library() {
    if (m_module) FreeLibrary(m_module);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  bool Loaded() const { return m_module && getClassObject && canUnloadNow; }
  void Free() {
    FreeLibrary(m_module);
    m_module = nullptr;
  }

  GetClassObjectFn getClassObject = nullptr;
  CanUnloadNowFn canUnloadNow = nullptr;

 private:
  HMODULE m_module;
};

class ServerFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ASSERT_TRUE(library.Loaded()) << LibraryPath();
  }
  void TearDown() override { OleUninitialize(); }

  void GetFactory(ComPtr<IClassFactory>& factory) {
    ASSERT_EQ(S_OK, library.getClassObject(kClsidSimpleFolde, IID_IClassFactory, factory.put()));
    ASSERT_NE(nullptr, factory.p);
  }

  Library library;
};

TEST_F(ServerFunctions, ClassObjectIsRefusedForOtherClassesAndNullOutput) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, library.getClassObject(IID_IUnknown, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_POINTER, library.getClassObject(kClsidSimpleFolde, IID_IClassFactory, nullptr));
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, library.getClassObject(kClsidSimpleFolde, IID_IContextMenu, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(S_OK, library.canUnloadNow());
}

TEST_F(ServerFunctions, OutsideReferenceToTheClassObjectKeepsTheLibrary) {
  ComPtr<IClassFactory> factory;
  GetFactory(factory);
  EXPECT_EQ(S_FALSE, library.canUnloadNow());
  ComPtr<IClassFactory> second;
  GetFactory(second);
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(S_OK, factory->QueryInterface(IID_IUnknown, unknown.put()));
  unknown.Reset();
  second.Reset();
  EXPECT_EQ(S_FALSE, library.canUnloadNow());
  factory.Reset();
  EXPECT_EQ(S_OK, library.canUnloadNow());
}

TEST_F(ServerFunctions, LockServerCountsLocks) {
  ComPtr<IClassFactory> factory;
  GetFactory(factory);
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  factory.Reset();
  EXPECT_EQ(S_FALSE, library.canUnloadNow());
  GetFactory(factory);
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  factory.Reset();
  EXPECT_EQ(S_OK, library.canUnloadNow());
}

TEST_F(ServerFunctions, HandlerObjectsKeepTheLibraryAndAnswerTheirInterfaces) {
  ComPtr<IClassFactory> factory;
  GetFactory(factory);
  EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
  ComPtr<IUnknown> handler;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, handler.put()));
  factory.Reset();
  for (const IID* iid : {&kIidSimpleFolde, &IID_IDispatch, &IID_IShellExtInit, &IID_IContextMenu, &IID_IUnknown}) {
    ComPtr<IUnknown> face;
    EXPECT_EQ(S_OK, handler->QueryInterface(*iid, face.put()));
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(E_NOINTERFACE, handler->QueryInterface(IID_IClassFactory, none.put()));
  EXPECT_EQ(nullptr, none.p);
  EXPECT_EQ(S_FALSE, library.canUnloadNow());
  handler.Reset();
  EXPECT_EQ(S_OK, library.canUnloadNow());
}

// An outer object that counts what its inner object delegates to it.
class CountingOuter : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
    ++queries;
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  ULONG refs = 1;
  int queries = 0;
};

TEST_F(ServerFunctions, AggregationOnlyThroughIUnknown) {
  ComPtr<IClassFactory> factory;
  GetFactory(factory);
  CountingOuter outer;
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IContextMenu, &object));
  EXPECT_EQ(nullptr, object);

  ComPtr<IUnknown> inner;
  ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, inner.put()));
  EXPECT_EQ(1u, outer.refs) << "the inner object must not hold its outer one";
  // Interfaces of the aggregated object delegate their IUnknown to the outer object.
  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, inner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
  EXPECT_EQ(2u, outer.refs);
  IUnknown* viaMenu = nullptr;
  EXPECT_EQ(E_NOINTERFACE, menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaMenu)));
  EXPECT_EQ(1, outer.queries);
  menu->Release();
  EXPECT_EQ(1u, outer.refs);
  EXPECT_EQ(S_FALSE, library.canUnloadNow());
  inner.Reset();
  factory.Reset();
  EXPECT_EQ(S_OK, library.canUnloadNow());
}

TEST_F(ServerFunctions, DispatchIsServedFromTheRegisteredTypeLibrary) {
  ComPtr<IClassFactory> factory;
  GetFactory(factory);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, dispatch.put()));
  UINT count = 0;
  EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, LOCALE_NEUTRAL, info.out()));
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
  EXPECT_TRUE(IsEqualGUID(kIidSimpleFolde, attributes->guid));
  EXPECT_EQ(7, attributes->cbSizeVft / static_cast<int>(sizeof(void*))) << "only the IDispatch slots";
  info->ReleaseTypeAttr(attributes);
  EXPECT_EQ(DISP_E_BADINDEX, dispatch->GetTypeInfo(1, LOCALE_NEUTRAL, info.out()));
}

TEST(ThroughCom, CoCreateInstanceFindsTheRegisteredLibraryAndFreesItWhenUnused) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  {
    ComPtr<IContextMenu> menu;
    ASSERT_EQ(S_OK, CoCreateInstance(kClsidSimpleFolde, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu, menu.put()));
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, CoGetClassObject(kClsidSimpleFolde, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put()));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    ComPtr<IUnknown> outerless;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              CoCreateInstance(kClsidSimpleFolde, menu.p, CLSCTX_INPROC_SERVER, IID_IContextMenu, outerless.put()));
    menu.Reset();
    factory.Reset();
    CoFreeUnusedLibraries();
    EXPECT_NE(nullptr, GetModuleHandleA("ZaDizuvOzar.dll")) << "a LockServer lock must keep the library";
    ASSERT_EQ(S_OK, CoGetClassObject(kClsidSimpleFolde, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put()));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  }
  CoFreeUnusedLibraries();
  EXPECT_EQ(nullptr, GetModuleHandleA("ZaDizuvOzar.dll"));
  OleUninitialize();
}

// Opens the encryption dialog on a folder through the handler, then closes it again. Returns
// whether the dialog appeared and whether the library stayed unloadable-refusing meanwhile.
void OpenAndEndDialog(Library& library) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, library.getClassObject(kClsidSimpleFolde, IID_IClassFactory, factory.put()));
  ComPtr<IShellExtInit> init;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IShellExtInit, init.put()));
  factory.Reset();
  PIDLIST_ABSOLUTE pidl = nullptr;
  ASSERT_EQ(S_OK, SHParseDisplayName(L"C:\\windows", nullptr, &pidl, 0, nullptr));
  ComPtr<IShellFolder> parent;
  PCUITEMID_CHILD child = nullptr;
  ASSERT_EQ(S_OK, SHBindToParent(pidl, IID_IShellFolder, parent.put(), &child));
  ComPtr<IDataObject> data;
  ASSERT_EQ(S_OK, parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr, data.put()));
  CoTaskMemFree(pidl);
  ASSERT_EQ(S_OK, init->Initialize(nullptr, data.p, nullptr));
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(S_OK, init->QueryInterface(IID_IContextMenu, menu.put()));
  init.Reset();
  CMINVOKECOMMANDINFO info{sizeof(info), 0, nullptr, MAKEINTRESOURCEA(0), nullptr, nullptr, SW_SHOW, 0, nullptr};
  ASSERT_EQ(S_OK, menu->InvokeCommand(&info));
  menu.Reset();
  Pump(200);
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), [](HWND hwnd, LPARAM found) -> BOOL {
    if (IsWindowVisible(hwnd) && GetDlgItem(hwnd, IDC_SOURCE_FOLDER)) *reinterpret_cast<HWND*>(found) = hwnd;
    return TRUE;
  }, reinterpret_cast<LPARAM>(&dialog));
  ASSERT_NE(nullptr, dialog) << "the encryption dialog did not open";
  EXPECT_EQ(S_FALSE, library.canUnloadNow()) << "a dialog window must keep the library";
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  for (int i = 0; i < 100 && IsWindow(dialog); ++i) Pump(50);
  ASSERT_FALSE(IsWindow(dialog));
  Pump(100);
  EXPECT_EQ(S_OK, library.canUnloadNow());
}

// The library's thread-local storage (emulated by MinGW) must survive an unload: load, use,
// unload, load again and use again in one process, and threads that end after the unload.
TEST(Reload, LibraryWorksAgainAfterAnUnloadInTheSameProcess) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Library library;
    ASSERT_TRUE(library.Loaded());
    OpenAndEndDialog(library);
    library.Free();
    ASSERT_EQ(nullptr, GetModuleHandleA("ZaDizuvOzar.dll"));
    std::thread([] { Sleep(10); }).join();
  }
  OleUninitialize();
}

// A thread that used the library's thread-local storage and ends after the library is gone:
// the storage's clean-up at thread exit must not call into the unloaded code.
TEST(Reload, ThreadThatUsedTheLibraryEndsAfterItsUnload) {
  std::thread([] {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
      Library library;
      ASSERT_TRUE(library.Loaded());
      OpenAndEndDialog(library);
    }
    EXPECT_EQ(nullptr, GetModuleHandleA("ZaDizuvOzar.dll"));
    OleUninitialize();
  }).join();
  Library again;
  ASSERT_TRUE(again.Loaded());
}

}  // namespace
