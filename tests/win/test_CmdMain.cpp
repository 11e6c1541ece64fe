// The command test window, driven through its controls against PloverDrv.dll.
#include "test_CmdMain.h"

#include <fstream>
#include <sstream>

#include "AccessibleReader.h"
#include "BigIni.h"
#include "fmuAbout.h"
#include "cmdtest/win/fmuLog.h"
#include "cmdtest/win/fmuParams.h"
#include "cmdtest/win/fmuRepeat.h"
#include "test_TstShots.h"

namespace {

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

RECT BoundsOf(TControl* c) { return c->BoundsRect(); }

// ---------------------------------------------------------------- layout

TEST_F(CmdWindow, ShowsTheNumberedCommandsAndTheFirstCommandsRows) {
  Open();
  EXPECT_EQ(Form->Caption().rfind(L"Тест команд ", 0), 0u) << WideToUtf8(Form->Caption());
  ASSERT_EQ(Form->lbCommands->Count(), 37);
  EXPECT_EQ(Form->lbCommands->Item(0), L"1. Запрос дампа");
  EXPECT_EQ(Form->lbCommands->Item(22), L"23. *Подкрепление");
  EXPECT_EQ(Form->lbCommands->Item(36), L"37. *Подтверждение закрытия");
  EXPECT_EQ(Form->lbCommands->ItemIndex(), 0);
  EXPECT_EQ(Form->lbCommands->ItemHeight(), 18);

  TStringGrid* g = Form->Grid;
  EXPECT_EQ(g->ColCount(), 2);
  EXPECT_EQ(g->FixedCols(), 1);
  EXPECT_EQ(g->FixedRows(), 1);
  EXPECT_EQ(g->RowCount(), 7);
  EXPECT_EQ(g->ColWidths(0), 200);
  EXPECT_EQ(g->DefaultRowHeight(), 20);
  EXPECT_EQ(g->Options() & (goEditing | goAlwaysShowEditor | goColSizing),
            unsigned(goEditing | goAlwaysShowEditor | goColSizing));
  EXPECT_EQ(g->Cells(0, 0), L"Название");
  EXPECT_EQ(g->Cells(1, 0), L"Значение");
  EXPECT_EQ(g->Cells(0, 1), L"[ in] Код устройства");
  EXPECT_EQ(g->Cells(0, 3), L"[out] Количество блоков");
  EXPECT_EQ(g->Cells(0, 6), L"[out] Описание ошибки");
  EXPECT_TRUE(IsWindowVisible(g->EditorHandle()));
  EXPECT_EQ(Form->lblRxCount->Text(), L"0");
  EXPECT_EQ(Form->lblTxCount->Text(), L"0");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(CmdWindow, ControlsSitWhereDesignedAndTabInOrder) {
  Open();
  RECT client{};
  GetClientRect(Form->Handle(), &client);
  EXPECT_EQ(client.right, 600);
  EXPECT_EQ(client.bottom, 350);
  struct Case {
    TControl* c;
    RECT r;
  };
  const Case cases[] = {
      {Form->lbCommands, {8, 8, 218, 273}},   {Form->Grid, {224, 8, 505, 273}},
      {Form->btnReset, {512, 40, 595, 65}},   {Form->btnExecute, {512, 176, 595, 201}},
      {Form->btnClose, {512, 320, 595, 345}}, {Form->edtInput, {72, 328, 505, 349}},
  };
  for (const Case& c : cases) {
    RECT r = BoundsOf(c.c);
    EXPECT_TRUE(EqualRect(&r, &c.r)) << WideToUtf8(c.c->Name()) << " " << r.left << "," << r.top << ","
                                      << r.right << "," << r.bottom;
  }
  const std::vector<std::wstring> order = {L"lbCommands", L"Grid",      L"btnReset",  L"btnExecute",
                                           L"btnDriver",  L"btnParams", L"btnAbout",  L"btnClose",
                                           L"edtResult",  L"edtOutput", L"edtInput",
                                           // added after the designed ones
                                           L"btnLog",     L"btnRepeat"};
  std::vector<std::wstring> tabs;
  HWND first = Form->lbCommands->Handle(), w = first;
  do {
    tabs.push_back(TWinControl::FromHandle(w)->Name());
    w = GetNextDlgTabItem(Form->Handle(), w, FALSE);
  } while (w && w != first && tabs.size() < 20);
  // The grid's editor is a child of the grid, so the walk may list it under the grid.
  std::erase_if(tabs, [](const std::wstring& n) { return n.empty(); });
  EXPECT_EQ(tabs, order);
}

TEST_F(CmdWindow, GrowsButNeverShrinksAndTheValueColumnFillsTheGrid) {
  Open();
  RECT before{};
  GetWindowRect(Form->Handle(), &before);
  EXPECT_EQ(Form->MinWidth(), before.right - before.left);
  EXPECT_EQ(Form->MinHeight(), before.bottom - before.top);
  EXPECT_TRUE(GetWindowLongPtrW(Form->Handle(), GWL_STYLE) & WS_THICKFRAME);

  auto valueColumnFills = [&] {
    RECT gc{};
    GetClientRect(Form->Grid->Handle(), &gc);
    EXPECT_EQ(Form->Grid->ColWidths(0) + 1 + Form->Grid->ColWidths(1), gc.right);
  };
  valueColumnFills();
  SetWindowPos(Form->Handle(), nullptr, 0, 0, before.right - before.left + 300, before.bottom - before.top + 100,
               SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  RECT grid = Form->Grid->BoundsRect(), exec = Form->btnExecute->BoundsRect(), reset = Form->btnReset->BoundsRect(),
       list = Form->lbCommands->BoundsRect(), result = Form->edtResult->BoundsRect();
  EXPECT_EQ(grid.right - grid.left, 281 + 300);
  EXPECT_EQ(grid.bottom - grid.top, 265 + 100);
  EXPECT_EQ(exec.left, 512 + 300);
  EXPECT_EQ(exec.top, 176 + 100);
  EXPECT_EQ(reset.top, 40);
  EXPECT_EQ(list.right - list.left, 210);
  EXPECT_EQ(list.bottom - list.top, 265 + 100);
  EXPECT_EQ(result.top, 280 + 100);
  EXPECT_EQ(result.right - result.left, 433 + 300);
  valueColumnFills();
  // The name column keeps the width the user gives it.
  Form->Grid->SetColWidths(0, 120);
  SetWindowPos(Form->Handle(), nullptr, 0, 0, before.right - before.left + 200, before.bottom - before.top,
               SWP_NOMOVE | SWP_NOZORDER);
  Pump();
  EXPECT_EQ(Form->Grid->ColWidths(0), 120);
  valueColumnFills();
}

// ---------------------------------------------------------------- values

TEST_F(CmdWindow, TypedValuesSurviveSwitchingCommandsAndARestart) {
  Open();
  Type(L"[ in] Код устройства", L"4");
  Type(L"[out] Данные блока", L"");
  Select(L"Запрос флагов");
  EXPECT_EQ(Form->lbCommands->ItemIndex(), 1);
  EXPECT_EQ(Form->Grid->RowCount(), 5);
  Type(L"[ in] Номер бита", L"7");
  Select(L"Запрос дампа");
  EXPECT_EQ(Value(L"[ in] Код устройства"), L"4");
  EXPECT_EQ(Value(L"[out] Данные блока"), L"");
  // Clicking the selected item again changes nothing.
  SelectItem(0);
  EXPECT_EQ(Value(L"[ in] Код устройства"), L"4");

  Reopen();
  EXPECT_EQ(Value(L"[ in] Код устройства"), L"4");
  // An emptied value comes back as its default.
  EXPECT_EQ(Value(L"[out] Данные блока"), L"0");
  Select(L"Запрос флагов");
  EXPECT_EQ(Value(L"[ in] Номер бита"), L"7");
  EXPECT_EQ(Form->lblTxCount->Text(), L"0");
}

TEST_F(CmdWindow, SettingsFileHoldsTheSettingsAndEveryCommand) {
  Open();
  Form->Params().Timeout = 300;
  CloseWindow();
  ASSERT_TRUE(Errors.empty());
  TBigIniFile ini(Ini);
  std::vector<std::wstring> sections;
  ini.ReadSections(sections);
  ASSERT_EQ(sections.size(), 38u);
  EXPECT_EQ(sections.front(), L"Параметры");
  EXPECT_EQ(sections.back(), L"92");
  EXPECT_EQ(ini.ReadInteger(L"Параметры", L"Timeout", 0), 300);
  EXPECT_EQ(ini.ReadString(L"11", L"Название", L""), L"Запрос состояния ККМ");
}

// ---------------------------------------------------------------- Execute

TEST_F(CmdWindow, ExecuteOfTheStatusRequestWaitingForTheAnswerFillsTheOutputs) {
  Open();
  Form->Params().WaitAnswer = true;
  Select(L"Запрос состояния ККМ");
  Type(L"[out] Версия ПО ККМ", L"typed");
  Click(Form->btnExecute);
  Pump();
  ASSERT_TRUE(Errors.empty()) << WideToUtf8(Errors.front());
  EXPECT_EQ(Form->edtResult->Text().rfind(L"(0) ", 0), 0u) << WideToUtf8(Form->edtResult->Text());
  EXPECT_EQ(Form->edtOutput->Text().rfind(L"02 ", 0), 0u) << WideToUtf8(Form->edtOutput->Text());
  EXPECT_EQ(Value(L"[out] Версия ПО ККМ"), Form->Driver().get_ECRSoftVersion());
  EXPECT_NE(Value(L"[out] Версия ПО ККМ"), L"typed");
  EXPECT_EQ(Value(L"[out] Код ошибки"), L"0");
  EXPECT_EQ(Form->lblTxCount->Text(), L"1");
  EXPECT_EQ(Form->lblRxCount->Text(), L"1");
  EXPECT_TRUE(Form->btnExecute->Enabled());

  Click(Form->btnReset);
  EXPECT_EQ(Form->lblTxCount->Text(), L"0");
  EXPECT_EQ(Form->lblRxCount->Text(), L"0");
}

TEST_F(CmdWindow, ExecuteWithTheDriverNotReadySendsNothing) {
  Open();
  Form->Driver().SetProperty(L"DeviceNotAnswering", TVariant::FromBool(true));
  Form->Driver().set_Timeout(20);
  Click(Form->btnExecute);
  Pump();
  EXPECT_NE(Form->edtResult->Text().rfind(L"(0) ", 0), 0u) << WideToUtf8(Form->edtResult->Text());
  EXPECT_FALSE(Form->edtResult->Text().empty());
  EXPECT_EQ(Form->edtOutput->Text(), L"");
  EXPECT_EQ(Form->lblTxCount->Text(), L"0");
  EXPECT_EQ(Form->lblRxCount->Text(), L"0");
  EXPECT_EQ(Form->TxCount(), 0);
}

TEST_F(CmdWindow, NonNumericValueIsReportedWithItsPropertyAndTheButtonsComeBack) {
  Open();
  Type(L"[ in] Номер блока данных", L"abc");
  Click(Form->btnExecute);
  Pump();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(L"Ошибка при записи свойства DataBlockNumber, Номер блока данных\r\n", 0), 0u)
      << WideToUtf8(Errors[0]);
  for (TButton* b : {Form->btnClose, Form->btnDriver, Form->btnParams, Form->btnExecute})
    EXPECT_TRUE(b->Enabled()) << WideToUtf8(b->Name());
  EXPECT_EQ(Form->edtResult->Text(), L"");
  EXPECT_EQ(Form->TxCount(), 0);
}

// Records which buttons are enabled at the moment the command goes out.
class TButtonSpy : public TDriver {
 public:
  TButtonSpy(std::unique_ptr<TDriver> inner, TfmMain*& form) : FInner(std::move(inner)), FForm(form) {
    FInner->OnCommand = [this](TPloverDriver&, int32_t id) {
      if (OnCommand) OnCommand(*this, id);
    };
  }
  int32_t LookupName(const std::wstring& name) override { return FInner->LookupName(name); }
  void PutById(int32_t id, const TVariant& v) override { FInner->PutById(id, v); }
  TVariant GetById(int32_t id) override { return FInner->GetById(id); }
  int32_t CallById(int32_t id) override {
    if (id == dispid::SendCommand && FForm)
      for (int i = 0; i < FForm->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TButton*>(FForm->Controls(i))) Seen.emplace_back(b->Name(), b->Enabled());
    return FInner->CallById(id);
  }
  std::vector<std::pair<std::wstring, bool>> Seen;

 private:
  std::unique_ptr<TDriver> FInner;
  TfmMain*& FForm;
};

TEST_F(CmdWindow, DuringExecuteExactlyTheFourCommandButtonsAreDisabled) {
  TfmMain* form = nullptr;
  TButtonSpy* spy = nullptr;
  Open([&] {
    auto s = std::make_unique<TButtonSpy>(CreateComDriver(), form);
    spy = s.get();
    return s;
  });
  form = Form.get();
  Click(Form->btnExecute);
  Pump();
  const std::vector<std::pair<std::wstring, bool>> expected = {
      {L"btnReset", true},   {L"btnExecute", false}, {L"btnDriver", false},
      {L"btnParams", false}, {L"btnAbout", true},    {L"btnClose", false},
      {L"btnLog", true},     {L"btnRepeat", true},
  };
  EXPECT_EQ(spy->Seen, expected);
  for (TButton* b : {Form->btnClose, Form->btnDriver, Form->btnParams, Form->btnExecute})
    EXPECT_TRUE(b->Enabled());
}

// ---------------------------------------------------------------- the other buttons

TEST_F(CmdWindow, AboutShowsTheTitleAndBothVersionsAboveTheWindow) {
  Open();
  std::wstring name;
  std::vector<std::wstring> lines;
  HWND owner = nullptr;
  Application().OnModalStart = [&](TForm& form) {
    auto& box = dynamic_cast<TfmAbout&>(form);
    name = box.NameLabel->Text();
    for (int i = 0; i < box.lbVersion->Count(); ++i) lines.push_back(box.lbVersion->Item(i));
    owner = GetWindow(box.Handle(), GW_OWNER);
    Click(box.btnOK);
  };
  Click(Form->btnAbout);
  Pump();
  EXPECT_EQ(name, L"Тест команд");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(L"Версия теста: ", 0), 0u);
  EXPECT_EQ(lines[1], L"Версия драйвера: " + Form->Driver().get_DriverVersion());
  EXPECT_EQ(owner, Form->Handle());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(CmdWindow, ParametersOpensTheSettingsDialogOnTheWindowsSettings) {
  Open();
  Form->Params().Timeout = 1234;
  std::wstring shown;
  Application().OnModalStart = [&](TForm& form) {
    auto& dialog = dynamic_cast<cmdtest::TfmParams&>(form);
    shown = dialog.edtTimeout->Text();
    dialog.chbWaitAnswer->SetChecked(true);
    Click(dialog.btnOK);
  };
  Click(Form->btnParams);
  Pump();
  EXPECT_EQ(shown, L"1234");
  EXPECT_TRUE(Form->Params().WaitAnswer);
  EXPECT_TRUE(Errors.empty());
}

// Forwards to the registered control; keeps the calls of some methods to itself.
class TMethodSpy : public TDriver {
 public:
  explicit TMethodSpy(std::unique_ptr<TDriver> inner) : FInner(std::move(inner)) {}
  int32_t LookupName(const std::wstring& name) override { return FInner->LookupName(name); }
  void PutById(int32_t id, const TVariant& v) override { FInner->PutById(id, v); }
  TVariant GetById(int32_t id) override { return FInner->GetById(id); }
  int32_t CallById(int32_t id) override {
    Calls.push_back(id);
    // The driver's own dialog would wait for a user.
    return id == dispid::ShowProperties ? 0 : FInner->CallById(id);
  }
  std::vector<int32_t> Calls;

 private:
  std::unique_ptr<TDriver> FInner;
};

TEST_F(CmdWindow, DriverButtonOpensTheDriversOwnDialogAndCloseSavesAndHides) {
  TMethodSpy* spy = nullptr;
  Open([&] {
    auto s = std::make_unique<TMethodSpy>(CreateComDriver());
    spy = s.get();
    return s;
  });
  Click(Form->btnDriver);
  EXPECT_EQ(spy->Calls, std::vector<int32_t>{dispid::ShowProperties});
  EXPECT_FALSE(std::filesystem::exists(Ini));
  Click(Form->btnClose);
  Pump();
  EXPECT_FALSE(IsWindowVisible(Form->Handle()));
  EXPECT_TRUE(std::filesystem::exists(Ini));
  EXPECT_TRUE(Errors.empty());
}

// ---------------------------------------------------------------- received commands

TEST_F(CmdWindow, RequestIsAnsweredWithTheOutputsTypedInTheGrid) {
  Open();
  Select(L"*Скидка по коду");
  Type(L"[out] Описание скидки", L"Скидка постоянного покупателя");
  Type(L"[out] Сумма скидки", L"12.34");
  Select(L"Запрос дампа");

  TOtherStation desk;
  desk.Code = 0x84;
  desk.Put = {{L"Code", TVariant::FromStr(L"4600")}, {L"RecSumm", TVariant::FromCurrency(250000)}};
  desk.Get = {L"Text", L"Summ"};
  desk.Run();
  ASSERT_TRUE(Errors.empty()) << WideToUtf8(Errors.front());
  EXPECT_EQ(desk.Result, 0);
  ASSERT_EQ(desk.Got.size(), 2u);
  EXPECT_EQ(desk.Got[0], L"Скидка постоянного покупателя");
  EXPECT_EQ(VarAsType(TVariant::FromStr(desk.Got[1]), TVarType::Double).Double(), 12.34);

  EXPECT_EQ(Form->lbCommands->ItemIndex(), IndexOf(L"*Скидка по коду"));
  EXPECT_EQ(Value(L"[ in] Код"), L"4600");
  EXPECT_EQ(Value(L"[ in] Сумма чека"), L"25");
  EXPECT_EQ(Value(L"[out] Описание скидки"), L"Скидка постоянного покупателя");
  EXPECT_FALSE(Form->edtInput->Text().empty());
  EXPECT_FALSE(Form->edtOutput->Text().empty());
  EXPECT_EQ(Form->lblRxCount->Text(), L"1");
  EXPECT_EQ(Form->lblTxCount->Text(), L"0");
}

TEST_F(CmdWindow, WithSendAnswerOffNothingIsSent) {
  Open();
  Form->Params().SendAnswer = false;
  TOtherStation desk;
  desk.Code = 0x50;
  desk.Timeout = 500;
  desk.Put = {{L"OperationNumber", TVariant::FromInt(12)}};
  desk.Run();
  EXPECT_NE(desk.Result, 0);  // no answer came
  EXPECT_EQ(Value(L"[ in] Номер подкрепления"), L"12");
  EXPECT_FALSE(Form->edtInput->Text().empty());
  EXPECT_EQ(Form->edtOutput->Text(), L"");
  EXPECT_EQ(Form->lblRxCount->Text(), L"1");
}

TEST_F(CmdWindow, ArrivedAnswerRefreshesEveryRow) {
  Open();
  Select(L"Запрос флагов");
  Type(L"[ in] Номер бита", L"4");
  Select(L"Запрос дампа");
  TOtherStation ecr;
  ecr.Code = 0x10;
  ecr.Type = 1;
  ecr.WaitAnswer = false;
  ecr.Put = {{L"FlagName", TVariant::FromStr(L"Бит от другой станции")}};
  ecr.Run();
  EXPECT_EQ(ecr.Result, 0);
  EXPECT_EQ(Form->lbCommands->ItemIndex(), 1);
  EXPECT_EQ(Value(L"[ in] Номер бита"), L"4");
  EXPECT_EQ(Value(L"[out] Название бита"), L"Бит от другой станции");
  EXPECT_EQ(Form->edtOutput->Text(), L"");
}

TEST_F(CmdWindow, AnswerThatCannotBeWrittenReachesTheErrorDisplay) {
  Open();
  Select(L"*Подкрепление");
  Type(L"[out] Код ошибки", L"abc");
  TOtherStation desk;
  desk.Code = 0x50;
  desk.Timeout = 300;
  desk.Run();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(L"Ошибка при записи свойства CommandResultCode, Код ошибки\r\n", 0), 0u)
      << WideToUtf8(Errors[0]);
  EXPECT_NE(desk.Result, 0);
}

TEST_F(CmdWindow, RequestForAnotherStationChangesOnlyTheCounter) {
  Open();
  TOtherStation desk;
  desk.Code = 0x50;
  desk.Dst = 9;
  desk.Timeout = 300;
  desk.Run();
  EXPECT_EQ(Form->CommandIndex(), 0);
  EXPECT_EQ(Form->edtInput->Text(), L"");
  EXPECT_EQ(Form->lblRxCount->Text(), L"1");
}

// ---------------------------------------------------------------- history and repeat

std::vector<std::wstring> GridRow(TStringGrid* g, int row) {
  std::vector<std::wstring> cells;
  for (int c = 0; c < g->ColCount(); ++c) cells.push_back(g->Cells(c, row));
  return cells;
}

// "Журнал..." shows every exchange of the session, newest last, also those
// made before it was opened and while it is open; "Сохранить..." writes it as
// tab-separated text, "Очистить" empties it.
TEST_F(CmdWindow, TheHistoryListsEveryExchangeAndIsSavedAndCleared) {
  Open();
  Click(Form->btnExecute);
  TOtherStation desk;
  desk.Code = 0x50;
  desk.Put = {{L"OperationNumber", TVariant::FromInt(12)}};
  desk.Run();
  ASSERT_EQ(desk.Result, 0);
  Click(Form->btnLog);
  TfmLog* log = Form->LogWindow();
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->Visible());
  EXPECT_EQ(log->Caption(), L"Журнал обмена");
  TStringGrid* g = log->Grid;
  EXPECT_EQ(GridRow(g, 0), (std::vector<std::wstring>{L"Время", L"Направление", L"Код", L"Команда", L"Откуда",
                                                      L"Куда", L"Результат", L"Длительность, мс", L"Кадр"}));
  // The request sent, the cash register's answer to it, the desk's request
  // and the answer to that.
  ASSERT_EQ(g->RowCount(), 5);
  const std::wstring src = IntToStr(Form->Driver().get_SrcAddress());
  const std::wstring ecr = IntToStr(Form->Driver().get_DstAddress());
  auto brief = [&](int row) {
    const auto r = GridRow(g, row);
    return std::vector<std::wstring>{r[1], r[2], r[3], r[4], r[5], r[6]};
  };
  using Row = std::vector<std::wstring>;
  EXPECT_EQ(brief(1), (Row{L"передано", L"01h", L"Запрос дампа", src, ecr, L"(0) Ошибок нет"}));
  EXPECT_EQ(brief(2), (Row{L"принято", L"01h", L"Запрос дампа", ecr, src, L"(0) Ошибок нет"}));
  EXPECT_EQ(brief(3), (Row{L"принято", L"50h", L"*Подкрепление", L"5", src, L"(0) Ошибок нет"}));
  EXPECT_EQ(brief(4), (Row{L"ответ", L"50h", L"*Подкрепление", src, L"5", L"(0) Ошибок нет"}));
  EXPECT_FALSE(GridRow(g, 1)[8].empty());
  EXPECT_EQ(GridRow(g, 3)[8], Form->edtInput->Text());
  EXPECT_EQ(GridRow(g, 4)[8], Form->edtOutput->Text());
  EXPECT_EQ(log->lblStatus->Text(), L"Записей: 4");
  Click(Form->btnExecute);
  EXPECT_EQ(g->RowCount(), 6) << "the open window follows";
  SetWindowPos(log->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Pump();
  shots::SaveWindow(log->Handle(), (std::filesystem::path(PLOVER_BUILD_DIR) / L"screenshots" / L"PloverCmd-history").wstring());

  const std::wstring file = (Dir / L"журнал.txt").wstring();
  SetFileDialogHook([&](bool save, TFileDialogArgs& args) {
    EXPECT_TRUE(save);
    args.FileName = file;
    return true;
  });
  Click(log->btnSave);
  SetFileDialogHook(nullptr);
  ASSERT_TRUE(Errors.empty()) << WideToUtf8(Errors.front());
  const std::wstring text = AnsiToWide(ReadBytes(file));
  EXPECT_EQ(text.rfind(L"Время\tНаправление\t", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), static_cast<long>(Form->Log().Count()) + 1);
  EXPECT_NE(text.find(L"\tответ\t50h\t*Подкрепление\t"), std::wstring::npos);

  Click(log->btnClear);
  EXPECT_EQ(g->RowCount(), 2);
  EXPECT_EQ(GridRow(g, 1)[1], L"");
  EXPECT_EQ(log->lblStatus->Text(), L"Записей: 0");
}

// "Повторить..." sends the selected command N times every T ms with Execute's
// buttons off for the run, shows the run's figures, puts each exchange into
// the history, ends at the first failure when asked or at "Прервать", and
// keeps N, T and the option in the settings file.
TEST_F(CmdWindow, RepeatSendsTheCommandAgainAndAgainUntilItsEnd) {
  Open();
  Click(Form->btnRepeat);
  TfmRepeat* rep = Form->RepeatWindow();
  ASSERT_NE(rep, nullptr);
  EXPECT_EQ(rep->edtCount->Text(), L"10");
  EXPECT_EQ(rep->edtInterval->Text(), L"1000");
  rep->edtCount->SetText(L"3");
  rep->edtInterval->SetText(L"20");
  Click(rep->btnStart);
  EXPECT_TRUE(rep->Running());
  for (TButton* b : {Form->btnClose, Form->btnDriver, Form->btnParams, Form->btnExecute, Form->btnRepeat})
    EXPECT_FALSE(b->Enabled()) << WideToUtf8(b->Name());
  EXPECT_TRUE(rep->btnStop->Enabled());
  EXPECT_EQ(GetFocus(), rep->btnStop->Handle());
  ASSERT_TRUE(PumpUntil([&] { return !rep->Running(); }));
  EXPECT_EQ(rep->lblSent->Text(), L"3");
  EXPECT_EQ(rep->lblFailed->Text(), L"0");
  EXPECT_EQ(rep->lblResult->Text(), L"(0) Ошибок нет");
  EXPECT_FALSE(rep->lblFastest->Text().empty());
  EXPECT_EQ(Form->TxCount(), 3);
  EXPECT_EQ(Form->edtResult->Text(), L"(0) Ошибок нет");
  for (TButton* b : {Form->btnClose, Form->btnDriver, Form->btnParams, Form->btnExecute, Form->btnRepeat})
    EXPECT_TRUE(b->Enabled()) << WideToUtf8(b->Name());
  EXPECT_EQ(GetFocus(), rep->btnStart->Handle());
  shots::SaveWindow(rep->Handle(), (std::filesystem::path(PLOVER_BUILD_DIR) / L"screenshots" / L"PloverCmd-repeat").wstring());

  // Until stopped: "Прервать" after the fifth.
  rep->edtCount->SetText(L"0");
  rep->edtInterval->SetText(L"0");
  Click(rep->btnStart);
  ASSERT_TRUE(PumpUntil([&] { return std::stoi(rep->lblSent->Text()) >= 5; }));
  Click(rep->btnStop);
  EXPECT_FALSE(rep->Running());
  const std::wstring sent = rep->lblSent->Text();
  Pump();
  EXPECT_EQ(rep->lblSent->Text(), sent);

  // Up to the first failure: the driver refuses every second send.
  Form->Driver().SetProperty(L"FaultMethod", TVariant::FromStr(L"SendCommand"));
  Form->Driver().SetProperty(L"FaultCode", TVariant::FromInt(5));
  Form->Driver().SetProperty(L"FaultEvery", TVariant::FromInt(2));
  rep->chbStopOnError->SetChecked(true);
  Click(rep->btnStart);
  ASSERT_TRUE(PumpUntil([&] { return !rep->Running(); }));
  Form->Driver().SetProperty(L"FaultMethod", TVariant::FromStr(L""));
  Form->Driver().SetProperty(L"FaultEvery", TVariant::FromInt(0));
  EXPECT_EQ(rep->lblFailed->Text(), L"1");
  EXPECT_EQ(rep->lblResult->Text().rfind(L"(5) ", 0), 0u) << WideToUtf8(rep->lblResult->Text());
  // Every repeat is in the history.
  int sends = 0;
  for (size_t i = 0; i < Form->Log().Count(); ++i) sends += Form->Log().Row(i).Direction == TExchangeDirection::Sent;
  EXPECT_EQ(sends, Form->TxCount());
  EXPECT_TRUE(Errors.empty());

  CloseWindow();
  TBigIniFile ini(Ini);
  EXPECT_EQ(ini.ReadInteger(L"Параметры", L"RepeatCount", -1), 0);
  EXPECT_EQ(ini.ReadInteger(L"Параметры", L"RepeatInterval", -1), 0);
  EXPECT_EQ(ini.ReadInteger(L"Параметры", L"RepeatStopOnError", -1), 1);
}

// ---------------------------------------------------------------- the settings file

TEST_F(CmdWindow, SettingsFileThatCannotBeWrittenKeepsItsContentAndTheWindow) {
  const std::string old = "[Параметры]\r\nTimeout=5\r\n\r\n";
  {
    std::ofstream(std::filesystem::path(Ini), std::ios::binary) << WideToAnsi(Utf8ToWide(old));
  }
  const std::string oldBytes = ReadBytes(Ini);
  struct Case {
    const char* what;
    std::function<std::function<void()>()> block;  // returns the undo
  };
  const Case cases[] = {
      {"read-only file",
       [this] {
         SetFileAttributesW(Ini.c_str(), FILE_ATTRIBUTE_READONLY);
         return std::function<void()>([this] { SetFileAttributesW(Ini.c_str(), FILE_ATTRIBUTE_NORMAL); });
       }},
      {"file locked by another program",
       [this] {
         HANDLE h = CreateFileW(Ini.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         EXPECT_NE(h, INVALID_HANDLE_VALUE);
         return std::function<void()>([h] { CloseHandle(h); });
       }},
  };
  Open();
  EXPECT_EQ(Form->Params().Timeout, 5u);
  Form->Params().Timeout = 6;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Errors.clear();
    auto undo = c.block();
    CloseWindow();
    undo();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_NE(Errors[0].find(L"PloverCmd.ini"), std::wstring::npos) << WideToUtf8(Errors[0]);
    EXPECT_TRUE(IsWindowVisible(Form->Handle()));
    EXPECT_EQ(ReadBytes(Ini), oldBytes);
  }
  Errors.clear();
  CloseWindow();
  EXPECT_TRUE(Errors.empty());
  EXPECT_FALSE(IsWindowVisible(Form->Handle()));
  TBigIniFile ini(Ini);
  EXPECT_EQ(ini.ReadInteger(L"Параметры", L"Timeout", 0), 6);
}

// The window as a screen reader reads it: every input control named, the
// grid a table whose rows are named by their parameters and whose value
// cells carry the values, and a focus event naming the cell the user moves to.
TEST_F(CmdWindow, ScreenReadersReadTheWindowAndFollowTheGridsCursor) {
  Open();  // the first command shows: it reads a dump block of a device
  EXPECT_EQ(acc::InputNames(*Form),
            (std::map<std::wstring, std::wstring>{{L"lbCommands", L"Команды"}, {L"Grid", L"Параметры команды"},
                                                  {L"edtResult", L"Результат:"}, {L"edtOutput", L"Передано:"},
                                                  {L"edtInput", L"Принято:"}}));
  TComPtr<IAccessible> grid = acc::ObjectOf(Form->Grid->Handle());
  ASSERT_TRUE(grid);
  const int row = RowOf(L"[ in] Код устройства");
  std::wstring rowName, cellName, cellValue;
  long cellRole = 0;
  for (const acc::TElem& r : acc::ChildrenOf(grid.Get())) {
    if (r.Role != ROLE_SYSTEM_ROW || r.Name != L"[ in] Код устройства" || !r.Object) continue;
    rowName = r.Name;
    const auto cells = acc::ChildrenOf(r.Object.Get());
    ASSERT_EQ(cells.size(), 2u);
    cellRole = cells[1].Role;
    cellName = cells[1].Name;
    cellValue = cells[1].Value;
  }
  EXPECT_EQ(rowName, L"[ in] Код устройства");
  EXPECT_EQ(cellRole, ROLE_SYSTEM_CELL);
  EXPECT_EQ(cellName, L"Значение");
  EXPECT_EQ(cellValue, Value(L"[ in] Код устройства"));

  static std::vector<long> focused;
  focused.clear();
  HWINEVENTHOOK hook = SetWinEventHook(
      EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr,
      [](HWINEVENTHOOK, DWORD, HWND, LONG object, LONG child, DWORD, DWORD) {
        if (object == OBJID_CLIENT && child > 0) focused.push_back(child);
      },
      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  SetFocus(Form->Grid->Handle());
  Form->Grid->SelectCell(1, row + 1);
  Form->Grid->SelectCell(1, row);
  Pump();
  if (hook) UnhookWinEvent(hook);
  const long cellId = TStringGrid::kAccCellBase + row * Form->Grid->ColCount() + 1;
  EXPECT_NE(std::find(focused.begin(), focused.end(), cellId), focused.end());
  VARIANT focus;
  VariantInit(&focus);
  ASSERT_EQ(grid->get_accFocus(&focus), S_OK);
  EXPECT_EQ(focus.vt, VT_I4);
  EXPECT_EQ(focus.lVal, cellId);
  EXPECT_EQ(acc::Describe(grid.Get(), cellId).Value, Value(L"[ in] Код устройства"));
}

}  // namespace
