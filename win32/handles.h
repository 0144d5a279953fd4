// Owners of the window-system handles that the dialog layer and the skin create. Each close
// function is a plain inline function because the address of an imported API is no constant.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "unique_handle.h"

namespace qz {

inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }
inline void ReleaseWindowDc(HDC dc) { ReleaseDC(WindowFromDC(dc), dc); }
inline void DestroyWindowIfAlive(HWND window) {
  if (IsWindow(window)) DestroyWindow(window);
}
inline void UnloadLibrary(HMODULE module) { FreeLibrary(module); }
inline void Unhook(HHOOK hook) { UnhookWindowsHookEx(hook); }
inline void FreeItemIdList(PIDLIST_ABSOLUTE list) { CoTaskMemFree(list); }

using unique_bitmap = unique_handle<HBITMAP, DeleteGdiObject>;
using unique_font = unique_handle<HFONT, DeleteGdiObject>;
using unique_pen = unique_handle<HPEN, DeleteGdiObject>;
using unique_region = unique_handle<HRGN, DeleteGdiObject>;
using unique_memory_dc = unique_handle<HDC, DeleteMemoryDc>;
using unique_window_dc = unique_handle<HDC, ReleaseWindowDc>;
using unique_window = unique_handle<HWND, DestroyWindowIfAlive>;
using unique_module = unique_handle<HMODULE, UnloadLibrary>;
using unique_hook = unique_handle<HHOOK, Unhook>;
using unique_item_id_list = unique_handle<PIDLIST_ABSOLUTE, FreeItemIdList>;

namespace ui {

// Holds a slim reader/writer lock exclusively for its scope.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&m_lock); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK& m_lock;
};

// Restores a device context's selected objects, colours and modes when it goes out of scope.
// Declare the objects that get selected before it, so that they outlive the restore.
class DcState {
 public:
  explicit DcState(HDC dc) : m_dc(dc), m_saved(SaveDC(dc)) {}
  ~DcState() { RestoreDC(m_dc, m_saved); }
  DcState(const DcState&) = delete;
  DcState& operator=(const DcState&) = delete;

 private:
  HDC m_dc;
  int m_saved;
};

// An off-screen bitmap of a given size with a memory device context that draws into it.
class MemoryCanvas {
 public:
  MemoryCanvas(HDC compatibleWith, int width, int height);
  MemoryCanvas(const MemoryCanvas&) = delete;
  MemoryCanvas& operator=(const MemoryCanvas&) = delete;

  HDC dc() const { return m_dc.get(); }

 private:
  unique_bitmap m_bitmap;  // declared first: the context that holds it is deleted before it
  unique_memory_dc m_dc;
};

}  // namespace ui
}  // namespace qz
