// The parameter binding over the registered control: every catalogue command's
// values reach the control by name and come back, the control coerces what the
// parameters carry, a failing write names its property and stops, and a real
// exchange with the virtual cash register fills a command's outputs. Dates and
// times are in the system's own formats, as the programs see them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "Driver.h"
#include "WinLocale.h"
#include "test_ComHelpers.h"
#include "untComDriver.h"
#include "untCommand.h"
#include "untDateText.h"
#include "untDateTime.h"
#include "untEcrCmd.h"
#include "untEcrStations.h"
#include "untError.h"
#include "untFormatSettings.h"
#include "untText.h"
#include "win/ScopedCom.h"

namespace {

std::string U8(const std::wstring& s) { return WideToUtf8(s); }

class ComBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(FCom.Result()));
    ASSERT_EQ(RegisterDriver(), S_OK);
    // As the programs do at start-up: the user's formats, before the command
    // list takes its date and time defaults.
    FSavedFormats = FormatSettings();
    FormatSettings() = SystemFormatSettings();
    CreateCommands(FCommands);
    FDriver = CreateComDriver();
    // A known state, whatever the user saved in the registry.
    FDriver->SetProperty(L"BusKind", TVariant::FromInt(0));
    FDriver->SetProperty(L"VirtualEcr", TVariant::FromBool(true));
    FDriver->SetProperty(L"VirtualDesk", TVariant::FromBool(false));
    FDriver->SetProperty(L"FaultMethod", TVariant::FromStr(L""));
    FDriver->SetProperty(L"FaultEvery", TVariant::FromInt(0));
    FDriver->SetProperty(L"LinkLatency", TVariant::FromInt(0));
    FDriver->SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
    FDriver->set_DeviceEnabled(true);
  }
  void TearDown() override {
    FDriver.reset();
    FormatSettings() = FSavedFormats;
  }

  TCommand& Cmd(int code) {
    TCommand* c = FCommands.ItemByCode(code);
    if (!c) throw std::logic_error("no such command");
    return *c;
  }
  static TCmdParam* Find(TCmdParams& params, const std::wstring& name) {
    for (int i = 0; i < params.Count(); ++i)
      if (params.Items(i).Name == name) return &params.Items(i);
    return nullptr;
  }
  int32_t IntOf(const wchar_t* name) { return VarAsType(FDriver->GetProperty(name), TVarType::Int).Int(); }

  TComInit FCom;
  TFormatSettings FSavedFormats;
  TCommands FCommands;
  std::unique_ptr<TDriver> FDriver;
};

// What a value written at its default reads back as: hex data comes back in
// its canonical spelling, everything else as it was typed.
std::wstring ReadBackOf(const TCmdParam& p) {
  return p.ValueType == ptHexData ? BytesToHexText(HexTextToBytes(std::wstring_view(p.DefValue))) : p.DefValue;
}

TEST_F(ComBindingTest, EveryCatalogueCommandTravelsAtItsDefaults) {
  ASSERT_EQ(FCommands.Count(), 37);
  for (int i = 0; i < FCommands.Count(); ++i) {
    TCommand& c = FCommands.Items(i);
    SCOPED_TRACE(U8(Format(L"%02Xh %ls", c.Code, c.Name.c_str())));
    // A stale code on the control shows whether the outputs' own one was written.
    FDriver->set_CommandResultCode(99);
    ASSERT_NO_THROW(FDriver->WriteParams(c.InParams));
    // The read-only description is among the outputs: a write of it would fail.
    ASSERT_NO_THROW(FDriver->WriteParams(c.OutParams));
    EXPECT_EQ(FDriver->get_CommandResultCode(), 0);

    for (TCmdParams* list : {&c.InParams, &c.OutParams})
      for (int k = 0; k < list->Count(); ++k) list->Items(k).Value = L"?";
    ASSERT_NO_THROW(FDriver->ReadParams(c.InParams));
    ASSERT_NO_THROW(FDriver->ReadParams(c.OutParams));
    for (TCmdParams* list : {&c.InParams, &c.OutParams}) {
      for (int k = 0; k < list->Count(); ++k) {
        const TCmdParam& p = list->Items(k);
        if (p.ReadOnly) continue;
        EXPECT_EQ(U8(p.Value), U8(ReadBackOf(p))) << U8(p.Name);
      }
    }
    const int n = c.OutParams.Count();
    ASSERT_GE(n, 2);
    EXPECT_EQ(c.OutParams.Items(n - 2).Value, L"0");
    const TCmdParam& description = c.OutParams.Items(n - 1);
    ASSERT_EQ(description.Name, L"CommandResultDescription");
    EXPECT_NE(description.Value, L"?");
    EXPECT_EQ(description.Value, FDriver->get_CommandResultDescription());
  }
}

