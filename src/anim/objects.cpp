#include "anim/anim.h"

#include <algorithm>
#include <cstring>

CIB tt[kObjectPoolSize];

void SetTransparency(SDL_Surface* picture, int transparency) {
  if (!picture) return;
  const int t = std::clamp(transparency, 0, 255);
  // SDL_SetAlpha without SDL_RLEACCEL takes a keyed picture's run-length encoding away for
  // good, and every blit after it tests each pixel for the key. Drawn opaque, the encoded
  // picture gives the same pixels, so the encoding is kept for it.
  const bool keepRuns = t == 0 && (picture->flags & SDL_RLEACCELOK);
  SDL_SetAlpha(picture, SDL_SRCALPHA | (keepRuns ? SDL_RLEACCEL : 0), static_cast<Uint8>(255 - t));
}

// Memory that may be written without locking: SDL's software surfaces.
static bool InPlainMemory(const SDL_Surface* surface) {
  return !SDL_MUSTLOCK(surface);
}

// What SDL's blit would merely copy: no key, no alpha that blends, the same pixel layout.
static bool CopiedAsIs(const SDL_Surface* picture, const SDL_Surface* target) {
  const SDL_PixelFormat* from = picture->format;
  const SDL_PixelFormat* to = target->format;
  const bool blends =
      (picture->flags & SDL_SRCALPHA) && (from->alpha != SDL_ALPHA_OPAQUE || from->Amask);
  return InPlainMemory(picture) && InPlainMemory(target) && !(picture->flags & SDL_SRCCOLORKEY) &&
         !blends && !from->palette && !to->palette && from->BitsPerPixel == to->BitsPerPixel &&
         from->BytesPerPixel == to->BytesPerPixel && from->Rmask == to->Rmask &&
         from->Gmask == to->Gmask && from->Bmask == to->Bmask && from->Amask == to->Amask;
}

void BlitWhole(SDL_Surface* picture, SDL_Surface* target, int x, int y) {
  SDL_Rect at = {static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(picture->w),
                 static_cast<Uint16>(picture->h)};
  if (!CopiedAsIs(picture, target)) {
    SDL_UpperBlit(picture, nullptr, target, &at);
    return;
  }
  // Clipped to the target's clip rectangle, as the blit is.
  const SDL_Rect& clip = target->clip_rect;
  const int left = std::max(static_cast<int>(at.x), static_cast<int>(clip.x));
  const int top = std::max(static_cast<int>(at.y), static_cast<int>(clip.y));
  const int right = std::min(at.x + picture->w, clip.x + clip.w);
  const int bottom = std::min(at.y + picture->h, clip.y + clip.h);
  if (left >= right || top >= bottom) return;
  const int bpp = target->format->BytesPerPixel;
  const size_t bytes = static_cast<size_t>(right - left) * bpp;
  const Uint8* from = static_cast<const Uint8*>(picture->pixels) + (top - at.y) * picture->pitch +
                      (left - at.x) * bpp;
  Uint8* to = static_cast<Uint8*>(target->pixels) + top * target->pitch + left * bpp;
  for (int row = top; row < bottom; ++row, from += picture->pitch, to += target->pitch)
    memcpy(to, from, bytes);
}

CIB::CIB() : trail(false), alpha(0), surface(nullptr), path(nullptr) {}

CIB::~CIB() {
  Dispose();
}

void CIB::Activate(CWP* path, int copies, bool trail) {
  active = true;
  this->path = path;
  this->copies = copies;
  this->trail = trail;
}

void CIB::Deactivate() {
  active = false;
}

// Never frees: the picture belongs to whoever stored it.
void CIB::Dispose() {
  surface = nullptr;
}

constexpr int kCopyLag = 3;         // frames between consecutive copies, and before the newest
constexpr int kTrailSpread = 240;   // transparency shared out among the trail copies
constexpr int kTrailMaximum = 250;  // the faintest a trail copy gets

void CIB::Draw(int frame) {
  const int n = copies;
  if (n < 1 || !surface) return;
  SDL_Surface* display = SDL_GetVideoSurface();
  const int step = kTrailSpread / (n + 1);
  // Carried from copy to copy: outside the path KeyPos leaves the key alpha as it was.
  int x = 0, y = 0;
  unsigned char keyAlpha = 0;
  for (int i = 1; i <= n; ++i) {
    const int age = n - i + 1;  // oldest first, so the newest lands on top
    KeyPos(frame - kCopyLag * age, path, x, y, keyAlpha);
    const int t = trail ? std::min(keyAlpha + age * step, kTrailMaximum) : alpha;
    SetTransparency(surface, t);
    BlitWhole(surface, display, x, y);
  }
}

void ResetAnim() {
  for (CWP& key : pt) key = CWP{};
  for (CIB& object : tt) {
    object.active = false;
    object.trail = false;
    object.alpha = 0;
    object.copies = 0;
    object.surface = nullptr;
    object.path = nullptr;
  }
}
