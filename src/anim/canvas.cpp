// The canvas: its area, the mapping of show units to its pixels, and the twins drawn in the
// place of the show's pictures on a canvas larger than the show.
#include "anim/canvas.h"

#include <algorithm>

#include "anim/surfaces.h"

Canvas canvas = {nullptr, {0, 0, kScreenWidth, kScreenHeight}};

SDL_Rect FitInside(int width, int height) {
  width = std::clamp(width, 0, kMaxFitWidth);
  height = std::clamp(height, 0, kMaxFitHeight);
  // 4:3 by whole pixels: the full height where the surface is wider than 4:3, else the width.
  int w = width, h = width * kScreenHeight / kScreenWidth;
  if (h > height) {
    h = height;
    w = height * kScreenWidth / kScreenHeight;
  }
  if (w == 0 || h == 0) w = h = 0;
  const SDL_Rect r = {static_cast<Sint16>((width - w) / 2), static_cast<Sint16>((height - h) / 2),
                      static_cast<Uint16>(w), static_cast<Uint16>(h)};
  return r;
}

void SetCanvas(SDL_Surface* surface) {
  canvas.surface = surface;
  canvas.area = surface ? FitInside(surface->w, surface->h) : SDL_Rect{0, 0, 0, 0};
  if (!surface) return;
  SDL_SetClipRect(surface, nullptr);
  if (canvas.area.w != surface->w || canvas.area.h != surface->h)
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
  SDL_SetClipRect(surface, &canvas.area);
}

bool AtShowSize() {
  return canvas.area.w == kScreenWidth && canvas.area.h == kScreenHeight;
}

// floor(v * size / unit), for any sign of v.
static int Scaled(int v, int size, int unit) {
  const long long p = static_cast<long long>(v) * size;
  return static_cast<int>(p >= 0 ? p / unit : -((-p + unit - 1) / unit));
}

int CanvasX(int x) {
  return canvas.area.x + Scaled(x, canvas.area.w, kScreenWidth);
}

int CanvasY(int y) {
  return canvas.area.y + Scaled(y, canvas.area.h, kScreenHeight);
}

int CanvasWidth(int x, int w) {
  return CanvasX(x + w) - CanvasX(x);
}

int CanvasHeight(int y, int h) {
  return CanvasY(y + h) - CanvasY(y);
}

SDL_Rect CanvasRect(int x, int y, int w, int h) {
  const int left = CanvasX(x), top = CanvasY(y);
  return SDL_Rect{static_cast<Sint16>(left), static_cast<Sint16>(top),
                  static_cast<Uint16>(std::max(0, CanvasX(x + w) - left)),
                  static_cast<Uint16>(std::max(0, CanvasY(y + h) - top))};
}

int CanvasFontPixels(int pixels) {
  // Rounded to the nearest pixel.
  return static_cast<int>((2LL * pixels * canvas.area.h + kScreenHeight) / (2 * kScreenHeight));
}

struct Twin {
  const SDL_Surface* picture;
  SDL_Surface* twin;
};
static Twin twins[kMaxTwins];

bool SetTwin(SDL_Surface* picture, SDL_Surface* twin) {
  Twin* free = nullptr;
  for (Twin& t : twins) {
    if (t.picture == picture) {
      SDL_FreeSurface(t.twin);
      t = Twin{};
    }
    if (!t.picture && !free) free = &t;
  }
  if (!twin) return true;
  if (!free || !picture) {
    SDL_FreeSurface(twin);
    return false;
  }
  *free = Twin{picture, twin};
  return true;
}

SDL_Surface* TwinOf(const SDL_Surface* picture) {
  if (!picture) return nullptr;
  for (const Twin& t : twins)
    if (t.picture == picture) return t.twin;
  return nullptr;
}

void ReleaseTwins() {
  for (Twin& t : twins) {
    if (t.twin) SDL_FreeSurface(t.twin);
    t = Twin{};
  }
}

SDL_Rect PlacedRect(const SDL_Surface* picture, int x, int y) {
  if (AtShowSize())
    return SDL_Rect{static_cast<Sint16>(canvas.area.x + x), static_cast<Sint16>(canvas.area.y + y),
                    static_cast<Uint16>(picture->w), static_cast<Uint16>(picture->h)};
  const SDL_Surface* twin = TwinOf(picture);
  if (!twin) return CanvasRect(x, y, picture->w, picture->h);
  return SDL_Rect{static_cast<Sint16>(CanvasX(x)), static_cast<Sint16>(CanvasY(y)),
                  static_cast<Uint16>(twin->w), static_cast<Uint16>(twin->h)};
}

// The twin takes the picture's whole-surface transparency; a twin with an alpha channel has
// its own and SDL ignores the other.
static void TakeTransparency(const SDL_Surface* picture, SDL_Surface* twin) {
  const bool blends = picture->flags & SDL_SRCALPHA;
  const Uint8 opacity = blends ? picture->format->alpha : SDL_ALPHA_OPAQUE;
  if (twin->format->Amask || ((twin->flags & SDL_SRCALPHA) == (blends ? SDL_SRCALPHA : 0u) &&
                              twin->format->alpha == opacity))
    return;
  SetTransparency(twin, SDL_ALPHA_OPAQUE - opacity);
  if (!blends) SDL_SetAlpha(twin, twin->flags & SDL_RLEACCELOK ? SDL_RLEACCEL : 0, 0);
}

// A picture whose twin is not made yet (a photo the worker has not finished): stretched as it
// is, nearest pixel, once per pass until the twin comes.
static void Stretch(SDL_Surface* picture, SDL_Rect to) {
  const SDL_Rect& clip = canvas.surface->clip_rect;
  if (to.w == 0 || to.h == 0 ||
      picture->format->BitsPerPixel != canvas.surface->format->BitsPerPixel ||
      (picture->flags & SDL_SRCCOLORKEY) || to.x < clip.x || to.y < clip.y ||
      to.x + to.w > clip.x + clip.w || to.y + to.h > clip.y + clip.h)
    return;
  SDL_SoftStretch(picture, nullptr, canvas.surface, &to);
}

void DrawPicture(SDL_Surface* picture, int x, int y) {
  if (!picture) return;
  if (AtShowSize()) {
    BlitWhole(picture, canvas.surface, canvas.area.x + x, canvas.area.y + y);
    return;
  }
  SDL_Surface* twin = TwinOf(picture);
  if (!twin) {
    Stretch(picture, CanvasRect(x, y, picture->w, picture->h));
    return;
  }
  TakeTransparency(picture, twin);
  BlitWhole(twin, canvas.surface, CanvasX(x), CanvasY(y));
}
