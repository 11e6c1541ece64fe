// The command test window's steps, against a driver that logs every access.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "test_CmdFakes.h"
#include "untCmdSession.h"
#include "untDateTime.h"
#include "untRepeat.h"
#include "untText.h"

namespace {

class CmdSession : public ::testing::Test {
 protected:
  void SetUp() override {
    auto driver = std::make_unique<TFakeDriver>();
    Driver = driver.get();
    Session = std::make_unique<TCmdSession>(View, std::move(driver), L"");
    Session->ShowGridHeader();
    Session->FillCommandList();
    Driver->Log.clear();
  }
  void Select(const std::wstring& name) {
    for (int i = 0; i < Session->Commands().Count(); ++i)
      if (Session->Commands().Items(i).Name == name) return Session->SelectCommand(i);
    FAIL() << "no command";
  }
  TCommand& Shown() { return Session->Commands().Items(Session->CommandIndex()); }
  // A command that arrived from the network, ready for GetCommand/ParseCommand.
  void Arrive(int code, int type, int dst, int src = 7) {
    Driver->Set(L"CommandCode", TVariant::FromInt(code));
    Driver->Set(L"CommandType", TVariant::FromInt(type));
    Driver->Set(L"CommandDstAddress", TVariant::FromInt(dst));
    Driver->Set(L"CommandSrcAddress", TVariant::FromInt(src));
    Driver->Set(L"CommandCadrHex", TVariant::FromStr(L"AA BB "));
  }

