// The driver test program's main window with its pages, driven through its
// controls against a scripted driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "fmuAbout.h"
#include "fmuFlags.h"
#include "fmuMain.h"
#include "fmuStatus.h"
#include "test_TstSupport.h"
#include "untText.h"
#include "untVInfo.h"

namespace {

class TstMain : public ::testing::Test {
 protected:
  TErrorRecorder Errors;
  TScriptDriver* Driver = nullptr;
  int DriversCreated = 0;
  std::unique_ptr<TfmMain> Main;

  void SetUp() override {
    Application().Initialize();
    Application().Title = L"Тест драйвера ККМ";
    Main = std::make_unique<TfmMain>([this] {
      auto d = std::make_unique<TScriptDriver>();
      Driver = d.get();
      ++DriversCreated;
      return d;
    });
    Main->Show();
    Pump();
  }
  void TearDown() override {
    Application().OnModalStart = nullptr;
    Main.reset();
  }
  // The scripted driver, created as a page's first use would.
  TScriptDriver& Drv() {
    Main->Driver();
    return *Driver;
  }
  TfmStatus* Status() { return dynamic_cast<TfmStatus*>(Main->Pages().Items(0)); }
  int IndexOfFlags() {
    for (int i = 0; i < Main->Pages().Count(); ++i)
      if (dynamic_cast<TfmFlags*>(Main->Pages().Items(i))) return i;
    return -1;
  }
  TfmFlags* Flags() { return dynamic_cast<TfmFlags*>(Main->Pages().Items(IndexOfFlags())); }
  // A click as the user makes it: the button's own message, reflected to its wrapper.
  static void Press(TButton* button) {
    button->Perform(BM_CLICK);
    Pump();
  }
  void ClickListItem(int index) {
    RECT r{};
    Main->ListBox->Perform(LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    ClickAt(Main->ListBox->Handle(), r.left + 5, r.top + 3);
    Pump();
  }
};

}  // namespace

TEST_F(TstMain, StartsWithTheNumberedPagesAndTheFirstShown) {
  // Every page at its place in the program's table of pages, in that order.
  const std::vector<std::wstring> table = {
      L"1. Состояние", L"2. Дополнительно", L"3. Значения регистров", L"4. Регистры остатков",
      L"5. Дамп", L"6. Флаги ККМ", L"7. Проверка связи", L"8. Команды", L"9. Чеки",
      L"10. Структура таблиц", L"11. Таблицы"};
  ASSERT_EQ(Main->Pages().Count(), 11);
  std::vector<std::wstring> items;
  for (int i = 0; i < Main->ListBox->Count(); ++i) items.push_back(Main->ListBox->Item(i));
  EXPECT_EQ(items, table);
  EXPECT_NE(IndexOfFlags(), -1);
  EXPECT_EQ(Main->ListBox->ItemIndex(), 0);
  EXPECT_EQ(Main->Pages().ActiveIndex(), 0);
  EXPECT_TRUE(Status()->Visible());
  EXPECT_FALSE(Flags()->Visible());
  EXPECT_EQ(Status()->Parent(), Main->pnlData);
  EXPECT_EQ(Status()->Width(), Main->pnlData->ClientWidth());
  EXPECT_EQ(DriversCreated, 0) << "the driver waits for its first use";
}

TEST_F(TstMain, CaptionCarriesTheVersionAndTheWindowCannotShrink) {
  EXPECT_EQ(Main->Caption(), L"Тест ККМ " + GetFileVersionString());
  EXPECT_EQ(Main->BorderStyle(), bsSizeable);
  EXPECT_EQ(Main->ClientWidth(), 616);
  EXPECT_EQ(Main->ClientHeight(), 428);
  EXPECT_EQ(Main->MinWidth(), Main->Width());
  EXPECT_EQ(Main->MinHeight(), Main->Height());
  MINMAXINFO info{};
  Main->Perform(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, Main->Width());
  EXPECT_EQ(info.ptMinTrackSize.y, Main->Height());
  EXPECT_TRUE(GetWindowLongW(Main->Handle(), GWL_STYLE) & WS_THICKFRAME);
  EXPECT_FALSE(GetWindowLongW(Main->Handle(), GWL_STYLE) & WS_MAXIMIZEBOX);
}

TEST_F(TstMain, TheLayoutFollowsTheWindowSize) {
  Main->SetClientSize(716, 478);
  Pump();
  EXPECT_EQ(Main->ListBox->Height(), 377 + 50);
  EXPECT_EQ(Main->pnlData->Width(), 478 + 100);
  EXPECT_EQ(Main->btnClose->Left(), 536 + 100);
  EXPECT_EQ(Main->btnClose->Top(), 395 + 50);
  EXPECT_EQ(Main->btnAbout->Left(), 96);
  EXPECT_EQ(Status()->Width(), Main->pnlData->ClientWidth());
  EXPECT_EQ(Status()->btnGetECRStatus->Left(), 392 + 100);
}

TEST_F(TstMain, ClickingAnotherEntryShowsItsPageAndTheSameEntryChangesNothing) {
  std::vector<std::wstring> events;
  Status()->OnHide = [&] { events.push_back(L"hide 1"); };
  Flags()->OnShow = [&] { events.push_back(L"show 2"); };
  ClickListItem(IndexOfFlags());
  EXPECT_EQ(events, (std::vector<std::wstring>{L"show 2", L"hide 1"}));
  EXPECT_TRUE(Flags()->Visible());
  EXPECT_FALSE(Status()->Visible());
  ClickListItem(IndexOfFlags());
  EXPECT_EQ(events.size(), 2u);
}

TEST_F(TstMain, TheKeyboardMovesThroughThePagesToo) {
  Main->ListBox->SetFocus();
  PressKey(VK_DOWN);
  EXPECT_EQ(Main->Pages().ActiveIndex(), 1);
  EXPECT_TRUE(Main->Pages().Items(1)->Visible());
  PressKey(VK_UP);
  EXPECT_EQ(Main->Pages().ActiveIndex(), 0);
}

TEST_F(TstMain, SettingsOpenTheDriverDialogUnlessAPageIsBusy) {
  Press(Main->btnProperties);
  EXPECT_EQ(Driver->CallCount(L"ShowProperties"), 1);
  EXPECT_TRUE(Errors.Texts.empty());

  struct TBusyPage : TfmStatus {
    bool IsBusy() override { return true; }
  };
  auto busy = std::make_unique<TBusyPage>();
  busy->SetPages(&Main->Pages());
  busy.release();
  Press(Main->btnProperties);
  EXPECT_EQ(Driver->CallCount(L"ShowProperties"), 1);
  EXPECT_EQ(Errors.Texts, (std::vector<std::wstring>{L"Перед настройкой необходимо остановить выполнение операций."}));
}

TEST_F(TstMain, AboutShowsTheTitleAndBothVersionsAndClosesWithEsc) {
  std::wstring title;
  std::vector<std::wstring> lines;
  HWND box = nullptr;
  Application().OnModalStart = [&](TForm& form) {
    auto& about = dynamic_cast<TfmAbout&>(form);
    box = about.Handle();
    title = about.NameLabel->Text();
    for (int i = 0; i < about.lbVersion->Count(); ++i) lines.push_back(about.lbVersion->Item(i));
    EXPECT_EQ(GetWindow(box, GW_OWNER), Main->Handle());
    EXPECT_FALSE(IsWindowEnabled(Main->Handle()));
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
  };
  Press(Main->btnAbout);
  EXPECT_EQ(title, L"Тест драйвера ККМ");
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"Версия теста: " + GetFileVersionString(),
                                              L"Версия драйвера: 9.8.7.6"}));
  EXPECT_FALSE(IsWindow(box)) << "the box is destroyed after each showing";
  EXPECT_TRUE(IsWindowEnabled(Main->Handle()));
  EXPECT_TRUE(Errors.Texts.empty());
}

