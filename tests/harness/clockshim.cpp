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
//   TOLVANE_CAPTURE_RANGE  comma-separated ranges "<from>-<to>"; every screen presented with a
//                     frame in one of them is saved the same way, without slowing the clock
//   TOLVANE_EVENTS    comma-separated events "f<frame>:<what>", "t<ms>:<what>" or "d<ms>:<what>"
//                     (that long after the event before it was delivered), what being
//                     esc, p, shiftp (P with Shift and Caps Lock held), pup (P released), x
//                     (another key), fkey (F), resize<W>x<H> (the window resized), quit,
//                     storm (a burst of unrelated events), or a presenter's key: space, right,
//                     pagedown, left, pageup, b, period; each is delivered once, in order
//   TOLVANE_SHIM_LOG  file that receives one line per presented frame: "<frame> <ms>"
//   TOLVANE_CALL_LOG  file that receives a line for each of these, as it happens:
//                       video <depth> <flags, 0x hex> <bits per pixel obtained, 0 if refused>
//                       event <what> <frame> <ms>          (a scripted event delivered)
//                       text <frame>                       (a line of text rendered)
//                       surface <frame> <width> <height>   (a surface made by the program)
//                       mem <frame> <heap bytes in use> <resident kB>
//                       music pause|resume <frame>         (the program paused or resumed it)
//   TOLVANE_MEM_EVERY "<first>:<period>": a mem line at the first presented frame at or after
//                     first, first + period, first + 2 period, ...
#include <SDL.h>
#include <SDL_ttf.h>
#include <dlfcn.h>
#include <malloc.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "facts.h"

