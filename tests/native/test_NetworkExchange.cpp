// Requests and answers between controls and the virtual stations on the
// in-process bus.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "EcrTestSupport.h"
#include "untEcrResults.h"
#include "untEcrStations.h"
#include "untText.h"

using namespace ecr;
using namespace std::chrono_literals;

namespace {

struct TSeen {
  int Code, Type, Src, Dst;
  bool Repeated;
  std::wstring Hex;
};

// Fetches and parses a received command the way the programs' handlers do.
TSeen Fetch(TDirectDriver& d, int32_t id) {
  d.set_CommandID(id);
  EXPECT_EQ(d.GetCommand(), 0);
  EXPECT_EQ(d.ParseCommand(), 0);
  return {d.get_CommandCode(), d.get_CommandType(), d.get_CommandSrcAddress(), d.get_CommandDstAddress(),
          d.get_CommandRepeated(), d.get_CommandCadrHex()};
}

// Turns the parsed request into its answer and sends it.
int32_t Answer(TDirectDriver& d) {
  d.set_WaitAnswer(false);
  d.set_CommandType(1);
  d.set_CommandDstAddress(d.get_CommandSrcAddress());
  d.set_CommandSrcAddress(d.get_SrcAddress());
  return d.SendCommand();
}

void Request(TDirectDriver& d, int code, int dst, bool wait, int timeout = 2000) {
  d.set_CommandType(0);
  d.set_CommandCode(code);
  d.set_CommandSrcAddress(d.get_SrcAddress());
  d.set_CommandDstAddress(dst);
  d.set_WaitAnswer(wait);
  d.set_Timeout(timeout);
}

}  // namespace

class NetworkExchange : public TEcrTest {
 protected:
  // A second control on the same bus, without a virtual cash register of its own.
  std::unique_ptr<TDirectDriver> Peer(int address) {
    TEcrSettings s;
    s.SrcAddress = address;
    s.VirtualEcr = false;
    return TDirectDriver::Create(s);
  }
};

TEST_F(NetworkExchange, VirtualCashRegisterAnswersAStatusRequest) {
  int raised = 0;
  Drv->OnCommand = [&](TPloverDriver&, int32_t) { ++raised; };
  Request(*Drv, 0x11, 2, true);
  ASSERT_EQ(Drv->SendCommand(), 0) << WideToUtf8(Drv->get_ResultCodeDescription());
  EXPECT_EQ(Drv->get_ECRSoftVersion(), L"1.6");
  EXPECT_EQ(Drv->get_ECRMode(), 2);
  EXPECT_EQ(Drv->get_DocumentNumber(), 1287);
  EXPECT_EQ(Drv->get_CommandResultCode(), 0);
  EXPECT_EQ(Drv->get_CommandResultDescription(), L"Ошибок нет");
  // The sent request: no parameters; then the sequence number and the checksum.
  std::wstring hex = Drv->get_CommandCadrHex();
  EXPECT_EQ(hex.substr(0, 21), L"02 05 00 02 01 00 11 ");
  EXPECT_EQ(hex.size(), 9u * 3 - 1);
  // The awaited answer is consumed by the wait, not raised as a command.
  EXPECT_EQ(Drv->WaitCommands(50), 0);
  EXPECT_EQ(raised, 0);
}

struct TNetCase {
  const char* Name;
  int Code;
  std::function<void(TDirectDriver&)> In;
  int32_t CommandResult;
  std::function<void(TDirectDriver&)> Check;
};

class NetworkCommands : public TEcrTest, public ::testing::WithParamInterface<TNetCase> {};

