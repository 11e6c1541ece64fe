#pragma once
// The driver over the virtual cash register called directly, without COM:
// what the native tests of the programs' logic drive.
#include <memory>

#include "Driver.h"
#include "untEcrControl.h"

class TDirectDriver : public TDriver {
 public:
  static std::unique_ptr<TDirectDriver> Create(const TEcrSettings& settings = {});
  ~TDirectDriver() override;

  int32_t LookupName(const std::wstring& name) override;
  // The control itself checks the member and coerces the value.
  void PutById(int32_t dispId, const TVariant& value) override;
  TVariant GetById(int32_t dispId) override;
  int32_t CallById(int32_t dispId) override;

  // What the hidden window of the COM control does on its message loop: raises
  // OnCommand, on the calling thread, for every command that has arrived.
  // Returns how many were raised. Call it on the thread that created the driver.
  int ProcessCommands();
  // Waits up to timeoutMs for a command to arrive, then processes. Returns how
  // many OnCommand calls were made.
  int WaitCommands(int timeoutMs);

  TEcrControl& Control() { return *FControl; }

 private:
  explicit TDirectDriver(const TEcrSettings& settings);

  std::unique_ptr<TEcrControl> FControl;
  struct TSignal;
  std::shared_ptr<TSignal> FSignal;
};

// The direct driver as the programs' driver type.
std::unique_ptr<TDriver> CreateDirectDriver(const TEcrSettings& settings = {});
