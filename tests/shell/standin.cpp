// shell_standin: plays the file manager for the tests, through the registry and COM only, the
// way Explorer meets a folder context-menu handler: every handler listed under
// HKCR\Folder\ShellEx\ContextMenuHandlers is created with CoCreateInstance, initialised with
// the shell's own data object of the selected folders, asked for its menu items on a real popup
// menu, for help texts, and invoked; then a message loop runs the dialogs it opened, and
// CoFreeUnusedLibraries lets the library go once they are gone.
//
//   shell_standin --log FILE handlers
//   shell_standin --log FILE menu [--flags N] FOLDER...
//   shell_standin --log FILE help OFFSET CCH
//   shell_standin --log FILE invoke [--script FILE] [--keep] FOLDER... VERB   (VERB: 0, 1, or s:TEXT)
//   shell_standin --log FILE popup FOLDER                                       (until dismissed)
//
// Every line of the log is UTF-8: windows and menu items are read as UTF-16, whatever the ANSI
// code page, and the narrow help text goes in as the hex of its bytes; the first line names the
// ANSI code page. Message boxes are read and answered with OK as they appear. Without --keep
// the dialogs that the command opened are read (caption and every edit box) and cancelled; with
// a script they are driven step by step (see Script below).
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "com_ptr.h"
#include "resource.h"

namespace {

FILE* g_log = stdout;

std::string Utf8FromWide(const std::wstring& wide) {
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(length > 0 ? length : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
  text.resize(text.size() - 1);
  return text;
}

std::wstring WideFrom(UINT codePage, const std::string& text) {
  int length = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(codePage, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(wide.size() - 1);
  return wide;
}

void Log(const std::string& line) {
  std::fprintf(g_log, "%s\n", line.c_str());
  std::fflush(g_log);
}

std::string Hex(const void* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    unsigned char byte = static_cast<const unsigned char*>(data)[i];
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex.empty() ? "-" : hex;
}

std::string HrText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

struct Pidl {
  PIDLIST_ABSOLUTE p = nullptr;
  Pidl() = default;
  Pidl(const Pidl&) = delete;
  Pidl& operator=(const Pidl&) = delete;
  Pidl(Pidl&& other) noexcept : p(other.p) { other.p = nullptr; }
  ~Pidl() { CoTaskMemFree(p); }
};

// The handlers registered for folders, by their registry name, as Explorer finds them.
std::vector<std::pair<std::string, CLSID>> RegisteredHandlers() {
  std::vector<std::pair<std::string, CLSID>> handlers;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Folder\\ShellEx\\ContextMenuHandlers", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return handlers;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = ARRAYSIZE(name);
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    wchar_t value[64] = {};
    LONG size = sizeof(value);
    CLSID clsid;
    if (RegQueryValueW(key, name, value, &size) == ERROR_SUCCESS && SUCCEEDED(CLSIDFromString(value, &clsid)))
      handlers.emplace_back(Utf8FromWide(name), clsid);
  }
  RegCloseKey(key);
  return handlers;
}

// The shell's own data object for folders that share one parent, as the file manager hands
// it over for a selection.
HRESULT SelectionDataObject(const std::vector<std::wstring>& folders, IDataObject** data) {
  std::vector<Pidl> absolute;
  for (const std::wstring& folder : folders) {
    Pidl pidl;
    HRESULT hr = SHParseDisplayName(folder.c_str(), nullptr, &pidl.p, 0, nullptr);
    if (FAILED(hr)) return hr;
    absolute.push_back(std::move(pidl));
  }
  ComPtr<IShellFolder> parent;
  PCUITEMID_CHILD first = nullptr;
  HRESULT hr = SHBindToParent(absolute[0].p, IID_IShellFolder, parent.put(), &first);
  if (FAILED(hr)) return hr;
  std::vector<PCUITEMID_CHILD> children{first};
  for (size_t i = 1; i < absolute.size(); ++i) children.push_back(ILFindLastID(absolute[i].p));
  return parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), IID_IDataObject,
                               nullptr, reinterpret_cast<void**>(data));
}

HRESULT CreateHandler(const CLSID& clsid, const std::vector<std::wstring>& folders, IContextMenu** menu) {
  ComPtr<IShellExtInit> init;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.put());
  if (FAILED(hr)) return hr;
  ComPtr<IDataObject> data;
  hr = SelectionDataObject(folders, &data.p);
  if (FAILED(hr)) return hr;
  hr = init->Initialize(nullptr, data.p, nullptr);
  Log("initialize " + HrText(hr));
  if (FAILED(hr)) return hr;
  return init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(menu));
}

std::string MenuItemText(HMENU menu, UINT position) {
  wchar_t text[256] = {};
  GetMenuStringW(menu, position, text, ARRAYSIZE(text), MF_BYPOSITION);
  return Utf8FromWide(text);
}

