#include "base/joinable_thread_platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <optional>
#include <thread>

namespace updater::platform {
namespace {

// Every bit of the result survives, including a negative run result and the
// value Windows uses for "still running".
TEST(JoinableThreadTest, JoinGivesTheBodysResultOnce) {
  for (const unsigned expected : {0u, 42u, 259u, static_cast<unsigned>(-2)}) {
    JoinableThread thread;
    std::thread::id body_thread;
    ASSERT_TRUE(thread.Start([&] {
      body_thread = std::this_thread::get_id();
      return expected;
    }));
    EXPECT_FALSE(thread.Start([] { return 7u; }));
    EXPECT_EQ(thread.Join(), std::optional<unsigned>(expected));
    EXPECT_NE(body_thread, std::this_thread::get_id());
    EXPECT_EQ(thread.Join(), std::nullopt);
  }
  JoinableThread never_started;
  EXPECT_EQ(never_started.Join(), std::nullopt);
}

TEST(JoinableThreadTest, DestructionWaitsForTheBody) {
  std::latch go(1);
  std::atomic<bool> finished{false};
  {
    JoinableThread thread;
    ASSERT_TRUE(thread.Start([&] {
      go.wait();
      finished = true;
      return 0u;
    }));
    go.count_down();
  }
  EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace updater::platform
