// The windows as screen readers and automation tools read them, through the
// system's accessibility library: each page of PloverTst and PloverCmd's
// window name their input controls by their labels, the dump page's
// progress and the connection test's figures can be read while they run,
// and PloverCmd's grid is a table of named rows and cells.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "AccessibleReader.h"
#include "ScopedCom.h"
#include "fmuDump.h"
#include "fmuMain.h"
#include "fmuTest.h"
#include "test_TstSupport.h"
#include "untText.h"

namespace {

using namespace acc;

class Accessible : public ::testing::Test {
 protected:
  TComInit Com;
  TErrorRecorder Errors;
  void SetUp() override {
    ASSERT_EQ(RegisterDriverBesideUs(), S_OK);
    Application().Initialize();
    Application().Title = L"Тест драйвера ККМ";
  }
};

}  // namespace

// Every input control of every page, by its name in the layout, and what a
// screen reader calls it: the label before or beside it, or the name the
// layout gives one that has none. Nothing more, nothing less.
TEST_F(Accessible, EachPageNamesItsInputControlsByTheirLabels) {
  using TNames = std::map<std::wstring, std::wstring>;
  const std::map<std::wstring, TNames> expected = {
      {L"Состояние", {{L"Memo", L"Состояние"}}},
      {L"Дополнительно", {{L"dtpDate", L"Дата ККМ:"}, {L"dtpTime", L"Время ККМ:"}}},
      {L"Значения регистров", {{L"cbRegType", L"Тип регистра:"}, {L"Memo", L"Значения регистров"}}},
      {L"Регистры остатков",
       {{L"edtStartNum", L"с"}, {L"edtEndNum", L"по"}, {L"Memo", L"Регистры остатков"}}},
      {L"Дамп", {{L"cbDevice", L"Устройство:"}, {L"edtStartBlock", L"Начальный:"}, {L"edtEndBlock", L"Конечный:"}}},
      {L"Флаги ККМ", {{L"Memo", L"Флаги ККМ"}}},
      {L"Проверка связи", {}},
      {L"Команды", {{L"Memo", L"Принятые команды"}}},
      {L"Чеки",
       {{L"edtTotalSum", L"Общая сумма, руб.:"}, {L"edtRecCount", L"Количество чеков:"},
        {L"edtRecSum", L"Сумма чека, руб.:"}}},
      {L"Структура таблиц", {{L"Memo", L"Структура таблиц"}}},
      {L"Таблицы",
       {{L"edtTableNumber", L"Номер таблицы:"}, {L"udTableNumber", L"Номер таблицы:"},
        {L"edtRowNumber", L"Номер ряда:"}, {L"udRowNumber", L"Номер ряда:"}, {L"edtFieldNumber", L"Номер поля:"},
        {L"udFieldNumber", L"Номер поля:"}, {L"edtValue", L"Значение:"}, {L"Memo", L"Результат"}}},
  };
  TfmMain main;
  main.Show();
  Pump();
  EXPECT_EQ(InputNames(main), (TNames{{L"ListBox", L"Страницы"}}));
  ASSERT_EQ(main.Pages().Count(), static_cast<int>(expected.size()));
  for (int i = 0; i < main.Pages().Count(); ++i) {
    main.SelectPage(i);
    Pump();
    TPage* page = main.Pages().Items(i);
    const auto it = expected.find(page->Caption());
    ASSERT_NE(it, expected.end()) << WideToUtf8(page->Caption());
    EXPECT_EQ(InputNames(*page), it->second) << WideToUtf8(page->Caption());
  }
  // The viewer's table, and its bar's buttons by their hints.
  auto* dump = dynamic_cast<TfmDump*>(main.Pages().Items(4));
  ASSERT_NE(dump, nullptr);
  TfmView& view = dump->View();
  view.Show();
  Pump();
  TComPtr<IAccessible> bar = ObjectOf(view.tbLeft->Handle());
  ASSERT_TRUE(bar);
  std::vector<std::wstring> hints;
  for (const TElem& e : ChildrenOf(bar.Get())) hints.push_back(e.Role == ROLE_SYSTEM_PUSHBUTTON ? e.Name : L"?");
  EXPECT_EQ(hints, (std::vector<std::wstring>{L"Открыть файл", L"Сохранить файл", L"Сравнить с файлом",
                                               L"Показать отличия от файла"}));
  TComPtr<IAccessible> grid = ObjectOf(view.Grid->Handle());
  ASSERT_TRUE(grid);
  const TElem table = Describe(grid.Get(), CHILDID_SELF);
  EXPECT_EQ(table.Role, ROLE_SYSTEM_TABLE);
  EXPECT_EQ(table.Name, L"Данные");
  view.Close();
}

