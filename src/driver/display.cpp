// The display: the live show's -fit display and canvas (a window or the full screen, resized
// and toggled), presenting each pass, and the scaler that enlarges a 640x480 picture.
#include "driver/display.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "anim/canvas.h"
#include "anim/surfaces.h"
#include "assets/assets.h"
#include "driver/driver.h"

// One output pixel's two source pixels along an axis: `first` and first + 1, the second
// weighing `weight` of 256.
struct Tap {
  int first;
  int weight;
};

// Output pixel i of `size` from `source` pixels: the source grown by the whole factor k that
// fits, then sampled bilinearly at the output pixel's centre. In the grown picture only a pair
// of neighbours from two source pixels mixes; any other pair is one source pixel.
static Tap TapAt(int i, int size, int source) {
  const long long k = std::max(1, size / source);
  // The centre of pixel i in grown pixels, times 2 * size: (i + 1/2) * source * k / size - 1/2.
  const long long scaled = (2LL * i + 1) * source * k - size, unit = 2LL * size;
  if (scaled <= 0) return {0, 0};
  const long long grown = scaled / unit;
  const int first = static_cast<int>(grown / k), second = static_cast<int>((grown + 1) / k);
  if (first >= source - 1) return {source - 1, 0};
  if (second == first) return {first, 0};
  return {first, static_cast<int>((scaled % unit * 256 + unit / 2) / unit)};
}

// Room for one source row in 0x00RRGGBB, with the last pixel repeated past its end.
static Uint32 wideRow[kScreenWidth + 1];
// Source row y in 0x00RRGGBB, once per row.
static void WidenRow(SDL_Surface* picture, int y) {
  RgbRow(picture, y, kScreenWidth, wideRow);
  wideRow[kScreenWidth] = wideRow[kScreenWidth - 1];
}

// The output's columns, for the width last asked.
static Tap columns[kMaxFitWidth];
static int columnsFor = -1;
// Source rows scaled across, two at a time: the pair a bilinear output row mixes.
static Uint32 across[2][kMaxFitWidth];
static int acrossRow[2] = {-1, -1};

static const Uint32* Across(SDL_Surface* picture, int y, int keep, int width) {
  for (int i = 0; i < 2; ++i)
    if (acrossRow[i] == y) return across[i];
  const int slot = acrossRow[0] == keep ? 1 : 0;
  WidenRow(picture, y);
  Uint32* out = across[slot];
  for (int x = 0; x < width; ++x) {
    const Uint32 a = wideRow[columns[x].first], b = wideRow[columns[x].first + 1];
    const Uint32 w = columns[x].weight, v = 256 - w;
    // Most columns of a picture grown twice or more are one source pixel.
    if (w == 0) {
      out[x] = a;
      continue;
    }
    // Red and blue side by side, then green: each field's sum stays below its next field.
    out[x] = ((((a & 0xFF00FF) * v + (b & 0xFF00FF) * w) >> 8) & 0xFF00FF) |
             ((((a & 0x00FF00) * v + (b & 0x00FF00) * w) >> 8) & 0x00FF00);
  }
  acrossRow[slot] = y;
  return out;
}

// Output row = first * (256 - weight) + second * weight, by bytes: the loop vectorises.
static void MixRows(const Uint8* __restrict first, const Uint8* __restrict second,
                    Uint8* __restrict out, int bytes, unsigned weight) {
  const Uint16 w = static_cast<Uint16>(weight), v = static_cast<Uint16>(256 - weight);
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<Uint8>((first[i] * v + second[i] * w) >> 8);
}

static bool IsRgbWord(const SDL_PixelFormat* f) {
  return f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0x00FF00 &&
         f->Bmask == 0x0000FF;
}

// A 0x00RRGGBB row into `target`'s pixels, for a display of another format.
static void StoreRow(const Uint32* row, SDL_Surface* target, Uint8* out, int width) {
  const int bytes = target->format->BytesPerPixel;
  for (int x = 0; x < width; ++x, out += bytes) {
    const Uint32 v = SDL_MapRGB(target->format, row[x] >> 16, row[x] >> 8 & 0xFF, row[x] & 0xFF);
    switch (bytes) {
      case 1:
        *out = static_cast<Uint8>(v);
        break;
      case 2:
        memcpy(out, &v, 2);  // little-endian, as SDL's surfaces are here
        break;
      case 3:
        memcpy(out, &v, 3);
        break;
      default:
        memcpy(out, &v, 4);
    }
  }
}

static void Blacken(SDL_Surface* target, const SDL_Rect& fit) {
  // Above, below, left, right of the picture.
  const int right = fit.x + fit.w, bottom = fit.y + fit.h;
  SDL_Rect bars[4] = {{0, 0, static_cast<Uint16>(target->w), static_cast<Uint16>(fit.y)},
                      {0, static_cast<Sint16>(bottom), static_cast<Uint16>(target->w),
                       static_cast<Uint16>(std::max(0, target->h - bottom))},
                      {0, fit.y, static_cast<Uint16>(fit.x), fit.h},
                      {static_cast<Sint16>(right), fit.y,
                       static_cast<Uint16>(std::max(0, target->w - right)), fit.h}};
  if (fit.w == 0) bars[0].h = static_cast<Uint16>(target->h);
  for (SDL_Rect& bar : bars)
    if (bar.w && bar.h) SDL_FillRect(target, &bar, SDL_MapRGB(target->format, 0, 0, 0));
}

