#pragma once
// Addresses of the UDP bus and who may join it.
//
// The bus is closed by default: its hub listens on 127.0.0.1 and hears only
// this computer. A hub listening on any other address (a network card's, or
// 0.0.0.0 for all of them) is open, and then takes datagrams only from this
// computer itself (its own listening address; 127.0.0.1 when it listens on
// all addresses) and from the addresses that BusAllow lists. Everything else
// is refused and counted.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ecr {

// IPv4 addresses in host order.
constexpr uint32_t kIp4Loopback = 0x7F000001;  // 127.0.0.1
constexpr uint32_t kIp4Any = 0;                // 0.0.0.0

// 127.x.x.x: an address only this computer sends from.
inline bool IsLoopbackNet(uint32_t address) { return (address >> 24) == 127; }

// Four decimal numbers 0..255 separated by dots, nothing else.
bool ParseIp4(std::wstring_view text, uint32_t& address);
std::wstring Ip4Text(uint32_t address);

// An allowed address, or a network given as address/prefix length.
struct TAllowRule {
  uint32_t Network;
  uint32_t Mask;
};
// Entries separated by commas, semicolons or blanks: "192.168.1.20,
// 10.0.2.0/24". False with the first entry that is neither when one is not.
bool ParseAllowList(std::wstring_view text, std::vector<TAllowRule>& rules, std::wstring& badEntry);

// Where a process's end of the UDP bus is, from its settings.
struct TBusAddresses {
  uint32_t Hub = kIp4Loopback;     // where the hub is reached
  uint32_t Bind = kIp4Loopback;    // the hub's socket, or a member's (port 0)
  bool MayBeHub = true;            // false: BusHost names the hub to join
};

// BusHost (empty: the hub is on this computer, at BusListen) and BusListen
// (empty: 127.0.0.1). False when either is not an address.
bool BusAddressesOf(std::wstring_view host, std::wstring_view listen, TBusAddresses& out);

// The hub's rule for a datagram's source address.
class TBusAccess {
 public:
  TBusAccess(uint32_t listen, std::vector<TAllowRule> allow) : FListen(listen), FAllow(std::move(allow)) {}
  // The hub listens on something else than 127.0.0.1.
  bool IsOpen() const { return FListen != kIp4Loopback; }
  bool Admits(uint32_t source) const;

 private:
  uint32_t FListen;
  std::vector<TAllowRule> FAllow;
};

}  // namespace ecr
