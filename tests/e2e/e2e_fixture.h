// End-to-end tests run once per leg (native, Wine); a leg this machine can't
// run is skipped with its reason.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "e2e/world.h"

class OnEachLeg : public testing::TestWithParam<Leg> {
 protected:
  void SetUp() override {
    if (std::optional<std::string> reason = LegUnavailable(GetParam())) GTEST_SKIP() << *reason;
    world_.emplace(GetParam());
  }
  World& world() { return *world_; }
  bool OnWine() const { return GetParam() == Leg::Wine; }
  // The program's file name as the escaped-error report shows it.
  std::string ModuleName() const { return OnWine() ? "rud.exe" : "rud"; }

 private:
  std::optional<World> world_;
};

#define RUD_ON_EACH_LEG(suite)                                                        \
  INSTANTIATE_TEST_SUITE_P(Legs, suite, testing::Values(Leg::Native, Leg::Wine),    \
                           [](const testing::TestParamInfo<Leg>& info) { return LegName(info.param); })
