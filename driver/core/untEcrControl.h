#pragma once
// One driver control's state over the virtual cash register: what the COM
// shell of PloverDrv.dll and the direct driver of the native tests both wrap.
// Every member is safe to call from several threads at once.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "untVariant.h"

// DeskAddress: the desk sends to the control's own SrcAddress, whatever it is.
constexpr int32_t kDeskToOwnAddress = -1;

// Settings of the control, kept by the Windows shell in the registry and
// edited in its settings dialog.
struct TEcrSettings {
  int32_t SrcAddress = 1;        // this station's own address
  int32_t DstAddress = 2;        // default destination (the virtual cash register)
  int32_t Timeout = 1000;        // ms
  int32_t BusKind = 0;           // 0 in-process bus, 1 UDP loopback
  int32_t BusPort = 47300;       // UDP port of the loopback bus
  bool VirtualEcr = true;        // a virtual cash register station answers requests
  bool VirtualDesk = false;      // a virtual cash desk sends requests by its scenario
  int32_t DeskInterval = 5000;   // ms between scenario requests
  // Where the desk sends its requests: 0..255, or kDeskToOwnAddress for this
  // station's own SrcAddress (then the programs take them as meant for them).
  int32_t DeskAddress = kDeskToOwnAddress;
  std::wstring FaultMethod;      // method that fails, empty for none
  int32_t FaultCode = 0;         // code it fails with
  int32_t FaultEvery = 0;        // every Nth call (0: never, 1: always)
  int32_t LinkLatency = 0;       // ms added to every device call
  bool DeviceNotAnswering = false;
  // The exchange journal: the file lines are appended to (empty: none), and
  // its size in KB past which it is renamed to "<name>.1" (0: never).
  std::wstring JournalFile;
  int32_t JournalMaxKB = 10240;
  // The UDP bus beyond this computer: the hub to join (empty: this
  // computer's), the address a hub here listens on, who else may join it.
  std::wstring BusHost;
  std::wstring BusListen = L"127.0.0.1";
  std::wstring BusAllow;
  // A line that misbehaves: what happens (a keyword of untEcrLinkFaults.h,
  // empty for nothing) to every BusFaultEvery-th frame (0: none) a station of
  // this control takes in, and how long a delayed frame is held back (ms).
  std::wstring BusFault;
  int32_t BusFaultEvery = 0;
  int32_t BusFaultDelay = 500;
  // What the desks play (empty: the built-in scenario; a scenario file or an
  // exchange journal), how many there are from which address, and their pace:
  // 0 the interval and the file's pauses or a journal's recorded spacing,
  // 1 each request as soon as the one before is answered.
  std::wstring DeskScenario;
  int32_t DeskCount = 1;
  int32_t DeskFirstAddress = 3;
  int32_t DeskReplayPace = 0;
};

// Desks take the station addresses DeskFirstAddress .. +DeskCount-1.
constexpr int32_t kMaxDeskCount = 250;

// Refuses a value a setting cannot take (an address that is none, a size out
// of range) with EOleError and a text for the user; the settings dialog asks
// before it applies anything.
void CheckSettingValue(int32_t dispId, const TVariant& value);
// The desks' addresses together: empty when DeskCount desks from
// DeskFirstAddress all have an address, else the text for the user.
std::wstring DeskRangeError(int32_t firstAddress, int32_t count);

class TEcrControl {
 public:
  static std::unique_ptr<TEcrControl> Create(const TEcrSettings& settings = {});
  virtual ~TEcrControl() = default;

  // Property put and get by dispatch identifier. Put coerces a value of
  // another type to the property's declared type as automation would (the
  // COM shell hands it the declared type already); an unknown identifier or a
  // read-only property throws EOleError.
  virtual void Put(int32_t dispId, const TVariant& value) = 0;
  virtual TVariant Get(int32_t dispId) = 0;
  // Method call by dispatch identifier; returns the result code and leaves
  // ResultCode / ResultCodeDescription set.
  virtual int32_t Call(int32_t dispId) = 0;

  // Received commands. Notify runs on a network thread whenever a command has
  // been queued; the owner then calls TakeArrived on its own thread and raises
  // OnCommand for each identifier. TakeArrived returns nothing while a
  // SendCommand of this control is waiting.
  virtual void SetArrivedNotify(std::function<void()> notify) = 0;
  virtual std::vector<int32_t> TakeArrived() = 0;

  virtual TEcrSettings Settings() = 0;
  virtual void ApplySettings(const TEcrSettings& settings) = 0;
  // Each virtual cash desk sends its next scenario request now.
  virtual void SendDeskRequest() = 0;
};
