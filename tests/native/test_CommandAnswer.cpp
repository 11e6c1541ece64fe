// The commands page's handling of received commands, between two controls on
// the in-process bus: the program's (address 1) and a requester's (address 5).
#include <gtest/gtest.h>

#include <optional>

#include "EcrTestSupport.h"
#include "untCommandAnswer.h"
#include "untEcrCmd.h"
#include "untEcrResults.h"
#include "untEcrStations.h"
#include "untError.h"
#include "untReceiptMonitor.h"
#include "untText.h"

namespace {

constexpr int kRequester = 5;

struct TGot {
  int Code, Type, Src, Dst;
};

class CommandAnswer : public TEcrTest {
 protected:
  void SetUp() override {
    TEcrTest::SetUp();
    TEcrSettings s;
    s.SrcAddress = kRequester;
    s.VirtualEcr = false;
    Requester = TDirectDriver::Create(s);
    Requester->OnCommand = [this](TPloverDriver&, int32_t id) {
      Requester->set_CommandID(id);
      ASSERT_EQ(Requester->GetCommand(), 0);
      ASSERT_EQ(Requester->ParseCommand(), 0);
      Got.push_back({Requester->get_CommandCode(), Requester->get_CommandType(),
                     Requester->get_CommandSrcAddress(), Requester->get_CommandDstAddress()});
    };
  }
  void TearDown() override {
    Page.reset();
    Requester.reset();
    TEcrTest::TearDown();
  }

  // The requester sends without waiting, so that the answer comes to it as a
  // received command with its source and destination to look at.
  void Send(int code, int dst, int type = 0) {
    Requester->set_CommandType(type);
    Requester->set_CommandCode(code);
    Requester->set_CommandSrcAddress(kRequester);
    Requester->set_CommandDstAddress(dst);
    Requester->set_WaitAnswer(false);
    ASSERT_EQ(Requester->SendCommand(), 0);
  }
  // The program takes the command in as its window would; then whatever it
  // sent reaches the requester.
  void Exchange(int code, int dst, int type = 0) {
    Send(code, dst, type);
    ASSERT_EQ(Drv->WaitCommands(2000), 1);
    Requester->WaitCommands(Got.empty() ? 300 : 0);
  }

  std::vector<std::wstring> Log;
  std::unique_ptr<TCommandAnswerer> Page =
      std::make_unique<TCommandAnswerer>([this](const std::wstring& line) { Log.push_back(line); });
  std::unique_ptr<TDirectDriver> Requester;
  std::vector<TGot> Got;
};

TEST_F(CommandAnswer, RequestForAnotherStationIsAnsweredWithTheCatalogueDefaults) {
  Page->Bind(*Drv);
  // Values the answer must overwrite.
  Requester->set_ECRSoftVersion(L"9.9");
  Requester->set_ECRSoftBuild(77);
  Requester->set_ECRMode(5);
  Requester->set_CommandResultCode(3);
  Exchange(0x11, 7);
  ASSERT_EQ(Got.size(), 1u);
  EXPECT_EQ(Got[0].Code, 0x11);
  EXPECT_EQ(Got[0].Type, 1);
  EXPECT_EQ(Got[0].Src, 1);
  EXPECT_EQ(Got[0].Dst, kRequester);

  TCommands expected;
  CreateCommands(expected);
  TCommand& status = *expected.ItemByCode(0x11);
  Requester->ReadParams(status.OutParams);
  for (int i = 0; i + 1 < status.OutParams.Count(); ++i) {
    const TCmdParam& p = status.OutParams.Items(i);
    EXPECT_EQ(p.Value, p.DefValue) << WideToUtf8(p.Name);
  }
  EXPECT_EQ(Requester->get_ECRSoftVersion(), L"1.0");
  EXPECT_EQ(Requester->get_ECRSoftBuild(), 1234);
  EXPECT_EQ(Requester->get_CommandResultCode(), 0);
  ASSERT_EQ(Log.size(), 1u);
  EXPECT_EQ(Log[0], L"11h          0");
}

TEST_F(CommandAnswer, WhatIsNotAnswered) {
  struct TCase {
    const char* What;
    int Code, Dst, Type;
    bool Answered;
  } cases[] = {
      {"a command without parameters of its own", 0x13, 7, 0, true},
      {"a cash register's request", 0x80, 9, 0, true},
      {"a request to the program's own address", 0x11, 1, 0, false},
      {"an answer", 0x11, 7, 1, false},
      {"a code outside the catalogue", 0x77, 7, 0, false},
      {"code 00h", 0x00, 7, 0, false},
  };
  Page->Bind(*Drv);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    Got.clear();
    Log.clear();
    Exchange(c.Code, c.Dst, c.Type);
    EXPECT_EQ(Got.size(), c.Answered ? 1u : 0u);
    EXPECT_EQ(Log.size(), c.Answered ? 1u : 0u);
  }
}

