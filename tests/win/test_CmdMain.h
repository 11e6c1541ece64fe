#pragma once
// What the command test window's tests share: a folder of their own for the
// settings file, the error display replaced by a recorder, the window built
// against the registered driver, and ways to drive it the way a user does.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cmdtest/win/fmuMain.h"
#include "test_ComHelpers.h"
#include "untComDriver.h"
#include "untText.h"

using cmdtest::TfmLog;
using cmdtest::TfmMain;
using cmdtest::TfmRepeat;

class CmdWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterDriver(), S_OK); }

  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    Dir = std::filesystem::path(temp) /
          (L"cmdwin-" + std::to_wstring(GetCurrentProcessId()) + L"-" + Utf8ToWide(info->name()));
    std::filesystem::remove_all(Dir);
    std::filesystem::create_directories(Dir);
    Ini = (Dir / L"PloverCmd.ini").wstring();
    Application().Initialize();
    Application().Title = L"Тест команд";
    OldDisplay = Application().SetErrorDisplay([this](const std::wstring& text) { Errors.push_back(text); });
    SetComEventErrorHandler([](const std::exception& e) { Application().ShowException(e); });
  }

  void TearDown() override {
    Form.reset();
    Application().SetErrorDisplay(OldDisplay);
    Application().OnModalStart = nullptr;
    SetComEventErrorHandler(nullptr);
    std::error_code ec;
    SetFileAttributesW(Ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(Dir, ec);
  }

  void Open(TfmMain::TDriverFactory factory = {}) {
    Form = std::make_unique<TfmMain>(Ini, std::move(factory));
    Form->Show();
    Pump();
  }
  // Closes the window the way its close box does; the window saves and hides.
  void CloseWindow() {
    SendMessageW(Form->Handle(), WM_CLOSE, 0, 0);
    Pump();
  }
  void Reopen() {
    CloseWindow();
    ASSERT_TRUE(Errors.empty()) << WideToUtf8(Errors.front());
    Form.reset();
    Open();
  }

  static void Pump(int ms = 50) {
    PumpUntil([] { return false; }, ms);
  }

  // The list's selection as a user makes it (the list notifies its parent).
  void SelectItem(int index) {
    HWND list = Form->lbCommands->Handle();
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  }
  int IndexOf(const std::wstring& name) {
    for (int i = 0; i < Form->Commands().Count(); ++i)
      if (Form->Commands().Items(i).Name == name) return i;
    ADD_FAILURE() << "no command " << WideToUtf8(name);
    return 0;
  }
  void Select(const std::wstring& name) { SelectItem(IndexOf(name)); }

  int RowOf(const std::wstring& caption) {
    for (int r = 0; r < Form->Grid->RowCount(); ++r)
      if (Form->Grid->Cells(0, r) == caption) return r;
    ADD_FAILURE() << "no row " << WideToUtf8(caption);
    return 1;
  }
  std::wstring Value(const std::wstring& caption) { return Form->Grid->Cells(1, RowOf(caption)); }
  // Types into the value cell's editor, as the keyboard would.
  void Type(const std::wstring& caption, const std::wstring& text) {
    Form->Grid->SelectCell(1, RowOf(caption));
    HWND editor = Form->Grid->EditorHandle();
    ASSERT_TRUE(editor && IsWindowVisible(editor));
    SetFocus(editor);
    SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_EQ(Value(caption), text);
  }
  static void Click(TButton* button) { SendMessageW(button->Handle(), BM_CLICK, 0, 0); }

  TComInit Com;  // first in, last out: the window's driver needs it
  std::filesystem::path Dir;
  std::wstring Ini;
  std::vector<std::wstring> Errors;
  TApplication::TErrorDisplay OldDisplay;
  std::unique_ptr<TfmMain> Form;
};

// Another station on the in-process network: a control of its own on a
// thread of its own (so that waiting for an answer does not stop the window),
// sending one command to the window's station.
struct TOtherStation {
  int Code = 0;
  int Type = 0;  // 0 request, 1 answer
  int Dst = 1;
  bool WaitAnswer = true;
  int Timeout = 3000;
  // Properties to set before sending, and to read after.
  std::vector<std::pair<std::wstring, TVariant>> Put;
  std::vector<std::wstring> Get;

  int32_t Result = -1;
  std::vector<std::wstring> Got;

  void Run() {
    std::atomic<bool> done{false};
    std::thread worker([&] {
      TComInit com(COINIT_MULTITHREADED);
      try {
        auto driver = CreateComDriver();
        driver->set_SrcAddress(5);
        for (auto& [name, value] : Put) driver->SetProperty(name, value);
        driver->set_CommandType(Type);
        driver->set_CommandCode(Code);
        driver->set_CommandSrcAddress(5);
        driver->set_CommandDstAddress(Dst);
        driver->set_Timeout(Timeout);
        driver->set_WaitAnswer(WaitAnswer);
        Result = driver->SendCommand();
        for (auto& name : Get)
          Got.push_back(VarAsType(driver->GetProperty(name), TVarType::Str).Str());
      } catch (const std::exception& e) {
        Got.push_back(L"error: " + ExceptionText(e));
      }
      done = true;
    });
    PumpUntil([&] { return done.load(); }, Timeout + 5000);
    worker.join();
    // The window hears of a command through its message queue.
    PumpUntil([] { return false; }, 200);
  }
};