// While a dump reads and while the connection test runs, what the page shows
// is what a screen reader reads: the dump's progress text and bar, the
// test's figures, and a name-change event for each figure it repaints.
TEST_F(Accessible, RunningFiguresAreReadAsTheyAreShown) {
  TfmMain main;
  main.Show();
  Pump();
  TDriver& d = main.Driver();
  d.SetProperty(L"BusKind", TVariant::FromInt(0));
  d.SetProperty(L"VirtualEcr", TVariant::FromBool(true));
  d.SetProperty(L"FaultEvery", TVariant::FromInt(0));
  d.SetProperty(L"LinkLatency", TVariant::FromInt(2));

  main.SelectPage(4);
  auto* dump = dynamic_cast<TfmDump*>(main.Pages().Items(4));
  ASSERT_NE(dump, nullptr);
  dump->cbDevice->SetItemIndex(4);  // "Память программ ККМ", long enough to be read while it runs
  dump->btnStart->Perform(BM_CLICK);
  ASSERT_TRUE(PumpUntil([&] { return dump->lblInfo->Text().rfind(L"Всего блоков: ", 0) == 0; }));
  std::wstring info, progress;
  for (const TElem& e : ChildrenOf(ObjectOf(dump->Handle()).Get())) {
    if (e.Role == ROLE_SYSTEM_STATICTEXT && e.Name.rfind(L"Всего блоков: ", 0) == 0) info = e.Name;
    if (e.Role == ROLE_SYSTEM_PROGRESSBAR) progress = e.Value;
  }
  EXPECT_EQ(info.rfind(L"Всего блоков: 8192  Прочитано: ", 0), 0u) << WideToUtf8(info);
  EXPECT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), L'%');
  EXPECT_TRUE(dump->Reader()->Active()) << "read while the dump runs";
  dump->btnStart->Perform(BM_CLICK);  // "Прервать"
  ASSERT_TRUE(PumpUntil([&] { return !dump->Reader()->Active() && dump->btnStart->Enabled(); }));

  // The connection test runs on the window thread: a timer inside its loop
  // reads the figures as a client would, then stops the test.
  main.SelectPage(6);
  auto* test = dynamic_cast<TfmTest*>(main.Pages().Items(6));
  ASSERT_NE(test, nullptr);
  static int nameChanges = 0;
  nameChanges = 0;
  HWINEVENTHOOK hook = SetWinEventHook(
      EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
      [](HWINEVENTHOOK, DWORD, HWND, LONG object, LONG child, DWORD, DWORD) {
        if (object == OBJID_CLIENT && child > 0) ++nameChanges;
      },
      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  std::wstring count, repeats, shown;
  test->StartTimer(61, 300, [&] {
    shown = test->lblRepCount->Text();
    for (const TElem& e : ChildrenOf(ObjectOf(test->Handle()).Get()))
      if (e.Role == ROLE_SYSTEM_STATICTEXT) {
        if (repeats.empty() && count == L"Количество повторов:") repeats = e.Name;
        count = e.Name;
      }
    test->StopRequested = true;
  });
  test->btnStart->Perform(BM_CLICK);
  test->StopTimer(61);
  if (hook) UnhookWinEvent(hook);
  EXPECT_EQ(repeats, shown) << "the figure as shown";
  EXPECT_GT(std::stoll(repeats.empty() ? L"0" : repeats), 0);
  EXPECT_GT(nameChanges, 0);
  EXPECT_TRUE(Errors.Texts.empty());
}
