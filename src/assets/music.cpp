// Music is tried before it is trusted: SDL 1.2's converter and the Ogg Vorbis decoder both
// take a stream at its word, and a damaged or odd one can crash them inside the program.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "assets/assets.h"

static constexpr int kMostFilters = 9;  // and the null that closes the list: ten places
// Errors in a row after which the stream is taken as one the mixer cannot get past.
static constexpr int kMostErrorsInARow = 100;

int RateSteps(int rate, int toRate) {
  if (rate <= 0 || toRate <= 0 || rate / kRateGrain == toRate / kRateGrain) return 0;
  long long low = rate < toRate ? rate : toRate;
  const long long high = rate < toRate ? toRate : rate;
  int steps = 0;  // at most 31: doubling from 1 passes any int
  for (; low * 2 / kRateGrain <= high / kRateGrain; low *= 2) ++steps;
  return steps;
}

bool ConverterReaches(int channels, long rate, int toChannels, int toRate, char* why,
                      size_t whySize) {
  // The filters SDL_BuildAudioCVT picks from 16-bit samples to 16-bit samples, in its order.
  int filters = 0, c = channels;
  if (c == 1 && toChannels > 1) ++filters, c = 2;
  while (c > 0 && c * 2 <= toChannels) ++filters, c *= 2;
  if (c == 6 && toChannels <= 2) ++filters, c = 2;
  while (c > 0 && c % 2 == 0 && c / 2 >= toChannels) ++filters, c /= 2;
  const bool rateOk = rate > 0 && rate <= INT_MAX;
  if (rateOk) filters += RateSteps(static_cast<int>(rate), toRate);
  if (c == toChannels && rateOk && filters <= kMostFilters) return true;
  if (c != toChannels)
    snprintf(why, whySize, "it has %d channels, which SDL 1.2 cannot mix down to %d", channels,
             toChannels);
  else
    snprintf(why, whySize, "it is sampled at %ld Hz, beyond what SDL 1.2 can convert to %d Hz",
             rate, toRate);
  return false;
}

static bool IsOggFile(const char* path) {
  FILE* file = IsSpecialFile(path) ? nullptr : fopen(path, "rb");
  char magic[4] = {};
  const bool read = file && fread(magic, 1, sizeof magic, file) == sizeof magic;
  if (file) fclose(file);
  return read && memcmp(magic, "OggS", 4) == 0;
}

// The child's trial: the whole stream decoded as the mixer decodes it, each section's format
// checked as it comes. Writes the reason of a refusal to `to`; exit status 0 when the stream is
// good.
[[noreturn]] static void TryInChild(const char* path, int toChannels, int toRate, int to) {
  // The child must die of a crash, not run the parent's handlers (SDL's parachute).
  for (int s : {SIGSEGV, SIGFPE, SIGBUS, SIGILL, SIGABRT, SIGINT, SIGTERM, SIGHUP})
    signal(s, SIG_DFL);
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  char why[240] = "";
  OggVorbis_File vorbis;
  // Opened first as the mixer opens it, for seeking, which reads the headers of every section
  // at once: damage there fails the load where a read from the top would not. Here, in the
  // child, the memory that takes for a chained file is no one else's.
  const bool seekable = ov_fopen(path, &vorbis) == 0;
  if (seekable) ov_clear(&vorbis);
  // Then read as a stream, a section at a time, as the sound is decoded.
  FILE* file = seekable ? fopen(path, "rb") : nullptr;
  if (!file || ov_open_callbacks(file, &vorbis, nullptr, 0, OV_CALLBACKS_STREAMONLY) != 0) {
    snprintf(why, sizeof why, "damaged Ogg Vorbis data");
  } else {
    static char data[4096];
    int section = 0, errors = 0;
    for (long got = 1; !why[0] && got != 0;) {
      got = ov_read(&vorbis, data, sizeof data, 0, 2, 1, &section);
      errors = got < 0 ? errors + 1 : 0;
      const vorbis_info* info = got > 0 ? ov_info(&vorbis, -1) : nullptr;
      if (info) ConverterReaches(info->channels, info->rate, toChannels, toRate, why, sizeof why);
      if (errors == kMostErrorsInARow) snprintf(why, sizeof why, "damaged Ogg Vorbis data");
    }
    ov_clear(&vorbis);
  }
  const bool sent = write(to, why, sizeof why) == sizeof why;
  _exit(sent && !why[0] ? 0 : 1);
}

bool TryMusic(const char* path, int toChannels, int toRate, Uint32 ms, char* why, size_t whySize) {
  if (!IsOggFile(path)) return true;
  int ends[2];
  if (pipe(ends) != 0) {
    snprintf(why, whySize, "it cannot be tried: %s", strerror(errno));
    return false;
  }
  fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    TryInChild(path, toChannels, toRate, ends[1]);
  }
  close(ends[1]);
  int status = 0;
  bool ended = false;
  for (Uint32 waited = 0; child > 0 && !ended && waited < ms; waited += 5) {
    ended = waitpid(child, &status, WNOHANG) == child;
    if (!ended) usleep(5000);
  }
  if (child > 0 && !ended) {
    // Sound so far, and a stream is played no further than the show lasts: trusted.
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    close(ends[0]);
    return true;
  }
  char answer[240] = "";
  const bool got = child > 0 && read(ends[0], answer, sizeof answer) == sizeof answer;
  close(ends[0]);
  answer[sizeof answer - 1] = 0;
  if (got && WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (got && answer[0])
    snprintf(why, whySize, "%s", answer);
  else if (child < 0)
    snprintf(why, whySize, "it cannot be tried: %s", strerror(errno));
  else if (WIFSIGNALED(status))
    snprintf(why, whySize, "the Ogg Vorbis decoder crashes on it (%s)",
             strsignal(WTERMSIG(status)));
  else
    snprintf(why, whySize, "the Ogg Vorbis decoder fails on it");
  return false;
}
