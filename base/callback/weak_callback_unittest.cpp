#include "base/callback/weak_callback.h"

#include <memory>

#include <gtest/gtest.h>

namespace base {
namespace {

class Owner : public SupportWeakCallback {};

// A callback made from a destroyed owner does nothing and answers false.
TEST(WeakCallbackTest, DeadOwnerIsSkipped) {
  auto owner = std::make_unique<Owner>();
  int calls = 0;
  auto callback = owner->MakeWeak([&calls] { return ++calls > 0; });
  EXPECT_TRUE(callback());
  owner.reset();
  EXPECT_FALSE(callback());
  EXPECT_EQ(1, calls);
  EXPECT_TRUE(callback.Expired());
}

// Cancel kills earlier callbacks only; AliveFlag is stable within a
// generation; HasUsed tells whether callbacks of the current one exist.
TEST(WeakCallbackTest, CancelStartsNewGeneration) {
  WeakCallbackFlag flag;
  EXPECT_FALSE(flag.HasUsed());
  EXPECT_FALSE(flag.HasUsed()) << "asking made a flag";
  int calls = 0;
  auto before = flag.MakeWeak([&calls] { ++calls; });
  EXPECT_TRUE(flag.HasUsed());
  EXPECT_EQ(flag.AliveFlag().lock(), flag.AliveFlag().lock());
  flag.Cancel();
  EXPECT_FALSE(flag.HasUsed());
  auto after = flag.MakeWeak([&calls] { calls += 10; });
  before();
  after();
  EXPECT_EQ(10, calls);
}

// Arguments pass through and results of other types are value-initialised.
TEST(WeakCallbackTest, ForwardsArgumentsAndDefaultsResult) {
  auto owner = std::make_unique<Owner>();
  auto add = owner->MakeWeak([](int a, int b) { return a + b; });
  EXPECT_EQ(5, add(2, 3));
  owner.reset();
  EXPECT_EQ(0, add(2, 3));
}

}  // namespace
}  // namespace base
