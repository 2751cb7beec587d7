// The GUI's single-instance rule on Windows: the named mutex, here without the GUI around it.
#include <gtest/gtest.h>

#include "app/single_instance_lock.h"

namespace veltra::app {
namespace {

using Result = SingleInstanceLock::Result;

TEST(Win32SingleInstance, OneHolderAtATimeAndFreeAgainOnRelease) {
  constexpr char kName[] = "TR7731 Configuration Tool test ";
  SingleInstanceLock first;
  SingleInstanceLock second;
  ASSERT_EQ(first.Acquire(kName), Result::kAcquired);
  EXPECT_TRUE(first.Held());
  EXPECT_EQ(second.Acquire(kName), Result::kAlreadyRunning);
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_FALSE(first.Held());
  EXPECT_EQ(second.Acquire(kName), Result::kAcquired);
  // Another name is another lock.
  EXPECT_EQ(first.Acquire("another tool"), Result::kAcquired);
}

}  // namespace
}  // namespace veltra::app