void ScalePicture(SDL_Surface* picture, SDL_Surface* target) {
  const SDL_Rect fit = FitInside(target->w, target->h);
  Blacken(target, fit);
  if (fit.w == 0) return;
  if (columnsFor != fit.w)
    for (int x = 0; x < fit.w; ++x) columns[x] = TapAt(x, fit.w, kScreenWidth);
  columnsFor = fit.w;
  // A new picture, or new pixels in it: the rows scaled across are of the last call.
  acrossRow[0] = acrossRow[1] = -1;
  static Uint32 stored[kMaxFitWidth];
  // A surface SDL cannot lock is not drawn on: this pass shows the last picture.
  if (SDL_LockSurface(picture) != 0) return;
  if (SDL_LockSurface(target) != 0) {
    SDL_UnlockSurface(picture);
    return;
  }
  PrepareRgb(picture->format);
  const bool words = IsRgbWord(target->format);
  Uint8* base = static_cast<Uint8*>(target->pixels) + fit.y * target->pitch +
                fit.x * target->format->BytesPerPixel;
  for (int y = 0; y < fit.h; ++y) {
    const Tap tap = TapAt(y, fit.h, kScreenHeight);
    Uint8* out = base + y * target->pitch;
    Uint8* mixed = words ? out : reinterpret_cast<Uint8*>(stored);
    const Uint32* first = Across(picture, tap.first, tap.first + 1, fit.w);
    if (tap.weight == 0) {
      memcpy(mixed, first, fit.w * 4);
    } else {
      const Uint32* second = Across(picture, tap.first + 1, tap.first, fit.w);
      MixRows(reinterpret_cast<const Uint8*>(first), reinterpret_cast<const Uint8*>(second), mixed,
              fit.w * 4, tap.weight);
    }
    if (!words) StoreRow(stored, target, out, fit.w);
  }
  SDL_UnlockSurface(target);
  SDL_UnlockSurface(picture);
}

// The live show's display.

bool fitScreen = false;
bool fitPixels = false;
bool depthGiven = false;
// The display SDL opened; with -fit -pixels the 640x480 canvas is scaled onto it.
static SDL_Surface* display = nullptr;
// The canvas of -fit -pixels, or the show's own canvas where SDL's display cannot be drawn on.
static SDL_Surface* ownCanvas = nullptr;
// What -fit opens: the desktop's size and depth, the window's first size, the show's flags,
// and the depth the canvas is drawn at.
static int desktopW, desktopH, desktopDepth, windowW, windowH, fitDepth;
static Uint32 showFlags;

static void FreeOwnCanvas() {
  if (ownCanvas) SDL_FreeSurface(ownCanvas);
  ownCanvas = nullptr;
}

// A surface of `depth` bits in SDL's own layout for that depth; an 8-bit one with SDL's 3-3-2
// palette, as SDL gives an 8-bit display.
static SDL_Surface* NewOwnSurface(int w, int h, int depth) {
  SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, depth, 0, 0, 0, 0);
  if (surface && surface->format->palette) {
    SDL_Color colours[256];
    for (int i = 0; i < 256; ++i) {
      const int r = i & 0xE0, g = i << 3 & 0xE0, b = i & 0x03;
      colours[i] = {static_cast<Uint8>(r | r >> 3 | r >> 6),
                    static_cast<Uint8>(g | g >> 3 | g >> 6),
                    static_cast<Uint8>(b | b << 2 | b << 4 | b << 6), 0};
    }
    SDL_SetColors(surface, colours, 0, 256);
  }
  return surface;
}

SDL_Surface* DrawableSurface(SDL_Surface* opened) {
  FreeOwnCanvas();
  if (!opened || opened->pitch >= opened->w * opened->format->BytesPerPixel) return opened;
  // SDL's dummy driver gives depth / 8 bytes a pixel to a buffer its format gives more to
  // (15 bits: 1 byte for a 2-byte pixel). Nothing shows it: the show draws on its own.
  ownCanvas = NewOwnSurface(opened->w, opened->h, opened->format->BitsPerPixel);
  return ownCanvas;
}

static SDL_Surface* OpenMode(int w, int h, Uint32 flags) {
  w = std::clamp(w, 1, kMaxFitWidth);
  h = std::clamp(h, 1, kMaxFitHeight);
  // A window follows its frame; full screen takes the whole desktop.
  if (!(flags & SDL_FULLSCREEN)) flags |= SDL_RESIZABLE;
  SDL_Surface* opened = SDL_SetVideoMode(w, h, fitPixels ? desktopDepth : fitDepth, flags);
  if (opened) display = opened;
  return opened;
}

