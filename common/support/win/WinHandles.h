#pragma once
// Move-only owners for the handles the window layer and the forms hold: GDI
// objects, registry keys, device contexts. Program code never calls
// DeleteObject, RegCloseKey or ReleaseDC itself. The owners are the portable
// TUniqueHandle; what is Windows here is only how each kind is closed.
#include <windows.h>

#include "untUniqueHandle.h"

template <class T>
struct TGdiTraits {
  static T Invalid() noexcept { return nullptr; }
  static void Close(T h) noexcept { DeleteObject(h); }
};
struct TRegKeyTraits {
  static HKEY Invalid() noexcept { return nullptr; }
  static void Close(HKEY h) noexcept { RegCloseKey(h); }
};
struct TMemDCTraits {
  static HDC Invalid() noexcept { return nullptr; }
  static void Close(HDC h) noexcept { DeleteDC(h); }
};
struct TIconTraits {
  static HICON Invalid() noexcept { return nullptr; }
  static void Close(HICON h) noexcept { DestroyIcon(h); }
};
struct TKernelTraits {
  static HANDLE Invalid() noexcept { return nullptr; }
  static void Close(HANDLE h) noexcept { CloseHandle(h); }
};

struct TGlobalTraits {
  static HGLOBAL Invalid() noexcept { return nullptr; }
  static void Close(HGLOBAL h) noexcept { GlobalFree(h); }
};

using TFontHandle = TUniqueHandle<HFONT, TGdiTraits<HFONT>>;
using TBrushHandle = TUniqueHandle<HBRUSH, TGdiTraits<HBRUSH>>;
using TPenHandle = TUniqueHandle<HPEN, TGdiTraits<HPEN>>;
using TBitmapHandle = TUniqueHandle<HBITMAP, TGdiTraits<HBITMAP>>;
using TRegionHandle = TUniqueHandle<HRGN, TGdiTraits<HRGN>>;
using TRegKey = TUniqueHandle<HKEY, TRegKeyTraits>;
using TMemDC = TUniqueHandle<HDC, TMemDCTraits>;
using TIconHandle = TUniqueHandle<HICON, TIconTraits>;
using TKernelHandle = TUniqueHandle<HANDLE, TKernelTraits>;
using TGlobalMemory = TUniqueHandle<HGLOBAL, TGlobalTraits>;

// The device context of a window's client area (GetDC / ReleaseDC). Text is
// measured on a memory context instead (TMemDC of CreateCompatibleDC(nullptr)):
// under Wine a window's context is a round trip to the window server.
class TClientDC {
 public:
  explicit TClientDC(HWND wnd) noexcept : FWnd(wnd), FDC(GetDC(wnd)) {}
  TClientDC(const TClientDC&) = delete;
  TClientDC& operator=(const TClientDC&) = delete;
  ~TClientDC() {
    if (FDC) ReleaseDC(FWnd, FDC);
  }
  HDC Get() const noexcept { return FDC; }

 private:
  HWND FWnd;
  HDC FDC;
};

// A memory context kept for measuring text on this thread: making one for
// every measurement cost more than the measurement itself.
inline HDC MeasureDC() {
  static thread_local TMemDC dc(CreateCompatibleDC(nullptr));
  return dc.Get();
}

// BeginPaint / EndPaint of one WM_PAINT.
class TPaintDC {
 public:
  explicit TPaintDC(HWND wnd) noexcept : FWnd(wnd) { FDC = BeginPaint(wnd, &FPS); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;
  ~TPaintDC() { EndPaint(FWnd, &FPS); }
  HDC Get() const noexcept { return FDC; }
  const RECT& Rect() const noexcept { return FPS.rcPaint; }

 private:
  HWND FWnd;
  PAINTSTRUCT FPS{};
  HDC FDC;
};

// Selects an object into a DC and puts the previous one back.
class TSelectObject {
 public:
  TSelectObject(HDC dc, HGDIOBJ obj) noexcept : FDC(dc), FOld(obj ? SelectObject(dc, obj) : nullptr) {}
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;
  ~TSelectObject() {
    if (FOld) SelectObject(FDC, FOld);
  }

 private:
  HDC FDC;
  HGDIOBJ FOld;
};

// SaveDC / RestoreDC around a drawing step that changes clipping or modes.
class TSavedDC {
 public:
  explicit TSavedDC(HDC dc) noexcept : FDC(dc), FState(SaveDC(dc)) {}
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;
  ~TSavedDC() { RestoreDC(FDC, FState); }

 private:
  HDC FDC;
  int FState;
};
