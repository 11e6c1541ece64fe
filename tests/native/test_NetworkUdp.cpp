// The loopback bus between processes.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "untDirectDriver.h"
#include "untEcrBus.h"
#include "untEcrUdp.h"
#include "untText.h"

extern char** environ;

using namespace ecr;
using namespace std::chrono_literals;

namespace {

// The closed bus of this computer, as the default settings give it.
TUdpConfig Loopback(int port) {
  TUdpConfig c;
  c.Port = static_cast<uint16_t>(port);
  return c;
}

// A bus end from the settings BusHost, BusListen and BusAllow.
TUdpConfig Config(int port, const wchar_t* host, const wchar_t* listen, const wchar_t* allow = L"") {
  TUdpConfig c;
  c.Port = static_cast<uint16_t>(port);
  std::wstring bad;
  EXPECT_TRUE(BusAddressesOf(host, listen, c.Addresses));
  EXPECT_TRUE(ParseAllowList(allow, c.Allow, bad));
  return c;
}

int FreeUdpPort() {
  int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

// Frames a link hands over, for waiting on.
struct TInbox {
  std::mutex Mutex;
  std::condition_variable Cv;
  std::vector<std::string> Got;
  TUdpLink::TDeliver Sink() {
    return [this](std::string b) {
      std::lock_guard lock(Mutex);
      Got.push_back(std::move(b));
      Cv.notify_all();
    };
  }
  bool WaitFor(size_t n, std::chrono::milliseconds t = 2000ms) {
    std::unique_lock lock(Mutex);
    return Cv.wait_for(lock, t, [&] { return Got.size() >= n; });
  }
  size_t Count() {
    std::lock_guard lock(Mutex);
    return Got.size();
  }
  std::string At(size_t i) {
    std::lock_guard lock(Mutex);
    return i < Got.size() ? Got[i] : std::string();
  }
};

}  // namespace

TEST(NetworkUdp, HubRelaysBetweenMembers) {
  int port = FreeUdpPort();
  TInbox a, b, c;
  auto hub = TUdpLink::Open(Loopback(port), a.Sink());
  ASSERT_TRUE(hub);
  EXPECT_TRUE(hub->IsHub());
  auto m1 = TUdpLink::Open(Loopback(port), b.Sink());
  auto m2 = TUdpLink::Open(Loopback(port), c.Sink());
  ASSERT_TRUE(m1 && m2);
  EXPECT_FALSE(m1->IsHub());
  // The hub knows both members once their hellos arrived: it reaches both.
  for (auto deadline = std::chrono::steady_clock::now() + 10s; b.Count() == 0 || c.Count() == 0;) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the members never joined";
    hub->Send("probe");
    b.WaitFor(1, 50ms);
    c.WaitFor(1, 50ms);
  }
  const size_t b0 = b.Count(), c0 = c.Count();
  for (size_t i = 0; i < b0; ++i) EXPECT_EQ(b.At(i), "probe");

  m1->Send("one");
  ASSERT_TRUE(a.WaitFor(1));
  ASSERT_TRUE(c.WaitFor(c0 + 1));
  EXPECT_EQ(a.At(0), "one");
  EXPECT_EQ(c.At(c0), "one");
  hub->Send("two");
  m2->Send("three");
  ASSERT_TRUE(b.WaitFor(b0 + 2));
  // The hub handles frames in the order they come, so "one" would have
  // reached its sender before "three" did: a member never hears itself.
  EXPECT_EQ(b.Count(), b0 + 2);
  EXPECT_EQ(b.At(b0), "two");
  EXPECT_EQ(b.At(b0 + 1), "three");
}