  TFakeCmdView View;
  TFakeDriver* Driver = nullptr;
  std::unique_ptr<TCmdSession> Session;
};

TEST(CmdSessionCreate, TouchesPositionOfPointFirstAndAttachesOnCommand) {
  TFakeCmdView view;
  auto driver = std::make_unique<TFakeDriver>();
  TFakeDriver* raw = driver.get();
  TCmdSession session(view, std::move(driver), L"");
  ASSERT_EQ(raw->Log, std::vector<std::wstring>{L"get PositionOfPoint"});
  EXPECT_EQ(session.CommandIndex(), -1);
  EXPECT_EQ(session.Commands().Count(), 37);
  ASSERT_TRUE(raw->OnCommand);
  // Defaults are in place before any settings are read.
  EXPECT_EQ(session.Commands().Items(1).OutParams.Items(0).Value, L"Бит 0");
}

TEST_F(CmdSession, ListsTheCatalogueNumberedAndShowsTheFirstCommand) {
  ASSERT_EQ(View.Items.size(), 37u);
  EXPECT_EQ(View.Items[0], L"1. Запрос дампа");
  EXPECT_EQ(View.Items[22], L"23. *Подкрепление");
  EXPECT_EQ(View.Items[36], L"37. *Подтверждение закрытия");
  EXPECT_EQ(View.ItemIndex, 0);
  EXPECT_EQ(Session->CommandIndex(), 0);
  // 2 inputs, 2 outputs of its own and the 2 result outputs, plus the header.
  const std::vector<std::vector<std::wstring>> expected = {
      {L"Название", L"Значение"},
      {L"[ in] Код устройства", L"0"},
      {L"[ in] Номер блока данных", L"0"},
      {L"[out] Количество блоков", L"0"},
      {L"[out] Данные блока", L"0"},
      {L"[out] Код ошибки", L"0"},
      {L"[out] Описание ошибки", L""},
  };
  EXPECT_EQ(View.Cells, expected);
}

TEST_F(CmdSession, CommandWithoutParametersShowsOnlyTheResultRows) {
  Select(L"Гудок");
  ASSERT_EQ(View.RowCount(), 3);
  EXPECT_EQ(View.Cells[1][0], L"[out] Код ошибки");
  EXPECT_EQ(View.Cells[2][0], L"[out] Описание ошибки");
}

TEST_F(CmdSession, TypedValuesLiveInTheCommandsAcrossSelections) {
  View.ValueOf(L"[ in] Код устройства") = L"5";
  View.ValueOf(L"[out] Данные блока") = L"01 02";
  Select(L"Запрос флагов");
  EXPECT_EQ(Session->Commands().Items(0).InParams.Items(0).Value, L"5");
  View.ValueOf(L"[ in] Номер бита") = L"3";
  Session->SelectCommand(0);
  EXPECT_EQ(View.ValueOf(L"[ in] Код устройства"), L"5");
  EXPECT_EQ(View.ValueOf(L"[out] Данные блока"), L"01 02");
  EXPECT_EQ(Session->Commands().Items(1).InParams.Items(0).Value, L"3");
}

TEST_F(CmdSession, SelectingTheShownCommandAgainStoresButRedrawsNothing) {
  View.ValueOf(L"[ in] Код устройства") = L"9";
  int calls = View.RowCountCalls;
  Session->SelectCommand(0);
  EXPECT_EQ(View.RowCountCalls, calls);
  EXPECT_EQ(Shown().InParams.Items(0).Value, L"9");
  EXPECT_TRUE(Driver->Log.empty());
}

TEST_F(CmdSession, ExecuteWritesInputsThenOutputsThenTheExchangeAndSends) {
  Session->Params().Timeout = 0xFFFFFFFFu;  // handed over as its bit pattern
  View.ValueOf(L"[ in] Код устройства") = L"3";
  View.ValueOf(L"[out] Количество блоков") = L"$10";
  Driver->OnCall = [this](const std::wstring& method) {
    if (method == L"SendCommand") Driver->Set(L"CommandCadrHex", TVariant::FromStr(L"02 01 "));
  };
  Session->Execute();

  const std::vector<std::wstring> expected = {
      L"put DeviceEnabled=True",   L"get ResultCode",
      L"put DeviceNumber=3",     L"put DataBlockNumber=0",
      L"put DataBlockCount=16",  std::wstring(L"put DataBlock=") + L'\0',  // "0" is one byte 00
      L"put CommandResultCode=0",  // the description is read-only and skipped
      L"put CommandType=0",      L"put CommandCode=1",
      L"get DstAddress",         L"put CommandDstAddress=2",
      L"get SrcAddress",         L"put CommandSrcAddress=1",
      L"put Timeout=-1",         L"put WaitAnswer=False",
      L"call SendCommand",       L"get CommandCadrHex",
      L"get ResultCode",         L"get ResultCodeDescription",
  };
  EXPECT_EQ(Driver->Log, expected);
  EXPECT_EQ(View.Output, L"02 01 ");
  EXPECT_EQ(View.Result, L"(0) Ошибок нет");
  EXPECT_EQ(View.TxText, L"1");
  EXPECT_EQ(View.RxText, L"0");
  EXPECT_EQ(View.ButtonStates, (std::vector<bool>{false, true}));
  // Without waiting for the answer the grid keeps what was typed.
  EXPECT_EQ(View.ValueOf(L"[out] Количество блоков"), L"$10");
}

TEST_F(CmdSession, ExecuteWaitingForTheAnswerReadsTheOutputsBack) {
  Session->Params().WaitAnswer = true;
  Select(L"Запрос флагов");
  Driver->OnCall = [this](const std::wstring&) {
    Driver->Set(L"FlagName", TVariant::FromStr(L"Смена открыта"));
    Driver->Set(L"CommandResultDescription", TVariant::FromStr(L"Выполнено"));
  };
  Session->Execute();
  EXPECT_EQ(Driver->Count(L"put WaitAnswer=True"), 1);
  EXPECT_EQ(View.ValueOf(L"[out] Название бита"), L"Смена открыта");
  EXPECT_EQ(View.ValueOf(L"[out] Описание ошибки"), L"Выполнено");
  EXPECT_EQ(Shown().OutParams.Items(0).Value, L"Смена открыта");
  EXPECT_EQ(View.RxText, L"1");
}

TEST_F(CmdSession, DriverNotReadySendsNothingAndCountsNothing) {
  Driver->DeviceEnabledResult = 5;
  View.ValueOf(L"[ in] Код устройства") = L"7";
  Session->Execute();
  EXPECT_EQ(Driver->Entries(L"put"), std::vector<std::wstring>{L"put DeviceEnabled=True"});
  EXPECT_EQ(Driver->Entries(L"call"), std::vector<std::wstring>{});
  EXPECT_EQ(View.Result, L"(5) Ошибка 5");
  EXPECT_EQ(Session->TxCount(), 0);
  EXPECT_EQ(View.TxText, L"0");
  EXPECT_EQ(View.ButtonStates, (std::vector<bool>{false, true}));
}

TEST_F(CmdSession, FailedSendCountsTheTransmissionAndReadsNothing) {
  Session->Params().WaitAnswer = true;
  Driver->MethodResults[L"SendCommand"] = 2;
  Session->Execute();
  EXPECT_EQ(View.Output, L"");
  EXPECT_EQ(View.Result, L"(2) Ошибка 2");
  EXPECT_EQ(View.TxText, L"1");
  EXPECT_EQ(View.RxText, L"0");
  EXPECT_EQ(Driver->Count(L"get DataBlockCount"), 0);
}

TEST_F(CmdSession, RefusedValueNamesThePropertyAndGivesTheButtonsBack) {
  View.Output = View.Input = L"old";
  View.ValueOf(L"[ in] Номер блока данных") = L"abc";
  try {
    Session->Execute();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind(L"Ошибка при записи свойства DataBlockNumber, Номер блока данных\r\n", 0), 0u)
        << e.what();
  }
  EXPECT_EQ(View.ButtonStates, (std::vector<bool>{false, true}));
  EXPECT_EQ(View.Result, L"");
  EXPECT_EQ(View.Output, L"");
  EXPECT_EQ(View.Input, L"");
  EXPECT_EQ(Driver->Count(L"call SendCommand"), 0);
  EXPECT_EQ(Session->TxCount(), 0);
  // The text stays what the user typed, so it can be corrected.
  EXPECT_EQ(Shown().InParams.Items(1).Value, L"abc");
}