TEST_F(CommandAnswer, OnlyThePageOnShowAnswers) {
  TReceiptMonitor receipts;
  Page->Bind(*Drv);
  // The host shows the next page before it hides the one shown: hiding the
  // commands page must not take the event from the receipt page.
  receipts.Bind(*Drv);
  Page->Unbind();
  EXPECT_TRUE(receipts.IsBound());
  EXPECT_FALSE(Page->IsBound());
  // The receipt page answers even a request to the program's own address.
  Exchange(0x11, 1);
  EXPECT_EQ(Got.size(), 1u);
  EXPECT_TRUE(Log.empty());
  // Another page on show: nobody answers.
  receipts.Unbind();
  EXPECT_FALSE(Drv->OnCommand);
  Got.clear();
  Exchange(0x11, 7);
  EXPECT_TRUE(Got.empty());
  // A handler that goes away takes its binding along.
  Page->Bind(*Drv);
  Page.reset();
  EXPECT_FALSE(Drv->OnCommand);
}

TEST_F(CommandAnswer, FailingWriteOfTheOutputsSendsNothing) {
  Page->Bind(*Drv);
  TCmdParams& outs = Page->Commands().ItemByCode(0x11)->OutParams;
  outs.Items(2).Value = L"abc";  // ECRSoftBuild is an integer
  Send(0x11, 7);
  try {
    Drv->WaitCommands(2000);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind(L"Ошибка при записи свойства ECRSoftBuild, Сборка ПО ККМ\r\n", 0), 0u)
        << WideToUtf8(e.Message());
  }
  EXPECT_EQ(Requester->WaitCommands(300), 0);
  EXPECT_TRUE(Log.empty());
  // The next request is answered again once the value is sound.
  outs.Items(2).Value = L"4321";
  Exchange(0x11, 7);
  ASSERT_EQ(Got.size(), 1u);
  EXPECT_EQ(Requester->get_ECRSoftBuild(), 4321);
}

TEST(CommandsLog, HeaderAndLinesUnderItsColumns) {
  const auto header = CommandsLogHeader();
  ASSERT_EQ(header.size(), 2u);
  EXPECT_EQ(header[0], L"CommandCode  Execute  Rollback");
  EXPECT_EQ(header[1], std::wstring(33, L'-'));
  const size_t execute = header[0].find(L"Execute"), rollback = header[0].find(L"Rollback");
  const std::wstring line = CommandsLogLine(0x1A, -10, true);
  EXPECT_EQ(line.substr(0, 3), L"1Ah");
  EXPECT_EQ(line.substr(execute, 3), L"-10");
  EXPECT_EQ(line.substr(rollback), L"X");
  EXPECT_EQ(CommandsLogLine(0x90, 0, false), L"90h          0");
}

// ---------------------------------------------------------------- the virtual cash desk

class CommandAnswerDesk : public CommandAnswer {
 protected:
  TEcrSettings Settings() override {
    TEcrSettings s;
    s.Timeout = 150;
    return s;
  }
};

TEST_F(CommandAnswerDesk, DeskSendingToAnotherAddressIsAnsweredByThePage) {
  Page->Bind(*Drv);
  // By default the desk asks the program's own address, which this page leaves
  // alone: the request goes unanswered and comes twice more.
  EXPECT_EQ(Drv->get_DeskAddress(), -1);
  ASSERT_EQ(Drv->SendDeskRequest(), 0);
  for (int i = 0; i <= ecr::TVirtualDesk::kMaxRepeats; ++i) ASSERT_EQ(Drv->WaitCommands(2000), 1);
  EXPECT_EQ(Drv->WaitCommands(400), 0);
  EXPECT_TRUE(Log.empty());

  Drv->set_DeskAddress(9);
  EXPECT_EQ(Drv->get_DeskAddress(), 9);
  // The scenario's second request: the line loses the first answer, and the
  // repeat is logged as such.
  ASSERT_EQ(Drv->SendDeskRequest(), 0);
  ASSERT_EQ(Drv->WaitCommands(2000), 1);
  ASSERT_EQ(Drv->WaitCommands(2000), 1);
  // Answered in the page's own name, the desk takes the answer: no more repeats.
  EXPECT_EQ(Drv->WaitCommands(400), 0);
  ASSERT_EQ(Drv->SendDeskRequest(), 0);
  ASSERT_EQ(Drv->WaitCommands(2000), 1);
  EXPECT_EQ(Drv->WaitCommands(400), 0);
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"80h          0", L"80h          0        X", L"81h          0"}));

  EXPECT_THROW(Drv->set_DeskAddress(256), EOleError);
  EXPECT_THROW(Drv->set_DeskAddress(-2), EOleError);
  EXPECT_EQ(Drv->get_DeskAddress(), 9);
}

}  // namespace
