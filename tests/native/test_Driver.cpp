#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Driver.h"
#include "untDirectDriver.h"
#include "untCommand.h"
#include "untDateText.h"
#include "untDateTime.h"
#include "untEcrCmd.h"
#include "untError.h"
#include "untFormatSettings.h"
#include "untText.h"

namespace {

// A control that keeps property values in a map, coerces what it is given
// to each property's declared type as automation would, and logs the calls.
class TFakeDriver : public TDriver {
 public:
  std::map<int32_t, TVariant> Values;
  std::vector<std::wstring> Puts;
  std::vector<std::wstring> Gets;
  std::wstring FailGetOf;       // a property whose get fails
  std::wstring ForeignErrorOn;  // a property whose put throws a non-Exception error

  int32_t LookupName(const std::wstring& name) override {
    const TMemberInfo* m = FindMemberByName(name);
    if (m == nullptr || m->IsMethod) throw EOleError(kDispEUnknownName, L"Неизвестное имя.");
    return m->DispId;
  }
  void PutById(int32_t dispId, const TVariant& value) override {
    const TMemberInfo* m = FindMemberById(dispId);
    if (m->Name == ForeignErrorOn) throw std::runtime_error("bus error");
    if (m->ReadOnly) throw EOleError(kDispEMemberNotFound, L"Не найден член.");
    Values[dispId] = VarAsType(value, VarTypeOfKind(m->Kind));
    Puts.push_back(m->Name);
  }
  TVariant GetById(int32_t dispId) override {
    const TMemberInfo* m = FindMemberById(dispId);
    if (m->Name == FailGetOf) throw EOleError(kDispEMemberNotFound, L"Не найден член.");
    Gets.push_back(m->Name);
    auto it = Values.find(dispId);
    return it != Values.end() ? it->second : VarAsType(TVariant(), VarTypeOfKind(m->Kind));
  }
  int32_t CallById(int32_t) override { return 0; }
};

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings();
    FormatSettings() = TFormatSettings{};
    CreateCommands(commands_);
  }
  void TearDown() override { FormatSettings() = saved_; }
  TCommand& Cmd(int code) { return *commands_.ItemByCode(code); }
  static std::vector<std::wstring> Names(const TCmdParams& params, bool withReadOnly) {
    std::vector<std::wstring> names;
    for (int i = 0; i < params.Count(); ++i)
      if (withReadOnly || !params.Items(i).ReadOnly) names.push_back(params.Items(i).Name);
    return names;
  }

  TFormatSettings saved_;
  TCommands commands_;
  TFakeDriver driver_;
};

TEST_F(DriverTest, AccessByName) {
  EXPECT_EQ(driver_.GetDispID(L"ecrdate"), dispid::ECRDate);
  driver_.SetProperty(L"Summ", TVariant::FromDouble(1.5));
  EXPECT_EQ(driver_.get_Summ(), 15000);
  EXPECT_EQ(driver_.GetProperty(L"Summ"), TVariant::FromCurrency(15000));
  try {
    driver_.SetProperty(L"NoSuchProperty", TVariant::FromInt(1));
    FAIL();
  } catch (const EOleError& e) {
    EXPECT_EQ(e.ErrorCode, kDispEUnknownName);
  }
}

TEST_F(DriverTest, WriteSkipsTheReadOnlyDescriptionReadTakesIt) {
  TCmdParams& out = Cmd(0x81).OutParams;
  driver_.WriteParams(out);
  EXPECT_EQ(driver_.Puts, Names(out, false));
  EXPECT_EQ(driver_.Puts.back(), L"CommandResultCode");

  driver_.Values[dispid::CommandResultDescription] = TVariant::FromStr(L"Нет бумаги");
  driver_.Values[dispid::Price] = TVariant::FromCurrency(123450);
  driver_.ReadParams(out);
  EXPECT_EQ(driver_.Gets, Names(out, true));
  EXPECT_EQ(out.Items(out.Count() - 1).Value, L"Нет бумаги");
  EXPECT_EQ(out.Items(1).Value, L"12.345");
}

