// A line that misbehaves on request: what a control, its virtual desk and its
// virtual cash register take in when every Nth frame is lost, doubled, held
// back, damaged, sent elsewhere or cut short.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "EcrTestSupport.h"
#include "untEcrResults.h"
#include "untFile.h"
#include "untText.h"

using namespace ecr;

namespace {

struct TArrived {
  int Code, Dst;
  bool Repeated;
  int64_t AtMs;  // on the device clock
};

class BusFaults : public TEcrTest {
 protected:
  void SetUp() override {
    std::filesystem::remove(FJournal);
    TEcrTest::SetUp();
    Arrived.clear();
    Drv->OnCommand = [this](TPloverDriver&, int32_t id) {
      Drv->set_CommandID(id);
      ASSERT_EQ(Drv->GetCommand(), 0);
      ASSERT_EQ(Drv->ParseCommand(), 0);
      Arrived.push_back(
          {Drv->get_CommandCode(), Drv->get_CommandDstAddress(), Drv->get_CommandRepeated(), FClock->NowMs()});
      const int32_t desk = Drv->get_CommandSrcAddress();
      if (Drv->get_CommandType() != 0 || desk < 3) return;
      Drv->set_WaitAnswer(false);  // the desks' requests are answered
      Drv->set_CommandType(1);
      Drv->set_CommandDstAddress(desk);
      Drv->set_CommandSrcAddress(Drv->get_SrcAddress());
      Drv->SendCommand();
    };
  }
  TEcrSettings Settings() override {
    TEcrSettings s;
    s.JournalFile = Utf8ToWide(FJournal.string());
    return s;
  }
  // Receives until `until` holds, each wait ending at the latest after 2 s.
  template <class F>
  bool ReceiveUntil(F until) {
    while (!until())
      if (Drv->WaitCommands(2000) == 0) return until();
    return true;
  }
  // How often the journal, as the control leaves it when it goes, says what.
  int Journaled(const std::string& what) {
    Drv.reset();
    const std::string text = ReadWholeFile(Utf8ToWide(FJournal.string()));
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  const std::filesystem::path FJournal =
      std::filesystem::temp_directory_path() / ("plover_busfaults_" + std::to_string(getpid()) + ".log");
  std::vector<TArrived> Arrived;
};

constexpr char kRefused[] = "отвергнут проверкой кадра";

}  // namespace

// A peer sends four requests and a last one; the receiving control meets the
// fault with every second frame (the second and the fourth).
TEST_F(BusFaults, EverySecondFrameAPeerSendsMeetsTheFault) {
  struct TCase {
    const wchar_t* Fault;
    size_t Arrive;   // requests that get through, the last one included
    int Repeated;    // of them, taken for repeats
    int Elsewhere;   // of them, for address 2 instead of 1
    int Refused;     // damaged ones the frame check refused
    bool Delayed;    // the second and the fourth held back BusFaultDelay ms
  } cases[] = {
      {L"", 5, 0, 0, 0, false},         {L"drop", 3, 0, 0, 0, false},      {L"duplicate", 7, 2, 0, 0, false},
      {L"delay", 5, 0, 0, 0, true},     {L"corrupt", 3, 0, 0, 2, false},   {L"readdress", 5, 0, 2, 0, false},
      {L"truncate", 3, 0, 0, 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.Fault));
    TearDown();
    SetUp();
    TEcrSettings peerSettings;
    peerSettings.SrcAddress = 5;
    peerSettings.VirtualEcr = false;
    auto peer = TDirectDriver::Create(peerSettings);
    Drv->set_BusFault(c.Fault);
    Drv->set_BusFaultEvery(2);
    Drv->set_BusFaultDelay(700);
    const int64_t start = FClock->NowMs();
    peer->set_WaitAnswer(false);
    peer->set_CommandType(0);
    peer->set_CommandSrcAddress(5);
    peer->set_CommandDstAddress(1);
    for (int code : {0x11, 0x12, 0x13, 0x14, 0x10}) {
      peer->set_CommandCode(code);
      ASSERT_EQ(peer->SendCommand(), 0);
    }
    // The last request is never faulted; a delayed one may come after it.
    auto last = [&] { return !Arrived.empty() && Arrived.back().Code == 0x10; };
    ASSERT_TRUE(ReceiveUntil([&] { return Arrived.size() >= c.Arrive && (last() || c.Delayed); }));
    EXPECT_EQ(Arrived.size(), c.Arrive);
    int repeated = 0, elsewhere = 0;
    for (const auto& a : Arrived) {
      repeated += a.Repeated;
      elsewhere += a.Dst == 2;
      EXPECT_TRUE(a.Dst == 1 || a.Dst == 2) << a.Dst;
      // A frame held back arrives once the device clock has moved on by the
      // delay (frames held back together are waited for together).
      if (c.Delayed && (a.Code == 0x12 || a.Code == 0x14)) EXPECT_GE(a.AtMs - start, 700) << a.Code;
    }
    EXPECT_EQ(repeated, c.Repeated);
    EXPECT_EQ(elsewhere, c.Elsewhere);
    const int64_t moved = FClock->NowMs() - start;
    EXPECT_TRUE(c.Delayed ? moved >= 700 && moved <= 1400 : moved == 0) << moved;
    peer.reset();
    EXPECT_EQ(Journaled(kRefused), c.Refused);
  }
}

