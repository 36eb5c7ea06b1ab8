// How a tool says what went wrong, and which version it is.
#include <cstdarg>

#include "common.h"

static void Say(const char* program, const char* format, va_list args) {
  fprintf(stderr, "%s: ", program);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
}

bool Fail(const char* program, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Say(program, format, args);
  va_end(args);
  return false;
}

bool FailUsage(const char* program, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Say(program, format, args);
  va_end(args);
  fprintf(stderr, "Try '%s --help'.\n", program);
  return false;
}

void PrintVersion(const char* program) {
  printf("%s %s\n", program, TOLVANE_VERSION);
}
