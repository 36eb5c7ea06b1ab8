// The show's pictures at the canvas's resolution, on a canvas larger than the show: each
// picture's twin, made from its large source in gfx/hd/ where one fits, else enlarged from the
// picture itself; the photos' twins made ahead of their slots on a worker thread, a few at a
// time, so that no drawing pass waits for one.
#include <SDL_image.h>
#include <SDL_thread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>

#include "anim/canvas.h"
#include "assets/assets.h"

// Masks of 3-byte pixels stored red, green, blue.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
static const Uint32 kRgbMasks[3] = {0x0000FF, 0x00FF00, 0xFF0000};
#else
static const Uint32 kRgbMasks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
#endif

// The canvas's pixel format for a twin: SDL's conversion, on any thread.
static SDL_Surface* ForCanvas(SDL_Surface* sized) {
  if (!sized) return nullptr;
  // A twin with an alpha channel keeps it; SDL blends it onto any canvas.
  if (sized->format->Amask) return sized;
  // SDL 1.2 turns 32-bit pixels into one colour of a palette; 24-bit ones it maps right.
  if (canvas.surface->format->palette) {
    SDL_Surface* rgb = SDL_CreateRGBSurface(SDL_SWSURFACE, sized->w, sized->h, 24, kRgbMasks[0],
                                            kRgbMasks[1], kRgbMasks[2], 0);
    if (rgb) SDL_BlitSurface(sized, nullptr, rgb, nullptr);
    SDL_FreeSurface(sized);
    sized = rgb;
    if (!sized) return nullptr;
  }
  SDL_Surface* converted = SDL_ConvertSurface(sized, canvas.surface->format, SDL_SWSURFACE);
  SDL_FreeSurface(sized);
  return converted;
}

// The least reduction while decoding, in eighths, that leaves a w x h picture of at least
// width x height.
static int EighthsFor(Uint32 w, Uint32 h, int width, int height) {
  for (int n = 1; n < 8; ++n)
    if ((w * n + 7) / 8 >= static_cast<Uint32>(width) &&
        (h * n + 7) / 8 >= static_cast<Uint32>(height))
      return n;
  return 8;
}

// A large source as decoded: its pixels, and how many of them the picture spans.
struct Decoded {
  SDL_Surface* pixels;
  double spanX, spanY;
};

// The large source of the picture file `file` (a name in kPictureDir) decoded at least width x
// height, or no pixels: none, or one that does not fit or decode, which is said on standard
// error.
static Decoded LoadLarge(const char* file, int gfxWidth, int gfxHeight, int width, int height) {
  char path[kFileNameSize], why[256];
  const size_t dir = strlen(kPictureDir);
  snprintf(path, sizeof path, "%s%s", kLargeDir,
           strncmp(file, kPictureDir, dir) ? file : file + dir);
  const LargeSourceState state = JudgeLargeSource(path, gfxWidth, gfxHeight, why, sizeof why);
  Decoded decoded = {nullptr, 0, 0};
  if (state == kLargeMissing) return decoded;
  if (state == kLargeFits) {
    PictureHeader header;
    ReadPictureHeader(path, header);
    if (header.kind == kJpegFile && header.jpeg) {
      // Reduced while decoding, the last row and column hold the rest of the picture's pixels.
      const int eighths = EighthsFor(header.width, header.height, width, height);
      decoded = {DecodeJpeg(path, kWholePicture, kWholePicture, eighths),
                 header.width * eighths / 8.0, header.height * eighths / 8.0};
    } else if (WholeDecodeIsBounded(header.width, header.height)) {
      decoded.pixels = IMG_Load_RW(SDL_RWFromFile(path, "rb"), 1);
    }
    snprintf(why, sizeof why, "%s", SDL_GetError());
  }
  if (!decoded.pixels)
    fprintf(stderr, "Couldn't load %s: %s; %s is enlarged instead\n", path, why, file);
  return decoded;
}

// The twin of `picture`, loaded from `file`, standing at (x, y); `whole` says whether the
// picture holds all of its file (a photo larger than the screen is cut).
static SDL_Surface* MakeTwinOf(SDL_Surface* picture, const char* file, int x, int y, bool whole) {
  const int width = CanvasWidth(x, picture->w), height = CanvasHeight(y, picture->h);
  if (width <= 0 || height <= 0) return nullptr;
  const Decoded large =
      whole ? LoadLarge(file, picture->w, picture->h, width, height) : Decoded{nullptr, 0, 0};
  SDL_Surface* sized = large.pixels
                           ? ResamplePicture(large.pixels, width, height, large.spanX, large.spanY)
                           : ResamplePicture(picture, width, height);
  if (large.pixels) SDL_FreeSurface(large.pixels);
  return ForCanvas(sized);
}

void MakeTwin(SDL_Surface* picture, const char* file, int x, int y) {
  if (AtShowSize() || !picture) return;
  SetTwin(picture, MakeTwinOf(picture, file, x, y, true));
}

