// Two programs on one machine, each with its own control, talk over the UDP
// loopback bus: this process asks the other for its status and answers its
// request in turn. The other process is this same program, started with the
// peer's port in its environment so that it runs only the peer's side.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Driver.h"
#include "test_ComHelpers.h"
#include "untComDriver.h"
#include "untError.h"
#include "untFile.h"
#include "untText.h"
#include "win/ScopedCom.h"

namespace {

constexpr wchar_t kPeerVar[] = L"PLOVER_LOOPBACK_PEER";
constexpr wchar_t kLeakVar[] = L"PLOVER_LEAK_CONTROLS";
constexpr int32_t kMainAddress = 10;
constexpr int32_t kPeerAddress = 11;
constexpr int32_t kStatusCode = 0x11;  // a request without inputs, with an answer full of outputs

// Settings put before the bus is chosen, so that no other bus is opened first.
using TTextSettings = std::vector<std::pair<const wchar_t*, std::wstring>>;

std::unique_ptr<TDriver> NewLoopbackDriver(int port, int32_t address, const TTextSettings& texts = {}) {
  auto d = CreateComDriver();
  for (const auto& [name, value] : texts) d->SetProperty(name, TVariant::FromStr(value));
  d->SetProperty(L"VirtualEcr", TVariant::FromBool(false));
  d->SetProperty(L"VirtualDesk", TVariant::FromBool(false));
  d->SetProperty(L"FaultEvery", TVariant::FromInt(0));
  d->SetProperty(L"LinkLatency", TVariant::FromInt(0));
  d->SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
  d->SetProperty(L"BusPort", TVariant::FromInt(port));
  d->SetProperty(L"BusKind", TVariant::FromInt(1));
  d->set_SrcAddress(address);
  d->set_DeviceEnabled(true);
  return d;
}

// Answers a status request meant for `self` with the given operator number
// and software version, as the programs' handlers do. True when it answered.
bool AnswerStatusRequest(TPloverDriver& d, int32_t id, int32_t self, int32_t operatorNumber, const wchar_t* version) {
  d.set_CommandID(id);
  if (d.GetCommand() != 0 || d.ParseCommand() != 0) return false;
  if (d.get_CommandType() != 0 || d.get_CommandDstAddress() != self || d.get_CommandCode() != kStatusCode)
    return false;
  d.set_CommandType(1);
  d.set_CommandDstAddress(d.get_CommandSrcAddress());
  d.set_CommandSrcAddress(self);
  d.set_OperatorNumber(operatorNumber);
  d.set_ECRSoftVersion(version);
  d.set_WaitAnswer(false);
  return d.SendCommand() == 0;
}

// Sends a status request to `to` and waits for its answer; the other side
// may need a moment to join the bus, so a request without answer is repeated.
int32_t AskStatus(TPloverDriver& d, int32_t self, int32_t to) {
  int32_t rc = -1;
  for (int attempt = 0; attempt < 5 && rc != 0; ++attempt) {
    d.set_OperatorNumber(0);
    d.set_ECRSoftVersion(L"");
    d.set_CommandType(0);
    d.set_CommandCode(kStatusCode);
    d.set_CommandSrcAddress(self);
    d.set_CommandDstAddress(to);
    d.set_Timeout(1500);
    d.set_WaitAnswer(true);
    rc = d.SendCommand();
  }
  return rc;
}

class TEvent {
 public:
  explicit TEvent(const std::wstring& name) : FHandle(CreateEventW(nullptr, TRUE, FALSE, name.c_str())) {}
  ~TEvent() {
    if (FHandle) CloseHandle(FHandle);
  }
  HANDLE Get() const { return FHandle; }

