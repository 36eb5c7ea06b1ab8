// Preloaded into the real program by the live-show benchmark, which plays it on a virtual X
// screen with its real clock. For every pass presented it appends "<frame> <ns>" to
// $TOLVANE_PASS_LOG (the monotonic clock, after the display was flipped), and once the show's
// step counter reaches $TOLVANE_QUIT_AT it asks the program to quit, as closing its window
// does. The program is not changed; its step counter is read through the exported `frame`.
#include <SDL.h>
#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

extern "C" int SDL_Flip(SDL_Surface* surface) {
  static auto real = reinterpret_cast<int (*)(SDL_Surface*)>(dlsym(RTLD_NEXT, "SDL_Flip"));
  static const int* programFrame = static_cast<int*>(dlsym(RTLD_DEFAULT, "frame"));
  static FILE* log = getenv("TOLVANE_PASS_LOG") ? fopen(getenv("TOLVANE_PASS_LOG"), "w") : nullptr;
  static const long quitAt = getenv("TOLVANE_QUIT_AT") ? atol(getenv("TOLVANE_QUIT_AT")) : -1;
  static bool quitting = false;
  const int result = real(surface);
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const int f = programFrame ? *programFrame : -1;
  if (log) fprintf(log, "%d %lld\n", f, now.tv_sec * 1000000000LL + now.tv_nsec);
  if (!quitting && quitAt >= 0 && f >= quitAt) {
    SDL_Event quit;
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    quitting = true;
    if (log) fflush(log);
  }
  return result;
}
