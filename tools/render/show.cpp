// The show opened headless as tolvane opens it (the folder and caption file checked, a display on
// SDL's dummy driver, the loader's lines sorted), the frames stepped and drawn from it, its
// timeline, and the refusal of an output that is one of the show's own files.
#include <SDL_ttf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "assets/assets.h"
#include "driver/display.h"
#include "common.h"
#include "driver/show.h"
#include "render.h"
#include "text/text.h"

char loaderTrouble[2048];

// The loader reports every picture on standard error; its lines are kept here while it runs
// and sorted afterwards, so that the normal end of the photo series does not read as a fault.
static FILE* loaderLog = nullptr;
// Whether LoadShow ran, and so what CloseShow has to release.
static bool loaded = false;

static int savedStderr = -1;

bool RedirectStderr(FILE* to) {
  if (savedStderr >= 0) return false;
  fflush(stderr);
  savedStderr = dup(STDERR_FILENO);
  if (savedStderr >= 0 && dup2(fileno(to), STDERR_FILENO) >= 0) return true;
  if (savedStderr >= 0) close(savedStderr);
  savedStderr = -1;
  return false;
}

void RestoreStderr() {
  if (savedStderr < 0) return;
  fflush(stderr);
  dup2(savedStderr, STDERR_FILENO);
  close(savedStderr);
  savedStderr = -1;
}

static bool StartCapture() {
  loaderLog = tmpfile();
  return loaderLog && RedirectStderr(loaderLog);
}

bool Exists(const char* path) {
  struct stat s;
  return stat(path, &s) == 0;
}

// Every line of the loader that reports a failure, but the one that ends the photo series
// at a number with no file: that one every show with fewer than 50 photos prints.
static void SortLoaderLines() {
  loaderTrouble[0] = '\0';
  if (!loaderLog) return;
  const PhotoFileName seriesEnd = PhotoName(fotos + 2);
  const bool missing = !Exists(seriesEnd.path);
  rewind(loaderLog);
  char line[512];
  while (fgets(line, sizeof line, loaderLog)) {
    if (settings.verbose) fputs(line, stderr);
    if (strncmp(line, "Couldn't", 8) != 0) continue;
    if (missing && strstr(line, seriesEnd.path)) continue;
    const size_t used = strlen(loaderTrouble);
    snprintf(loaderTrouble + used, sizeof loaderTrouble - used, "%s", line);
  }
  fclose(loaderLog);
  loaderLog = nullptr;
}

static int ShowFail(const char* what, const char* detail) {
  Fail(kRenderer, "%s%s", what, detail);
  return kExitShow;
}

// A caption file must be readable and hold at least one caption; the reader itself only
// says when it cannot open one.
static int CheckCaptionFile() {
  const char* trouble = WhyUnreadable(settings.captions);
  if (trouble == kNotAFile)
    Fail(kRenderer, "the caption file %s is not a file", settings.captions);
  else if (trouble)
    Fail(kRenderer, "cannot read the caption file %s: %s", settings.captions, trouble);
  return trouble ? kExitUsage : kExitDone;
}

// The show folder, with its gfx/, and the caption file, if one is named.
static int CheckFolder() {
  if (settings.folder[0] && chdir(settings.folder) != 0) {
    Fail(kRenderer, "cannot enter the show folder %s: %s", settings.folder, strerror(errno));
    return kExitShow;
  }
  struct stat s;
  if (stat("gfx", &s) != 0 || !S_ISDIR(s.st_mode)) {
    char cwd[kPathSize];
    Fail(kRenderer,
         "%s has no gfx/ folder: run it in a show folder or name one "
         "with -C DIR",
         getcwd(cwd, sizeof cwd) ? cwd : ".");
    return kExitShow;
  }
  // --check reads the record and the caption file byte by byte: neither may be a named pipe.
  if (settings.job == kCheck)
    for (const char* file : {kSourcesFile, settings.captions[0] ? "" : kCaptionFile})
      if (file[0] && !RefuseSpecial(kRenderer, file)) return kExitUsage;
  return settings.captions[0] ? CheckCaptionFile() : kExitDone;
}