// The photos' worker. The show asks for the photos of two slots at a time; the worker makes
// their twins one after the other, and the main thread puts each finished one in the table.
// At most three are held: two in the table and one being made.
constexpr int kPhotosAhead = 2;
static SDL_Thread* worker = nullptr;
static SDL_mutex* lock = nullptr;
static SDL_cond* changed = nullptr;  // a wish, a finished twin, or the end
// Guarded by `lock`:
static int wanted[kPhotosAhead] = {-1, -1};
static bool inTable[kMaxPhotos];  // the photo's twin is in the table
static bool tried[kMaxPhotos];    // made, or failed to be: not tried again while wanted
static SDL_Surface* finished[kMaxPhotos];
static int making = -1;
static bool stopping = false;

static bool IsWanted(int k) {
  return std::find(std::begin(wanted), std::end(wanted), k) != std::end(wanted);
}

// The next photo to make, or -1.
static int NextToMake() {
  for (int k : wanted)
    if (k >= 0 && !tried[k]) return k;
  return -1;
}

static SDL_Surface* MakePhotoTwin(int k) {
  SDL_Surface* photo = foto[k];
  PictureHeader header;
  const PhotoFileName name = PhotoName(k + 1);
  // A photo cut to what the screen shows is enlarged as it is.
  const bool whole = ReadPictureHeader(name.path, header) &&
                     header.width == static_cast<Uint32>(photo->w) &&
                     header.height == static_cast<Uint32>(photo->h);
  return MakeTwinOf(photo, name.path, kPhotoX, kPhotoY, whole);
}

// The worker yields to the passes: on a machine of two cores the show's thread and the display
// server's take both while a photo is made.
constexpr int kWorkerNice = 10;

static int Work(void*) {
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kWorkerNice);
  SDL_mutexP(lock);
  while (!stopping) {
    const int k = NextToMake();
    if (k < 0) {
      SDL_CondWait(changed, lock);
      continue;
    }
    making = k;
    SDL_mutexV(lock);
    SDL_Surface* twin = MakePhotoTwin(k);
    SDL_mutexP(lock);
    making = -1;
    if (IsWanted(k) && !stopping) {
      tried[k] = true;
      finished[k] = twin;
    } else if (twin) {
      SDL_FreeSurface(twin);
    }
    SDL_CondBroadcast(changed);
  }
  SDL_mutexV(lock);
  return 0;
}

static bool StartWorker() {
  if (worker) return true;
  if (!lock) lock = SDL_CreateMutex();
  if (!changed) changed = SDL_CreateCond();
  if (lock && changed) worker = SDL_CreateThread(Work, nullptr);
  if (!worker) fprintf(stderr, "Couldn't start the photo worker: %s\n", SDL_GetError());
  return worker != nullptr;
}

void WantPhotos(int slot) {
  if (AtShowSize() || !StartWorker()) return;
  SDL_mutexP(lock);
  for (int i = 0; i < kPhotosAhead; ++i) wanted[i] = slot + i <= fotos ? slot + i : -1;
  for (int k = 0; k < kMaxPhotos; ++k) {
    if (IsWanted(k)) continue;
    if (inTable[k]) SetTwin(foto[k], nullptr);
    if (finished[k]) SDL_FreeSurface(finished[k]);
    inTable[k] = tried[k] = false;
    finished[k] = nullptr;
  }
  SDL_CondBroadcast(changed);
  SDL_mutexV(lock);
}

// Puts the finished twins in the table; `lock` held.
static void TakeFinished() {
  for (int k = 0; k < kMaxPhotos; ++k) {
    if (!finished[k]) continue;
    inTable[k] = SetTwin(foto[k], finished[k]);
    finished[k] = nullptr;
  }
}

void TakeReadyPhotos() {
  if (!worker) return;
  SDL_mutexP(lock);
  TakeFinished();
  SDL_mutexV(lock);
}

void AwaitPhotos() {
  if (!worker) return;
  SDL_mutexP(lock);
  while (NextToMake() >= 0 || making >= 0) SDL_CondWait(changed, lock);
  TakeFinished();
  SDL_mutexV(lock);
}

void StopPhotos() {
  if (!worker) return;
  SDL_mutexP(lock);
  stopping = true;
  SDL_CondBroadcast(changed);
  SDL_mutexV(lock);
  SDL_WaitThread(worker, nullptr);
  worker = nullptr;
  stopping = false;
  for (int k = 0; k < kMaxPhotos; ++k) {
    if (inTable[k]) SetTwin(foto[k], nullptr);
    if (finished[k]) SDL_FreeSurface(finished[k]);
    inTable[k] = tried[k] = false;
    finished[k] = nullptr;
  }
  std::fill(std::begin(wanted), std::end(wanted), -1);
}
