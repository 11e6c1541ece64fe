#pragma once
// The string grid's in-place editor: an edit control inside the grid's window
// that shows the current cell's text. The keys that move between rows go
// back to the grid; left and right stay with the text.
#include <windows.h>

#include <functional>
#include <string>

class TGridEditor {
 public:
  // `rowKey` moves the grid for such a key.
  TGridEditor(HWND grid, HFONT font, std::function<void(WPARAM key)> rowKey);
  ~TGridEditor();
  TGridEditor(const TGridEditor&) = delete;
  TGridEditor& operator=(const TGridEditor&) = delete;

  // Null once the window is gone (it goes with the grid's window).
  HWND Handle() const { return FHandle; }
  bool Shown() const;  // its own visibility, whatever its parent's
  bool Visible() const { return FHandle && IsWindowVisible(FHandle); }
  bool Focused() const { return FHandle && GetFocus() == FHandle; }
  void Focus();

  std::wstring Text() const;
  // Shows the text all selected; the change notification it causes is one
  // that Loading() says to ignore.
  void Load(const std::wstring& text);
  bool Loading() const { return FLoading; }

  // Over `rect` (grid client coordinates); moved only when it must, since
  // each move is a round trip to the window server.
  void ShowAt(const RECT& rect);
  // Hidden; the focus it had goes to the grid.
  void Hide();
  void SetFont(HFONT font);

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND FHandle = nullptr;
  HWND FGrid;
  WNDPROC FOwnProc = nullptr;  // the edit control's own procedure
  std::function<void(WPARAM key)> FRowKey;
  bool FLoading = false;
};
