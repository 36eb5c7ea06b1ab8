// Preloaded after the clock shim into the real program by the memory benchmark. At the first
// pass presented in each photo slot (and at every later 2000 frames) it appends one line
// "<slot> <frame> <VmRSS kB> <VmHWM kB> <RssAnon kB>" to $TOLVANE_RSS_LOG: RssAnon is the
// program's own memory, without the pages of the libraries' files. The program is not changed;
// its step counter is read through the exported symbol `frame`.
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "facts.h"

namespace {

long StatusKb(const char* status, const char* field) {
  const char* at = strstr(status, field);
  return at ? strtol(at + strlen(field), nullptr, 10) : -1;
}

void Record(FILE* log, int slot, int frame) {
  char status[4096] = {};
  if (FILE* in = fopen("/proc/self/status", "r")) {
    const size_t n = fread(status, 1, sizeof status - 1, in);
    status[n] = '\0';
    fclose(in);
  }
  fprintf(log, "%d %d %ld %ld %ld\n", slot, frame, StatusKb(status, "VmRSS:"),
          StatusKb(status, "VmHWM:"), StatusKb(status, "RssAnon:"));
  fflush(log);
}

}  // namespace

extern "C" int SDL_Flip(SDL_Surface* surface) {
  static auto real = reinterpret_cast<int (*)(SDL_Surface*)>(dlsym(RTLD_NEXT, "SDL_Flip"));
  static const int* programFrame = static_cast<int*>(dlsym(RTLD_DEFAULT, "frame"));
  static FILE* log = getenv("TOLVANE_RSS_LOG") ? fopen(getenv("TOLVANE_RSS_LOG"), "w") : nullptr;
  static int lastSlot = -1;
  if (log && programFrame && *programFrame >= kFirstSlot) {
    const int slot = (*programFrame - kFirstSlot) / kSlotLength;
    if (slot != lastSlot) Record(log, slot, *programFrame);
    lastSlot = slot;
  }
  return real(surface);
}