struct TCoercionCase {
  uint8_t Code;
  bool Output;
  const wchar_t* Name;
  const wchar_t* Text;
  TVariant OnControl;     // the control's own value after the write
  const wchar_t* ReadBack;  // the parameter's text after reading it back
};

bool SameValue(const TVariant& got, const TVariant& want) {
  if (got.Type() != want.Type()) return false;
  // Times are fractions of a day: the text round trip may differ in the last bits.
  if (want.Type() == TVarType::Date || want.Type() == TVarType::Double)
    return std::fabs(got.Double() - want.Double()) < 1e-9;
  return got == want;
}

TEST_F(ComBindingTest, ControlCoercesWhatTheParametersCarry) {
  ASSERT_EQ(FormatSettings().ShortDateFormat, L"dd.MM.yyyy") << "run under the Russian locale (tools/wine-run)";
  ASSERT_EQ(FormatSettings().LongTimeFormat, L"HH:mm:ss");
  const TCoercionCase cases[] = {
      // Text into an integer property.
      {0x81, false, L"OperatorNumber", L"17", TVariant::FromInt(17), L"17"},
      // Double into an integer property, rounded.
      {0x1D, true, L"RestRegister", L"12345.6", TVariant::FromInt(12346), L"12346"},
      // Double into currency properties, of both parameter types.
      {0x50, false, L"Summ", L"1500.25", TVariant::FromCurrency(15002500), L"1500.25"},
      {0x85, false, L"RecSumm", L"12.3456", TVariant::FromCurrency(123456), L"12.3456"},
      {0x80, false, L"Quantity", L"0.333", TVariant::FromDouble(0.333), L"0.333"},
      {0x50, false, L"ECRDate", L"05.03.2024", TVariant::FromDate(EncodeDate(2024, 3, 5)), L"05.03.2024"},
      {0x50, false, L"ECRTime", L"18:30:15", TVariant::FromDate(EncodeTime(18, 30, 15, 0)), L"18:30:15"},
      {0x50, false, L"ECRTime", L"23:59:59", TVariant::FromDate(EncodeTime(23, 59, 59, 0)), L"23:59:59"},
      // Bytes, a zero byte and a high one included, as one character each.
      {0x01, true, L"DataBlock", L"00 41 C0 FF", TVariant::FromStr(AnsiToWide(std::string("\0A\xC0\xFF", 4))),
       L"00 41 C0 FF "},
      {0x1E, false, L"FieldValue", L"Касса №1", TVariant::FromStr(L"Касса №1"), L"Касса №1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(std::wstring(c.Name) + L" = " + c.Text));
    TCommand& cmd = Cmd(c.Code);
    TCmdParams& list = c.Output ? cmd.OutParams : cmd.InParams;
    TCmdParam* p = Find(list, c.Name);
    ASSERT_NE(p, nullptr);
    p->Value = c.Text;
    ASSERT_NO_THROW(FDriver->WriteParams(list));
    TVariant got = FDriver->GetProperty(c.Name);
    EXPECT_TRUE(SameValue(got, c.OnControl))
        << "type " << static_cast<int>(got.Type()) << " int " << got.Int() << " cy " << got.Currency() << " dbl "
        << got.Double() << " str " << U8(got.Str());
    p->Value.clear();
    ASSERT_NO_THROW(FDriver->ReadParams(list));
    EXPECT_EQ(U8(p->Value), U8(c.ReadBack));
  }
}

struct TParamRow {
  const wchar_t* Name;
  const wchar_t* Caption;
  TCmdParamType Type;
  const wchar_t* Value;
};

struct TWriteFailureCase {
  const wchar_t* Label;
  uint8_t Code;                // the catalogue command whose inputs these are; 0 for a list of its own
  TParamRow Rows[3];           // the second one fails
  int32_t Status;              // 0: the text does not convert, so nothing reaches the control
  const wchar_t* StatusText;   // what the message carries after the line break
};

TEST_F(ComBindingTest, FailedWriteNamesThePropertyKeepsWhatWasWrittenAndStops) {
  const TWriteFailureCase cases[] = {
      {L"not an integer",
       0x80,
       {{L"RegType", L"Тип", ptInteger, L"5"},
        {L"RegSign", L"Вид", ptInteger, L"abc"},
        {L"Quantity", L"Количество", ptDouble, L"7.5"}},
       0,
       nullptr},
      {L"text the integer property refuses",
       0,
       {{L"RegType", L"Тип", ptInteger, L"5"},
        {L"OperatorNumber", L"Номер оператора", ptString, L"пятый"},
        {L"Section", L"Отдел", ptInteger, L"3"}},
       static_cast<int32_t>(DISP_E_TYPEMISMATCH),
       L"Ошибка OLE 80020005"},
      {L"unknown property",
       0,
       {{L"RegType", L"Тип", ptInteger, L"5"},
        {L"NoSuchProperty", L"Нет такого", ptInteger, L"1"},
        {L"RegSign", L"Вид", ptInteger, L"4"}},
       static_cast<int32_t>(DISP_E_UNKNOWNNAME),
       L"Ошибка OLE 80020006"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.Label));
    TCmdParams own;
    TCmdParams& list = c.Code ? Cmd(c.Code).InParams : own;
    for (int i = 0; i < 3; ++i) {
      const TParamRow& r = c.Rows[i];
      if (c.Code) {
        ASSERT_EQ(list.Items(i).Name, r.Name);
        ASSERT_EQ(list.Items(i).Caption, r.Caption);
        list.Items(i).Value = r.Value;
      } else {
        list.Add(r.Name, r.Caption, r.Type, r.Value);
      }
    }
    FDriver->SetProperty(c.Rows[0].Name, TVariant::FromInt(77));
    FDriver->SetProperty(c.Rows[2].Name, TVariant::FromInt(77));

    const std::wstring prefix =
        std::wstring(L"Ошибка при записи свойства ") + c.Rows[1].Name + L", " + c.Rows[1].Caption + L"\r\n";
    try {
      FDriver->WriteParams(list);
      ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
      EXPECT_EQ(c.Status, 0);
      std::wstring conversion;
      try {
        list.Items(1).GetAsVariant();
      } catch (const EConvertError& plain) {
        conversion = plain.Message();
      }
      EXPECT_FALSE(conversion.empty());
      EXPECT_EQ(U8(e.Message()), U8(prefix + conversion));
    } catch (const EOleError& e) {
      EXPECT_EQ(e.ErrorCode, c.Status);
      ASSERT_NE(c.StatusText, nullptr);
      EXPECT_EQ(e.Message().rfind(prefix + c.StatusText, 0), 0u) << U8(e.Message());
    }
    EXPECT_EQ(IntOf(c.Rows[0].Name), 5);
    EXPECT_EQ(IntOf(c.Rows[2].Name), 77);
  }
}

