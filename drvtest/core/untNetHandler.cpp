#include "untNetHandler.h"

TNetCommandHandler::~TNetCommandHandler() { Unbind(); }

void TNetCommandHandler::Bind(TDriver& driver) {
  if (FDriver && FDriver != &driver) Unbind();
  FDriver = &driver;
  driver.OnCommand = THandler{this, &driver};
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