TEST_P(NetworkCommands, ExecutedAgainstTheVirtualCashRegister) {
  const TNetCase& c = GetParam();
  c.In(*Drv);
  Request(*Drv, c.Code, 2, true);
  ASSERT_EQ(Drv->SendCommand(), 0);
  EXPECT_EQ(Drv->get_CommandResultCode(), c.CommandResult);
  EXPECT_EQ(Drv->get_CommandResultDescription(), ResultText(c.CommandResult));
  c.Check(*Drv);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NetworkCommands,
    ::testing::Values(
        TNetCase{"CashRegister", 0x1A, [](TDirectDriver& d) { d.set_RegisterNumber(0); }, 0,
                 [](TDirectDriver& d) { EXPECT_EQ(d.get_CashRegister(), 15002500); }},
        TNetCase{"RegisterBeyondTheEnd", 0x1B, [](TDirectDriver& d) { d.set_RegisterNumber(kOperationRegisterCount); },
                 kBadRegister, [](TDirectDriver&) {}},
        TNetCase{"RestRegisterWrite", 0x1D,
                 [](TDirectDriver& d) {
                   d.set_RegisterNumber(4);
                   d.set_RestRegister(-2500);
                 },
                 0,
                 [](TDirectDriver& d) {
                   d.set_RestRegister(0);
                   ASSERT_EQ(d.GetRestRegister(), 0);
                   EXPECT_EQ(d.get_RestRegister(), -2500);
                 }},
        TNetCase{"ReadTable", 0x1F,
                 [](TDirectDriver& d) {
                   d.set_TableNumber(5);
                   d.set_RowNumber(1);
                   d.set_FieldNumber(1);
                 },
                 0,
                 [](TDirectDriver& d) {
                   EXPECT_EQ(d.get_FieldValue(), L"НАЛИЧНЫМИ");
                   EXPECT_EQ(d.get_FieldType(), 1);
                 }},
        TNetCase{"WriteTableTooLong", 0x1E,
                 [](TDirectDriver& d) {
                   d.set_TableNumber(5);
                   d.set_RowNumber(1);
                   d.set_FieldNumber(1);
                   d.set_FieldValue(L"ОЧЕНЬ ДЛИННОЕ НАЗВАНИЕ ОПЛАТЫ");
                 },
                 kValueTooLong, [](TDirectDriver&) {}},
        TNetCase{"Dump", 0x01,
                 [](TDirectDriver& d) {
                   d.set_DeviceNumber(2);
                   d.set_DataBlockNumber(3);
                 },
                 0, [](TDirectDriver& d) { EXPECT_EQ(d.get_DataBlockCount(), 4); }},
        TNetCase{"SetTime", 0x21,
                 [](TDirectDriver& d) {
                   d.set_ECRHour(25);
                   d.set_ECRMin(0);
                   d.set_ECRSec(0);
                 },
                 kBadTime, [](TDirectDriver&) {}},
        TNetCase{"DeviceType", 0xFC, [](TDirectDriver&) {}, 0,
                 [](TDirectDriver& d) { EXPECT_EQ(d.get_UDescription(), L"Виртуальная ККМ Plover"); }},
        TNetCase{"RequestOfACashRegisterToAComputer", 0x80, [](TDirectDriver&) {}, kUnknownCommand,
                 [](TDirectDriver&) {}},
        TNetCase{"CodeOutsideTheCatalogue", 0x77, [](TDirectDriver&) {}, kUnknownCommand, [](TDirectDriver&) {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(NetworkExchange, WithoutWaitingTheAnswerArrivesAsACommand) {
  std::vector<TSeen> seen;
  Drv->OnCommand = [&](TPloverDriver&, int32_t id) { seen.push_back(Fetch(*Drv, id)); };
  Drv->set_RegisterNumber(1);
  Request(*Drv, 0x1C, 2, false);
  ASSERT_EQ(Drv->SendCommand(), 0);
  Drv->set_RestRegister(0);
  ASSERT_EQ(Drv->WaitCommands(2000), 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Code, 0x1C);
  EXPECT_EQ(seen[0].Type, 1);
  EXPECT_EQ(seen[0].Src, 2);
  EXPECT_EQ(seen[0].Dst, 1);
  EXPECT_FALSE(seen[0].Repeated);
  EXPECT_EQ(Drv->get_RestRegister(), 12345);
  EXPECT_EQ(seen[0].Hex.substr(0, 21), L"02 11 00 01 02 01 1C ");
}

TEST_F(NetworkExchange, WaitAnswerTimesOutWhenNobodyAnswers) {
  Drv->set_VirtualEcr(false);
  Request(*Drv, 0x11, 2, true, 150);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Drv->SendCommand(), kNoAnswer);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Нет ответа на команду за время ожидания (Timeout)");
  // Nor does a device that has stopped answering.
  Drv->set_VirtualEcr(true);
  Drv->set_DeviceNotAnswering(true);
  Request(*Drv, 0x11, 2, true, 150);
  EXPECT_EQ(Drv->SendCommand(), kNoAnswer);
  Drv->set_DeviceNotAnswering(false);
  Request(*Drv, 0x11, 2, true, 2000);
  EXPECT_EQ(Drv->SendCommand(), 0);
}

TEST_F(NetworkExchange, BadAddressesAndCodesAreRefusedBeforeSending) {
  Request(*Drv, 256, 2, false);
  EXPECT_EQ(Drv->SendCommand(), kBadCommandCode);
  Request(*Drv, 0x11, -1, false);
  EXPECT_EQ(Drv->SendCommand(), kBadAddress);
  Request(*Drv, 0x11, 2, false);
  Drv->set_CommandSrcAddress(300);
  EXPECT_EQ(Drv->SendCommand(), kBadAddress);
}

TEST_F(NetworkExchange, TwoControlsExchangeARequestAndItsAnswer) {
  auto b = Peer(5);
  b->OnCommand = [&](TPloverDriver&, int32_t id) {
    TSeen s = Fetch(*b, id);
    if (s.Type != 0 || s.Dst != 5) return;
    EXPECT_EQ(b->get_Code(), L"4601");
    EXPECT_DOUBLE_EQ(b->get_Quantity(), 1.5);
    b->set_Text(L"Молоко");
    b->set_Price(5990 * 100);
    b->set_Section(3);
    b->set_CommandResultCode(0);
    EXPECT_EQ(Answer(*b), 0);
  };
  Drv->set_VirtualEcr(false);
  Drv->set_Code(L"4601");
  Drv->set_Quantity(1.5);
  Drv->set_Text(L"");
  Request(*Drv, 0x81, 5, true);
  auto sent = std::async(std::launch::async, [&] { return Drv->SendCommand(); });
  auto deadline = std::chrono::steady_clock::now() + 3s;
  while (sent.wait_for(0ms) != std::future_status::ready && std::chrono::steady_clock::now() < deadline)
    b->WaitCommands(20);
  ASSERT_EQ(sent.get(), 0);
  EXPECT_EQ(Drv->get_Text(), L"Молоко");
  EXPECT_EQ(Drv->get_Price(), 599000);
  EXPECT_EQ(Drv->get_Section(), 3);
}

TEST_F(NetworkExchange, CommandsArrivingDuringAWaitAreHeldUntilItEnds) {
  auto c = Peer(7);
  Drv->set_VirtualEcr(false);
  Request(*Drv, 0x11, 9, true, 400);
  auto sent = std::async(std::launch::async, [&] { return Drv->SendCommand(); });
  std::this_thread::sleep_for(50ms);
  Request(*c, 0x80, 1, false);
  ASSERT_EQ(c->SendCommand(), 0);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(Drv->Control().TakeArrived().empty());
  EXPECT_EQ(sent.get(), kNoAnswer);
  int raised = 0;
  Drv->OnCommand = [&](TPloverDriver&, int32_t id) {
    ++raised;
    TSeen s = Fetch(*Drv, id);
    EXPECT_EQ(s.Code, 0x80);
    EXPECT_EQ(s.Src, 7);
  };
  EXPECT_EQ(Drv->WaitCommands(1000), 1);
  EXPECT_EQ(raised, 1);
}

TEST_F(NetworkExchange, UnknownCommandIdAndParseBeforeGet) {
  EXPECT_EQ(Drv->ParseCommand(), kNoCommand);
  Drv->set_CommandID(77);
  EXPECT_EQ(Drv->GetCommand(), kCommandNotFound);
  EXPECT_EQ(Drv->get_ResultCodeDescription(), L"Полученная команда с таким номером не найдена");
}

// ---------------------------------------------------------------- the virtual cash desk

class NetworkDesk : public TEcrTest {
 protected:
  TEcrSettings Settings() override {
    TEcrSettings s;
    s.Timeout = 150;  // the desk's wait for an answer before it repeats
    return s;
  }
};

TEST_F(NetworkDesk, UnansweredRequestIsRepeatedAndMarkedSo) {
  std::vector<TSeen> seen;
  bool answer = false;
  Drv->OnCommand = [&](TPloverDriver&, int32_t id) {
    seen.push_back(Fetch(*Drv, id));
    if (answer) Answer(*Drv);
  };
  ASSERT_EQ(Drv->SendDeskRequest(), 0);
  ASSERT_EQ(Drv->WaitCommands(1000), 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Code, 0x80);
  EXPECT_EQ(seen[0].Type, 0);
  EXPECT_EQ(seen[0].Src, kVirtualDeskAddress);
  EXPECT_EQ(seen[0].Dst, 1);
  EXPECT_FALSE(seen[0].Repeated);
  EXPECT_EQ(Drv->get_Quantity(), 2);
  EXPECT_EQ(Drv->get_Price(), 105000);
  // No answer: the same frame comes again, marked as a repeat; now answer it.
  answer = true;
  ASSERT_EQ(Drv->WaitCommands(1000), 1);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[1].Repeated);
  EXPECT_EQ(seen[1].Hex, seen[0].Hex);
  // Answered: nothing more comes.
  EXPECT_EQ(Drv->WaitCommands(400), 0);
}

TEST_F(NetworkDesk, GivesUpAfterTwoRepeats) {
  int raised = 0;
  Drv->OnCommand = [&](TPloverDriver&, int32_t) { ++raised; };
  ASSERT_EQ(Drv->SendDeskRequest(), 0);
  auto deadline = std::chrono::steady_clock::now() + 900ms;
  while (std::chrono::steady_clock::now() < deadline) Drv->WaitCommands(50);
  EXPECT_EQ(raised, 1 + TVirtualDesk::kMaxRepeats);
}

TEST_F(NetworkDesk, ScenarioLosesOneAnswerSoTheSaleIsRepeated) {
  std::vector<TSeen> seen;
  Drv->OnCommand = [&](TPloverDriver&, int32_t id) {
    seen.push_back(Fetch(*Drv, id));
    Answer(*Drv);
  };
  Drv->SendDeskRequest();
  ASSERT_EQ(Drv->WaitCommands(1000), 1);
  Drv->SendDeskRequest();
  ASSERT_EQ(Drv->WaitCommands(1000), 1);
  ASSERT_EQ(Drv->WaitCommands(1000), 1);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_FALSE(seen[0].Repeated);
  EXPECT_FALSE(seen[1].Repeated);
  EXPECT_TRUE(seen[2].Repeated);
  EXPECT_EQ(seen[2].Hex, seen[1].Hex);
  EXPECT_EQ(Drv->get_Price(), 32500);
}

TEST_F(NetworkDesk, ScenarioRunsByItselfThroughTheCatalogueRequests) {
  std::vector<int> codes;
  Drv->OnCommand = [&](TPloverDriver&, int32_t id) {
    TSeen s = Fetch(*Drv, id);
    if (!s.Repeated) codes.push_back(s.Code);
    Answer(*Drv);
  };
  Drv->set_DeskInterval(20);
  Drv->set_VirtualDesk(true);
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (codes.size() < DeskScenario().size() && std::chrono::steady_clock::now() < deadline) Drv->WaitCommands(50);
  Drv->set_VirtualDesk(false);
  ASSERT_GE(codes.size(), DeskScenario().size());
  for (size_t i = 0; i < DeskScenario().size(); ++i) EXPECT_EQ(codes[i], DeskScenario()[i].Code) << i;
}

TEST_F(NetworkDesk, ADeskMadeAnewIsNotTakenForARepeat) {
  std::vector<TSeen> seen;
  Drv->OnCommand = [&](TPloverDriver&, int32_t id) {
    seen.push_back(Fetch(*Drv, id));
    Answer(*Drv);
  };
  Drv->SendDeskRequest();
  ASSERT_EQ(Drv->WaitCommands(1000), 1);
  // Leaving the bus drops the desk; the next request comes from a new one,
  // which starts its scenario (and its sequence numbers) afresh.
  Drv->set_BusPort(0);
  Drv->set_BusKind(1);
  Drv->set_BusKind(0);
  Drv->SendDeskRequest();
  ASSERT_EQ(Drv->WaitCommands(1000), 1);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].Code, seen[0].Code);
  EXPECT_FALSE(seen[1].Repeated);
}
