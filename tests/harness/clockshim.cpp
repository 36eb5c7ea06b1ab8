// Preloaded into the real tolvane by the end-to-end tests (LD_PRELOAD): replaces SDL's tick
// counter by a controlled clock, injects key and window events at chosen frames or times, and
// saves the screen at chosen frames. The program itself is not changed; the shim reads its
// step counter through the exported symbol `frame`.
//
// Environment:
//   TOLVANE_PASS_MS   comma-separated milliseconds that each tick read by the program advances
//                     the clock, used in turn (default 40: four steps per pass)
//   TOLVANE_CAPTURE   comma-separated frames; the screen presented at each is saved as
//                     $TOLVANE_CAPTURE_DIR/frame-<F>.bmp (the clock slows to one step per pass
//                     near them)
//   TOLVANE_EVENTS    comma-separated events "f<frame>:<what>" or "t<ms>:<what>", what being
//                     esc, p, x (another key) or quit; each is delivered once, in order
//   TOLVANE_SHIM_LOG  file that receives one line per presented frame: "<frame> <ms>"
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct ScriptedEvent {
  bool byTime;  // else by frame
  long when;
  SDL_Event event;
};

std::vector<int> passMs;
size_t nextPassMs = 0;
std::vector<int> captures;
size_t nextCapture = 0;
std::vector<ScriptedEvent> events;
size_t nextEvent = 0;
Uint32 now = 0;
int* programFrame = nullptr;
void* programBase = nullptr;
FILE* shimLog = nullptr;
bool ready = false;

std::vector<long> Numbers(const char* text) {
  std::vector<long> out;
  while (text && *text) {
    char* rest;
    out.push_back(strtol(text, &rest, 10));
    text = *rest == ',' ? rest + 1 : nullptr;
  }
  return out;
}

SDL_Event KeyEvent(SDLKey key) {
  SDL_Event e = {};
  e.type = SDL_KEYDOWN;
  e.key.type = SDL_KEYDOWN;
  e.key.state = SDL_PRESSED;
  e.key.keysym.sym = key;
  return e;
}

void ParseEvents(const char* text) {
  while (text && *text) {
    ScriptedEvent s = {};
    s.byTime = *text == 't';
    char* rest;
    s.when = strtol(text + 1, &rest, 10);
    const char* what = rest + 1;
    if (strncmp(what, "esc", 3) == 0) s.event = KeyEvent(SDLK_ESCAPE);
    else if (strncmp(what, "p", 1) == 0) s.event = KeyEvent(SDLK_p);
    else if (strncmp(what, "quit", 4) == 0) s.event.type = SDL_QUIT;
    else s.event = KeyEvent(SDLK_x);
    events.push_back(s);
    text = strchr(what, ',');
    if (text) text++;
  }
}

void SetUp() {
  if (ready) return;
  ready = true;
  programFrame = static_cast<int*>(dlsym(RTLD_DEFAULT, "frame"));
  Dl_info info;
  if (!programFrame || !dladdr(programFrame, &info)) {
    fprintf(stderr, "clockshim: the program exports no `frame`\n");
    abort();
  }
  programBase = info.dli_fbase;
  for (long ms : Numbers(getenv("TOLVANE_PASS_MS"))) passMs.push_back(static_cast<int>(ms));
  if (passMs.empty()) passMs.push_back(40);
  for (long f : Numbers(getenv("TOLVANE_CAPTURE"))) captures.push_back(static_cast<int>(f));
  ParseEvents(getenv("TOLVANE_EVENTS"));
  if (const char* path = getenv("TOLVANE_SHIM_LOG")) shimLog = fopen(path, "w");
}

bool CalledByProgram(void* returnAddress) {
  Dl_info info;
  return dladdr(returnAddress, &info) && info.dli_fbase == programBase;
}

// Near a capture frame the clock advances one step per read, so that frame is drawn.
Uint32 Advance() {
  const int ms = passMs[nextPassMs];
  nextPassMs = (nextPassMs + 1) % passMs.size();
  if (nextCapture < captures.size() && ms >= 10 * (captures[nextCapture] - *programFrame))
    return 10;
  return ms;
}

}  // namespace

extern "C" Uint32 SDL_GetTicks(void) {
  SetUp();
  if (CalledByProgram(__builtin_return_address(0))) now += Advance();
  return now;
}

extern "C" int SDL_PollEvent(SDL_Event* event) {
  SetUp();
  static auto real = reinterpret_cast<int (*)(SDL_Event*)>(dlsym(RTLD_NEXT, "SDL_PollEvent"));
  if (nextEvent < events.size()) {
    const ScriptedEvent& s = events[nextEvent];
    if ((s.byTime ? static_cast<long>(now) : *programFrame) >= s.when) {
      nextEvent++;
      if (event) *event = s.event;
      return 1;
    }
  }
  return real(event);
}

extern "C" int SDL_Flip(SDL_Surface* surface) {
  SetUp();
  static auto real = reinterpret_cast<int (*)(SDL_Surface*)>(dlsym(RTLD_NEXT, "SDL_Flip"));
  // SDL flips by itself when it opens a double-buffered display; only the program's count.
  if (!CalledByProgram(__builtin_return_address(0))) return real(surface);
  if (shimLog) fprintf(shimLog, "%d %u\n", *programFrame, now);
  while (nextCapture < captures.size() && captures[nextCapture] <= *programFrame) {
    if (captures[nextCapture] == *programFrame) {
      char path[512];
      const char* dir = getenv("TOLVANE_CAPTURE_DIR");
      snprintf(path, sizeof path, "%s/frame-%d.bmp", dir ? dir : ".", *programFrame);
      SDL_SaveBMP(surface, path);
    }
    nextCapture++;
  }
  return real(surface);
}