TEST_F(TstMain, EnterClosesTheAboutBoxToo) {
  int shown = 0;
  Application().OnModalStart = [&](TForm&) {
    ++shown;
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
  };
  Press(Main->btnAbout);
  Press(Main->btnAbout);
  EXPECT_EQ(shown, 2);
}

TEST_F(TstMain, EscClosesTheMainWindow) {
  Main->ListBox->SetFocus();
  PressKey(VK_ESCAPE);
  EXPECT_FALSE(Main->Visible());
}

TEST_F(TstMain, StatusButtonsListTheRegisterAndTheFiscalMemory) {
  Press(Status()->btnGetECRStatus);
  Press(Status()->btnGetECRStatus);
  auto lines = Status()->Memo->Lines();
  ASSERT_EQ(lines.size(), 11u) << "the memo is cleared before each listing";
  for (const auto& line : lines) EXPECT_EQ(line.find(L" : "), 15u) << line;
  Press(Status()->btnGetFMStatus);
  lines = Status()->Memo->Lines();
  ASSERT_EQ(lines.size(), 11u);
  for (const auto& line : lines) EXPECT_EQ(line.find(L" : "), 26u) << line;
  EXPECT_TRUE(Status()->btnGetECRStatus->Enabled());
  EXPECT_TRUE(Status()->btnGetFMStatus->Enabled());
  EXPECT_EQ(Driver->DescriptionReads, 0);
  EXPECT_EQ(Status()->Memo->Font().Name, L"Courier New");
}