// The control's own cash register and desk take their frames through its line
// too: a request cut short gets no answer, and a desk whose answer is lost
// sends its request again, which the control sees as a repeat.
TEST_F(BusFaults, TheVirtualStationsTakeTheirFramesThroughTheLine) {
  Drv->set_Timeout(100);
  Drv->set_BusFault(L"truncate");
  Drv->set_BusFaultEvery(3);
  Drv->set_WaitAnswer(true);
  Drv->set_CommandType(0);
  Drv->set_CommandCode(0x11);
  Drv->set_CommandSrcAddress(1);
  Drv->set_CommandDstAddress(2);
  // Frames: request, answer, request (cut short: no answer), request, answer.
  EXPECT_EQ(Drv->SendCommand(), 0);
  EXPECT_EQ(Drv->SendCommand(), kNoAnswer);
  EXPECT_EQ(Drv->SendCommand(), 0);

  // Request (1st frame) answered, its answer (2nd) lost; the repeat (3rd)
  // answered, that answer (4th) lost; the last repeat (5th) answered.
  Drv->set_BusFault(L"drop");
  Drv->set_BusFaultEvery(2);
  ASSERT_EQ(Drv->SendDeskRequest(), 0);
  ASSERT_TRUE(ReceiveUntil([&] { return Arrived.size() >= 3; }));
  ASSERT_EQ(Arrived.size(), 3u);
  EXPECT_EQ(Arrived[0].Code, 0x80);
  EXPECT_FALSE(Arrived[0].Repeated);
  EXPECT_TRUE(Arrived[1].Repeated);
  EXPECT_TRUE(Arrived[2].Repeated);
  EXPECT_EQ(Journaled(kRefused), 1);
}

// Each of several desks hears its answers through a line of its own: with the
// line armed but not yet striking, every desk is answered at the first try.
TEST_F(BusFaults, EachDeskTakesItsAnswersThroughItsOwnLine) {
  Drv->set_Timeout(100);
  Drv->set_DeskCount(3);
  Drv->set_BusFault(L"drop");
  Drv->set_BusFaultEvery(1000);
  ASSERT_EQ(Drv->SendDeskRequest(), 0);
  ASSERT_TRUE(ReceiveUntil([&] { return Arrived.size() >= 3; }));
  // Anything a desk did not hear would come again within the time-out.
  FClock->Advance(300);
  Drv->WaitCommands(500);
  ASSERT_EQ(Arrived.size(), 3u);
  for (const TArrived& a : Arrived) EXPECT_FALSE(a.Repeated);
}
