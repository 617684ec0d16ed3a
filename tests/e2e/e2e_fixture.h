// End-to-end tests run once per leg (native, Wine), and the update
// scenarios once more with the server over SMB; a setting this machine can't
// run is skipped with its reason.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "e2e/world.h"

class OnEachLeg : public testing::TestWithParam<Setting> {
 protected:
  void SetUp() override {
    if (std::optional<std::string> reason = SettingUnavailable(GetParam())) GTEST_SKIP() << *reason;
    world_.emplace(GetParam().leg, GetParam().served);
  }
  World& world() { return *world_; }
  bool OnWine() const { return GetParam().leg == Leg::Wine; }
  // The program's file name as the escaped-error report shows it.
  std::string ModuleName() const { return OnWine() ? "rud.exe" : "rud"; }

 private:
  std::optional<World> world_;
};

#define RUD_IN_SETTINGS(suite, ...)                                         \
  INSTANTIATE_TEST_SUITE_P(Legs, suite, testing::Values(__VA_ARGS__),          \
                           [](const testing::TestParamInfo<Setting>& info) {   \
                             return SettingName(info.param);                   \
                           })
#define RUD_ON_EACH_LEG(suite) RUD_IN_SETTINGS(suite, Leg::Native, Leg::Wine)