TEST_F(TstMain, AFailingMethodLeavesTheMemoEmptyAndTheButtonsEnabled) {
  Press(Status()->btnGetFMStatus);
  ASSERT_EQ(Status()->Memo->LineCount(), 11);
  Drv().Results[dispid::GetECRStatus] = 117;
  Drv().Props[dispid::ResultCodeDescription] = TVariant::FromStr(L"Нет связи с ККМ");
  Status()->btnGetECRStatus->SetFocus();
  Press(Status()->btnGetECRStatus);
  EXPECT_EQ(Status()->Memo->LineCount(), 0);
  EXPECT_TRUE(Status()->btnGetECRStatus->Enabled());
  EXPECT_TRUE(Status()->btnGetFMStatus->Enabled());
  EXPECT_TRUE(Status()->btnGetECRStatus->Focused());
  EXPECT_EQ(Errors.Texts, (std::vector<std::wstring>{L"Нет связи с ККМ"}));
}

TEST_F(TstMain, FlagsMarkFlagsZeroAndTwoForFive) {
  ClickListItem(IndexOfFlags());
  Drv().Props[dispid::ECRFlags] = TVariant::FromInt(5);
  Press(Flags()->btnGetECRFlags);
  const auto lines = Flags()->Memo->Lines();
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[0], L"[X] Флаг 0");
  EXPECT_EQ(lines[1], L"[ ] Флаг 1");
  EXPECT_EQ(lines[2], L"[X] Флаг 2");
  EXPECT_EQ(lines[15], L"[ ] Флаг 15");
  Drv().Results[dispid::GetFlagName] = 1;
  Press(Flags()->btnGetECRFlags);
  EXPECT_EQ(Flags()->Memo->LineCount(), 0);
  EXPECT_TRUE(Flags()->btnGetECRFlags->Enabled());
  EXPECT_EQ(Errors.Texts.size(), 1u);
}

TEST_F(TstMain, ADriverThatCannotBeCreatedIsReportedAndTriedAgain) {
  int attempts = 0;
  auto main = std::make_unique<TfmMain>([&]() -> std::unique_ptr<TDriver> {
    if (++attempts == 1) throw EOleError(-2147221005, L"Драйвер не зарегистрирован");
    return std::make_unique<TScriptDriver>();
  });
  main->Show();
  auto* status = dynamic_cast<TfmStatus*>(main->Pages().Items(0));
  Press(status->btnGetECRStatus);
  EXPECT_EQ(Errors.Texts, (std::vector<std::wstring>{L"Драйвер не зарегистрирован"}));
  EXPECT_EQ(status->Memo->LineCount(), 0);
  Press(status->btnGetECRStatus);
  EXPECT_EQ(status->Memo->LineCount(), 11);
  EXPECT_EQ(attempts, 2);
}
