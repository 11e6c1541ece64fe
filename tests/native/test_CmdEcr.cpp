// The command test window's steps against the virtual cash register and
// another station on the same network.
#include <gtest/gtest.h>

#include <thread>

#include "test_CmdFakes.h"
#include "untCmdSession.h"
#include "untDateText.h"
#include "untDirectDriver.h"
#include "untText.h"

namespace {

class CmdEcr : public ::testing::Test {
 protected:
  void SetUp() override {
    auto driver = TDirectDriver::Create();
    Driver = driver.get();
    Session = std::make_unique<TCmdSession>(View, std::move(driver), L"");
    Session->ShowGridHeader();
    Session->FillCommandList();
  }
  int IndexOf(const std::wstring& name) {
    for (int i = 0; i < Session->Commands().Count(); ++i)
      if (Session->Commands().Items(i).Name == name) return i;
    return -1;
  }

  TFakeCmdView View;
  TDirectDriver* Driver = nullptr;
  std::unique_ptr<TCmdSession> Session;
};

TEST_F(CmdEcr, StatusRequestWaitingForTheAnswerFillsTheOutputs) {
  Session->Params().WaitAnswer = true;
  Session->SelectCommand(IndexOf(L"Запрос состояния ККМ"));
  View.ValueOf(L"[out] Версия ПО ККМ") = L"typed";
  Session->Execute();

  EXPECT_EQ(View.Result.rfind(L"(0) ", 0), 0u) << WideToUtf8(View.Result);
  EXPECT_EQ(View.Output.rfind(L"02 ", 0), 0u) << WideToUtf8(View.Output);
  EXPECT_EQ(View.TxText, L"1");
  EXPECT_EQ(View.RxText, L"1");
  // What the register reports replaced what was typed, in the command too.
  EXPECT_NE(View.ValueOf(L"[out] Версия ПО ККМ"), L"typed");
  EXPECT_EQ(View.ValueOf(L"[out] Версия ПО ККМ"), Driver->get_ECRSoftVersion());
  EXPECT_EQ(View.ValueOf(L"[out] Дата ККМ"), DateToStr(Driver->get_ECRDate()));
  EXPECT_EQ(View.ValueOf(L"[out] Код ошибки"), L"0");
}

TEST_F(CmdEcr, NotWaitingSendsAndLeavesTheGridAlone) {
  Session->SelectCommand(IndexOf(L"Запрос состояния ККМ"));
  View.ValueOf(L"[out] Версия ПО ККМ") = L"typed";
  Session->Execute();
  EXPECT_EQ(View.Result.rfind(L"(0) ", 0), 0u) << WideToUtf8(View.Result);
  EXPECT_FALSE(View.Output.empty());
  EXPECT_EQ(View.ValueOf(L"[out] Версия ПО ККМ"), L"typed");
  EXPECT_EQ(View.RxText, L"0");
}

TEST_F(CmdEcr, DeviceThatDoesNotAnswerGetsNothingSent) {
  TEcrSettings settings = Driver->Control().Settings();
  settings.DeviceNotAnswering = true;
  settings.Timeout = 10;
  Driver->Control().ApplySettings(settings);
  Session->Execute();
  EXPECT_NE(View.Result.rfind(L"(0) ", 0), 0u) << WideToUtf8(View.Result);
  EXPECT_EQ(View.Output, L"");
  EXPECT_EQ(View.TxText, L"0");
  EXPECT_EQ(View.RxText, L"0");
}

TEST_F(CmdEcr, RequestOfAnotherStationIsAnsweredWithTheTypedOutputs) {
  Session->SelectCommand(IndexOf(L"*Скидка по коду"));
  View.ValueOf(L"[out] Описание скидки") = L"Скидка постоянного покупателя";
  View.ValueOf(L"[out] Сумма скидки") = L"12.34";
  Session->SelectCommand(0);

  TEcrSettings other;
  other.SrcAddress = 5;
  other.VirtualEcr = false;
  auto requester = TDirectDriver::Create(other);
  int32_t rc = -1;
  std::thread sender([&] {
    requester->set_CommandType(0);
    requester->set_CommandCode(0x84);
    requester->set_CommandSrcAddress(5);
    requester->set_CommandDstAddress(1);
    requester->set_Code(L"4600");
    requester->set_RecSumm(250000);
    requester->set_Timeout(5000);
    requester->set_WaitAnswer(true);
    rc = requester->SendCommand();
  });
  int raised = 0;
  for (int i = 0; i < 50 && raised == 0; ++i) raised = Driver->WaitCommands(100);
  sender.join();

  ASSERT_EQ(raised, 1);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(requester->get_Text(), L"Скидка постоянного покупателя");
  EXPECT_EQ(requester->get_Summ(), 123400);
  EXPECT_EQ(View.ItemIndex, IndexOf(L"*Скидка по коду"));
  EXPECT_EQ(View.ValueOf(L"[ in] Код"), L"4600");
  EXPECT_EQ(View.ValueOf(L"[ in] Сумма чека"), L"25");
  EXPECT_FALSE(View.Input.empty());
  EXPECT_FALSE(View.Output.empty());
  EXPECT_EQ(View.RxText, L"1");
  EXPECT_EQ(View.TxText, L"0");
}

TEST_F(CmdEcr, RequestOfTheVirtualDeskSelectsItsCommand) {
  Driver->Control().SendDeskRequest();
  int raised = 0;
  for (int i = 0; i < 50 && raised == 0; ++i) raised = Driver->WaitCommands(100);
  ASSERT_EQ(raised, 1);
  const TCommand& shown = Session->Commands().Items(Session->CommandIndex());
  EXPECT_EQ(shown.Name[0], L'*') << WideToUtf8(shown.Name);
  EXPECT_EQ(View.ItemIndex, Session->CommandIndex());
  EXPECT_FALSE(View.Input.empty());
  EXPECT_FALSE(View.Output.empty());
}

}  // namespace
