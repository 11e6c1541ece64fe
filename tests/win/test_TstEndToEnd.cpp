// PloverTst.exe as the user starts it: its main window with the version in
// the caption, a status listing, the About box; screenshots of both are kept
// in the build tree's screenshots folder.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TopWindows.h"
#include "test_TstShots.h"
#include "test_TstSupport.h"
#include "untVInfo.h"

namespace {

std::wstring BinDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring TextOf(HWND wnd) {
  wchar_t text[512] = {};
  GetWindowTextW(wnd, text, 512);
  return text;
}

struct TFind {
  std::wstring Caption;  // empty: any
  const wchar_t* Class;
  HWND Found;
};

// Named callback: it needs the system's calling convention in a 32-bit build.
BOOL CALLBACK FindChild(HWND wnd, LPARAM p) {
  auto* f = reinterpret_cast<TFind*>(p);
  wchar_t cls[64] = {};
  GetClassNameW(wnd, cls, 64);
  if (lstrcmpiW(cls, f->Class) == 0 && IsWindowVisible(wnd) && (f->Caption.empty() || TextOf(wnd) == f->Caption)) {
    f->Found = wnd;
    return FALSE;
  }
  return TRUE;
}

HWND Child(HWND parent, const wchar_t* cls, const std::wstring& text = {}) {
  TFind f{text, cls, nullptr};
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

// A top-level window of the program whose caption begins with captionStart.
HWND WaitTopWindow(DWORD pid, const std::wstring& captionStart) {
  HWND found = nullptr;
  WaitFor([&] { return (found = TopWindowOf(pid, captionStart)) != nullptr; }, 20000);
  return found;
}

// The version as the system's own version API reads it, to check ours against.
std::wstring SystemFileVersion(const std::wstring& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!size || !GetFileVersionInfoW(file.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length))
    return L"?";
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
         L"." + std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

class TRunningProgram {
 public:
  explicit TRunningProgram(const std::wstring& exe) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring command = L"\"" + exe + L"\"";
    const std::wstring dir = BinDir();
    if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &FInfo)) {
      FProcess.Reset(FInfo.hProcess);
      FThread.Reset(FInfo.hThread);
    }
  }
  ~TRunningProgram() {
    if (FProcess && WaitForSingleObject(FProcess.Get(), 0) == WAIT_TIMEOUT) TerminateProcess(FProcess.Get(), 1);
  }
  bool Started() const { return static_cast<bool>(FProcess); }
  DWORD Pid() const { return FInfo.dwProcessId; }
  HANDLE Process() const { return FProcess.Get(); }

 private:
  PROCESS_INFORMATION FInfo{};
  TKernelHandle FProcess, FThread;
};

// Under Wine without a window manager the program's windows get no frame;
// the X11 driver then draws frames and captions itself when told that its
// windows are not managed, so the screenshots show the whole window. The key
// means nothing to Windows. The previous setting comes back afterwards.
class TWineDrawsFrames {
 public:
  TWineDrawsFrames() {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, FKey.Put(), nullptr))
      return;
    wchar_t old[16] = {};
    DWORD size = sizeof old;
    FHadValue = RegQueryValueExW(FKey.Get(), L"Managed", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) ==
                ERROR_SUCCESS;
    FOld = old;
    RegSetValueExW(FKey.Get(), L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"N"), 2 * sizeof(wchar_t));
  }
  ~TWineDrawsFrames() {
    if (!FKey) return;
    if (FHadValue)
      RegSetValueExW(FKey.Get(), L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(FOld.c_str()),
                     static_cast<DWORD>((FOld.size() + 1) * sizeof(wchar_t)));
    else
      RegDeleteValueW(FKey.Get(), L"Managed");
  }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Wine\\X11 Driver";
  TRegKey FKey;
  bool FHadValue = false;
  std::wstring FOld;
};

}  // namespace

TEST(TstEndToEnd, VersionResourceReadsAsTheSystemReadsIt) {
  const std::wstring exe = BinDir() + L"PloverTst.exe";
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  const std::wstring version = GetFileVersionString(module);
  FreeLibrary(module);
  EXPECT_EQ(version, SystemFileVersion(exe));
  EXPECT_NE(version, L"0.0.0.0");
  // This test program carries no version resource of its own.
  EXPECT_EQ(GetFileVersionString(), L"0.0.0.0");
}

