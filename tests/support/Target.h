// Which target the test program was built for, so that tests can choose without
// platform conditionals of their own.
#pragma once

#ifdef _WIN32
constexpr bool kWindowsTarget = true;
#else
constexpr bool kWindowsTarget = false;
#endif

#ifdef __linux__
constexpr bool kLinuxTarget = true;
#else
constexpr bool kLinuxTarget = false;
#endif

// AddressSanitizer's runtime of this toolchain does not guard its allocator across fork: a
// child forked while another thread is inside it may wait for ever on that thread's lock.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
