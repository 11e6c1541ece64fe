#pragma once
// The bus between processes: UDP datagrams, on 127.0.0.1 unless the settings
// open it to other computers (untEcrAddress.h says who may then join).
//
// The first process to bind the hub's address and port becomes the hub; every
// other process binds a free port and says hello to the hub twice a second. The
// hub hands each frame it gets to its own bus and relays it to every other
// member; a member sends its frames to the hub only and takes frames from the
// hub only. When the hub goes away a member of the same computer takes over the
// port within a second, and the others find it by their next hello; a member
// that joined another computer's hub (BusHost) waits for it to come back.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "untEcrAddress.h"

namespace ecr {

struct TUdpConfig {
  uint16_t Port = 0;
  TBusAddresses Addresses;
  std::vector<TAllowRule> Allow;  // BusAllow
};

class TUdpLink {
 public:
  using TDeliver = std::function<void(std::string bytes)>;
  // What the journal should hear of (refused datagrams, counted): runs on the
  // link's thread.
  using TNotice = std::function<void(std::wstring text)>;
  // nullptr when no socket can be opened.
  static std::unique_ptr<TUdpLink> Open(const TUdpConfig& config, TDeliver deliver, TNotice notice = {});
  virtual ~TUdpLink() = default;
  // A frame of this process's bus, to every other process.
  virtual void Send(const std::string& bytes) = 0;
  virtual bool IsHub() = 0;
};

}  // namespace ecr
