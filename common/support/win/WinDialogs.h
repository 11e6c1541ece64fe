#pragma once
// Open and save dialogs. Tests answer them through the hook instead.
#include <windows.h>

#include <functional>
#include <string>

struct TFileDialogArgs {
  HWND Owner = nullptr;
  // Pairs of description and pattern separated by '|', e.g.
  // L"Файлы дампа (*.dmp)|*.dmp|Все файлы (*.*)|*.*".
  std::wstring Filter;
  std::wstring DefaultExt;  // without the dot
  std::wstring Title;
  std::wstring InitialDir;
  std::wstring FileName;  // in: proposed name; out: the chosen path
  bool OverwritePrompt = true;  // save: ask before replacing an existing file
};

// The folder of the program's own file (where the dialogs start).
std::wstring ProgramFolder();

// True when the user chose a file (its path is in args.FileName).
bool OpenFileDialog(TFileDialogArgs& args);
// Asks before overwriting an existing file unless told otherwise.
bool SaveFileDialog(TFileDialogArgs& args);

// A dialog its window keeps for the window's life, the way a dialog component
// lives on its form: the file the user chose last is what it proposes next
// time (its folder and name), until then the name and folder it was made with.
class TFileDialog {
 public:
  TFileDialog(bool save, TFileDialogArgs settings) : Args(std::move(settings)), FSave(save) {}
  // True when the user chose a file: FileName() is its path.
  bool Execute(HWND owner);
  const std::wstring& FileName() const { return Args.FileName; }

  // What the next Execute proposes.
  TFileDialogArgs Args;

 private:
  bool FSave;
};

using TFileDialogHook = std::function<bool(bool save, TFileDialogArgs& args)>;
// Returns the previous hook; an empty hook restores the real dialogs.
TFileDialogHook SetFileDialogHook(TFileDialogHook hook);

// Puts the text on the clipboard in place of what it held, owned by `owner`.
// Raises Exception when the clipboard cannot be had.
void SetClipboardText(HWND owner, const std::wstring& text);
