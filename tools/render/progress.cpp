// The progress line of a long job on standard error: only on a terminal, and only once the job
// has taken a second.
#include <time.h>
#include <unistd.h>

#include "render.h"

// Shown only for work that has taken a second, and redrawn at most four times a second.
static constexpr double kQuietSeconds = 1.0;
static constexpr double kRedrawSeconds = 0.25;

static const char* label = "";
static long total = 0;
static double started = 0, drawn = 0;
static bool shown = false;
static bool terminal = false;

static double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

void ProgressStart(const char* what, long count) {
  label = what;
  total = count;
  started = drawn = Now();
  shown = false;
  terminal = isatty(STDERR_FILENO);
}

void ProgressStep(long done) {
  if (!terminal || total <= 0) return;
  const double now = Now();
  const double spent = now - started;
  if (spent < kQuietSeconds || now - drawn < kRedrawSeconds) return;
  drawn = now;
  shown = true;
  const double rate = done / spent;
  const long left = rate > 0 ? static_cast<long>((total - done) / rate + 0.5) : 0;
  fprintf(stderr, "\r%s: %3ld%%  %4.0f frames/s  %ld:%02ld left ", label, done * 100 / total, rate,
          left / 60, left % 60);
  fflush(stderr);
}

void ProgressEnd() {
  // Clears the line, so that what follows starts on a clean one.
  if (shown) fprintf(stderr, "\r\033[K");
  shown = false;
}