namespace {

struct ScriptedEvent {
  char by;  // 'f' frame, 't' time, 'd' time since the event before was delivered
  long when;
  const char* what;  // the name from the script, for the call log
  bool quiet;        // not logged: all but the last event of a storm
  SDL_Event event;
};

// Unrelated events in a storm: enough that one pass takes them all off the queue at once.
constexpr int kStormEvents = 5000;

std::vector<int> passMs;
size_t nextPassMs = 0;
std::vector<int> captures;
size_t nextCapture = 0;
std::vector<long> rangeFrom, rangeTo;
std::vector<ScriptedEvent> events;
size_t nextEvent = 0;
long memFirst = -1, memPeriod = 0, nextMem = -1;
Uint32 now = 0;
Uint32 lastDelivered = 0;
int* programFrame = nullptr;
void* programBase = nullptr;
FILE* shimLog = nullptr;
FILE* callLog = nullptr;
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

void ParseRanges(const char* text) {
  while (text && *text) {
    char* rest;
    rangeFrom.push_back(strtol(text, &rest, 10));
    rangeTo.push_back(*rest == '-' ? strtol(rest + 1, &rest, 10) : rangeFrom.back());
    text = *rest == ',' ? rest + 1 : nullptr;
  }
}

SDL_Event KeyEvent(SDLKey key, Uint8 type = SDL_KEYDOWN, SDLMod mod = KMOD_NONE) {
  SDL_Event e = {};
  e.type = type;
  e.key.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = key;
  e.key.keysym.mod = mod;
  return e;
}

// Everything but a press of Esc, P or a presenter's key and a window close: pointer, buttons, other
// keys (also releases of Esc and P), focus, resize, expose, user events.
SDL_Event StormEvent(int i) {
  SDL_Event e = {};
  switch (i % 8) {
    case 0:
      e.type = SDL_MOUSEMOTION;
      e.motion.type = SDL_MOUSEMOTION;
      e.motion.x = static_cast<Uint16>(i % kScreenWidth);
      e.motion.y = static_cast<Uint16>(i % kScreenHeight);
      e.motion.xrel = static_cast<Sint16>(i % 7 - 3);
      break;
    case 1:
      e.type = i % 3 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      e.button.type = e.type;
      e.button.button = static_cast<Uint8>(1 + i % 5);
      break;
    case 2:
      e = KeyEvent(static_cast<SDLKey>(SDLK_c + i % 13));
      break;  // c ... o: none of them a presenter's key
    case 3:
      e = KeyEvent(i % 2 ? SDLK_ESCAPE : SDLK_p, SDL_KEYUP);
      break;
    case 4:
      e = KeyEvent(static_cast<SDLKey>(SDLK_LSHIFT + i % 8));
      break;  // modifiers
    case 5:
      e.type = SDL_ACTIVEEVENT;
      e.active.type = SDL_ACTIVEEVENT;
      e.active.gain = static_cast<Uint8>(i % 2);
      e.active.state = SDL_APPINPUTFOCUS;
      break;
    case 6:
      e.type = i % 2 ? SDL_VIDEORESIZE : SDL_VIDEOEXPOSE;
      e.resize.type = e.type;
      e.resize.w = 320;
      e.resize.h = 200;
      break;
    default:
      e.type = SDL_USEREVENT + i % 8;
      e.user.type = e.type;
      e.user.code = i;
      break;
  }
  return e;
}

// The presenter's keys by the names a script gives them.
struct NamedKey {
  const char* name;
  SDLKey key;
};
constexpr NamedKey kPresenterKeys[] = {{"space", SDLK_SPACE},       {"right", SDLK_RIGHT},
                                       {"pagedown", SDLK_PAGEDOWN}, {"left", SDLK_LEFT},
                                       {"pageup", SDLK_PAGEUP},     {"b", SDLK_b},
                                       {"period", SDLK_PERIOD}};

// The key named by the whole of `what`, up to a comma or the end.
const NamedKey* NamedPresenterKey(const char* what) {
  const size_t length = strcspn(what, ",");
  for (const NamedKey& key : kPresenterKeys)
    if (strlen(key.name) == length && strncmp(what, key.name, length) == 0) return &key;
  return nullptr;
}

void ParseEvents(const char* text) {
  while (text && *text) {
    ScriptedEvent s = {};
    s.by = *text;
    char* rest;
    s.when = strtol(text + 1, &rest, 10);
    const char* what = rest + 1;
    if (const NamedKey* key = NamedPresenterKey(what)) {
      s.what = key->name;
      s.event = KeyEvent(key->key);
    } else if (strncmp(what, "esc", 3) == 0) {
      s.what = "esc";
      s.event = KeyEvent(SDLK_ESCAPE);
    } else if (strncmp(what, "shiftp", 6) == 0) {
      s.what = "shiftp";
      s.event = KeyEvent(SDLK_p, SDL_KEYDOWN, static_cast<SDLMod>(KMOD_LSHIFT | KMOD_CAPS));
    } else if (strncmp(what, "pup", 3) == 0) {
      s.what = "pup";
      s.event = KeyEvent(SDLK_p, SDL_KEYUP);
    } else if (strncmp(what, "p", 1) == 0) {
      s.what = "p";
      s.event = KeyEvent(SDLK_p);
    } else if (strncmp(what, "quit", 4) == 0) {
      s.what = "quit";
      s.event.type = SDL_QUIT;
    } else if (strncmp(what, "storm", 5) == 0) {
      s.what = "storm";
      s.quiet = true;
      for (int i = 0; i < kStormEvents; i++) {
        s.event = StormEvent(i);
        events.push_back(s);
      }
      s.quiet = false;
      s.event = StormEvent(kStormEvents);
    } else if (strncmp(what, "resize", 6) == 0) {
      s.what = "resize";
      s.event.type = SDL_VIDEORESIZE;
      s.event.resize.type = SDL_VIDEORESIZE;
      s.event.resize.w = static_cast<int>(strtol(what + 6, &rest, 10));
      s.event.resize.h = *rest == 'x' ? static_cast<int>(strtol(rest + 1, nullptr, 10)) : 0;
    } else if (strncmp(what, "fkey", 4) == 0) {
      s.what = "fkey";
      s.event = KeyEvent(SDLK_f);
    } else {
      s.what = "x";
      s.event = KeyEvent(SDLK_x);
    }
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
  ParseRanges(getenv("TOLVANE_CAPTURE_RANGE"));
  ParseEvents(getenv("TOLVANE_EVENTS"));
  if (const char* every = getenv("TOLVANE_MEM_EVERY")) {
    char* rest;
    memFirst = strtol(every, &rest, 10);
    memPeriod = *rest == ':' ? strtol(rest + 1, nullptr, 10) : 0;
    nextMem = memFirst;
  }
  if (const char* path = getenv("TOLVANE_SHIM_LOG")) shimLog = fopen(path, "w");
  if (const char* path = getenv("TOLVANE_CALL_LOG")) callLog = fopen(path, "w");
  // Unbuffered: a program that crashes or is killed still leaves every line written.
  if (shimLog) setvbuf(shimLog, nullptr, _IONBF, 0);
  if (callLog) setvbuf(callLog, nullptr, _IONBF, 0);
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

void SaveScreen(SDL_Surface* surface) {
  char path[512];
  const char* dir = getenv("TOLVANE_CAPTURE_DIR");
  snprintf(path, sizeof path, "%s/frame-%d.bmp", dir ? dir : ".", *programFrame);
  SDL_SaveBMP(surface, path);
}

bool InRange(int f) {
  for (size_t i = 0; i < rangeFrom.size(); i++)
    if (f >= rangeFrom[i] && f <= rangeTo[i]) return true;
  return false;
}

// Bytes the program holds on the heap: the sanitizer's count when it runs under one (its
// allocator replaces malloc's), else malloc's own, large mapped blocks included.
size_t HeapInUse() {
  using Count = size_t (*)();
  static auto sanitizer =
      reinterpret_cast<Count>(dlsym(RTLD_DEFAULT, "__sanitizer_get_current_allocated_bytes"));
  if (sanitizer) return sanitizer();
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

long ResidentKb() {
  FILE* status = fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  long kb = -1;
  while (fgets(line, sizeof line, status))
    if (strncmp(line, "VmRSS:", 6) == 0) kb = strtol(line + 6, nullptr, 10);
  fclose(status);
  return kb;
}

void LogMemory() {
  if (!callLog || nextMem < 0 || *programFrame < nextMem) return;
  fprintf(callLog, "mem %d %zu %ld\n", *programFrame, HeapInUse(), ResidentKb());
  while (nextMem <= *programFrame) nextMem = memPeriod > 0 ? nextMem + memPeriod : LONG_MAX;
}

}  // namespace

// Whether the program read the clock since its last look at an empty event queue.
bool ticksRead = true;

extern "C" Uint32 SDL_GetTicks(void) {
  SetUp();
  if (CalledByProgram(__builtin_return_address(0))) {
    now += Advance();
    ticksRead = true;
  }
  return now;
}

extern "C" int SDL_PollEvent(SDL_Event* event) {
  SetUp();
  static auto real = reinterpret_cast<int (*)(SDL_Event*)>(dlsym(RTLD_NEXT, "SDL_PollEvent"));
  if (nextEvent < events.size()) {
    const ScriptedEvent& s = events[nextEvent];
    const long at = s.by == 'f'   ? *programFrame
                    : s.by == 'd' ? static_cast<long>(now - lastDelivered)
                                  : static_cast<long>(now);
    if (at >= s.when) {
      nextEvent++;
      lastDelivered = now;
      if (callLog && !s.quiet) fprintf(callLog, "event %s %d %u\n", s.what, *programFrame, now);
      if (event) *event = s.event;
      return 1;
    }
  }
  const int got = real(event);
  // A paused pass only takes the events and reads no clock; its time passes all the same.
  if (!got && CalledByProgram(__builtin_return_address(0))) {
    if (!ticksRead) now += Advance();
    ticksRead = false;
  }
  return got;
}

extern "C" int SDL_Flip(SDL_Surface* surface) {
  SetUp();
  static auto real = reinterpret_cast<int (*)(SDL_Surface*)>(dlsym(RTLD_NEXT, "SDL_Flip"));
  // SDL flips by itself when it opens a double-buffered display; only the program's count.
  if (!CalledByProgram(__builtin_return_address(0))) return real(surface);
  if (shimLog) fprintf(shimLog, "%d %u\n", *programFrame, now);
  LogMemory();
  bool saved = false;
  while (nextCapture < captures.size() && captures[nextCapture] <= *programFrame) {
    if (captures[nextCapture] == *programFrame && !saved) {
      SaveScreen(surface);
      saved = true;
    }
    nextCapture++;
  }
  if (!saved && InRange(*programFrame)) SaveScreen(surface);
  return real(surface);
}

extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int depth, Uint32 flags) {
  SetUp();
  static auto real = reinterpret_cast<SDL_Surface* (*)(int, int, int, Uint32)>(
      dlsym(RTLD_NEXT, "SDL_SetVideoMode"));
  SDL_Surface* display = real(width, height, depth, flags);
  if (callLog)
    fprintf(callLog, "video %d 0x%08x %d\n", depth, flags,
            display ? display->format->BitsPerPixel : 0);
  return display;
}

extern "C" SDL_Surface* TTF_RenderText_Shaded(TTF_Font* font, const char* text, SDL_Color fg,
                                              SDL_Color bg) {
  SetUp();
  static auto real =
      reinterpret_cast<SDL_Surface* (*)(TTF_Font*, const char*, SDL_Color, SDL_Color)>(
          dlsym(RTLD_NEXT, "TTF_RenderText_Shaded"));
  if (callLog) fprintf(callLog, "text %d\n", *programFrame);
  return real(font, text, fg, bg);
}

extern "C" SDL_Surface* SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth,
                                             Uint32 rmask, Uint32 gmask, Uint32 bmask,
                                             Uint32 amask) {
  SetUp();
  static auto real =
      reinterpret_cast<SDL_Surface* (*)(Uint32, int, int, int, Uint32, Uint32, Uint32, Uint32)>(
          dlsym(RTLD_NEXT, "SDL_CreateRGBSurface"));
  if (callLog && CalledByProgram(__builtin_return_address(0)))
    fprintf(callLog, "surface %d %d %d\n", *programFrame, width, height);
  return real(flags, width, height, depth, rmask, gmask, bmask, amask);
}

// The music's pause and resume, which the program asks for and the sound device never shows.
static void LogMusic(const char* what, void* returnAddress) {
  if (callLog && CalledByProgram(returnAddress))
    fprintf(callLog, "music %s %d\n", what, *programFrame);
}

extern "C" void Mix_PauseMusic(void) {
  SetUp();
  static auto real = reinterpret_cast<void (*)()>(dlsym(RTLD_NEXT, "Mix_PauseMusic"));
  LogMusic("pause", __builtin_return_address(0));
  real();
}

extern "C" void Mix_ResumeMusic(void) {
  SetUp();
  static auto real = reinterpret_cast<void (*)()>(dlsym(RTLD_NEXT, "Mix_ResumeMusic"));
  LogMusic("resume", __builtin_return_address(0));
  real();
}
