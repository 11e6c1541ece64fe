#pragma once
// The loopback bus between processes: UDP datagrams on 127.0.0.1.
//
// The first process to bind the bus port becomes the hub; every other process
// binds an ephemeral port and says hello to the hub twice a second. The hub
// hands each frame it gets to its own bus and relays it to every other member;
// a member sends its frames to the hub only. When the hub goes away a member
// takes over the port within a second, and the others find it by their next
// hello.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ecr {

class TUdpLink {
 public:
  using TDeliver = std::function<void(std::string bytes)>;
  // nullptr when no socket can be opened on the port.
  static std::unique_ptr<TUdpLink> Open(int32_t port, TDeliver deliver);
  virtual ~TUdpLink() = default;
  // A frame of this process's bus, to every other process.
  virtual void Send(const std::string& bytes) = 0;
  virtual bool IsHub() = 0;
};

}  // namespace ecr