TEST_F(DriverTest, WriteStopsAtTheFailingParameterAndNamesIt) {
  TCmdParams& in = Cmd(0x80).InParams;  // RegType, RegSign, Quantity, ...
  in.Items(0).Value = L"1";
  in.Items(1).Value = L"abc";
  try {
    driver_.WriteParams(in);
    FAIL();
  } catch (const EConvertError& e) {  // still the conversion error, with context
    EXPECT_EQ(e.Message(),
              L"Ошибка при записи свойства RegSign, Вид\r\n\"abc\" не является целым числом");
  }
  EXPECT_EQ(driver_.Puts, std::vector<std::wstring>{L"RegType"});
}

TEST_F(DriverTest, DriverErrorsKeepTheirCode) {
  TCmdParams params;
  params.Add(L"RegType", L"Тип", ptInteger, L"1");
  params.Add(L"Unknown", L"Неизвестное", ptInteger, L"2");
  params.Add(L"RegSign", L"Вид", ptInteger, L"3");
  try {
    driver_.WriteParams(params);
    FAIL();
  } catch (const EOleError& e) {
    EXPECT_EQ(e.ErrorCode, kDispEUnknownName);
    EXPECT_EQ(e.Message(), L"Ошибка при записи свойства Unknown, Неизвестное\r\nНеизвестное имя.");
  }
  EXPECT_EQ(driver_.Puts.size(), 1u);
}

TEST_F(DriverTest, ForeignErrorsAreWrapped) {
  driver_.ForeignErrorOn = L"RegType";
  try {
    driver_.WriteParams(Cmd(0x80).InParams);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Ошибка при записи свойства RegType, Тип\r\nbus error");
  }
}

TEST_F(DriverTest, EmptyListsDoNothing) {
  TCmdParams none;
  driver_.WriteParams(none);
  driver_.ReadParams(none);
  driver_.WriteParams(Cmd(0x13).InParams);  // a command without a class has no inputs
  EXPECT_TRUE(driver_.Puts.empty());
  EXPECT_TRUE(driver_.Gets.empty());
}

// Text and double values reach integer and currency properties by coercion.
TEST_F(DriverTest, ControlCoercesWhatTheParametersCarry) {
  TCmdParams& in81 = Cmd(0x81).InParams;
  in81.Items(4).Value = L"5";  // OperatorNumber, a text parameter
  in81.Items(2).Value = L"2.5";
  driver_.WriteParams(in81);
  EXPECT_EQ(driver_.Values[dispid::OperatorNumber], TVariant::FromInt(5));
  EXPECT_EQ(driver_.Values[dispid::Quantity], TVariant::FromDouble(2.5));

  TCmdParams& out1d = Cmd(0x1D).OutParams;
  out1d.Items(0).Value = L"12.7";  // RestRegister, a double parameter
  driver_.WriteParams(out1d);
  EXPECT_EQ(driver_.Values[dispid::RestRegister], TVariant::FromInt(13));

  TCmdParams& in84 = Cmd(0x84).InParams;
  in84.Items(4).Value = L"99.99";  // RecSumm
  driver_.WriteParams(in84);
  EXPECT_EQ(driver_.Values[dispid::RecSumm], TVariant::FromCurrency(999900));

  TCmdParams& in90 = Cmd(0x90).InParams;
  in90.Items(2).Value = L"05.03.2024";
  in90.Items(3).Value = L"18:00:00";
  driver_.WriteParams(in90);
  EXPECT_EQ(driver_.Values[dispid::ECRDate], TVariant::FromDate(EncodeDate(2024, 3, 5)));
  EXPECT_EQ(driver_.Values[dispid::ECRTime], TVariant::FromDate(0.75));
}