// SDL and the font engine without a window or sound, and a display of the show's format.
static int OpenDisplay() {
  // The pixels are drawn in memory, the music is rendered apart.
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  if (SDL_Init(SDL_INIT_VIDEO) < 0) return ShowFail("couldn't initialize SDL: ", SDL_GetError());
  atexit(SDL_Quit);
  if (TTF_Init() < 0) return ShowFail("couldn't initialize TTF: ", SDL_GetError());
  atexit(TTF_Quit);
  // The show's flags, but a window should another video driver be asked for. The canvas is
  // the frame's size, unless the 640x480 show is enlarged onto it (--pixels).
  const int w = settings.pixels ? kScreenWidth : settings.width;
  const int h = settings.pixels ? kScreenHeight : settings.height;
  SetCanvas(DrawableSurface(
      SDL_SetVideoMode(w, h, settings.depth, kDefaultVideoFlags & ~SDL_FULLSCREEN)));
  if (!canvas.surface) {
    Fail(kRenderer, "couldn't set %dx%dx%dbpp video mode: %s", w, h, settings.depth,
         SDL_GetError());
    return kExitShow;
  }
  return kExitDone;
}

int OpenShow() {
  WatchSignals();
  int status = CheckFolder();
  if (status == kExitDone) status = OpenDisplay();
  if (status != kExitDone) return status;

  const bool captured = StartCapture();
  loaded = LoadShow(settings.builtInCaptions ? ""
                    : settings.captions[0]   ? settings.captions
                                             : nullptr);
  if (captured) RestoreStderr();
  if (!loaded) {
    // The loader stops at the font, before any picture: its own line says no more than this.
    Fail(kRenderer, "couldn't load the caption font %s: %s", kFontFile, SDL_GetError());
    ReleaseFonts();
    if (loaderLog) fclose(loaderLog);
    loaderLog = nullptr;
    return kExitShow;
  }
  SortLoaderLines();
  if (settings.captions[0] && !captionSource) {
    Fail(kRenderer,
         "the caption file %s holds no caption: a caption is a names line, "
         "a middle line, description lines and an end line beginning with '#'",
         settings.captions);
    return kExitUsage;
  }
  StartShow();
  return kExitDone;
}

void CloseShow() {
  if (loaded) ReleaseShow();
  loaded = false;
}

// Whether two names are one file: the same file where `a` exists, else the same place.
static bool SameFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (stat(a, &sa) == 0)
    return stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  char dirA[kPathSize], dirB[kPathSize];
  snprintf(dirA, sizeof dirA, "%s", a);
  snprintf(dirB, sizeof dirB, "%s", b);
  char *slashA = strrchr(dirA, '/'), *slashB = strrchr(dirB, '/');
  if (!slashA || !slashB || strcmp(slashA, slashB) != 0) return false;
  *slashA = *slashB = '\0';
  char realA[PATH_MAX], realB[PATH_MAX];
  return realpath(dirA[0] ? dirA : "/", realA) && realpath(dirB[0] ? dirB : "/", realB) &&
         strcmp(realA, realB) == 0;
}

// The name of the show's own file number `i` in `name`: its fixed files, its caption file and
// every photo it may have. False past the last.
static bool ShowFileName(int i, char* name, size_t size) {
  const int fixed = static_cast<int>(std::size(kShowFiles));
  if (i < fixed)
    snprintf(name, size, "./%s", kShowFiles[i]);
  else if (i == fixed)
    snprintf(name, size, "./%s", kCaptionFile);
  else if (i - fixed <= kMaxPhotos)
    snprintf(name, size, "./%s", PhotoName(i - fixed).path);
  return i - fixed <= kMaxPhotos;
}

bool IsRunInput(const char* path) {
  if (!RefuseSpecial(kRenderer, path)) return true;
  bool input = settings.captions[0] && SameFile(path, settings.captions);
  char name[64];
  for (int i = 0; !input && ShowFileName(i, name, sizeof name); ++i) input = SameFile(path, name);
  if (input) Fail(kRenderer, "%s is one of the show's own files, which it does not replace", path);
  return input;
}

void DrawFrame(int f) {
  StepTo(f, kEveryStep);
  // No frame goes out before its photos are made.
  AwaitPhotos();
  Render(f);
}

int PrintTimeline() {
  printf("photos %d\nfirst-slot %d\nend-picture %d\nfade %d\nlast %d\n", PhotoSlots(), SlotStart(0),
         EndPictureStart(), ENDTIME, LastFrame());
  return fflush(stdout) == 0 ? kExitDone : kExitOutput;
}

void FormatTime(long frames, char* out, size_t size) {
  constexpr long kPerMinute = 60 * kFramesPerSecond;
  snprintf(out, size, "%ld:%02ld.%02ld", frames / kPerMinute, frames / kFramesPerSecond % 60,
           frames % kFramesPerSecond);
}
