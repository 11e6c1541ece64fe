// The load of a shop on the UDP bus, in two processes: this one runs many
// virtual cash desks, each at its own address sending its requests at its own
// jittered interval; a copy of it answers them through the driver's ordinary
// calls (GetCommand, ParseCommand, SendCommand), as a program answering cash
// registers does. Reports every request's round trip and what went wrong.
//
//   bench_desks_udp [desks [requests a second per desk [seconds [port]]]]
//   (default 50 desks, 10 a second, 20 seconds, port 47392)
//
// Goals: none lost, none answered twice, none repeated; round trip p50 and
// p99 reported.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "untDirectDriver.h"
#include "untEcrBus.h"
#include "untEcrScenario.h"
#include "untEcrStations.h"

namespace {

constexpr int kAnswererAddress = 1;
constexpr int kFirstDesk = 3;

// The answering process: answers every request meant for it until its stop
// pipe closes, then reports how many requests and repeats it saw.
int Answerer(int port, int readyFd, int stopFd) {
  TEcrSettings s;
  s.SrcAddress = kAnswererAddress;
  s.BusKind = ecr::kBusUdp;
  s.BusPort = port;
  s.VirtualEcr = false;
  auto drv = TDirectDriver::Create(s);
  long requests = 0, repeats = 0;
  drv->OnCommand = [&](TPloverDriver& d, int32_t id) {
    d.set_CommandID(id);
    if (d.GetCommand() != 0 || d.ParseCommand() != 0) return;
    if (d.get_CommandType() != 0 || d.get_CommandDstAddress() != kAnswererAddress) return;
    ++requests;
    if (d.get_CommandRepeated()) ++repeats;
    d.set_WaitAnswer(false);
    d.set_CommandType(1);
    d.set_CommandResultCode(0);
    d.set_CommandDstAddress(d.get_CommandSrcAddress());
    d.set_CommandSrcAddress(kAnswererAddress);
    d.SendCommand();
  };
  if (write(readyFd, "r", 1) != 1) return 1;
  for (;;) {
    drv->WaitCommands(20);
    pollfd p{stopFd, POLLIN, 0};
    if (poll(&p, 1, 0) > 0) break;
  }
  drv->WaitCommands(200);
  const std::string counts = std::to_string(requests) + " " + std::to_string(repeats);
  return write(readyFd, counts.data(), counts.size()) == static_cast<ssize_t>(counts.size()) ? 0 : 1;
}

double Percentile(std::vector<int64_t>& v, double p) {
  if (v.empty()) return 0;
  size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
  std::nth_element(v.begin(), v.begin() + static_cast<ptrdiff_t>(i), v.end());
  return static_cast<double>(v[i]) / 1000.0;
}

}  // namespace

int main(int argc, char** argv) {
  // The numbers given; options of the benchmark library (./dev bench passes
  // them to every benchmark) are not ours.
  std::vector<const char*> args;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--", 2) != 0) args.push_back(argv[i]);
  auto arg = [&](size_t i, int otherwise) { return args.size() > i ? std::atoi(args[i]) : otherwise; };
  const int desks = arg(0, 50);
  const int rate = arg(1, 10);
  const int seconds = arg(2, 20);
  const int port = arg(3, 47392);
  if (desks < 1 || kFirstDesk + desks - 1 > 255 || rate < 1 || rate > 100 || seconds < 1) {
    std::fprintf(stderr, "usage: bench_desks_udp [desks 1..253 [requests a second 1..100 [seconds [port]]]]\n");
    return 2;
  }
  int ready[2], stop[2];
  if (pipe(ready) || pipe(stop)) return 1;
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    close(stop[1]);
    std::exit(Answerer(port, ready[1], stop[0]));
  }
  close(ready[1]);
  close(stop[0]);
  char c;
  if (read(ready[0], &c, 1) != 1) {
    std::fprintf(stderr, "the answering process did not start\n");
    return 1;
  }

  // The answerer holds the port: this process joins its hub as a member.
  int32_t rc;
  auto bus = ecr::TBus::Open({ecr::kBusUdp, port, L"", L"127.0.0.1", L""}, rc);
  if (!bus) {
    std::fprintf(stderr, "the UDP bus did not open: %d\n", rc);
    return 1;
  }
  // The built-in scenario without its deliberately lost answer.
  auto plan = std::make_shared<ecr::TDeskPlan>(*ecr::BuiltInDeskPlan());
  for (auto& step : plan->Steps) step.LoseFirstAnswer = false;

  std::mutex mutex;
  std::vector<int64_t> roundTrips;
  roundTrips.reserve(static_cast<size_t>(desks) * rate * (seconds + 2));
  std::vector<std::unique_ptr<ecr::TVirtualDesk>> all;
  const int64_t interval = 1000 / rate;
  for (int i = 0; i < desks; ++i) {
    auto desk = std::make_unique<ecr::TVirtualDesk>(
        bus, [] { return ecr::TVirtualDesk::TTarget{kAnswererAddress, 1000}; },
        static_cast<uint8_t>(kFirstDesk + i), plan);
    desk->SetRoundTrip([&](int64_t us) {
      std::lock_guard lock(mutex);
      roundTrips.push_back(us);
    });
    all.push_back(std::move(desk));
  }
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < desks; ++i) all[i]->Start(interval, ecr::kDeskPaceRecorded, interval * i / desks, desks > 1);
  std::this_thread::sleep_until(started + std::chrono::seconds(seconds));
  for (auto& desk : all) desk->Stop();
  const double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // Answers still on their way; a request unanswered by now is repeated or lost.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));

  ecr::TVirtualDesk::TStats total;
  for (auto& desk : all) {
    auto s = desk->Stats();
    total.Sent += s.Sent;
    total.Repeated += s.Repeated;
    total.Answered += s.Answered;
    total.Unanswered += s.Unanswered;
    total.AnsweredTwice += s.AnsweredTwice;
  }
  all.clear();
  bus.reset();
  close(stop[1]);
  int status = 0;
  waitpid(child, &status, 0);
  char counts[64] = {};
  long heard = -1, heardRepeats = -1;
  if (read(ready[0], counts, sizeof counts - 1) > 0) std::sscanf(counts, "%ld %ld", &heard, &heardRepeats);

  std::lock_guard lock(mutex);
  const size_t answered = roundTrips.size();
  std::printf("desks %d, %d requests a second each, %.1f s: sent %d (repeats %d), answered %d, "
              "unanswered %d, answered twice %d; %.0f requests a second in all\n",
              desks, rate, ran, total.Sent, total.Repeated, total.Answered, total.Unanswered, total.AnsweredTwice,
              static_cast<double>(total.Sent) / ran);
  const double p50 = Percentile(roundTrips, 0.50), p99 = Percentile(roundTrips, 0.99),
               max = Percentile(roundTrips, 1.0);
  std::printf("the answering process: requests %ld, repeats among them %ld\n", heard, heardRepeats);
  std::printf("round trip over %zu answers: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", answered, p50, p99, max);
  const bool ok = total.Repeated == 0 && total.Unanswered == 0 && total.AnsweredTwice == 0 &&
                  total.Answered == total.Sent && heard == total.Sent && heardRepeats == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  std::printf("%s\n", ok ? "goal met: none lost, none answered twice" : "GOAL MISSED");
  return ok ? 0 : 1;
}
