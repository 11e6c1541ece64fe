#include "untNetHandler.h"

TNetCommandHandler::~TNetCommandHandler() { Unbind(); }

void TNetCommandHandler::THandler::operator()(TPloverDriver&, int32_t commandId) const {
  std::unique_lock<std::recursive_mutex> hold;
  if (Lock) hold = std::unique_lock(*Lock);
  Owner->DriverCommand(*Driver, commandId);
}

void TNetCommandHandler::Bind(TDriver& driver) { BindHandler(driver, nullptr); }

void TNetCommandHandler::Bind(TDriver& driver, std::recursive_mutex& lock) { BindHandler(driver, &lock); }

void TNetCommandHandler::BindHandler(TDriver& driver, std::recursive_mutex* lock) {
  if (FDriver && FDriver != &driver) Unbind();
  FDriver = &driver;
  driver.OnCommand = THandler{this, &driver, lock};
}

void TNetCommandHandler::Unbind() {
  if (IsBound()) FDriver->OnCommand = nullptr;
  FDriver = nullptr;
}

bool TNetCommandHandler::IsBound() const {
  if (!FDriver) return false;
  const THandler* bound = FDriver->OnCommand.target<THandler>();
  return bound && bound->Owner == this;
}
