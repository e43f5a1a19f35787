// Test hooks of the POSIX Env: predictable names of temporary files, so that a test can plant
// something at the name the next MakeTempFile will try first; and a kernel that refuses to copy
// files, so that a test can reach the copy that works everywhere.
#ifndef TELBOOK_PLATFORM_POSIX_ENV_TEST_HELPER_H_
#define TELBOOK_PLATFORM_POSIX_ENV_TEST_HELPER_H_

namespace telbook {

class PosixEnvTestHelper {
 public:
  // The next temporary name tried is <dir><prefix><unique as 8 upper-case hex digits>.tmp.
  static void SetNextTempUnique(unsigned unique);
  // While error is nonzero, CopyFile sees the kernel's copy fail with it, as a kernel or file
  // system without that copy would; 0 lets the kernel copy again.
  static void SetKernelCopyRefusal(int error);
};

}  // namespace telbook

#endif  // TELBOOK_PLATFORM_POSIX_ENV_TEST_HELPER_H_
