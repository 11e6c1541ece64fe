// The page host: showing pages, busy pages, the one driver control and the
// order in which pages and control go.
#include <gtest/gtest.h>

#include <memory>

#include "test_TstSupport.h"
#include "untPages.h"

namespace {

TFormDef PageDef(const wchar_t* caption) {
  TFormDef d;
  d.Caption = caption;
  d.ClientWidth = 200;
  d.ClientHeight = 150;
  d.BorderStyle = bsSingle;
  return d;
}

const TCtlDef kPageLayout[] = {
    {TKind::Button, L"btnGo", L"Пуск", 8, 8, 75, 25},
};

class TProbePage : public TPage {
 public:
  TProbePage(const wchar_t* caption, std::vector<std::wstring>& log) : TPage(PageDef(caption), kPageLayout), FLog(log) {
    OnShow = [this] { FLog.push_back(L"show " + Caption()); };
    OnHide = [this] { FLog.push_back(L"hide " + Caption()); };
  }
  ~TProbePage() override { FLog.push_back(L"free " + Caption()); }
  bool Busy = false;
  bool IsBusy() override { return Busy; }

 private:
  std::vector<std::wstring>& FLog;
};

TFormDef HostDef() {
  TFormDef d;
  d.Caption = L"Хозяин";
  d.ClientWidth = 400;
  d.ClientHeight = 300;
  d.BorderStyle = bsSingle;
  return d;
}

const TCtlDef kHostLayout[] = {
    {TKind::Panel, L"pnlData", L"", 100, 0, 300, 260, akAll},
};

class PagesTest : public ::testing::Test {
 protected:
  std::vector<std::wstring> Log;
  std::unique_ptr<TMyForm> Host = std::make_unique<TMyForm>(HostDef(), kHostLayout);
  TPanel* Panel = Host->Ctl<TPanel>(L"pnlData");
  std::unique_ptr<TPages> Pages;
  TScriptDriver* Driver = nullptr;
  int Created = 0;

  void SetUp() override {
    Pages = std::make_unique<TPages>([this] {
      auto d = std::make_unique<TScriptDriver>();
      d->OnDestroy = [this] { Log.push_back(L"free driver"); };
      Driver = d.get();
      ++Created;
      return d;
    });
    Host->Show();
  }
  TProbePage* AddPage(const wchar_t* caption) {
    auto page = std::make_unique<TProbePage>(caption, Log);
    page->SetPages(Pages.get());
    page->SetBorderStyle(bsNone);
    page->SetParent(Panel);
    return page.release();
  }
};

}  // namespace

TEST_F(PagesTest, TheNewPageIsShownBeforeTheOldIsHidden) {
  TProbePage* a = AddPage(L"А");
  TProbePage* b = AddPage(L"Б");
  EXPECT_FALSE(a->Visible());
  Pages->ShowPage(0);
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"show А"}));
  EXPECT_TRUE(a->Visible());
  EXPECT_EQ(a->Width(), Panel->ClientWidth());
  EXPECT_EQ(a->Height(), Panel->ClientHeight());
  Pages->ShowPage(1);
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"show А", L"show Б", L"hide А"}));
  EXPECT_TRUE(b->Visible());
  EXPECT_FALSE(a->Visible());
  EXPECT_EQ(Pages->ActiveIndex(), 1);
}

TEST_F(PagesTest, ShowingTheShownPageChangesNothing) {
  AddPage(L"А");
  Pages->ShowPage(0);
  Log.clear();
  Pages->ShowPage(0);
  EXPECT_TRUE(Log.empty());
}

TEST_F(PagesTest, AnInvalidIndexHidesThePageAndIsKept) {
  TProbePage* a = AddPage(L"А");
  Pages->ShowPage(0);
  Pages->ShowPage(7);
  EXPECT_FALSE(a->Visible());
  EXPECT_EQ(Pages->ActiveIndex(), 7);
  Pages->ShowPage(-1);
  EXPECT_EQ(Pages->ActiveIndex(), -1);
}