// The canvas on the display as it now is: the display itself, or with -pixels the 640x480
// picture, which keeps its canvas across a change of the display.
static bool CanvasOnDisplay() {
  if (fitPixels) return true;
  SDL_Surface* drawable = DrawableSurface(display);
  if (!drawable) return false;
  SetCanvas(drawable);
  return true;
}

bool OpenFitDisplay(Uint8 depth, Uint32 flags, bool& refused) {
  refused = false;
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  if (!info || info->current_w <= 0 || info->current_h <= 0) {
    fprintf(stderr, "-fit: the desktop's size is unknown here; the show opens at %dx%d\n",
            kScreenWidth, kScreenHeight);
    return false;
  }
  desktopW = info->current_w;
  desktopH = info->current_h;
  desktopDepth = info->vfmt ? info->vfmt->BitsPerPixel : 32;
  fitDepth = depthGiven && depth ? depth : desktopDepth;
  // The largest whole multiple of the show that fits the desktop less a tenth for borders.
  const int times =
      std::max(1, std::min(desktopW * 9 / 10 / kScreenWidth, desktopH * 9 / 10 / kScreenHeight));
  windowW = times * kScreenWidth;
  windowH = times * kScreenHeight;
  showFlags = flags;
  const bool full = flags & SDL_FULLSCREEN;
  const int w = full ? desktopW : windowW, h = full ? desktopH : windowH;
  if (!OpenMode(w, h, flags)) {
    fprintf(stderr, "Couldn't set %dx%dx%dbpp video mode: %s\n", w, h,
            fitPixels ? desktopDepth : fitDepth, SDL_GetError());
    refused = true;
    return false;
  }
  // -pixels: the show's own 640x480 picture, at `depth` (0: the desktop's), scaled on Present.
  if (fitPixels) {
    FreeOwnCanvas();
    ownCanvas = NewOwnSurface(kScreenWidth, kScreenHeight, depth ? depth : desktopDepth);
    SetCanvas(ownCanvas);
  }
  if (!CanvasOnDisplay() || !canvas.surface) {
    fprintf(stderr, "Couldn't set %dx%dx%dbpp video mode: %s\n", kScreenWidth, kScreenHeight, depth,
            SDL_GetError());
    refused = true;
    return false;
  }
  return true;
}

void Present() {
  if (fitPixels && display) {
    ScalePicture(canvas.surface, display);
    SDL_Flip(display);
  } else if (canvas.surface && canvas.surface == SDL_GetVideoSurface()) {
    SDL_Flip(canvas.surface);
  }
}

// Between the window and full screen, where SDL opens the other; else the display stays.
static void ToggleFullScreen() {
  const int w = display->w, h = display->h;
  const Uint32 was = display->flags & (SDL_FULLSCREEN | SDL_RESIZABLE);
  const Uint32 flags = (showFlags & ~SDL_FULLSCREEN) | (was & SDL_FULLSCREEN ? 0 : SDL_FULLSCREEN);
  const bool full = flags & SDL_FULLSCREEN;
  if (!OpenMode(full ? desktopW : windowW, full ? desktopH : windowH, flags))
    OpenMode(w, h, (showFlags & ~SDL_FULLSCREEN) | (was & SDL_FULLSCREEN));
}

// The display changed since the canvas was made for it: a burst of resizes makes it once.
static bool canvasBehind = false;

// The display changed: the canvas follows it; what was made for its size is made again once
// the events at hand are taken (FitCanvasToDisplay).
static void DisplayChanged(const SDL_Surface* before, int w, int h) {
  if (display == before && display->w == w && display->h == h) return;
  if (fitPixels) return;
  StopPhotos();
  ReleaseTwins();
  CanvasOnDisplay();
  canvasBehind = true;
}

bool FitCanvasToDisplay() {
  if (!canvasBehind) return false;
  canvasBehind = false;
  FitShowToCanvas();
  return true;
}

bool FitEvent(const SDL_Event& event) {
  if (!display || !fitScreen) return false;
  const SDL_Surface* before = display;
  const int w = display->w, h = display->h;
  if (event.type == SDL_VIDEORESIZE && !(display->flags & SDL_FULLSCREEN)) {
    if (event.resize.w == w && event.resize.h == h) return true;
    if (!OpenMode(event.resize.w, event.resize.h, showFlags & ~SDL_FULLSCREEN))
      OpenMode(w, h, showFlags & ~SDL_FULLSCREEN);
  } else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_f) {
    ToggleFullScreen();
  } else {
    return false;
  }
  DisplayChanged(before, w, h);
  return true;
}

void ResetDisplay() {
  fitScreen = fitPixels = depthGiven = false;
  display = nullptr;
  if (canvas.surface && canvas.surface == ownCanvas) SetCanvas(nullptr);
  FreeOwnCanvas();
  canvasBehind = false;
}
