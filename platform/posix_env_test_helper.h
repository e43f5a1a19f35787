// Test hook of the POSIX Env: makes the names of temporary files predictable, so that a test can
// plant something at the name the next MakeTempFile will try first.
#ifndef TELBOOK_PLATFORM_POSIX_ENV_TEST_HELPER_H_
#define TELBOOK_PLATFORM_POSIX_ENV_TEST_HELPER_H_

namespace telbook {

class PosixEnvTestHelper {
 public:
  // The next temporary name tried is <dir><prefix><unique as 8 upper-case hex digits>.tmp.
  static void SetNextTempUnique(unsigned unique);
};

}  // namespace telbook

#endif  // TELBOOK_PLATFORM_POSIX_ENV_TEST_HELPER_H_
