#pragma once
// The base of the two pages that handle commands arriving from the network.
// Only the page on show handles them: it binds the driver's OnCommand when it
// is shown and unbinds it when it is hidden. The page host shows the new page
// before it hides the old one, so unbinding clears the event only while it
// still holds this object's handler; a page being hidden never takes the
// event away from the page just shown.
#include <cstdint>
#include <mutex>

#include "Driver.h"

class TNetCommandHandler {
 public:
  TNetCommandHandler() = default;
  TNetCommandHandler(const TNetCommandHandler&) = delete;
  TNetCommandHandler& operator=(const TNetCommandHandler&) = delete;
  // Unbinds; the driver must still exist if the handler is bound.
  virtual ~TNetCommandHandler();

  // The received command's handling, in the order the page requires.
  virtual void DriverCommand(TDriver& driver, int32_t commandId) = 0;

  // OnCommand := this object's handler, replacing whatever was bound.
  void Bind(TDriver& driver);
  // The same, with the handling done under the lock the program's other
  // driver sequences take: the event comes in the middle of the window's
  // work, and a background reading must never see the properties changed
  // half-way through its own sequence.
  void Bind(TDriver& driver, std::recursive_mutex& lock);
  // OnCommand := none, if it still holds this object's handler.
  void Unbind();
  // Whether the driver's event currently calls this object.
  bool IsBound() const;

 private:
  struct THandler {
    TNetCommandHandler* Owner;
    TDriver* Driver;
    std::recursive_mutex* Lock;  // none: the handling takes no lock
    void operator()(TPloverDriver&, int32_t commandId) const;
  };
  void BindHandler(TDriver& driver, std::recursive_mutex* lock);
  TDriver* FDriver = nullptr;
};