// The file manager's own items around the handler's, so that the position given is honoured.
HMENU MenuWithNeighbours() {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"Open");
  AppendMenuW(menu, MF_STRING, 2, L"Properties");
  return menu;
}

constexpr UINT kFirstHandlerId = 100;

std::string WindowClass(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof(name));
  return name;
}

// As UTF-16, the way the system holds it: right whether it was set through the ANSI or the wide
// functions, and whatever the ANSI code page.
std::string WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(length + 1, L'\0');
  text.resize(GetWindowTextW(hwnd, text.data(), length + 1));
  return Utf8FromWide(text);
}

// The dialogs of the library have edit boxes of these identifiers; a message box has none.
bool IsMessageBox(HWND hwnd) {
  if (WindowClass(hwnd) != "#32770") return false;
  for (int id : {IDC_SOURCE_FOLDER, IDC_ENCRYPTED_FOLDER, IDC_DEFAULT_CERT_TABLE})
    if (GetDlgItem(hwnd, id)) return false;
  return GetDlgItem(hwnd, 0xFFFF) != nullptr;
}

std::vector<std::string> g_boxes;  // "caption\ttext" of every box seen, in order

// Reads a message box as it becomes active and answers it with OK.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    if (IsMessageBox(hwnd)) {
      std::string line = WindowText(hwnd) + "\t" + WindowText(GetDlgItem(hwnd, 0xFFFF));
      g_boxes.push_back(line);
      Log("box " + line);
      PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDOK)));
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<HWND> ThreadDialogs() {
  std::vector<HWND> dialogs;
  EnumThreadWindows(GetCurrentThreadId(), [](HWND hwnd, LPARAM found) -> BOOL {
    if (WindowClass(hwnd) == "#32770" && IsWindowVisible(hwnd) && !IsMessageBox(hwnd))
      reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&dialogs));
  return dialogs;
}

HWND DialogWithCaption(const std::string& captionUtf8) {
  for (HWND hwnd : ThreadDialogs())
    if (WindowText(hwnd) == captionUtf8) return hwnd;
  return nullptr;
}

void LogDialog(HWND dialog) {
  Log("dialog " + WindowText(dialog));
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (WindowClass(child) == "Edit")
      Log("field " + std::to_string(GetDlgCtrlID(child)) + "\t" + WindowText(child));
  }
}

void PumpFor(DWORD milliseconds) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// Drives the dialogs the way a person would, one step after the other; each step waits (up to
// a deadline) until what it needs is there. Steps, one a line, texts UTF-8:
//   wait CAPTION            a dialog of that caption is shown
//   gone CAPTION            no dialog of that caption is left
//   click CAPTION ID        presses the button ID of that dialog
//   text CAPTION ID TEXT    puts TEXT into the edit box ID
//   row CAPTION ID N        selects row N of the list view ID
//   item CAPTION ID N       selects entry N of the combo box ID
//   box TEXT                a message box with that text has been shown (and answered)
//   read CAPTION            logs the dialog's caption and edit boxes
//   shot NAME               asks the test for a screenshot: makes NAME.request in the log's
//                           folder and waits until the test has removed it
class Script {
 public:
  Script(std::vector<std::string> steps, std::string shotDir) : m_steps(std::move(steps)), m_shotDir(std::move(shotDir)) {}

  // True when every step is done; false on a step that did not come true in time.
  bool Run() {
    for (const std::string& step : m_steps) {
      Log("step " + step);
      DWORD start = GetTickCount();
      bool requested = false;
      while (!Try(step, requested)) {
        if (GetTickCount() - start > 60000) {
          Log("step timed out: " + step);
          return false;
        }
        PumpFor(100);
      }
      PumpFor(200);
    }
    return true;
  }

