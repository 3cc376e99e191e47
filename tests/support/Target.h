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
