#pragma once
// Shared set-up of the virtual cash register tests: a fresh device, a clock
// whose sleeps cost nothing, and a direct driver.
#include <gtest/gtest.h>

#include <memory>

#include "untDirectDriver.h"
#include "untEcrClock.h"
#include "untEcrDevice.h"

class TEcrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FClock = std::make_shared<ecr::TManualClock>();
    FPrevious = ecr::SetEcrClock(FClock);
    ecr::TVirtualEcr::Shared().Reset();
    Drv = TDirectDriver::Create(Settings());
  }
  void TearDown() override {
    Drv.reset();
    ecr::SetEcrClock(FPrevious);
    ecr::TVirtualEcr::Shared().Reset();
  }
  virtual TEcrSettings Settings() { return {}; }

  std::unique_ptr<TDirectDriver> Drv;
  std::shared_ptr<ecr::TManualClock> FClock;

 private:
  std::shared_ptr<ecr::TEcrClock> FPrevious;
};
