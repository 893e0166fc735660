// The test process's environment, the same way on Linux and Windows.
#pragma once

#include <cstdlib>

// Sets (or, with a null value, removes) a variable.
inline bool SetTestEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    return _putenv_s(name, value ? value : "") == 0;
#else
    return value ? ::setenv(name, value, 1) == 0 : ::unsetenv(name) == 0;
#endif
}

// The SDK's debug output (KELVRA_DEBUG) goes to stderr on Linux, where a test can read it back; on
// Windows it goes to the debugger, and a test checks only what the output was about.
#ifdef _WIN32
inline constexpr bool kDebugOutputOnStderr = false;
#else
inline constexpr bool kDebugOutputOnStderr = true;
#endif
