// The host's clocks on Windows, against the host's own calls.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/clock/clock_host.h"

namespace kes::platform::host {
namespace {

TEST(ClockHostWin32, LocalFieldsAreTheHostsLocalTime) {
  SYSTEMTIME before{};
  ::GetLocalTime(&before);
  LocalFields fields{};
  ASSERT_TRUE(local_fields(fields));
  // Read within the same minute unless the minute turned between the two calls.
  SYSTEMTIME after{};
  ::GetLocalTime(&after);
  EXPECT_TRUE(fields.year == before.wYear || fields.year == after.wYear);
  EXPECT_TRUE(fields.minute == before.wMinute || fields.minute == after.wMinute);
  EXPECT_LE(fields.hundredths, 99u);
  EXPECT_LE(fields.second, 59u);
}

TEST(ClockHostWin32, MonotonicCountAdvancesWithSleep) {
  const std::int64_t start = monotonic_nanoseconds();
  ::Sleep(50);
  const std::int64_t end = monotonic_nanoseconds();
  // At least 40 ms (the host's timer may round a little), and not a whole minute.
  EXPECT_GE(end - start, 40'000'000);
  EXPECT_LT(end - start, 60'000'000'000);
}

}  // namespace
}  // namespace kes::platform::host
