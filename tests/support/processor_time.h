// The processor time the test process has used, for tests that check that a wait does not spin.
#pragma once

namespace kes::test {

// User and system time of all the process's threads so far, in seconds. (std::clock gives that
// on POSIX hosts but the time since the program started on Windows.)
double processor_seconds();

}  // namespace kes::test