 private:
  bool Try(const std::string& step, bool& requested) {
    std::istringstream in(step);
    std::string verb, caption;
    in >> verb;
    if (verb == "box") {
      std::string text = Rest(in);
      for (const std::string& box : g_boxes)
        if (box.substr(box.find('\t') + 1) == text) return true;
      return false;
    }
    if (verb == "shot") {
      std::string request = m_shotDir + "\\" + Rest(in) + ".request";
      if (!requested) {
        std::ofstream(request.c_str()) << "\n";
        requested = true;
      }
      return GetFileAttributesA(request.c_str()) == INVALID_FILE_ATTRIBUTES;
    }
    in >> caption;
    HWND dialog = DialogWithCaption(caption);
    if (verb == "gone") return dialog == nullptr;
    if (!dialog) return false;
    if (verb == "wait") return true;
    if (verb == "read") {
      LogDialog(dialog);
      return true;
    }
    int id = 0;
    in >> id;
    HWND control = GetDlgItem(dialog, id);
    if (!control || !IsWindowEnabled(control)) return false;
    if (verb == "click") {
      PostMessageA(control, BM_CLICK, 0, 0);
    } else if (verb == "text") {
      SetWindowTextW(control, WideFrom(CP_UTF8, Rest(in)).c_str());
    } else if (verb == "row") {
      int row = 0;
      in >> row;
      if (ListView_GetItemCount(control) <= row) return false;
      ListView_SetItemState(control, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    } else if (verb == "item") {
      int index = 0;
      in >> index;
      if (SendMessageA(control, CB_GETCOUNT, 0, 0) <= index) return false;
      SendMessageA(control, CB_SETCURSEL, index, 0);
      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
    }
    return true;
  }

  static std::string Rest(std::istringstream& in) {
    std::string rest;
    std::getline(in >> std::ws, rest);
    return rest;
  }

  std::vector<std::string> m_steps;
  std::string m_shotDir;
};

struct Options {
  std::string command;
  std::vector<std::wstring> folders;
  UINT flags = CMF_NORMAL;
  std::string verb;
  std::string script;
  bool keep = false;
  UINT helpOffset = 0;
  UINT helpChars = 0;
  std::string logDir = ".";
};

int ListHandlers() {
  for (const auto& [name, clsid] : RegisteredHandlers()) {
    wchar_t text[64];
    StringFromGUID2(clsid, text, ARRAYSIZE(text));
    Log("handler " + name + " " + Utf8FromWide(text));
  }
  return 0;
}

// Runs `use` for every registered handler, initialised with the folders.
int ForEachHandler(const Options& options, const std::function<void(IContextMenu&)>& use) {
  auto handlers = RegisteredHandlers();
  if (handlers.empty()) {
    Log("no handlers");
    return 2;
  }
  for (const auto& [name, clsid] : handlers) {
    Log("handler " + name);
    ComPtr<IContextMenu> menu;
    HRESULT hr = CreateHandler(clsid, options.folders, &menu.p);
    if (FAILED(hr)) {
      Log("create " + HrText(hr));
      return 3;
    }
    use(*menu.p);
  }
  return 0;
}

void ShowMenu(IContextMenu& handler, UINT flags) {
  HMENU menu = MenuWithNeighbours();
  HRESULT hr = handler.QueryContextMenu(menu, 1, kFirstHandlerId, kFirstHandlerId + 99, flags);
  Log("query " + HrText(hr));
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    UINT id = GetMenuItemID(menu, position);
    Log("item " + std::to_string(position) + " " + std::to_string(static_cast<int>(id)) + " " + MenuItemText(menu, position));
  }
  DestroyMenu(menu);
}

void ShowHelpTexts(IContextMenu& handler, UINT offset, UINT chars) {
  char narrow[64];
  memset(narrow, 0x7F, sizeof(narrow));
  HRESULT hr = handler.GetCommandString(offset, GCS_HELPTEXTA, nullptr, narrow, chars);
  Log("helpA " + HrText(hr) + " " + Hex(narrow, SUCCEEDED(hr) ? strnlen(narrow, sizeof(narrow)) : 0));
  wchar_t wide[64];
  wmemset(wide, 0x7F7F, ARRAYSIZE(wide));
  hr = handler.GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), chars);
  Log("helpW " + HrText(hr) + " " + (SUCCEEDED(hr) ? Utf8FromWide(std::wstring(wide, wcsnlen(wide, ARRAYSIZE(wide)))) : "-"));
  for (UINT type : {GCS_VERBA, GCS_VERBW, GCS_VALIDATEA, GCS_VALIDATEW}) {
    char untouched[8];
    memset(untouched, 0x7F, sizeof(untouched));
    hr = handler.GetCommandString(offset, type, nullptr, untouched, sizeof(untouched) / 2);
    Log("type " + std::to_string(type) + " " + HrText(hr) + (untouched[0] == 0x7F ? " untouched" : " written"));
  }
}

bool LibraryLoaded() { return GetModuleHandleW(L"ZaDizuvOzar.dll") != nullptr; }

// Runs the dialogs the command opened, then lets COM free the library once they are gone.
bool RunDialogs(const Options& options) {
  bool ok = true;
  PumpFor(300);
  CoFreeUnusedLibraries();  // the handler is released: only the dialogs may hold the library now
  Log("dialogs open " + std::to_string(ThreadDialogs().size()) + ", library loaded " +
      (LibraryLoaded() ? "yes" : "no"));
  if (!options.script.empty()) {
    std::ifstream in(options.script.c_str());
    std::vector<std::string> steps;
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && line[0] != '#') steps.push_back(line);
    ok = Script(steps, options.logDir).Run();
  } else if (!options.keep) {
    for (HWND dialog : ThreadDialogs()) {
      LogDialog(dialog);
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
  }
  DWORD start = GetTickCount();
  while (!ThreadDialogs().empty() && GetTickCount() - start < (options.keep ? 600000u : 20000u)) {
    CoFreeUnusedLibraries();  // must not take the library from under a dialog
    PumpFor(100);
  }
  Log("dialogs left " + std::to_string(ThreadDialogs().size()));
  return ok;
}

