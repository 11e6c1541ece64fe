// Frames: encoding, decoding, their hex text, and the parameter layout of
// each command compared with the programs' catalogue.
#include <gtest/gtest.h>

#include "untEcrCatalog.h"
#include "untEcrCmd.h"
#include "untEcrFrame.h"
#include "untEcrResults.h"
#include "untText.h"

using namespace ecr;

namespace {

TFrame SampleFrame() {
  TFrame f;
  f.Dst = 2;
  f.Src = 1;
  f.Type = 1;
  f.Code = 0x81;
  f.Seq = 7;
  f.Params = {{dispid::Section, TVariant::FromInt(-2)},
              {dispid::Text, TVariant::FromStr(L"Хлеб ржаной")},
              {dispid::Price, TVariant::FromCurrency(-123456789012LL)},
              {dispid::Quantity, TVariant::FromDouble(0.333)},
              {dispid::ECRDate, TVariant::FromDate(45000.5)},
              {dispid::WaitAnswer, TVariant::FromBool(true)},
              {dispid::Code, TVariant::FromStr(L"")}};
  return f;
}

}  // namespace

TEST(EcrFrame, EveryKindSurvivesTheRoundTrip) {
  TFrame f = SampleFrame();
  std::string bytes;
  ASSERT_EQ(EncodeFrame(f, bytes), kOk);
  TFrame g;
  ASSERT_EQ(DecodeFrame(bytes, g), kOk);
  EXPECT_EQ(g.Dst, 2);
  EXPECT_EQ(g.Src, 1);
  EXPECT_EQ(g.Type, 1);
  EXPECT_EQ(g.Code, 0x81);
  EXPECT_EQ(g.Seq, 7);
  ASSERT_EQ(g.Params.size(), f.Params.size());
  for (size_t i = 0; i < f.Params.size(); ++i) {
    EXPECT_EQ(g.Params[i].DispId, f.Params[i].DispId);
    EXPECT_TRUE(g.Params[i].Value == f.Params[i].Value) << i;
  }
}

TEST(EcrFrame, LayoutAndHexText) {
  TFrame f;
  f.Dst = 2;
  f.Src = 1;
  f.Code = 0x1A;
  f.Seq = 5;
  f.Params = {{dispid::RegisterNumber, TVariant::FromInt(258)}};
  std::string bytes;
  ASSERT_EQ(EncodeFrame(f, bytes), kOk);
  // STX, length 11, dst, src, type, code, seq, id 90 (5Ah), 4 bytes of 258, XOR.
  EXPECT_EQ(FrameHex(bytes), L"02 0B 00 02 01 00 1A 05 5A 04 02 01 00 00 4A");
  EXPECT_EQ(FrameHex(""), L"");
}

TEST(EcrFrame, DamagedFramesAreRefused) {
  std::string good;
  ASSERT_EQ(EncodeFrame(SampleFrame(), good), kOk);
  TFrame g;
  for (size_t i = 0; i < good.size(); ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0x10);
    EXPECT_EQ(DecodeFrame(bad, g), kBadFrame) << "byte " << i;
  }
  for (size_t n = 0; n < good.size(); ++n) EXPECT_EQ(DecodeFrame(good.substr(0, n), g), kBadFrame) << n;
  EXPECT_EQ(DecodeFrame(good + "x", g), kBadFrame);
}

TEST(EcrFrame, UnknownPropertyOrWrongSizeIsRefused) {
  auto frameWith = [](uint8_t id, std::string data) {
    std::string body = std::string("\x02\x01\x00\x11\x01", 5) + static_cast<char>(id) + static_cast<char>(data.size()) + data;
    std::string bytes = std::string(1, '\x02') + static_cast<char>(body.size()) + '\0' + body;
    uint8_t x = 0;
    for (size_t i = 1; i < bytes.size(); ++i) x ^= static_cast<uint8_t>(bytes[i]);
    return bytes + static_cast<char>(x);
  };
  TFrame g;
  EXPECT_EQ(DecodeFrame(frameWith(dispid::RegisterNumber, std::string(4, '\0')), g), kOk);
  EXPECT_EQ(DecodeFrame(frameWith(dispid::RegisterNumber, std::string(3, '\0')), g), kBadFrame);
  EXPECT_EQ(DecodeFrame(frameWith(dispid::Price, std::string(4, '\0')), g), kBadFrame);
  EXPECT_EQ(DecodeFrame(frameWith(dispid::WaitAnswer, std::string(1, '\x02')), g), kBadFrame);
  EXPECT_EQ(DecodeFrame(frameWith(250, std::string(4, '\0')), g), kBadFrame);  // no such property
  EXPECT_EQ(DecodeFrame(frameWith(21, ""), g), kBadFrame);                       // a method's identifier
}

TEST(EcrFrame, OverlongTextIsRefusedNotCut) {
  TFrame f;
  f.Params = {{dispid::LineData, TVariant::FromStr(std::wstring(256, L'ж'))}};
  std::string bytes;
  EXPECT_EQ(EncodeFrame(f, bytes), kFrameTooLong);
  f.Params[0].Value = TVariant::FromStr(std::wstring(255, L'ж'));
  EXPECT_EQ(EncodeFrame(f, bytes), kOk);
}

TEST(EcrCatalogLayout, MatchesTheProgramsCatalogue) {
  TCommands commands;
  CreateCommands(commands);
  ASSERT_EQ(commands.Count(), 37);
  ASSERT_EQ(CommandLayouts().size(), 37u);
  for (int i = 0; i < commands.Count(); ++i) {
    const TCommand& c = commands.Items(i);
    SCOPED_TRACE(testing::Message() << "code " << std::hex << int(c.Code));
    const TCommandLayout* l = CommandLayout(c.Code);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->FromRegister, !c.Name.empty() && c.Name[0] == L'*');
    std::vector<int32_t> in, out;
    for (int p = 0; p < c.InParams.Count(); ++p) {
      const TMemberInfo* m = FindMemberByName(c.InParams.Items(p).Name);
      ASSERT_NE(m, nullptr) << WideToUtf8(c.InParams.Items(p).Name);
      in.push_back(m->DispId);
    }
    for (int p = 0; p < c.OutParams.Count(); ++p) {
      if (c.OutParams.Items(p).Name == L"CommandResultDescription") continue;  // derived from the code
      const TMemberInfo* m = FindMemberByName(c.OutParams.Items(p).Name);
      ASSERT_NE(m, nullptr) << WideToUtf8(c.OutParams.Items(p).Name);
      out.push_back(m->DispId);
    }
    // The one deliberate difference: a rest register write carries its value.
    if (c.Code == 0x1D) in.push_back(dispid::RestRegister);
    EXPECT_EQ(l->In, in);
    EXPECT_EQ(l->Out, out);
  }
}

TEST(EcrCatalogLayout, CodesOutsideTheCatalogueCarryOnlyTheResult) {
  EXPECT_TRUE(FrameParamIds(0x00, false).empty());
  EXPECT_EQ(FrameParamIds(0xFF, true), std::vector<int32_t>{dispid::CommandResultCode});
}

TEST(EcrFrame, NewStationsStartTheirSequenceNumbersApart) {
  uint8_t a = FirstSequenceNumber(), b = FirstSequenceNumber();
  EXPECT_NE(a, 0);
  EXPECT_NE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(NextSequenceNumber(255), 1);
  EXPECT_EQ(NextSequenceNumber(7), 8);
}
