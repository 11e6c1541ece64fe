// PloverCmd.exe as a user runs it, and a second program on the loopback
// network: a request goes from the second program to PloverCmd, which answers
// with the values kept in its settings file. Then an Execute in PloverCmd's
// window, kept as a screenshot under build/screenshots.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BigIni.h"
#include "TopWindows.h"
#include "test_ComHelpers.h"
#include "untComDriver.h"
#include "untText.h"
#include "test_DrvSettings.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kTestPort = 47391;

struct TChildFind {
  std::wstring Class, Text;
  HWND Found;
};

// Named callback: a lambda would not have the system's calling convention in
// a 32-bit build.
BOOL CALLBACK FindChild(HWND w, LPARAM p) {
  auto* f = reinterpret_cast<TChildFind*>(p);
  wchar_t cls[128] = {}, txt[128] = {};
  GetClassNameW(w, cls, 128);
  GetWindowTextW(w, txt, 128);
  std::wstring c(cls);
  for (auto& ch : c) ch = towlower(ch);
  if (c.find(f->Class) != std::wstring::npos && (f->Text.empty() || f->Text == txt)) {
    f->Found = w;
    return FALSE;
  }
  return TRUE;
}

HWND ChildOf(HWND parent, const std::wstring& classPart, const std::wstring& text = {}) {
  TChildFind f{classPart, text, nullptr};
  EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

std::wstring TextOf(HWND w) {
  wchar_t buf[1024] = {};
  SendMessageW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf));
  return buf;
}

// The window as it is on screen, as a 24-bit BMP file.
bool SaveWindowBitmap(HWND wnd, const fs::path& file) {
  RECT r{};
  GetWindowRect(wnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((w * 3 + 3) / 4) * 4, size = stride * h;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
  fh.bfSize = fh.bfOffBits + size;
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
  out.write(static_cast<const char*>(bits), size);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return out.good();
}

fs::path ScreenshotDir() {
  std::string dir = PLOVER_BUILD_DIR;
  // Under Wine the build folder is a Unix path, reached through drive Z:.
  if (!dir.empty() && dir[0] == '/') {
    for (auto& c : dir) c = c == '/' ? '\\' : c;
    dir = "Z:" + dir;
  }
  return fs::path(Utf8ToWide(dir)).parent_path() / L"screenshots";
}

class CmdEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegisterDriver(), S_OK);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    Dir = fs::path(temp) / (L"cmd-e2e-" + std::to_wstring(GetCurrentProcessId()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    const fs::path source = fs::path(TestBinDir()) / L"PloverCmd.exe";
    ASSERT_TRUE(fs::exists(source)) << "PloverCmd.exe is built beside the tests";
    // A copy of its own, so that the settings file beside it is this test's.
    fs::copy_file(source, Dir / L"PloverCmd.exe");
    Ini = (Dir / L"PloverCmd.ini").wstring();
  }
  void TearDown() override {
    if (Process.hProcess) {
      if (WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(Process.hProcess, 1);
      CloseHandle(Process.hProcess);
      CloseHandle(Process.hThread);
    }
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }

  HWND Start() {
    std::wstring cmd = L"\"" + (Dir / L"PloverCmd.exe").wstring() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, Dir.c_str(), &si, &Process))
      return nullptr;
    HWND wnd = nullptr;
    PumpUntil([&] { return (wnd = TopWindowOf(Process.dwProcessId, L"Тест команд")) != nullptr; }, 20000);
    if (wnd) WaitForInputIdle(Process.hProcess, 10000);
    return wnd;
  }

  fs::path Dir;
  std::wstring Ini;
  PROCESS_INFORMATION Process{};
};

TEST_F(CmdEndToEnd, TwoProgramsExchangeARequestAndItsAnswerOverTheLoopback) {
  {
    TBigIniFile ini(Ini);
    ini.WriteBool(L"Параметры", L"WaitAnswer", true);
    ini.WriteString(L"84", L"Text", L"Скидка из PloverCmd");
    ini.WriteString(L"84", L"Summ", L"7.5");
    ini.UpdateFile();
  }
  TDrvSettingsOverride loopback({{L"BusKind", 1}, {L"BusPort", kTestPort}});
  HWND wnd = Start();
  ASSERT_NE(wnd, nullptr) << "PloverCmd did not show its window";

  // The second program: this test process, with a control of its own.
  TComInit com;
  auto driver = CreateComDriver();
  ASSERT_EQ(driver->GetProperty(L"BusKind").Int(), 1);
  driver->set_SrcAddress(5);
  driver->set_CommandType(0);
  driver->set_CommandCode(0x84);
  driver->set_CommandSrcAddress(5);
  driver->set_CommandDstAddress(1);
  driver->set_Code(L"4600");
  driver->set_RecSumm(990000);
  driver->set_Timeout(10000);
  driver->set_WaitAnswer(true);
  ASSERT_EQ(driver->SendCommand(), 0) << WideToUtf8(driver->get_ResultCodeDescription());
  EXPECT_EQ(driver->get_Text(), L"Скидка из PloverCmd");
  EXPECT_EQ(driver->get_Summ(), 75000);
  EXPECT_FALSE(driver->get_CommandCadrHex().empty());

  // PloverCmd shows the request it answered.
  HWND list = ChildOf(wnd, L"listbox");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 29);

  // An Execute in its window, on the virtual cash register, kept as a picture.
  SendMessageW(list, LB_SETCURSEL, 2, 0);
  SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  HWND execute = ChildOf(wnd, L"button", L"Выполнить");
  ASSERT_NE(execute, nullptr);
  SendMessageW(execute, BM_CLICK, 0, 0);
  PumpUntil([] { return false; }, 500);
  std::vector<std::wstring> edits;
  for (HWND c = GetWindow(wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[64] = {};
    GetClassNameW(c, cls, 64);
    if (std::wstring(cls).find(L"Edit") != std::wstring::npos) edits.push_back(TextOf(c));
  }
  ASSERT_EQ(edits.size(), 3u);
  EXPECT_EQ(edits[0].rfind(L"(0) ", 0), 0u) << WideToUtf8(edits[0]);
  EXPECT_FALSE(edits[1].empty());
  fs::create_directories(ScreenshotDir());
  EXPECT_TRUE(SaveWindowBitmap(wnd, ScreenshotDir() / L"PloverCmd-execute.bmp"));

  // Closing writes the settings file: the request's inputs are kept too.
  PostMessageW(wnd, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(Process.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(Process.hProcess, &code);
  EXPECT_EQ(code, 0u);
  TBigIniFile ini(Ini);
  EXPECT_EQ(ini.ReadString(L"84", L"Code", L""), L"4600");
  EXPECT_EQ(ini.ReadString(L"84", L"Text", L""), L"Скидка из PloverCmd");
  EXPECT_EQ(ini.ReadString(L"11", L"Название", L""), L"Запрос состояния ККМ");
}

}  // namespace