TEST_F(CmdSession, ResetClearsBothCounters) {
  Session->Execute();
  Driver->OnCommand(*Driver, 1);
  EXPECT_EQ(View.TxText, L"1");
  EXPECT_EQ(View.RxText, L"1");
  Session->ResetCounters();
  EXPECT_EQ(View.TxText, L"0");
  EXPECT_EQ(View.RxText, L"0");
}

// ---------------------------------------------------------------- received commands

TEST_F(CmdSession, RequestSelectsItsCommandAndIsAnsweredWithTheTypedOutputs) {
  Select(L"*Инкассация");
  View.ValueOf(L"[out] Код ошибки") = L"3";
  Select(L"Запрос дампа");
  // Code 84h: the discount by code; the user's answer is typed in the grid.
  Select(L"*Скидка по коду");
  View.ValueOf(L"[out] Описание скидки") = L"Скидка 5%";
  View.ValueOf(L"[out] Сумма скидки") = L"12.5";
  Select(L"Запрос дампа");
  Arrive(0x84, 0, 1, 9);
  Driver->Set(L"Code", TVariant::FromStr(L"4600"));
  Driver->Set(L"RecSumm", TVariant::FromCurrency(1000000));
  Driver->OnCall = [this](const std::wstring& method) {
    if (method == L"SendCommand") Driver->Set(L"CommandCadrHex", TVariant::FromStr(L"84 01 "));
  };
  Driver->Log.clear();
  Driver->OnCommand(*Driver, 42);

  EXPECT_EQ(View.ItemIndex, 29);
  EXPECT_EQ(View.ValueOf(L"[ in] Код"), L"4600");
  EXPECT_EQ(View.ValueOf(L"[ in] Сумма чека"), L"100");
  EXPECT_EQ(View.ValueOf(L"[out] Описание скидки"), L"Скидка 5%");
  EXPECT_EQ(View.Input, L"AA BB ");
  EXPECT_EQ(View.Output, L"84 01 ");
  EXPECT_EQ(View.RxText, L"1");
  EXPECT_EQ(View.TxText, L"0");
  EXPECT_EQ(Driver->Text(L"Text"), L"Скидка 5%");
  EXPECT_EQ(Driver->Text(L"Summ"), L"12,5");  // what currency holds, shown the automation way
  const std::vector<std::wstring> tail = {
      L"put Text=Скидка 5%", L"put Summ=12,5", L"put CommandResultCode=0",
      L"put CommandType=1",  L"get CommandSrcAddress", L"put CommandDstAddress=9",
      L"get SrcAddress",     L"put CommandSrcAddress=1", L"call SendCommand",
      L"get CommandCadrHex",
      L"get ResultCodeDescription",  // for the exchange history
  };
  auto puts = Driver->Log;
  ASSERT_GE(puts.size(), tail.size());
  EXPECT_EQ(std::vector<std::wstring>(puts.end() - static_cast<long>(tail.size()), puts.end()), tail);
  EXPECT_EQ(Driver->Entries(L"put CommandID"), std::vector<std::wstring>{L"put CommandID=42"});
  // Inputs are never written when answering.
  EXPECT_EQ(Driver->Count(L"put Code=4600"), 0);
}