// A read failure reaches the caller as it came, after the values before it.
TEST_F(ComBindingTest, FailedReadKeepsWhatWasReadAndAddsNothing) {
  FDriver->set_RegType(3);
  TCmdParams list;
  list.Add(L"RegType", L"Тип", ptInteger, L"0");
  list.Add(L"NoSuchProperty", L"Нет такого", ptInteger, L"old");
  list.Add(L"RegSign", L"Вид", ptInteger, L"old");
  try {
    FDriver->ReadParams(list);
    FAIL() << "no error";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.ErrorCode, static_cast<int32_t>(DISP_E_UNKNOWNNAME));
    EXPECT_EQ(e.Message().rfind(L"Ошибка OLE 80020006", 0), 0u) << U8(e.Message());
  }
  EXPECT_EQ(list.Items(0).Value, L"3");
  EXPECT_EQ(list.Items(1).Value, L"old");
  EXPECT_EQ(list.Items(2).Value, L"old");
}

// What PloverCmd does on Execute: inputs and outputs written, the request
// sent, the answer read into the outputs.
TEST_F(ComBindingTest, StatusRequestToTheCashRegisterFillsTheOutputs) {
  TCommand& c = Cmd(0x11);
  ASSERT_EQ(c.Name, L"Запрос состояния ККМ");
  FDriver->WriteParams(c.InParams);
  FDriver->WriteParams(c.OutParams);
  FDriver->set_CommandType(0);
  FDriver->set_CommandCode(c.Code);
  FDriver->set_CommandSrcAddress(FDriver->get_SrcAddress());
  FDriver->set_CommandDstAddress(FDriver->get_DstAddress());
  FDriver->set_Timeout(1000);
  FDriver->set_WaitAnswer(true);
  ASSERT_EQ(FDriver->SendCommand(), 0) << U8(FDriver->get_ResultCodeDescription());
  EXPECT_FALSE(FDriver->get_CommandCadrHex().empty());
  FDriver->ReadParams(c.OutParams);

  // The register reports the same status when asked directly.
  ASSERT_EQ(FDriver->GetECRStatus(), 0);
  TCmdParams direct;
  for (int i = 0; i < c.OutParams.Count(); ++i) {
    const TCmdParam& p = c.OutParams.Items(i);
    direct.Add(p.Name, p.Caption, p.ValueType, L"");
  }
  FDriver->ReadParams(direct);
  for (const wchar_t* name : {L"OperatorNumber", L"ECRSoftVersion", L"ECRSoftBuild", L"ECRSoftDate", L"DocumentNumber",
                              L"ECRFlags", L"ECRMode", L"ECRAdvancedMode", L"ECRPortNumber", L"ECRDate"}) {
    SCOPED_TRACE(U8(name));
    const TCmdParam* got = Find(c.OutParams, name);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(U8(got->Value), U8(Find(direct, name)->Value));
  }
  // Not the defaults that were written before the request.
  EXPECT_NE(Find(c.OutParams, L"ECRSoftBuild")->Value, L"1234");
  EXPECT_NE(Find(c.OutParams, L"ECRSoftVersion")->Value, L"1.0");
  TDateTime value = 0;
  EXPECT_TRUE(TryStrToDate(Find(c.OutParams, L"ECRSoftDate")->Value, FormatSettings(), value));
  EXPECT_TRUE(TryStrToTime(Find(c.OutParams, L"ECRTime")->Value, FormatSettings(), value));
  const int n = c.OutParams.Count();
  EXPECT_EQ(c.OutParams.Items(n - 2).Value, L"0");
  EXPECT_FALSE(c.OutParams.Items(n - 1).Value.empty());
}