 private:
  HANDLE FHandle;
};

std::wstring ReadyEventName(int port) { return L"PloverLoopbackReady" + IntToStr(port); }

// The peer's side, run only in the started process.
TEST(LoopbackPeer, AnswersThenAsks) {
  std::wstring portText = EnvText(kPeerVar);
  if (portText.empty()) GTEST_SKIP() << "runs only as the peer of Loopback.TwoProcessesExchange";
  int port = std::stoi(portText);
  TComInit com;
  ASSERT_EQ(RegisterDriver(), S_OK);
  auto d = NewLoopbackDriver(port, kPeerAddress);
  bool answered = false;
  d->OnCommand = [&](TPloverDriver& sender, int32_t id) {
    if (AnswerStatusRequest(sender, id, kPeerAddress, 29, L"B.2")) answered = true;
  };
  TEvent ready(ReadyEventName(port));
  SetEvent(ready.Get());
  ASSERT_TRUE(PumpUntil([&] { return answered; }, 20000)) << "no request came";

  d->OnCommand = nullptr;
  ASSERT_EQ(AskStatus(*d, kPeerAddress, kMainAddress), 0);
  EXPECT_EQ(d->get_OperatorNumber(), 30);
  EXPECT_EQ(d->get_ECRSoftVersion(), L"A.1");
}

TEST(Loopback, TwoProcessesExchangeRequestsAndAnswers) {
  if (!EnvText(kPeerVar).empty()) GTEST_SKIP();
  TComInit com;
  ASSERT_EQ(RegisterDriver(), S_OK);
  // A port of our own, so that runs of other trees on this machine stay apart.
  int port = 47400 + static_cast<int>(GetCurrentProcessId() % 500);
  auto d = NewLoopbackDriver(port, kMainAddress);
  int answered = 0;
  d->OnCommand = [&](TPloverDriver& sender, int32_t id) {
    if (AnswerStatusRequest(sender, id, kMainAddress, 30, L"A.1")) ++answered;
  };

  TEvent ready(ReadyEventName(port));
  HANDLE peer = StartSelf(L"LoopbackPeer.*", kPeerVar, IntToStr(port));
  ASSERT_NE(peer, nullptr);

  EXPECT_EQ(WaitForSingleObject(ready.Get(), 30000), WAIT_OBJECT_0);
  EXPECT_EQ(AskStatus(*d, kMainAddress, kPeerAddress), 0);
  EXPECT_EQ(d->get_OperatorNumber(), 29);
  EXPECT_EQ(d->get_ECRSoftVersion(), L"B.2");
  EXPECT_TRUE(d->get_CommandCadrHex().size() > 0);

  // The peer's request arrives through OnCommand, so this thread pumps.
  bool exited = PumpUntil([&] { return WaitForSingleObject(peer, 0) == WAIT_OBJECT_0; }, 40000);
  if (!exited) TerminateProcess(peer, 2);
  DWORD code = 99;
  GetExitCodeProcess(peer, &code);
  CloseHandle(peer);
  EXPECT_TRUE(exited);
  EXPECT_EQ(code, 0u);
  EXPECT_GE(answered, 1);
}

// A careless program: controls on both buses, busy, never released, and COM
// shut down under them. Its end must not wait for the controls' threads.
TEST(LeakingProgram, EndsWithLiveControls) {
  if (EnvText(kLeakVar).empty()) GTEST_SKIP() << "runs only as the helper of Loopback.ProgramEndsWithLiveControls";
  TComInit com;
  ASSERT_EQ(RegisterDriver(), S_OK);
  int port = std::stoi(EnvText(kLeakVar));
  auto udp = NewLoopbackDriver(port, kMainAddress);
  auto local = CreateComDriver();
  local->SetProperty(L"VirtualDesk", TVariant::FromBool(true));
  local->SetProperty(L"DeskInterval", TVariant::FromInt(100));
  local->SendDeskRequest();
  udp->CheckConnection();
  PumpUntil([] { return false; }, 300);
  udp.release();
  local.release();
}

TEST(Loopback, ProgramEndsWithLiveControls) {
  int port = 47900 + static_cast<int>(GetCurrentProcessId() % 90);
  HANDLE child = StartSelf(L"LeakingProgram.*", kLeakVar, IntToStr(port));
  ASSERT_NE(child, nullptr);
  DWORD waited = WaitForSingleObject(child, 30000);
  if (waited != WAIT_OBJECT_0) TerminateProcess(child, 2);
  DWORD code = 99;
  GetExitCodeProcess(child, &code);
  CloseHandle(child);
  EXPECT_EQ(waited, static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(code, 0u);
}

// The bus opened to other computers, through the sockets library. Wine sends
// every loopback datagram as from 127.0.0.1, whatever address its socket is
// bound to, so here a member is always 127.0.0.1 (the native tests bind
// 127.0.0.3 and see it refused): a hub listening on 127.0.0.2 (standing for a
// network card) answers it when BusAllow lists it, and otherwise refuses it
// and counts it in its journal.
TEST(Loopback, OpenHubAnswersAllowedMembersAndJournalsTheRefused) {
  TComInit com;
  ASSERT_EQ(RegisterDriver(), S_OK);
  const std::wstring journal = TestBinDir() + L"open-bus-journal.log";
  for (const wchar_t* allow : {L"127.0.0.1", L"10.0.2.0/24"}) {
    const bool allowed = std::wstring(allow) == L"127.0.0.1";
    const int port = 47600 + static_cast<int>(GetCurrentProcessId() % 200) + (allowed ? 0 : 1);
    DeleteFileW(journal.c_str());
    // The hub answers on a thread of its own, which runs its message loop.
    std::atomic<bool> hubReady{false}, stop{false};
    std::atomic<int> answered{0};
    std::thread hubThread([&] {
      TComInit hubCom;
      auto hub = NewLoopbackDriver(port, kMainAddress,
                                   {{L"BusListen", L"127.0.0.2"}, {L"BusAllow", allow}, {L"JournalFile", journal}});
      hub->OnCommand = [&](TPloverDriver& sender, int32_t id) {
        if (AnswerStatusRequest(sender, id, kMainAddress, 30, L"A.1")) ++answered;
      };
      hubReady = true;
      PumpUntil([&] { return stop.load(); }, 60000);
    });
    ASSERT_TRUE(PumpUntil([&] { return hubReady.load(); }, 20000));

    auto member = NewLoopbackDriver(port, kPeerAddress, {{L"BusHost", L"127.0.0.2"}});
    if (allowed) {
      EXPECT_EQ(AskStatus(*member, kPeerAddress, kMainAddress), 0);
      EXPECT_EQ(member->get_OperatorNumber(), 30);
      EXPECT_EQ(answered.load(), 1);
    } else {
      member->set_CommandType(0);
      member->set_CommandCode(kStatusCode);
      member->set_CommandSrcAddress(kPeerAddress);
      member->set_CommandDstAddress(kMainAddress);
      member->set_Timeout(300);
      member->set_WaitAnswer(true);
      EXPECT_EQ(member->SendCommand(), -4);
      // The hub tells its journal of the refusals once a second.
      const std::string line =
          "=== шина UDP 127.0.0.2:" + std::to_string(port) + ": отвергнуто датаграмм от 127.0.0.1: ";
      std::string text;
      EXPECT_TRUE(PumpUntil(
          [&] {
            try {
              text = ReadWholeFile(journal);
            } catch (const EInOutError&) {
            }
            return text.find(line) != std::string::npos;
          },
          10000))
          << text;
      EXPECT_EQ(answered.load(), 0);
    }
    stop = true;
    hubThread.join();
  }
  DeleteFileW(journal.c_str());
}

}  // namespace
