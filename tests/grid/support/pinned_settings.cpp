// Every grid test runs with the fixed format settings ('.' decimals, "dd.mm.yyyy", "hh:nn:ss"),
// so that texts of numbers and dates read the same on every machine and locale.
#include <gtest/gtest.h>

#include "framework/Convert.h"

namespace {
class PinnedSettings : public ::testing::Environment {
 public:
  void SetUp() override {
    Saved = FormatSettings;
    FormatSettings = PinnedFormatSettings();
  }
  void TearDown() override { FormatSettings = Saved; }

 private:
  TFormatSettings Saved;
};

[[maybe_unused]] const auto* const Registered = ::testing::AddGlobalTestEnvironment(new PinnedSettings);
}  // namespace
