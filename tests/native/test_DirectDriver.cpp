// The direct driver: access by name and by identifier the way automation
// gives it, over the virtual cash register.
#include <gtest/gtest.h>

#include <thread>

#include "EcrTestSupport.h"
#include "untError.h"
#include "untText.h"

using namespace ecr;

class DirectDriver : public TEcrTest {};

TEST_F(DirectDriver, NamesAreLookedUpWithoutRegardToCase) {
  EXPECT_EQ(Drv->LookupName(L"ECRMODEDESCRIPTION"), dispid::ECRModeDescription);
  EXPECT_EQ(Drv->LookupName(L"getecrstatus"), dispid::GetECRStatus);
  EXPECT_EQ(Drv->GetDispID(L"TableNumber"), dispid::TableNumber);
}

TEST_F(DirectDriver, UnknownNameIsAnAutomationError) {
  try {
    Drv->LookupName(L"NoSuchProperty");
    FAIL() << "no error";
  } catch (const EOleError& e) {
    EXPECT_EQ(e.ErrorCode, kDispEUnknownName);
    EXPECT_NE(e.Message().find(L"Неизвестное имя"), std::wstring::npos);
    EXPECT_NE(e.Message().find(L"NoSuchProperty"), std::wstring::npos);
  }
}

TEST_F(DirectDriver, ValuesAreCoercedToTheDeclaredType) {
  Drv->SetProperty(L"TableNumber", TVariant::FromStr(L"12"));
  EXPECT_EQ(Drv->get_TableNumber(), 12);
  Drv->SetProperty(L"RestRegister", TVariant::FromDouble(12345.0));
  EXPECT_EQ(Drv->get_RestRegister(), 12345);
  Drv->SetProperty(L"Price", TVariant::FromDouble(10.5));
  EXPECT_EQ(Drv->get_Price(), 105000);
  Drv->SetProperty(L"OperatorNumber", TVariant::FromStr(L"3"));
  EXPECT_EQ(Drv->GetProperty(L"OperatorNumber").Int(), 3);
  Drv->SetProperty(L"Code", TVariant::FromInt(4601));
  EXPECT_EQ(Drv->get_Code(), L"4601");
  EXPECT_EQ(Drv->GetProperty(L"Price").Type(), TVarType::Currency);
  EXPECT_THROW(Drv->SetProperty(L"TableNumber", TVariant::FromStr(L"abc")), EOleError);
  EXPECT_EQ(Drv->get_TableNumber(), 12);
}

TEST_F(DirectDriver, ReadOnlyPropertiesAndMethodsCannotBePut) {
  EXPECT_THROW(Drv->PutById(dispid::ResultCode, TVariant::FromInt(1)), EOleError);
  EXPECT_THROW(Drv->PutById(dispid::CommandCadrHex, TVariant::FromStr(L"02")), EOleError);
  EXPECT_THROW(Drv->PutById(dispid::GetECRStatus, TVariant::FromInt(1)), EOleError);
  EXPECT_THROW(Drv->PutById(9999, TVariant::FromInt(1)), EOleError);
  EXPECT_THROW(Drv->GetById(dispid::GetECRStatus), EOleError);
  EXPECT_THROW(Drv->CallById(dispid::TableNumber), EOleError);
}

TEST_F(DirectDriver, EveryWritablePropertyKeepsItsValue) {
  size_t count = 0;
  const TMemberInfo* members = MemberTable(count);
  int checked = 0;
  for (size_t i = 0; i < count; ++i) {
    const TMemberInfo& m = members[i];
    // Settings that switch buses or stations are covered by their own tests.
    if (m.IsMethod || m.ReadOnly || m.DispId >= 200 || m.DispId == dispid::DeviceEnabled) continue;
    TVariant v;
    switch (m.Kind) {
      case TPropKind::I4: v = TVariant::FromInt(1000 + m.DispId); break;
      case TPropKind::STR: v = TVariant::FromStr(L"Значение " + std::to_wstring(m.DispId)); break;
      case TPropKind::CY: v = TVariant::FromCurrency(-12345678 - m.DispId); break;
      case TPropKind::R8: v = TVariant::FromDouble(0.125 * m.DispId); break;
      case TPropKind::DT: v = TVariant::FromDate(45000.25 + m.DispId); break;
      case TPropKind::BOOL: v = TVariant::FromBool(true); break;
    }
    Drv->PutById(m.DispId, v);
    EXPECT_TRUE(Drv->GetById(m.DispId) == v) << WideToUtf8(m.Name);
    ++checked;
  }
  EXPECT_GT(checked, 90);
}

TEST_F(DirectDriver, OnCommandIsRaisedOnTheThreadThatProcesses) {
  std::thread::id raisedOn;
  Drv->OnCommand = [&](TPloverDriver& sender, int32_t) {
    EXPECT_EQ(&sender, Drv.get());
    raisedOn = std::this_thread::get_id();
  };
  Drv->set_CommandType(0);
  Drv->set_CommandCode(0x11);
  Drv->set_CommandSrcAddress(1);
  Drv->set_CommandDstAddress(2);
  Drv->set_WaitAnswer(false);
  ASSERT_EQ(Drv->SendCommand(), 0);
  ASSERT_EQ(Drv->WaitCommands(2000), 1);
  EXPECT_EQ(raisedOn, std::this_thread::get_id());
}

TEST(DirectDriverFactory, GivesTheProgramsDriverType) {
  std::unique_ptr<TDriver> d = CreateDirectDriver();
  EXPECT_EQ(d->get_SrcAddress(), 1);
  EXPECT_EQ(d->get_DstAddress(), 2);
  EXPECT_TRUE(d->get_DeviceEnabled());
  EXPECT_EQ(d->GetECRFlags(), 0);
}
