// Drives the installed programs from outside, as a user would, for the setup
// test and for the README's screenshots. A console program; what it reads is
// printed as UTF-8 lines, and the exit code says whether it got there.
//
//   probe about EXE              PloverTst's About box lines, then closes the program
//   probe close EXE CAPTION      starts EXE, waits for its main window, presses "Закрыть";
//                                exit code: the program's
//   probe shots TST CMD DIR      a BMP of PloverTst on every page of its list
//                                (DIR\PloverTst-NN.bmp, captions in DIR\pages.txt),
//                                of PloverCmd's main window (DIR\PloverCmd.bmp), and
//                                of the tools beside them: the viewer's list of
//                                differences, the connection test after a run, the
//                                exchange history (names and captions in DIR\tools.txt)
//   probe place                  PloverTst's and PloverCmd's main windows side by side in
//                                the middle of the screen
//   probe rights PATH            the access list of a file or folder in SDDL
//   probe sddl TEXT              an access list in SDDL as the system reads it back
//   probe reg KEY NAME           a text or number value under HKEY_LOCAL_MACHINE
//   probe version FILE           product name, maker and version of a binary, one a line
//   probe status                 the driver's file and GetECRStatus through a client of this bitness
//   probe exchange TST PORT      a request of this client answered by PloverTst over the UDP bus
#include "probe.h"

#include <sddl.h>
#include <aclapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

struct TLocalFree {
  void* P = nullptr;
  ~TLocalFree() {
    if (P) LocalFree(P);
  }
};

}  // namespace

