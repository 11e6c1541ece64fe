// The command test program's settings dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "cmdtest/win/fmuParams.h"
#include "untAppParams.h"
#include "untError.h"
#include "untText.h"

using cmdtest::TfmParams;

namespace {

class CmdParams : public ::testing::Test {
 protected:
  void SetUp() override {
    Application().Initialize();
    Application().Title = L"Тест команд";
    OldDisplay = Application().SetErrorDisplay([this](const std::wstring& text) { Errors.push_back(text); });
  }
  void TearDown() override {
    Application().OnModalStart = nullptr;
    Application().SetErrorDisplay(OldDisplay);
    EXPECT_TRUE(Errors.empty()) << WideToUtf8(Errors.front());
  }

  // Runs the dialog with `user` acting on it once it is up.
  bool Show(TAppParams& params, std::function<void(TfmParams&)> user) {
    Application().OnModalStart = [this, user](TForm& form) {
      auto& dialog = dynamic_cast<TfmParams&>(form);
      Seen.SendAnswer = dialog.chbSendAnswer->Checked();
      Seen.WaitAnswer = dialog.chbWaitAnswer->Checked();
      Seen.Timeout = dialog.edtTimeout->Text();
      user(dialog);
    };
    return params.ShowDialog();
  }
  static void Press(TButton* b) { SendMessageW(b->Handle(), BM_CLICK, 0, 0); }
  static void SetText(TEdit* e, const wchar_t* text) {
    SendMessageW(e->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }

  TApplication::TErrorDisplay OldDisplay;
  std::vector<std::wstring> Errors;
  struct {
    bool SendAnswer = false, WaitAnswer = false;
    std::wstring Timeout;
  } Seen;
};

TEST_F(CmdParams, LaidOutAsDesigned) {
  TfmParams dialog;
  EXPECT_EQ(dialog.Caption(), L"Параметры");
  EXPECT_EQ(dialog.BorderStyle(), bsDialog);
  RECT client{};
  GetClientRect(dialog.Handle(), &client);
  EXPECT_EQ(client.right, 343);
  EXPECT_EQ(client.bottom, 175);
  EXPECT_EQ(dialog.chbSendAnswer->Text(), L"Посылать ответ при получении команды");
  EXPECT_EQ(dialog.chbWaitAnswer->Text(), L"Ожидать ответа после передачи команды");
  EXPECT_EQ(dialog.DefaultButton(), dialog.btnOK);
  EXPECT_EQ(dialog.CancelButton(), dialog.btnCancel);
  EXPECT_EQ(dialog.btnDefaults->Text(), L"По умолчанию");
  RECT r = dialog.btnDefaults->BoundsRect();
  EXPECT_EQ(r.left, 256);
  EXPECT_EQ(r.right - r.left, 83);
}

TEST_F(CmdParams, ShowsTheObjectNotTheStoredStateAndTakesItOnOk) {
  TAppParams params;
  params.SendAnswer = false;
  params.WaitAnswer = true;
  params.Timeout = 0xFFFFFFFFu;
  bool ok = Show(params, [](TfmParams& d) {
    d.chbSendAnswer->SetChecked(true);
    SetText(d.edtTimeout, L"-2");
    Press(d.btnOK);
  });
  EXPECT_TRUE(ok);
  EXPECT_FALSE(Seen.SendAnswer);
  EXPECT_TRUE(Seen.WaitAnswer);
  EXPECT_EQ(Seen.Timeout, L"4294967295");
  EXPECT_TRUE(params.SendAnswer);
  EXPECT_TRUE(params.WaitAnswer);
  EXPECT_EQ(params.Timeout, 0xFFFFFFFEu);  // stored as its two's complement
}

TEST_F(CmdParams, DefaultsThenCancelChangeNothing) {
  TAppParams params;
  params.SendAnswer = false;
  params.WaitAnswer = true;
  params.Timeout = 77;
  struct {
    bool send, wait;
    std::wstring timeout;
  } afterDefaults{};
  bool ok = Show(params, [&](TfmParams& d) {
    Press(d.btnDefaults);
    afterDefaults = {d.chbSendAnswer->Checked(), d.chbWaitAnswer->Checked(), d.edtTimeout->Text()};
    EXPECT_TRUE(d.Visible());  // the button does not close
    Press(d.btnCancel);
  });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(afterDefaults.send);
  EXPECT_FALSE(afterDefaults.wait);
  EXPECT_EQ(afterDefaults.timeout, L"1000");
  EXPECT_FALSE(params.SendAnswer);
  EXPECT_TRUE(params.WaitAnswer);
  EXPECT_EQ(params.Timeout, 77u);

  // Esc and the close box cancel as well.
  for (auto close : {std::function<void(TfmParams&)>([](TfmParams& d) {
                       SendMessageW(d.Handle(), WM_COMMAND, IDCANCEL, 0);
                     }),
                     std::function<void(TfmParams&)>([](TfmParams& d) { SendMessageW(d.Handle(), WM_CLOSE, 0, 0); })}) {
    ok = Show(params, [&](TfmParams& d) {
      Press(d.btnDefaults);
      close(d);
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(params.Timeout, 77u);
  }
}

TEST_F(CmdParams, InvalidTimeoutOnOkTakesTheFlagsAndKeepsTheTimeout) {
  TAppParams params;
  params.Timeout = 77;
  try {
    Show(params, [](TfmParams& d) {
      d.chbSendAnswer->SetChecked(false);
      d.chbWaitAnswer->SetChecked(true);
      SetText(d.edtTimeout, L"12x");
      Press(d.btnOK);
    });
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_NE(e.Message().find(L"12x"), std::wstring::npos) << e.what();
  }
  EXPECT_FALSE(params.SendAnswer);
  EXPECT_TRUE(params.WaitAnswer);
  EXPECT_EQ(params.Timeout, 77u);
  // The dialog is gone: no window of this thread is left disabled.
  EXPECT_EQ(FindWindowW(nullptr, L"Параметры"), nullptr);
}

}  // namespace