TEST_F(CmdSession, RequestForTheShownCommandAnswersWithWhatTheGridHoldsNow) {
  Select(L"*Подкрепление");
  View.ValueOf(L"[out] Код ошибки") = L"77";
  Arrive(0x50, 0, 1);
  Driver->OnCommand(*Driver, 1);
  EXPECT_EQ(Driver->Count(L"put CommandResultCode=77"), 1);
  EXPECT_EQ(View.ValueOf(L"[out] Код ошибки"), L"77");
}

TEST_F(CmdSession, WithSendAnswerOffTheRequestIsShownButNotAnswered) {
  Session->Params().SendAnswer = false;
  Arrive(0x50, 0, 1);
  Driver->Set(L"OperationNumber", TVariant::FromInt(12));
  Driver->OnCommand(*Driver, 1);
  EXPECT_EQ(View.ValueOf(L"[ in] Номер подкрепления"), L"12");
  EXPECT_EQ(Driver->Count(L"call SendCommand"), 0);
  EXPECT_EQ(Driver->Entries(L"put"), std::vector<std::wstring>{L"put CommandID=1"});
  EXPECT_EQ(View.Output, L"");
}

TEST_F(CmdSession, ArrivedAnswerRefreshesEveryRowAndSendsNothing) {
  Select(L"Запрос флагов");
  View.ValueOf(L"[ in] Номер бита") = L"4";
  Select(L"Запрос дампа");
  Arrive(0x10, 1, 1);
  Driver->Set(L"FlagName", TVariant::FromStr(L"Бит 4"));
  Driver->Set(L"CommandResultCode", TVariant::FromInt(0));
  Driver->Set(L"CommandResultDescription", TVariant::FromStr(L"ok"));
  Driver->OnCommand(*Driver, 1);
  EXPECT_EQ(View.ItemIndex, 1);
  EXPECT_EQ(View.ValueOf(L"[ in] Номер бита"), L"4");
  EXPECT_EQ(View.ValueOf(L"[out] Название бита"), L"Бит 4");
  EXPECT_EQ(View.ValueOf(L"[out] Описание ошибки"), L"ok");
  EXPECT_EQ(Driver->Count(L"call SendCommand"), 0);
}

