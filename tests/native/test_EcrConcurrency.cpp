// Several threads on the control at once: what the dump and register readers'
// workers do while the window thread goes on using the driver. Run it under
// ThreadSanitizer (a tree configured with -DPLOVER_TSAN=ON).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "EcrTestSupport.h"
#include "untEcrDump.h"
#include "untEcrScenario.h"
#include "untText.h"

using namespace ecr;
using namespace std::chrono_literals;

class EcrConcurrency : public TEcrTest {};

TEST_F(EcrConcurrency, DumpWorkerAndWindowThreadShareOneControl) {
  std::atomic<int> badBlocks{0}, badStatus{0};
  std::thread worker([&] {
    for (int block = 0; block < DumpBlockCount(3); ++block) {
      Drv->set_DeviceNumber(3);
      Drv->set_DataBlockNumber(block);
      if (Drv->RequestDump() != 0 || WideToAnsi(Drv->get_DataBlock()) != DumpBlock(3, block)) ++badBlocks;
    }
  });
  std::thread window([&] {
    for (int i = 0; i < 300; ++i) {
      if (Drv->GetECRStatus() != 0 || Drv->get_ECRSoftVersion() != L"1.6") ++badStatus;
      Drv->set_RegisterNumber(i % kRestRegisterCount);
      if (Drv->GetRestRegister() != 0) ++badStatus;
      Drv->set_TableNumber(1 + i % 14);
      Drv->GetTableStruct();
      Drv->get_ResultCodeDescription();
    }
  });
  worker.join();
  window.join();
  EXPECT_EQ(badBlocks, 0);
  EXPECT_EQ(badStatus, 0);
}

TEST_F(EcrConcurrency, NetworkTrafficWhileAnotherThreadCallsTheDevice) {
  TEcrSettings s;
  s.SrcAddress = 5;
  s.VirtualEcr = false;
  auto peer = TDirectDriver::Create(s);
  std::atomic<bool> stop{false};
  std::atomic<int> answered{0};
  peer->OnCommand = [&](TPloverDriver&, int32_t id) {
    peer->set_CommandID(id);
    if (peer->GetCommand() != 0 || peer->ParseCommand() != 0 || peer->get_CommandType() != 0) return;
    peer->set_CommandType(1);
    peer->set_CommandDstAddress(peer->get_CommandSrcAddress());
    peer->set_CommandSrcAddress(5);
    peer->set_WaitAnswer(false);
    if (peer->SendCommand() == 0) ++answered;
  };
  std::thread peerThread([&] {
    while (!stop) peer->WaitCommands(10);
  });
  std::thread device([&] {
    for (int i = 0; i < 200; ++i) {
      Drv->set_FlagNumber(i % 16);
      EXPECT_EQ(Drv->GetFlagName(), 0);
    }
  });
  int ok = 0;
  for (int i = 0; i < 30; ++i) {
    Drv->set_CommandType(0);
    Drv->set_CommandCode(0x80);
    Drv->set_CommandSrcAddress(1);
    Drv->set_CommandDstAddress(5);
    Drv->set_WaitAnswer(true);
    Drv->set_Timeout(2000);
    if (Drv->SendCommand() == 0) ++ok;
    Drv->set_WaitAnswer(false);
    Drv->set_CommandDstAddress(2);
    Drv->set_CommandCode(0x11);
    Drv->SendCommand();
    Drv->ProcessCommands();
  }
  device.join();
  stop = true;
  peerThread.join();
  EXPECT_EQ(ok, 30);
  EXPECT_GE(answered, 30);
}

TEST_F(EcrConcurrency, ControlsComeAndGoWhileTheDeskAndBusAreBusy) {
  for (int round = 0; round < 10; ++round) {
    TEcrSettings s;
    s.VirtualDesk = true;
    s.DeskInterval = 10;
    s.Timeout = 20;
    auto a = TDirectDriver::Create(s);
    auto b = TDirectDriver::Create(s);
    std::thread t([&] {
      for (int i = 0; i < 20; ++i) {
        a->set_CommandCode(0x11);
        a->set_CommandDstAddress(2);
        a->set_WaitAnswer(true);
        a->SendCommand();
      }
    });
    for (int i = 0; i < 5; ++i) b->WaitCommands(5);
    t.join();
    // Destruction stops the desk and the virtual cash register while frames fly.
  }
  SUCCEED();
}

// Desks made, started and dropped by one thread while the bus thread runs
// their timers and answers and the window thread answers their requests.
TEST_F(EcrConcurrency, ManyDesksPlayWhileTheirSettingsChange) {
  TEcrSettings s;
  s.Timeout = 50;
  s.DeskInterval = 10;
  s.DeskReplayPace = kDeskPaceAnswered;
  s.DeskFirstAddress = 10;
  s.DeskCount = 20;
  s.VirtualDesk = true;
  Drv->Control().ApplySettings(s);
  int answered = 0;
  Drv->OnCommand = [&](TPloverDriver& d, int32_t id) {
    d.set_CommandID(id);
    if (d.GetCommand() != 0 || d.ParseCommand() != 0 || d.get_CommandType() != 0) return;
    d.set_WaitAnswer(false);
    d.set_CommandType(1);
    d.set_CommandDstAddress(d.get_CommandSrcAddress());
    d.set_CommandSrcAddress(d.get_SrcAddress());
    if (d.SendCommand() == 0) ++answered;
  };
  std::atomic<bool> done{false};
  std::thread settings([&] {
    for (int i = 0; i < 100; ++i) {
      Drv->set_DeskCount(1 + i % 4 * 10);
      Drv->set_DeskReplayPace(i % 3 == 0 ? kDeskPaceRecorded : kDeskPaceAnswered);
      Drv->SendDeskRequest();
    }
    done = true;
  });
  // The desks go on once the changes are over.
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while ((answered < 500 || !done) && std::chrono::steady_clock::now() < deadline) Drv->WaitCommands(50);
  settings.join();
  EXPECT_GE(answered, 500);
}

#ifdef __linux__
namespace {

int ThreadsOfThisProcess() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// A joined thread may still be listed for a moment after the join returns.
int ThreadsOnceSettled(int expected) {
  int n = ThreadsOfThisProcess();
  for (int i = 0; i < 1000 && n != expected; ++i) {
    std::this_thread::sleep_for(1ms);
    n = ThreadsOfThisProcess();
  }
  return n;
}

}  // namespace

// A control whose program never talks to the network costs no thread; the
// bus and the stations start theirs with the first frame, and a control that
// goes with them running leaves none behind.
TEST(EcrThreads, StartWithTheFirstRequestAndEndWithTheControl) {
  const int before = ThreadsOnceSettled(1);
  {
    auto drv = TDirectDriver::Create(TEcrSettings{});
    EXPECT_EQ(ThreadsOfThisProcess(), before);
    EXPECT_EQ(drv->GetECRStatus(), 0);
    EXPECT_EQ(drv->SendDeskRequest(), 0);
    EXPECT_GT(ThreadsOfThisProcess(), before);
  }
  EXPECT_EQ(ThreadsOnceSettled(before), before);
}
#endif
