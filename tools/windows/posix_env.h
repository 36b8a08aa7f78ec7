// setenv and unsetenv for tests built with mingw-w64, whose runtime has only
// _putenv_s. Force-included into the Windows test builds so that tests which
// switch the time zone (setenv("TZ", ...) then tzset()) run unchanged: the
// test executable and wendrake.dll share msvcrt.dll, so the library's mktime
// sees the zone the test sets.
#ifndef WENDRAKE_TOOLS_WINDOWS_POSIX_ENV_H
#define WENDRAKE_TOOLS_WINDOWS_POSIX_ENV_H

#include <stdlib.h>
#include <time.h>

static inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != NULL) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable from the environment.
static inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

#endif  // WENDRAKE_TOOLS_WINDOWS_POSIX_ENV_H