TEST(NetworkUdp, MemberTakesOverWhenTheHubGoes) {
  int port = FreeUdpPort();
  TInbox a, b, c;
  auto hub = TUdpLink::Open(Loopback(port), a.Sink());
  auto m1 = TUdpLink::Open(Loopback(port), b.Sink());
  auto m2 = TUdpLink::Open(Loopback(port), c.Sink());
  hub.reset();
  auto deadline = std::chrono::steady_clock::now() + 3s;
  while (!m1->IsHub() && !m2->IsHub() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  ASSERT_TRUE(m1->IsHub() != m2->IsHub());
  TUdpLink& newHub = m1->IsHub() ? *m1 : *m2;
  TUdpLink& member = m1->IsHub() ? *m2 : *m1;
  TInbox& hubBox = m1->IsHub() ? b : c;
  // The remaining member finds the new hub with its next hello.
  deadline = std::chrono::steady_clock::now() + 3s;
  while (hubBox.Count() == 0 && std::chrono::steady_clock::now() < deadline) {
    member.Send("again");
    hubBox.WaitFor(1, 100ms);
  }
  EXPECT_GT(hubBox.Count(), 0u);
  (void)newHub;
}

TEST(NetworkUdp, BadPortCannotBeOpened) {
  int32_t rc = 0;
  const TBusChoice wrong[] = {{kBusUdp, 0, L"", L"", L""},
                              {kBusUdp, 70000, L"", L"", L""},
                              {kBusUdp, 47300, L"localhost", L"", L""},
                              {kBusUdp, 47300, L"", L"127.0.0", L""},
                              {kBusUdp, 47300, L"", L"", L"10.0.0.1/33"}};
  for (const TBusChoice& choice : wrong) {
    rc = 0;
    EXPECT_EQ(TBus::Open(choice, rc), nullptr)
        << choice.Port << " " << WideToUtf8(choice.Host + L"|" + choice.Listen + L"|" + choice.Allow);
    EXPECT_EQ(rc, -10);
  }
  EXPECT_EQ(TUdpLink::Open(Loopback(0), [](std::string) {}), nullptr);
}

TEST(NetworkUdp, ControlOnAnUnusableBusReportsTheNetworkDown) {
  TEcrSettings s;
  s.BusKind = kBusUdp;
  s.BusPort = 0;
  auto d = TDirectDriver::Create(s);
  d->set_CommandCode(0x11);
  d->set_CommandDstAddress(2);
  EXPECT_EQ(d->SendCommand(), -10);
  EXPECT_EQ(d->get_ResultCodeDescription(), L"Сеть недоступна");
  // Back on the in-process bus it works again.
  d->set_BusKind(kBusInProcess);
  d->set_WaitAnswer(true);
  EXPECT_EQ(d->SendCommand(), 0);
}

// Run in a second process by TwoProcessesExchange: answers the requests for
// command 81h addressed to station 5 until one with no quantity says the
// other side has its answer.
TEST(NetworkUdp, ChildStation) {
  const char* portText = std::getenv("PLOVER_UDP_CHILD_PORT");
  if (!portText) GTEST_SKIP() << "runs only as the second process of TwoProcessesExchange";
  TEcrSettings s;
  s.SrcAddress = 5;
  s.VirtualEcr = false;
  s.BusKind = kBusUdp;
  s.BusPort = std::atoi(portText);
  auto d = TDirectDriver::Create(s);
  bool answered = false, finished = false;
  d->OnCommand = [&](TPloverDriver&, int32_t id) {
    d->set_CommandID(id);
    if (d->GetCommand() != 0 || d->ParseCommand() != 0) return;
    if (d->get_CommandType() != 0 || d->get_CommandDstAddress() != 5 || d->get_CommandCode() != 0x81) return;
    if (d->get_Quantity() == 0) {
      finished = true;
      return;
    }
    d->set_Text(L"Ответ из процесса " + std::to_wstring(getpid()));
    d->set_Price(d->get_Quantity() * 10000);
    d->set_CommandType(1);
    d->set_CommandDstAddress(d->get_CommandSrcAddress());
    d->set_CommandSrcAddress(d->get_SrcAddress());
    answered = d->SendCommand() == 0;
  };
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!finished && std::chrono::steady_clock::now() < deadline) d->WaitCommands(50);
  EXPECT_TRUE(answered);
  EXPECT_TRUE(finished);
}