void PutLine(const std::wstring& text) {
  std::wstring line = text + L"\n";
  const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(), n, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int Fail(const std::wstring& why) {
  PutLine(L"probe: " + why);
  return 2;
}

namespace {

std::wstring TextOf(HWND wnd) {
  wchar_t text[512] = {};
  // Another process's window text comes through WM_GETTEXT.
  SendMessageTimeoutW(wnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

}  // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

namespace {

struct TFind {
  DWORD Pid = 0;
  HWND Parent = nullptr;  // children: only direct ones of this window
  std::wstring Class;     // empty: any
  std::wstring Caption;   // prefix; empty: any
  HWND Except = nullptr;  // not this one
  HWND Found = nullptr;
};

bool Matches(HWND wnd, const TFind& f) {
  wchar_t cls[64] = {};
  GetClassNameW(wnd, cls, 64);
  if (!IsWindowVisible(wnd) || wnd == f.Except) return false;
  if (!f.Class.empty() && lstrcmpiW(cls, f.Class.c_str()) != 0) return false;
  if (f.Parent && GetParent(wnd) != f.Parent) return false;
  return f.Caption.empty() || TextOf(wnd).rfind(f.Caption, 0) == 0;
}

// Named callbacks: they need the system's calling convention in a 32-bit build.
BOOL CALLBACK FindTop(HWND wnd, LPARAM p) {
  auto* f = reinterpret_cast<TFind*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  if ((f->Pid && pid != f->Pid) || !Matches(wnd, *f)) return TRUE;
  f->Found = wnd;
  return FALSE;
}

BOOL CALLBACK FindChild(HWND wnd, LPARAM p) {
  auto* f = reinterpret_cast<TFind*>(p);
  if (!Matches(wnd, *f)) return TRUE;
  f->Found = wnd;
  return FALSE;
}

HWND WaitTopWindow(TFind f, int timeoutMs = 30000) {
  WaitFor([&] {
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
    return f.Found != nullptr;
  }, timeoutMs);
  return f.Found;
}

// Another visible top-level window of the process than `except`.
HWND WaitOtherTop(DWORD pid, HWND except, const std::wstring& cls = {}) {
  TFind f;
  f.Pid = pid;
  f.Except = except;
  f.Class = cls;
  return WaitTopWindow(f);
}

}  // namespace

HWND WaitTop(DWORD pid, const std::wstring& caption, int timeoutMs) {
  TFind f;
  f.Pid = pid;
  f.Caption = caption;
  return WaitTopWindow(f, timeoutMs);
}

HWND Child(HWND parent, const std::wstring& cls, const std::wstring& caption, bool direct) {
  TFind f;
  f.Class = cls;
  f.Caption = caption;
  if (direct) f.Parent = parent;
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

TProgram::TProgram(const std::wstring& exe) {
  const std::wstring dir = exe.substr(0, exe.find_last_of(L"\\/") + 1);
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi))
    return;
  FProcess.H = pi.hProcess;
  FThread.H = pi.hThread;
  FPid = pi.dwProcessId;
  WaitForInputIdle(pi.hProcess, 20000);
}

TProgram::~TProgram() {
  if (FProcess.H && WaitForSingleObject(FProcess.H, 0) == WAIT_TIMEOUT) TerminateProcess(FProcess.H, 1);
}

long TProgram::WaitExit(int timeoutMs) {
  if (WaitForSingleObject(FProcess.H, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(FProcess.H, &code);
  return static_cast<long>(code);
}

void Press(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

std::vector<std::wstring> ListLines(HWND list) {
  std::vector<std::wstring> lines;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring line(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
    line.resize(static_cast<size_t>(SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()))));
    lines.push_back(line);
  }
  return lines;
}

namespace {

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  THandle out;
  out.H = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out.H == INVALID_HANDLE_VALUE) {
    out.H = nullptr;
    return false;
  }
  DWORD written = 0;
  return WriteFile(out.H, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
}

// What the screen shows in the rectangle, as a 32-bit BMP.
bool SaveRect(const RECT& r, const std::wstring& path) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
  SelectObject(mem, old);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<BYTE> pixels(static_cast<size_t>(w) * h * 4);
  const bool got = GetDIBits(mem, bmp, 0, static_cast<UINT>(h), pixels.data(), &info, DIB_RGB_COLORS) == h;
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (!got) return false;
  // The screen has no alpha channel: GDI leaves that byte 0, which image
  // tools read as transparent.
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 0xFF;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  bytes.append(reinterpret_cast<const char*>(pixels.data()), pixels.size());
  return WriteBytes(path, bytes);
}

bool SaveWindow(HWND wnd, const std::wstring& path) {
  RECT r{};
  GetWindowRect(wnd, &r);
  return SaveRect(r, path);
}

bool WriteUtf8File(const std::wstring& path, const std::vector<std::wstring>& lines) {
  std::string bytes;
  for (const auto& line : lines) {
    std::wstring l = line + L"\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, l.c_str(), static_cast<int>(l.size()), nullptr, 0, nullptr, nullptr);
    std::string piece(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, l.c_str(), static_cast<int>(l.size()), piece.data(), n, nullptr, nullptr);
    bytes += piece;
  }
  return WriteBytes(path, bytes);
}

constexpr wchar_t kCmdCaption[] = L"Тест команд";

int About(const std::wstring& exe) {
  TProgram program(exe);
  if (!program.Started()) return Fail(L"cannot start " + exe);
  HWND main = WaitTop(program.Pid(), kTstCaption);
  if (!main) return Fail(L"no main window");
  HWND button = Child(main, L"Button", L"О программе");
  if (!button) return Fail(L"no About button");
  Press(button);
  HWND about = WaitTop(program.Pid(), L"О программе");
  if (!about) return Fail(L"no About box");
  HWND list = Child(about, L"ListBox");
  if (!list) return Fail(L"no version list in the About box");
  for (const auto& line : ListLines(list)) PutLine(line);
  Press(Child(about, L"Button", L"OK"));
  if (!WaitFor([&] { return !IsWindow(about); })) return Fail(L"the About box stays open");
  Press(Child(main, L"Button", kClose));
  return program.WaitExit() == 0 ? 0 : Fail(L"the program does not end well");
}

int Close(const std::wstring& exe, const std::wstring& caption) {
  TProgram program(exe);
  if (!program.Started()) return Fail(L"cannot start " + exe);
  HWND main = WaitTop(program.Pid(), caption);
  if (!main) return Fail(L"no main window");
  // The window is up; let its start-up settle before it is closed again.
  Pause(500);
  HWND button = Child(main, L"Button", kClose);
  if (!button) return Fail(L"no close button");
  Press(button);
  const long code = program.WaitExit();
  PutLine(L"exit " + std::to_wstring(code));
  return code == 0 ? 0 : 1;
}

// Picks the file in the file dialog the process has open.
bool AnswerFileDialog(DWORD pid, HWND owner, const std::wstring& path) {
  HWND dlg = WaitOtherTop(pid, owner, L"#32770");
  if (!dlg) return false;
  Pause(300);
  // The file name box of the dialog (a combo box in the Explorer style, an edit in the old one).
  if (!SetDlgItemTextW(dlg, 0x47C, path.c_str()) && !SetDlgItemTextW(dlg, 0x480, path.c_str())) return false;
  PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
  return WaitFor([&] { return !IsWindow(dlg) || !IsWindowVisible(dlg); });
}

// A button of the viewer's tool bar, by its place on the bar: the bar
// numbers its buttons from 100 in the order they were made.
void PressTool(HWND window, int index) {
  HWND bar = Child(window, L"ToolbarWindow32");
  PostMessageW(GetParent(bar), WM_COMMAND, MAKEWPARAM(100 + index, BN_CLICKED), reinterpret_cast<LPARAM>(bar));
}

}  // namespace

void ShowPage(HWND main, HWND list, size_t index) {
  SendMessageW(list, LB_SETCURSEL, index, 0);
  SendMessageW(main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  Pause(800);
}

bool SelectPage(HWND main, HWND list, const std::wstring& caption) {
  const std::vector<std::wstring> pages = ListLines(list);
  for (size_t i = 0; i < pages.size(); ++i) {
    if (pages[i].find(caption) == std::wstring::npos) continue;
    ShowPage(main, list, i);
    return true;
  }
  return false;
}

namespace {

// The tools beside the pages: the viewer's differences from a file, the
// connection test after a run. Returns the lines of tools.txt it made.
std::vector<std::wstring> TstToolShots(const TProgram& program, HWND main, HWND list, const std::wstring& dir) {
  std::vector<std::wstring> made;
  std::string a(1024, '\0');
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<char>(i * 7 + i / 64);
  std::string b = a.substr(0, 1000);
  for (size_t at : {3u, 4u, 90u, 300u, 301u, 302u, 777u}) b[at] = static_cast<char>(~b[at]);
  const std::wstring fileA = dir + L"\\clock-old.dmp", fileB = dir + L"\\clock-new.dmp";
  if (WriteBytes(fileA, a) && WriteBytes(fileB, b)) {
    SelectPage(main, list, L"Дамп");
    Press(Child(main, L"Button", L"Просмотр"));
    HWND view = WaitOtherTop(program.Pid(), main);
    if (view) {
      // Room on its right for the list, which places itself there.
      SetWindowPos(view, nullptr, 40, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      PressTool(view, 0);  // open
      AnswerFileDialog(program.Pid(), view, fileA);
      Pause(500);
      PressTool(view, 3);  // differences
      AnswerFileDialog(program.Pid(), view, fileB);
      HWND diff = WaitTop(program.Pid(), L"Отличия от файла");
      Pause(800);
      RECT rv{}, rd{}, both{};
      GetWindowRect(view, &rv);
      if (diff) GetWindowRect(diff, &rd);
      UnionRect(&both, &rv, &rd);
      if (diff && SaveRect(both, dir + L"\\PloverTst-differences.bmp"))
        made.push_back(L"PloverTst-differences\tPloverTst, viewer: \"Показать отличия от файла\" (F6 / Shift+F6 step through them)");
      PostMessageW(view, WM_CLOSE, 0, 0);
      if (diff) PostMessageW(diff, WM_CLOSE, 0, 0);
      Pause(300);
    }
  }
  SelectPage(main, list, L"Проверка связи");
  Press(Child(main, L"Button", L"Начать"));
  Pause(1500);
  Press(Child(main, L"Button", L"Прервать"));
  Pause(800);
  if (SaveWindow(main, dir + L"\\PloverTst-conntest.bmp"))
    made.push_back(L"PloverTst-conntest\tPloverTst, \"Проверка связи\" after a run: the times and the failures by code");
  return made;
}

int Shots(const std::wstring& tst, const std::wstring& cmd, const std::wstring& dir) {
  std::vector<std::wstring> tools;
  {
    TProgram program(tst);
    if (!program.Started()) return Fail(L"cannot start " + tst);
    HWND main = WaitTop(program.Pid(), kTstCaption);
    if (!main) return Fail(L"no PloverTst main window");
    // The page list is the list box right on the main window.
    HWND list = Child(main, L"ListBox", {}, true);
    if (!list) return Fail(L"no page list");
    const std::vector<std::wstring> pages = ListLines(list);
    std::vector<std::wstring> index;
    for (size_t i = 0; i < pages.size(); ++i) {
      ShowPage(main, list, i);
      wchar_t name[32];
      wsprintfW(name, L"PloverTst-%02u", static_cast<unsigned>(i + 1));
      if (!SaveWindow(main, dir + L"\\" + name + L".bmp")) return Fail(L"cannot save " + std::wstring(name));
      index.push_back(std::wstring(name) + L"\t" + pages[i]);
      PutLine(index.back());
    }
    if (!WriteUtf8File(dir + L"\\pages.txt", index)) return Fail(L"cannot write pages.txt");
    tools = TstToolShots(program, main, list, dir);
    Press(Child(main, L"Button", kClose));
    if (program.WaitExit() != 0) return Fail(L"PloverTst does not end well");
  }
  TProgram program(cmd);
  if (!program.Started()) return Fail(L"cannot start " + cmd);
  HWND main = WaitTop(program.Pid(), kCmdCaption);
  if (!main) return Fail(L"no PloverCmd main window");
  Pause(1000);
  if (!SaveWindow(main, dir + L"\\PloverCmd.bmp")) return Fail(L"cannot save PloverCmd.bmp");
  PutLine(L"PloverCmd");
  // A few exchanges, then their history.
  for (int i = 0; i < 3; ++i) {
    Press(Child(main, L"Button", L"Выполнить"));
    Pause(300);
  }
  Press(Child(main, L"Button", L"Журнал..."));
  HWND history = WaitTop(program.Pid(), L"Журнал обмена");
  Pause(800);
  if (history && SaveWindow(history, dir + L"\\PloverCmd-history.bmp"))
    tools.push_back(L"PloverCmd-history\tPloverCmd, \"Журнал...\": the exchange history");
  for (const auto& line : tools) PutLine(line);
  if (!WriteUtf8File(dir + L"\\tools.txt", tools)) return Fail(L"cannot write tools.txt");
  Press(Child(main, L"Button", kClose));
  return program.WaitExit() == 0 ? 0 : Fail(L"PloverCmd does not end well");
}

int Rights(const std::wstring& path) {
  TLocalFree sd;
  PACL dacl = nullptr;
  const DWORD rc = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                         &dacl, nullptr, &sd.P);
  if (rc != ERROR_SUCCESS) return Fail(L"no access list: error " + std::to_wstring(rc));
  TLocalFree text;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(sd.P, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                            reinterpret_cast<LPWSTR*>(&text.P), nullptr))
    return Fail(L"cannot convert the access list");
  PutLine(static_cast<wchar_t*>(text.P));
  return 0;
}

// A list the system cannot parse would leave a folder with the rights it
// inherits, silently: the setup only reports it in its details.
int Sddl(const std::wstring& text) {
  TLocalFree sd;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &sd.P, nullptr))
    return Fail(L"not a valid access list: error " + std::to_wstring(GetLastError()));
  TLocalFree back;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(sd.P, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                            reinterpret_cast<LPWSTR*>(&back.P), nullptr))
    return Fail(L"cannot convert the access list back");
  PutLine(static_cast<wchar_t*>(back.P));
  return 0;
}

