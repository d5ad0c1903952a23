// Every test of this suite runs under a locale whose decimal point is ",":
// the numbers on the wire must not change with it.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/test_support.h"

namespace ORV::Test {
namespace {

class CommaLocaleEverywhere : public ::testing::Environment {
 public:
  void SetUp() override { locale_ = std::make_unique<CommaLocale>(); }
  void TearDown() override { locale_.reset(); }

 private:
  std::unique_ptr<CommaLocale> locale_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new CommaLocaleEverywhere);

}  // namespace
}  // namespace ORV::Test