TEST(NetworkUdp, TwoProcessesExchange) {
  int port = FreeUdpPort();
  TEcrSettings s;
  s.SrcAddress = 1;
  s.VirtualEcr = false;
  s.BusKind = kBusUdp;
  s.BusPort = port;
  auto d = TDirectDriver::Create(s);

  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  self[n] = 0;
  std::string filter = "--gtest_filter=NetworkUdp.ChildStation";
  std::string env = "PLOVER_UDP_CHILD_PORT=" + std::to_string(port);
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) envp.push_back(*e);
  envp.push_back(env.data());
  envp.push_back(nullptr);
  char* argv[] = {self, filter.data(), nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, self, nullptr, nullptr, argv, envp.data()), 0);

  d->set_CommandType(0);
  d->set_CommandCode(0x81);
  d->set_CommandSrcAddress(1);
  d->set_CommandDstAddress(5);
  d->set_Quantity(3);
  d->set_WaitAnswer(true);
  d->set_Timeout(300);
  int32_t rc = -1;
  auto deadline = std::chrono::steady_clock::now() + 8s;
  while (rc != 0 && std::chrono::steady_clock::now() < deadline) rc = d->SendCommand();
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(d->get_Text(), L"Ответ из процесса " + std::to_wstring(child));
  EXPECT_EQ(d->get_Price(), 30000);
  // The child ends once told that the answer arrived (told again until it
  // has: a datagram may be lost).
  d->set_Quantity(0);
  d->set_WaitAnswer(false);
  int status = 0;
  for (deadline = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < deadline;) {
    EXPECT_EQ(d->SendCommand(), 0);
    d->WaitCommands(50);
    if (waitpid(child, &status, WNOHANG) == child) break;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(BusAddresses, AddressesListsAndWhoMayJoin) {
  struct TParse {
    const wchar_t* Text;
    bool Ok;
    uint32_t Address;
  } parses[] = {
      {L"127.0.0.1", true, 0x7F000001}, {L"0.0.0.0", true, 0},          {L"255.255.255.255", true, 0xFFFFFFFF},
      {L"192.168.001.020", true, 0xC0A80114}, {L"256.0.0.1", false, 0}, {L"1.2.3", false, 0},
      {L"1.2.3.4.5", false, 0},          {L"1..2.3", false, 0},         {L" 1.2.3.4", false, 0},
      {L"1.2.3.4 ", false, 0},           {L"1234.1.1.1", false, 0},     {L"", false, 0},
  };
  for (const auto& p : parses) {
    uint32_t a = 0;
    EXPECT_EQ(ParseIp4(p.Text, a), p.Ok) << WideToUtf8(p.Text);
    if (p.Ok) {
      EXPECT_EQ(a, p.Address) << WideToUtf8(p.Text);
    }
  }

  std::vector<TAllowRule> rules;
  std::wstring bad;
  EXPECT_TRUE(ParseAllowList(L"", rules, bad));
  EXPECT_TRUE(rules.empty());
  for (const wchar_t* wrong : {L"10.0.0.1,10.0.0", L"10.0.0.0/", L"10.0.0.0/33", L"10.0.0.0/8/8", L"host"}) {
    EXPECT_FALSE(ParseAllowList(wrong, rules, bad)) << WideToUtf8(wrong);
    EXPECT_FALSE(bad.empty());
  }

  // Who an open hub takes: BusListen itself, 127.0.0.1 when it listens on
  // every address, and what BusAllow names; a closed hub: 127.0.0.1 only.
  struct TJoin {
    const wchar_t* Listen;
    const wchar_t* Allow;
    const wchar_t* Source;
    bool Admitted;
  } joins[] = {
      {L"127.0.0.1", L"", L"127.0.0.1", true},
      {L"127.0.0.1", L"", L"127.0.0.3", false},
      {L"127.0.0.1", L"127.0.0.3", L"127.0.0.3", false},  // closed: BusAllow opens nothing
      {L"127.0.0.2", L"", L"127.0.0.1", false},
      {L"127.0.0.2", L"", L"127.0.0.2", true},
      {L"127.0.0.2", L"127.0.0.1", L"127.0.0.1", true},
      {L"127.0.0.2", L"127.0.0.1", L"127.0.0.3", false},
      {L"192.168.1.10", L"192.168.1.20; 10.0.2.0/24", L"10.0.2.15", true},
      {L"192.168.1.10", L"192.168.1.20; 10.0.2.0/24", L"10.0.3.15", false},
      {L"192.168.1.10", L"192.168.1.20; 10.0.2.0/24", L"192.168.1.20", true},
      {L"192.168.1.10", L"192.168.1.20; 10.0.2.0/24", L"192.168.1.21", false},
      {L"0.0.0.0", L"", L"127.0.0.1", true},
      {L"0.0.0.0", L"", L"192.168.1.20", false},
      {L"0.0.0.0", L"0.0.0.0/0", L"8.8.8.8", true},
  };
  for (const auto& j : joins) {
    uint32_t listen = 0, source = 0;
    ASSERT_TRUE(ParseIp4(j.Listen, listen));
    ASSERT_TRUE(ParseIp4(j.Source, source));
    ASSERT_TRUE(ParseAllowList(j.Allow, rules, bad));
    EXPECT_EQ(TBusAccess(listen, rules).Admits(source), j.Admitted)
        << WideToUtf8(j.Listen) << " allow " << WideToUtf8(j.Allow) << " from " << WideToUtf8(j.Source);
  }

  // Where each end binds and sends: a member of another computer's hub sends
  // from an address the system picks, never from 127.0.0.1.
  struct TEnds {
    const wchar_t* Host;
    const wchar_t* Listen;
    const wchar_t* Hub;
    const wchar_t* Bind;
    bool MayBeHub;
  } ends[] = {
      {L"", L"", L"127.0.0.1", L"127.0.0.1", true},
      {L"", L"192.168.1.10", L"192.168.1.10", L"192.168.1.10", true},
      {L"", L"0.0.0.0", L"127.0.0.1", L"0.0.0.0", true},
      {L"192.168.1.10", L"127.0.0.1", L"192.168.1.10", L"0.0.0.0", false},
      {L"192.168.1.10", L"192.168.1.20", L"192.168.1.10", L"192.168.1.20", false},
      {L"127.0.0.2", L"127.0.0.3", L"127.0.0.2", L"127.0.0.3", false},
      {L"127.0.0.2", L"", L"127.0.0.2", L"127.0.0.1", false},
  };
  for (const auto& e : ends) {
    TBusAddresses a;
    ASSERT_TRUE(BusAddressesOf(e.Host, e.Listen, a)) << WideToUtf8(e.Host) << "|" << WideToUtf8(e.Listen);
    EXPECT_EQ(Ip4Text(a.Hub), e.Hub);
    EXPECT_EQ(Ip4Text(a.Bind), e.Bind);
    EXPECT_EQ(a.MayBeHub, e.MayBeHub);
  }
}

// A hub on 127.0.0.2 that allows 127.0.0.1: a member from there joins, one
// from 127.0.0.3 is refused and counted, whatever it sends. Loopback
// addresses only: 127.0.0.2 stands for a network card here.
TEST(NetworkUdp, OpenHubTakesOnlyAllowedMembersAndCountsTheRefused) {
  const int port = FreeUdpPort();
  TInbox hubBox, allowedBox, refusedBox;
  std::mutex noticeMutex;
  std::vector<std::wstring> notices;
  auto hub = TUdpLink::Open(Config(port, L"", L"127.0.0.2", L"127.0.0.1"), hubBox.Sink(), [&](std::wstring text) {
    std::lock_guard lock(noticeMutex);
    notices.push_back(std::move(text));
  });
  ASSERT_TRUE(hub);
  ASSERT_TRUE(hub->IsHub());
  auto allowed = TUdpLink::Open(Config(port, L"127.0.0.2", L""), allowedBox.Sink());
  auto refused = TUdpLink::Open(Config(port, L"127.0.0.2", L"127.0.0.3"), refusedBox.Sink());
  ASSERT_TRUE(allowed && refused);
  EXPECT_FALSE(allowed->IsHub());
  EXPECT_FALSE(refused->IsHub());

  for (auto deadline = std::chrono::steady_clock::now() + 10s; hubBox.Count() == 0;) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the allowed member never got through";
    allowed->Send("from .1");
    hubBox.WaitFor(1, 50ms);
  }
  EXPECT_EQ(hubBox.At(0), "from .1");
  const int refusedFrames = 5;
  for (int i = 0; i < refusedFrames; ++i) refused->Send("from .3");
  // Counted once a second in one line per source address.
  uint64_t counted = 0;
  for (auto deadline = std::chrono::steady_clock::now() + 10s; counted < refusedFrames;) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the refusals were never told";
    hub->Send("to members");
    allowedBox.WaitFor(allowedBox.Count() + 1, 100ms);
    std::lock_guard lock(noticeMutex);
    counted = 0;
    for (const auto& n : notices) {
      const std::wstring head = L"шина UDP 127.0.0.2:" + std::to_wstring(port) + L": отвергнуто датаграмм от 127.0.0.3: ";
      ASSERT_EQ(n.rfind(head, 0), 0u) << WideToUtf8(n);
      counted += std::stoull(n.substr(head.size()));
    }
  }
  EXPECT_GT(allowedBox.Count(), 0u);
  EXPECT_EQ(refusedBox.Count(), 0u);
  for (size_t i = 0; i < hubBox.Count(); ++i) EXPECT_EQ(hubBox.At(i), "from .1");
}