TEST_F(CmdSession, ReceivedCommandsThatAreNotOursStopEarly) {
  struct Case {
    const char* what;
    int getCommandResult;
    int code;
    int dst;
    bool inputShown;
  };
  const Case cases[] = {
      {"GetCommand fails", 1, 0x50, 1, false},
      {"another station", 0, 0x50, 5, false},
      {"unknown code", 0, 0x99, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    View.Input.clear();
    Driver->MethodResults[L"GetCommand"] = c.getCommandResult;
    Arrive(c.code, 0, c.dst);
    int rx = Session->RxCount();
    Driver->Log.clear();
    Driver->OnCommand(*Driver, 3);
    EXPECT_EQ(Session->RxCount(), rx + 1);
    EXPECT_EQ(View.RxText, std::to_wstring(rx + 1));
    EXPECT_EQ(Session->CommandIndex(), 0);
    EXPECT_EQ(View.Input, c.inputShown ? L"AA BB " : L"");
    EXPECT_EQ(Driver->Count(L"call SendCommand"), 0);
    EXPECT_EQ(Driver->Entries(L"put"), std::vector<std::wstring>{L"put CommandID=3"});
  }
}

TEST_F(CmdSession, EventShowsTheDriversLastResultAsItArrives) {
  Driver->MethodResults[L"SendCommand"] = 4;
  Session->Execute();
  Driver->MethodResults[L"GetCommand"] = 1;
  Driver->OnCommand(*Driver, 1);
  // The last result before the event is the one shown; GetCommand comes after.
  EXPECT_EQ(View.Result, L"(4) Ошибка 4");
}

// The history has one row per exchange, newest last: Execute's send, a
// request that arrived and the answer to it, a command for another station
// and one that could not be fetched; each with its time, addresses, result,
// duration and frame.
TEST_F(CmdSession, EveryExchangeGoesIntoTheHistory) {
  const TClock old = SetClock([] { return EncodeDate(2024, 5, 17) + EncodeTime(9, 30, 15, 42); });
  int64_t micro = 0;
  Session->SetMicroClock([&] { return micro += 1500; });
  Driver->OnCall = [this](const std::wstring& method) {
    if (method == L"SendCommand") Driver->Set(L"CommandCadrHex", TVariant::FromStr(L"02 01 "));
  };
  Session->Execute();                     // sent
  Driver->MethodResults[L"SendCommand"] = 4;
  Session->Execute();                     // sent, refused: no frame
  Driver->MethodResults[L"SendCommand"] = 0;
  Arrive(0x50, 0, 1, 9);
  Driver->OnCommand(*Driver, 1);          // received and answered
  Arrive(0x99, 0, 5, 9);
  Driver->OnCommand(*Driver, 2);          // for another station, unknown code
  Driver->MethodResults[L"GetCommand"] = 3;
  Driver->OnCommand(*Driver, 3);          // not fetched
  SetClock(old);

  std::vector<std::vector<std::wstring>> rows;
  for (size_t i = 0; i < Session->Log().Count(); ++i) {
    rows.emplace_back();
    for (int c = 0; c < kExchangeColumns; ++c) rows.back().push_back(ExchangeCell(Session->Log().Row(i), c));
  }
  using Row = std::vector<std::wstring>;
  const std::vector<Row> expected = {
      {L"09:30:15.042", L"передано", L"01h", L"Запрос дампа", L"1", L"2", L"(0) Ошибок нет", L"1.500", L"02 01 "},
      {L"09:30:15.042", L"передано", L"01h", L"Запрос дампа", L"1", L"2", L"(4) Ошибка 4", L"1.500", L""},
      {L"09:30:15.042", L"принято", L"50h", L"*Подкрепление", L"9", L"1", L"(0) Ошибок нет", L"1.500", L"AA BB "},
      {L"09:30:15.042", L"ответ", L"50h", L"*Подкрепление", L"1", L"9", L"(0) Ошибок нет", L"1.500", L"02 01 "},
      {L"09:30:15.042", L"принято", L"99h", L"", L"9", L"5", L"(0) Ошибок нет", L"1.500", L"AA BB "},
      {L"09:30:15.042", L"принято", L"", L"", L"", L"", L"(3) Ошибка 3", L"1.500", L""},
  };
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(ExchangeLogStatus(Session->Log()), L"Записей: 6");

  // Saved as tab-separated text with the date, a header line first.
  const std::string text = ExchangeLogText(Session->Log());
  EXPECT_EQ(AnsiToWide(text.substr(0, text.find("\r\n"))),
            L"Время\tНаправление\tКод\tКоманда\tОткуда\tКуда\tРезультат\tДлительность, мс\tКадр");
  EXPECT_NE(AnsiToWide(text).find(L"\r\n17.05.2024 09:30:15.042\tпередано\t01h\tЗапрос дампа\t1\t2\t(0) Ошибок нет\t1.500\t02 01 \r\n"),
            std::wstring::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
}

// The oldest rows go once the history is full, and it says how many went.
TEST(ExchangeLog, KeepsItsMaximumDroppingTheOldest) {
  TExchangeLog log(3);
  int changes = 0;
  log.OnChange = [&] { ++changes; };
  for (int code = 1; code <= 5; ++code) {
    TExchangeRow row;
    row.Code = code;
    log.Add(row);
  }
  ASSERT_EQ(log.Count(), 3u);
  EXPECT_EQ(log.Row(0).Code, 3);
  EXPECT_EQ(log.Dropped(), 2u);
  EXPECT_EQ(ExchangeLogStatus(log), L"Записей: 3 (старых удалено: 2)");
  log.Clear();
  EXPECT_EQ(ExchangeLogStatus(log), L"Записей: 0");
  EXPECT_EQ(changes, 6);
  EXPECT_EQ(TExchangeLog::kMaxRows, 100000u);
}

// A repeat's steps are Execute's exchange without the buttons; the run ends
// at its count or, when asked, at the first failure, and keeps the figures.
TEST_F(CmdSession, RepeatStepsAreExecutesExchangeAndTheRunKeepsItsFigures) {
  int64_t micro = 0, step = 1000;
  Session->SetMicroClock([&] { return micro += step; });
  TRepeatRun run(TRepeatParams{3, 0, false});
  const TCmdSession::TStepResult first = Session->ExecuteStep();
  EXPECT_EQ(first.Code, 0);
  EXPECT_EQ(first.Text, L"Ошибок нет");
  EXPECT_TRUE(run.Done(first.Code, first.Text, first.Microseconds));
  step = 250;
  Driver->MethodResults[L"SendCommand"] = 2;
  const auto second = Session->ExecuteStep();
  EXPECT_TRUE(run.Done(second.Code, second.Text, second.Microseconds));
  EXPECT_FALSE(run.Done(0, L"Ошибок нет", 5000)) << "three of three";
  const TRepeatTexts t = run.Texts();
  EXPECT_EQ((std::vector<std::wstring>{t.Sent, t.Failed, t.Fastest, t.Slowest, t.LastResult}),
            (std::vector<std::wstring>{L"3", L"1", L"0.750", L"5.000", L"(0) Ошибок нет"}));
  EXPECT_TRUE(View.ButtonStates.empty()) << "the buttons are the repeat's, not the step's";
  EXPECT_EQ(View.Result, L"(2) Ошибка 2");
  EXPECT_EQ(Session->Log().Count(), 2u);
  EXPECT_EQ(Session->TxCount(), 2);

  TRepeatRun untilFailure(TRepeatParams{0, 0, true});
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(untilFailure.Done(0, L"", 1));
  EXPECT_FALSE(untilFailure.Done(5, L"", 1));
  TRepeatRun stopped(TRepeatParams{0, 0, false});
  stopped.Stop();
  EXPECT_TRUE(stopped.Over());
}

TEST(IniFileNameOf, ReplacesOnlyTheFileNamesExtension) {
  struct Case {
    const wchar_t* program;
    const wchar_t* ini;
  };
  const Case cases[] = {
      {L"C:\\Программы\\PloverCmd.exe", L"C:\\Программы\\PloverCmd.ini"},
      {L"C:\\a.b\\PloverCmd", L"C:\\a.b\\PloverCmd.ini"},
      {L"/opt/x.d/run.me.exe", L"/opt/x.d/run.me.ini"},
      {L"PloverCmd.EXE", L"PloverCmd.ini"},
  };
  for (const Case& c : cases) EXPECT_EQ(IniFileNameOf(c.program), c.ini) << c.program;
}

}  // namespace

namespace {

TEST(LastColumnWidth, FillsTheClientWidthRightOfTheFirstColumn) {
  struct Case {
    int client, cols, line, first, expected;
  };
  const Case cases[] = {
      {277, 2, 1, 200, 76},   // the window as designed
      {577, 2, 1, 200, 376},  // widened by 300
      {277, 2, 1, 50, 226},   // the user narrowed the name column
      {277, 2, 1, 400, 0},    // the name column is wider than the grid
      {301, 3, 1, 100, 100},  // three columns: the last takes the rest
      {303, 3, 1, 100, 101},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LastColumnWidth(c.client, c.cols, c.line, c.first), c.expected)
        << c.client << " " << c.cols << " " << c.first;
}

}  // namespace