TEST_F(PagesTest, AShownPageFollowsThePanelSize) {
  TProbePage* a = AddPage(L"А");
  Pages->ShowPage(0);
  Host->SetClientSize(500, 350);
  Pump();
  EXPECT_EQ(Panel->ClientWidth(), 400);
  EXPECT_EQ(a->Width(), Panel->ClientWidth());
  EXPECT_EQ(a->Height(), Panel->ClientHeight());
}

TEST_F(PagesTest, ABusyPageRefusesTheSettings) {
  AddPage(L"А");
  TProbePage* b = AddPage(L"Б");
  EXPECT_NO_THROW(CheckPagesIdle(*Pages));
  b->Busy = true;
  try {
    CheckPagesIdle(*Pages);
    FAIL() << "no refusal";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Перед настройкой необходимо остановить выполнение операций.");
  }
}

TEST_F(PagesTest, TheDriverIsCreatedOnceOnFirstUseAndRetriedAfterAFailure) {
  int calls = 0;
  TPages pages([&]() -> std::unique_ptr<TDriver> {
    if (++calls == 1) throw EOleError(-2147221005, L"Класс не зарегистрирован");
    return std::make_unique<TScriptDriver>();
  });
  EXPECT_FALSE(pages.HasDriver());
  EXPECT_THROW(pages.Driver(), EOleError);
  EXPECT_FALSE(pages.HasDriver());
  TDriver& first = pages.Driver();
  EXPECT_EQ(&pages.Driver(), &first);
  EXPECT_EQ(calls, 2);
}

TEST_F(PagesTest, PagesShareTheHostDriver) {
  TProbePage* a = AddPage(L"А");
  TProbePage* b = AddPage(L"Б");
  EXPECT_EQ(&a->Driver(), &b->Driver());
  EXPECT_EQ(&a->Driver(), &Pages->Driver());
  EXPECT_EQ(Created, 1);
  TProbePage loose(L"В", Log);
  EXPECT_THROW(loose.Driver(), Exception);
}

TEST_F(PagesTest, PagesGoInOrderBeforeTheDriver) {
  AddPage(L"А");
  AddPage(L"Б");
  Pages->Driver();
  Pages.reset();
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"free А", L"free Б", L"free driver"}));
}

TEST_F(PagesTest, RegistrationFollowsThePage) {
  TProbePage* a = AddPage(L"А");
  TProbePage* b = AddPage(L"Б");
  Pages->ShowPage(1);
  TPages other;
  a->SetPages(&other);
  EXPECT_EQ(Pages->Count(), 1);
  EXPECT_EQ(Pages->Items(0), b);
  EXPECT_EQ(Pages->ActiveIndex(), 0) << "the shown page keeps its place";
  EXPECT_EQ(a->Pages(), &other);
  delete b;  // a page leaves its host when destroyed
  EXPECT_EQ(Pages->Count(), 0);
  other.Remove(a);
  EXPECT_EQ(a->Pages(), nullptr);
  delete a;
}

TEST_F(PagesTest, ButtonsComeBackWhenTheOperationFails) {
  TProbePage* a = AddPage(L"А");
  Pages->ShowPage(0);
  auto* go = a->Ctl<TButton>(L"btnGo");
  go->SetFocus();
  try {
    TButtonsDisabled busy(*a);
    EXPECT_FALSE(go->Enabled());
    throw Exception(L"сбой");
  } catch (const Exception&) {
  }
  EXPECT_TRUE(go->Enabled());
  EXPECT_EQ(a->FocusedButton, go);
  EXPECT_TRUE(go->Focused());
}

TEST(DriverResultWin, ZeroReadsNothing) {
  TScriptDriver d;
  CheckDriverResult(d, 0);
  EXPECT_EQ(d.DescriptionReads, 0);
  EXPECT_THROW(CheckDriverResult(d, 3), ECustomError);
  EXPECT_EQ(d.DescriptionReads, 1);
  EXPECT_EQ(EnabledColors[false], clBtnFace);
  EXPECT_EQ(EnabledColors[true], clWindow);
}
