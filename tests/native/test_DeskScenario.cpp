// The virtual cash desk's requests carry the values of its scenario in their
// properties' own types, and the frame encoder never sends a value it cannot
// convert to its property's type.
#include <gtest/gtest.h>

#include <map>

#include "EcrTestSupport.h"
#include "untEcrFrame.h"
#include "untEcrResults.h"
#include "untEcrStations.h"
#include "untText.h"

using namespace ecr;

TEST(DeskScenario, EveryValueHasItsPropertysType) {
  for (const auto& step : DeskScenario())
    for (const auto& p : step.Params) {
      TPropKind kind;
      ASSERT_TRUE(PropKindOf(p.DispId, kind)) << p.DispId;
      EXPECT_EQ(p.Value.Type(), VarTypeOfKind(kind))
          << "step " << std::hex << int{step.Code} << ", " << WideToUtf8(FindMemberById(p.DispId)->Name);
    }
}

TEST(EcrFrame, ValueOfAnotherTypeIsConvertedOrRefused) {
  struct TCase {
    const char* What;
    int32_t DispId;
    TVariant Value;
    int32_t Result;
    TVariant Sent;
  } cases[] = {
      {"text to integer", dispid::OperatorNumber, TVariant::FromStr(L"17"), kOk, TVariant::FromInt(17)},
      {"double to currency", dispid::RecSumm, TVariant::FromDouble(0.333), kOk, TVariant::FromCurrency(3330)},
      {"integer to text", dispid::Code, TVariant::FromInt(7), kOk, TVariant::FromStr(L"7")},
      {"currency to double", dispid::Quantity, TVariant::FromCurrency(15000), kOk, TVariant::FromDouble(1.5)},
      {"integer to word-bool", dispid::WaitAnswer, TVariant::FromInt(1), kOk, TVariant::FromBool(true)},
      {"text that is no number", dispid::OperatorNumber, TVariant::FromStr(L"один"), kBadValue, {}},
      {"double beyond the integers", dispid::Section, TVariant::FromDouble(1e12), kBadValue, {}},
      {"double beyond the currency", dispid::Price, TVariant::FromDouble(1e300), kBadValue, {}},
      {"text that is no date", dispid::ECRDate, TVariant::FromStr(L"вчера"), kBadValue, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TFrame f;
    f.Dst = 1;
    f.Src = 3;
    f.Code = 0x81;
    f.Params = {{dispid::RegType, TVariant::FromInt(0)}, {c.DispId, c.Value}};
    std::string bytes = "untouched";
    ASSERT_EQ(EncodeFrame(f, bytes), c.Result);
    if (c.Result != kOk) {
      EXPECT_EQ(bytes, "untouched");
      continue;
    }
    TFrame g;
    ASSERT_EQ(DecodeFrame(bytes, g), kOk);
    ASSERT_EQ(g.Params.size(), 2u);
    EXPECT_TRUE(g.Params[1].Value == c.Sent);
  }
}

namespace {

class DeskRequests : public TEcrTest {
 protected:
  TEcrSettings Settings() override {
    TEcrSettings s;
    s.Timeout = 150;
    return s;
  }
};

}  // namespace

TEST_F(DeskRequests, ArriveWithTheScenariosValues) {
  std::map<int, TVariant> operators, recSumms;
  std::map<int, double> quantities;
  int received = 0;
  Drv->OnCommand = [&](TPloverDriver&, int32_t id) {
    ++received;
    Drv->set_CommandID(id);
    ASSERT_EQ(Drv->GetCommand(), 0);
    ASSERT_EQ(Drv->ParseCommand(), 0);
    const int code = Drv->get_CommandCode();
    operators[code] = Drv->GetProperty(L"OperatorNumber");
    recSumms[code] = Drv->GetProperty(L"RecSumm");
    // Cleared, so that a value the next request lacks does not stay behind.
    Drv->set_OperatorNumber(-1);
    Drv->set_RecSumm(-1);
    Drv->set_WaitAnswer(false);
    Drv->set_CommandType(1);
    Drv->set_CommandDstAddress(Drv->get_CommandSrcAddress());
    Drv->set_CommandSrcAddress(Drv->get_SrcAddress());
    Drv->SendCommand();
  };
  for (const auto& step : DeskScenario()) {
    ASSERT_EQ(Drv->SendDeskRequest(), 0);
    ASSERT_EQ(Drv->WaitCommands(2000), 1);
    if (step.LoseFirstAnswer) {
      ASSERT_EQ(Drv->WaitCommands(2000), 1);
    }
  }
  EXPECT_EQ(received, static_cast<int>(DeskScenario().size()) + 1);
  EXPECT_TRUE(operators[0x81] == TVariant::FromInt(1));
  EXPECT_TRUE(operators[0x82] == TVariant::FromInt(1));
  EXPECT_TRUE(recSumms[0x84] == TVariant::FromCurrency(3330));
  EXPECT_TRUE(recSumms[0x85] == TVariant::FromCurrency(3330));
  EXPECT_TRUE(operators[0x85] == TVariant::FromInt(1));
}