// What both programs do with a request from the network: its inputs read by
// name, then the outputs written and the answer sent.
TEST_F(ComBindingTest, RequestFromTheDeskReadsIntoTheInputsAndIsAnswered) {
  struct TArrived {
    int32_t Code = -1;
    std::wstring Error;
    bool Answered = false;
  } arrived;
  const ecr::TDeskStep& step = ecr::DeskScenario().front();
  FDriver->OnCommand = [&](TPloverDriver&, int32_t id) {
    TDriver& d = *FDriver;
    if (arrived.Code >= 0) return;
    try {
      d.set_CommandID(id);
      if (d.GetCommand() != 0 || d.ParseCommand() != 0) return;
      arrived.Code = d.get_CommandCode();
      TCommand& c = Cmd(arrived.Code);
      d.ReadParams(c.InParams);
      d.WriteParams(c.OutParams);
      d.set_CommandType(1);
      d.set_CommandDstAddress(d.get_CommandSrcAddress());
      d.set_CommandSrcAddress(d.get_SrcAddress());
      d.set_WaitAnswer(false);
      arrived.Answered = d.SendCommand() == 0;
    } catch (const std::exception& e) {
      arrived.Error = ExceptionText(e);
    }
  };
  ASSERT_EQ(FDriver->SendDeskRequest(), 0);
  ASSERT_TRUE(PumpUntil([&] { return arrived.Code >= 0 || !arrived.Error.empty(); }));
  ASSERT_EQ(arrived.Error, L"");
  ASSERT_EQ(arrived.Code, step.Code);
  EXPECT_TRUE(arrived.Answered);

  // Each value the desk sent reads as the parameter's own text of it.
  TCmdParams& in = Cmd(step.Code).InParams;
  for (const auto& sent : step.Params) {
    const TMemberInfo* m = FindMemberById(sent.DispId);
    ASSERT_NE(m, nullptr);
    SCOPED_TRACE(U8(m->Name));
    TCmdParam* p = Find(in, m->Name);
    ASSERT_NE(p, nullptr);
    TCmdParams scratch;
    TCmdParam& want = scratch.Add(p->Name, p->Caption, p->ValueType, L"");
    want.SetAsVariant(sent.Value);
    EXPECT_EQ(U8(p->Value), U8(want.Value));
  }
}

}  // namespace
