#pragma once
// Shared set-up of the virtual cash register tests: a fresh device, a clock
// whose sleeps cost nothing, and a direct driver.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

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

// A folder of the running test's own (named after the test and the process),
// removed with everything in it when the test ends.
class TTestDir {
 public:
  explicit TTestDir(const char* prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    FPath = std::filesystem::temp_directory_path() /
            (prefix + std::to_string(getpid()) + "_" + (info ? info->name() : "none"));
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~TTestDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  TTestDir(const TTestDir&) = delete;
  TTestDir& operator=(const TTestDir&) = delete;
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
};