TEST(TstEndToEnd, MainWindowStatusListingAndAboutBox) {
  TComInit com(COINIT_APARTMENTTHREADED);
  ASSERT_EQ(RegisterDriverBesideUs(), S_OK) << "PloverDrv.dll beside the tests registers";
  const std::wstring exe = BinDir() + L"PloverTst.exe";
  const std::wstring shotDir = BinDir() + L"..\\screenshots\\";
  CreateDirectoryW(shotDir.c_str(), nullptr);

  TWineDrawsFrames frames;
  TRunningProgram program(exe);
  ASSERT_TRUE(program.Started());
  WaitForInputIdle(program.Process(), 20000);
  HWND main = WaitTopWindow(program.Pid(), L"Тест ККМ");
  ASSERT_NE(main, nullptr) << "the main window appears";
  EXPECT_EQ(TextOf(main), L"Тест ККМ " + SystemFileVersion(exe));
  RECT client{};
  GetClientRect(main, &client);
  EXPECT_EQ(client.right, 616);
  EXPECT_EQ(client.bottom, 428);

  // "ККМ" on the status page fills the listing through the registered driver.
  HWND ecr = Child(main, L"Button", L"ККМ");
  HWND memo = Child(main, L"Edit");
  ASSERT_NE(ecr, nullptr);
  ASSERT_NE(memo, nullptr);
  PostMessageW(ecr, BM_CLICK, 0, 0);
  // Another program's edit text comes through WM_GETTEXT, not GetWindowText.
  EXPECT_TRUE(WaitFor([&] { return SendMessageW(memo, WM_GETTEXTLENGTH, 0, 0) > 100; }))
      << "the status listing appears";
  wchar_t listing[2048] = {};
  SendMessageW(memo, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(listing));
  EXPECT_EQ(std::wstring(listing).rfind(L"Номер оператора : ", 0), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::wstring mainShot = shots::SaveWindow(main, shotDir + L"PloverTst-main");
  EXPECT_FALSE(mainShot.empty());

  PostMessageW(Child(main, L"Button", L"О программе..."), BM_CLICK, 0, 0);
  HWND about = WaitTopWindow(program.Pid(), L"О программе");
  ASSERT_NE(about, nullptr) << "the About box appears";
  HWND lines = Child(about, L"ListBox");
  ASSERT_NE(lines, nullptr);
  ASSERT_EQ(SendMessageW(lines, LB_GETCOUNT, 0, 0), 2);
  wchar_t line[256] = {};
  SendMessageW(lines, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_EQ(std::wstring(line), L"Версия теста: " + SystemFileVersion(exe));
  SendMessageW(lines, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
  EXPECT_EQ(std::wstring(line).rfind(L"Версия драйвера: ", 0), 0u) << std::wstring(line).size();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::wstring aboutShot = shots::SaveWindow(about, shotDir + L"PloverTst-about");
  EXPECT_FALSE(aboutShot.empty());

  PostMessageW(Child(about, L"Button", L"OK"), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); })) << "OK closes the box";

  // "Настройка..." opens the driver's own settings dialog above the window.
  PostMessageW(Child(main, L"Button", L"Настройка..."), BM_CLICK, 0, 0);
  HWND dialog = nullptr;
  EXPECT_TRUE(WaitFor([&] { return (dialog = DialogOf(program.Pid())) != nullptr; }))
      << "the driver's settings dialog appears";
  if (dialog) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(shots::SaveWindow(dialog, shotDir + L"PloverTst-settings").empty());
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  }

  PostMessageW(Child(main, L"Button", L"Закрыть"), BM_CLICK, 0, 0);
  ASSERT_EQ(WaitForSingleObject(program.Process(), 20000), WAIT_OBJECT_0) << "closing the window ends the program";
  DWORD code = 1;
  GetExitCodeProcess(program.Process(), &code);
  EXPECT_EQ(code, 0u);
}
