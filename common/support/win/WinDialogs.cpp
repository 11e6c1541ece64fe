#include "WinDialogs.h"

#include <commdlg.h>

#include <cstring>
#include <vector>

#include "WinHandles.h"
#include "WinModule.h"
#include "untError.h"

namespace {

TFileDialogHook& Hook() {
  static TFileDialogHook hook;
  return hook;
}

bool RunDialog(bool save, TFileDialogArgs& args) {
  if (Hook()) return Hook()(save, args);
  // The filter the API wants: NUL-separated, ending in two NULs.
  std::wstring filter = args.Filter;
  for (auto& ch : filter)
    if (ch == L'|') ch = L'\0';
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  std::vector<wchar_t> file(32768, L'\0');
  args.FileName.copy(file.data(), std::min(args.FileName.size(), file.size() - 1));
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = args.Owner;
  ofn.lpstrFilter = args.Filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = args.Title.empty() ? nullptr : args.Title.c_str();
  ofn.lpstrInitialDir = args.InitialDir.empty() ? nullptr : args.InitialDir.c_str();
  ofn.lpstrDefExt = args.DefaultExt.empty() ? nullptr : args.DefaultExt.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
              OFN_ENABLESIZING | (save ? (args.OverwritePrompt ? OFN_OVERWRITEPROMPT : 0) : OFN_FILEMUSTEXIST);
  // The dialog library is loaded when a dialog is first shown: linked, it and
  // the shell libraries it brings along would slow every program's start.
  using TFileNameDialog = BOOL(WINAPI*)(OPENFILENAMEW*);
  static const TFileNameDialog open = SystemFunction<TFileNameDialog>(L"comdlg32.dll", "GetOpenFileNameW");
  static const TFileNameDialog saveAs = SystemFunction<TFileNameDialog>(L"comdlg32.dll", "GetSaveFileNameW");
  const TFileNameDialog run = save ? saveAs : open;
  if (!run) throw Exception(L"Не удалось загрузить библиотеку окон выбора файла comdlg32.dll");
  const BOOL ok = run(&ofn);
  if (!ok) return false;
  args.FileName = file.data();
  return true;
}

}  // namespace

std::wstring ProgramFolder() {
  const std::wstring full = ModuleFileName(nullptr);
  const size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
}

bool OpenFileDialog(TFileDialogArgs& args) { return RunDialog(false, args); }

bool SaveFileDialog(TFileDialogArgs& args) { return RunDialog(true, args); }

bool TFileDialog::Execute(HWND owner) {
  TFileDialogArgs args = Args;
  args.Owner = owner;
  if (!RunDialog(FSave, args)) return false;
  Args.FileName = args.FileName;
  const size_t slash = args.FileName.find_last_of(L"\\/");
  if (slash != std::wstring::npos) Args.InitialDir = args.FileName.substr(0, slash);
  return true;
}

TFileDialogHook SetFileDialogHook(TFileDialogHook hook) {
  TFileDialogHook old = std::move(Hook());
  Hook() = std::move(hook);
  return old;
}

void SetClipboardText(HWND owner, const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!memory) throw Exception(L"Не хватает памяти для буфера обмена");
  if (void* p = GlobalLock(memory.Get())) {
    std::memcpy(p, text.c_str(), bytes);
    GlobalUnlock(memory.Get());
  }
  // Another program may hold the clipboard for a moment.
  bool open = false;
  for (int attempt = 0; attempt < 10 && !(open = OpenClipboard(owner) != FALSE); ++attempt) Sleep(10);
  if (!open) throw Exception(L"Буфер обмена занят другой программой");
  EmptyClipboard();
  // The clipboard owns the memory once it took it.
  if (SetClipboardData(CF_UNICODETEXT, memory.Get())) memory.Release();
  CloseClipboard();
}