int Reg(const std::wstring& key, const std::wstring& name) {
  BYTE data[2048] = {};
  DWORD size = sizeof data - sizeof(wchar_t), type = 0;
  const LSTATUS rc = RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.empty() ? nullptr : name.c_str(),
                                  RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data, &size);
  if (rc != ERROR_SUCCESS) return Fail(L"no value: error " + std::to_wstring(rc));
  if (type == REG_DWORD) PutLine(std::to_wstring(*reinterpret_cast<DWORD*>(data)));
  else PutLine(reinterpret_cast<wchar_t*>(data));
  return 0;
}

// Read through the system's version API, as Explorer's properties show them.
// Both main windows side by side in the middle of the work area, each as
// high as it centred itself.
int Place() {
  HWND left = WaitTop(0, kTstCaption), right = WaitTop(0, kCmdCaption);
  if (!left || !right) return Fail(L"the two main windows are not there");
  RECT work{}, l{}, r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(left, &l);
  GetWindowRect(right, &r);
  const int gap = 8, lw = l.right - l.left, rw = r.right - r.left;
  const int x = std::max<int>(work.left, work.left + (work.right - work.left - (lw + gap + rw)) / 2);
  auto top = [&](const RECT& w) {
    return std::max<int>(work.top, work.top + (work.bottom - work.top - (w.bottom - w.top)) / 2);
  };
  SetWindowPos(left, nullptr, x, top(l), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(right, nullptr, x + lw + gap, top(r), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

int Version(const std::wstring& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return Fail(L"no version resource");
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return Fail(L"cannot read the version resource");
  struct TTranslation {
    WORD Language, CodePage;
  }* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof *translation)
    return Fail(L"no translation in the version resource");
  wchar_t block[64];
  wsprintfW(block, L"\\StringFileInfo\\%04x%04x\\", translation->Language, translation->CodePage);
  for (const wchar_t* name : {L"ProductName", L"CompanyName", L"FileVersion", L"ProductVersion"}) {
    wchar_t* value = nullptr;
    if (!VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(), reinterpret_cast<void**>(&value), &length))
      return Fail(std::wstring(L"no ") + name);
    PutLine(std::wstring(name) + L": " + value);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"about" && argc == 3) return About(argv[2]);
  if (command == L"close" && argc == 4) return Close(argv[2], argv[3]);
  if (command == L"shots" && argc == 5) return Shots(argv[2], argv[3], argv[4]);
  if (command == L"rights" && argc == 3) return Rights(argv[2]);
  if (command == L"sddl" && argc == 3) return Sddl(argv[2]);
  if (command == L"reg" && argc == 4) return Reg(argv[2], argv[3]);
  if (command == L"version" && argc == 3) return Version(argv[2]);
  if (command == L"place" && argc == 2) return Place();
  if (command == L"status" && argc == 2) return DriverStatus();
  if (command == L"exchange" && argc == 4) return DriverExchange(argv[2], _wtoi(argv[3]));
  PutLine(L"usage: probe about EXE | close EXE CAPTION | shots TST CMD DIR | rights PATH | sddl TEXT | reg KEY NAME |"
          L" version FILE | place | status | exchange TST PORT");
  return 2;
}
