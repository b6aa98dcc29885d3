// The check of the user-interface thread ends the process with a report, and
// without a message box, when a function meant for that thread runs elsewhere.
#include "base/thread_checks.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(ThreadChecksDeathTest, ACallOffTheUiThreadEndsTheProcessWithAReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SetUiThread();
  ExpectUiThread();
  EXPECT_EXIT(
      {
        std::thread other([] { ExpectUiThread(); });
        other.join();
      },
      ::testing::ExitedWithCode(134), "runs off the user-interface thread");
}

}  // namespace