TEST_F(DriverTest, ReadStopsAtAFailureKeepingWhatWasRead) {
  TCmdParams& out = Cmd(0x2E).OutParams;  // FieldName, FieldType, FieldSize, ...
  for (int i = 0; i < out.Count(); ++i) out.Items(i).Value = L"old";
  driver_.Values[dispid::FieldName] = TVariant::FromStr(L"Пароль");
  driver_.Values[dispid::FieldType] = TVariant::FromInt(1);
  driver_.FailGetOf = L"FieldSize";
  EXPECT_THROW(driver_.ReadParams(out), EOleError);
  EXPECT_EQ(out.Items(0).Value, L"Пароль");
  EXPECT_EQ(out.Items(1).Value, L"1");
  EXPECT_EQ(out.Items(2).Value, L"old");
  EXPECT_EQ(out.Items(3).Value, L"old");
}

TEST_F(DriverTest, HexDataTravelsAsOneCharacterPerByte) {
  TCmdParams& out = Cmd(0x01).OutParams;
  out.Items(1).Value = L"00 41 C0 FF";
  driver_.WriteParams(out);
  EXPECT_EQ(driver_.Values[dispid::DataBlock], TVariant::FromStr(AnsiToWide(std::string("\0A\xC0\xFF", 4))));
  out.Items(1).Value.clear();
  driver_.ReadParams(out);
  EXPECT_EQ(out.Items(1).Value, L"00 41 C0 FF ");
}

// The same binding over the virtual cash register: every catalogue command's
// parameters, as the catalogue sets them up, reach the control and come back.
TEST_F(DriverTest, VirtualCashRegisterTakesEveryCatalogueParameter) {
  auto drv = TDirectDriver::Create();
  for (int i = 0; i < commands_.Count(); ++i) {
    TCommand& c = commands_.Items(i);
    SCOPED_TRACE(WideToUtf8(c.Name));
    EXPECT_NO_THROW(drv->WriteParams(c.InParams));
    EXPECT_NO_THROW(drv->WriteParams(c.OutParams));
    EXPECT_NO_THROW(drv->ReadParams(c.InParams));
    EXPECT_NO_THROW(drv->ReadParams(c.OutParams));
  }
  TCmdParams& in = Cmd(0x1A).InParams;
  in.Items(0).Value = L"$0A";
  drv->WriteParams(in);
  EXPECT_EQ(drv->get_RegisterNumber(), 10);
}

TEST_F(DriverTest, VirtualCashRegisterAnswerReadsIntoTheOutputs) {
  auto drv = TDirectDriver::Create();
  TCommand& c = Cmd(0x11);
  drv->WriteParams(c.InParams);
  drv->WriteParams(c.OutParams);
  drv->set_CommandType(0);
  drv->set_CommandCode(c.Code);
  drv->set_CommandSrcAddress(drv->get_SrcAddress());
  drv->set_CommandDstAddress(drv->get_DstAddress());
  drv->set_Timeout(2000);
  drv->set_WaitAnswer(true);
  ASSERT_EQ(drv->SendCommand(), 0) << WideToUtf8(drv->get_ResultCodeDescription());
  drv->ReadParams(c.OutParams);
  EXPECT_EQ(c.OutParams.Items(1).Value, drv->get_ECRSoftVersion());
  EXPECT_EQ(c.OutParams.Items(9).Value, DateToStr(drv->get_ECRDate()));
  EXPECT_EQ(c.OutParams.Items(c.OutParams.Count() - 1).Value, drv->get_CommandResultDescription());
  EXPECT_FALSE(c.OutParams.Items(c.OutParams.Count() - 1).Value.empty());
}

TEST_F(DriverTest, VirtualCashRegisterRefusesAWrongValueByName) {
  auto drv = TDirectDriver::Create();
  TCmdParams& in = Cmd(0x81).InParams;
  in.Items(4).Value = L"пятый";  // OperatorNumber: text the integer property cannot take
  try {
    drv->WriteParams(in);
    FAIL();
  } catch (const EOleError& e) {
    EXPECT_EQ(e.ErrorCode, kDispETypeMismatch);
    EXPECT_EQ(e.Message().rfind(L"Ошибка при записи свойства OperatorNumber, Номер оператора\r\n", 0), 0u)
        << WideToUtf8(e.Message());
  }
}

}  // namespace