int Invoke(const Options& options) {
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof(info);
  info.nShow = SW_SHOWNORMAL;
  std::string verbText;
  if (options.verb.rfind("s:", 0) == 0) {
    verbText = options.verb.substr(2);
    info.lpVerb = verbText.c_str();
  } else {
    info.lpVerb = MAKEINTRESOURCEA(std::stoi(options.verb));
  }
  bool ok = true;
  int rc = ForEachHandler(options, [&](IContextMenu& handler) {
    HMENU menu = MenuWithNeighbours();
    handler.QueryContextMenu(menu, 0, kFirstHandlerId, kFirstHandlerId + 99, CMF_NORMAL);
    DestroyMenu(menu);
    Log("invoke " + HrText(handler.InvokeCommand(&info)));
  });
  if (rc != 0) return rc;
  ok = RunDialogs(options);
  return ok ? 0 : 4;
}

LRESULT CALLBACK PopupOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The menu as the file manager shows it, on a window of the stand-in's own, for a screenshot.
int Popup(const Options& options) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PopupOwnerProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"ShellStandIn";
  RegisterClassW(&windowClass);
  HWND owner = CreateWindowW(L"ShellStandIn", options.folders[0].c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             40, 40, 600, 400, nullptr, nullptr, windowClass.hInstance, nullptr);
  PumpFor(300);
  return ForEachHandler(options, [&](IContextMenu& handler) {
    HMENU menu = MenuWithNeighbours();
    handler.QueryContextMenu(menu, 1, kFirstHandlerId, kFirstHandlerId + 99, CMF_NORMAL);
    SetForegroundWindow(owner);
    Log("popup shown");
    UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN, 120, 120, 0, owner, nullptr);
    Log("popup chosen " + std::to_string(chosen));
    DestroyMenu(menu);
    DestroyWindow(owner);
  });
}

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  int i = 1;
  if (i + 1 < argc && std::wstring(argv[i]) == L"--log") {
    std::wstring path = argv[i + 1];
    g_log = _wfopen(path.c_str(), L"ab");
    if (!g_log) return false;
    size_t slash = path.find_last_of(L"\\/");
    options.logDir = slash == std::wstring::npos ? "." : Utf8FromWide(path.substr(0, slash));
    i += 2;
  }
  if (i >= argc) return false;
  options.command = Utf8FromWide(argv[i++]);
  std::vector<std::wstring> rest;
  for (; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--flags" && i + 1 < argc) {
      options.flags = static_cast<UINT>(std::stoul(argv[++i], nullptr, 0));
    } else if (arg == L"--script" && i + 1 < argc) {
      options.script = Utf8FromWide(argv[++i]);
    } else if (arg == L"--keep") {
      options.keep = true;
    } else {
      rest.push_back(arg);
    }
  }
  if (options.command == "help") {
    if (rest.size() != 2) return false;
    options.helpOffset = static_cast<UINT>(std::stoul(rest[0]));
    options.helpChars = static_cast<UINT>(std::stoul(rest[1]));
    rest = {L"C:\\windows"};
  } else if (options.command == "invoke") {
    if (rest.size() < 2) return false;
    options.verb = Utf8FromWide(rest.back());
    rest.pop_back();
  }
  options.folders = rest;
  return options.command == "handlers" || !options.folders.empty();
}

int Run(const Options& options) {
  if (options.command == "handlers") return ListHandlers();
  if (options.command == "menu")
    return ForEachHandler(options, [&](IContextMenu& handler) { ShowMenu(handler, options.flags); });
  if (options.command == "help")
    return ForEachHandler(options, [&](IContextMenu& handler) { ShowHelpTexts(handler, options.helpOffset, options.helpChars); });
  if (options.command == "invoke") return Invoke(options);
  if (options.command == "popup") return Popup(options);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: shell_standin [--log FILE] handlers|menu|help|invoke|popup ...\n");
    return 1;
  }
  Log("ansi code page " + std::to_string(GetACP()));
  OleInitialize(nullptr);
  HHOOK hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
  int rc = Run(options);
  UnhookWindowsHookEx(hook);
  CoFreeUnusedLibraries();
  Log("library loaded at exit: " + std::string(LibraryLoaded() ? "yes" : "no"));
  OleUninitialize();
  if (g_log != stdout) std::fclose(g_log);
  return rc;
}
