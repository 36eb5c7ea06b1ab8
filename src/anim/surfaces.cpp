// The thin layer over SDL 1.2's surfaces that every subsystem draws through: transparency,
// whole-picture blits, surfaces in the display's format, the pixel tests they share and the
// conversion of pixels to colours.
#include <algorithm>
#include <cstring>

#include "anim/canvas.h"
#include "anim/surfaces.h"

void SetTransparency(SDL_Surface* picture, int transparency) {
  if (!picture) return;
  const int t = std::clamp(transparency, 0, 255);
  // SDL_SetAlpha without SDL_RLEACCEL takes a keyed picture's run-length encoding away for
  // good, and every blit after it tests each pixel for the key. Drawn opaque, the encoded
  // picture gives the same pixels, so the encoding is kept for it.
  const bool keepRuns = t == 0 && (picture->flags & SDL_RLEACCELOK);
  SDL_SetAlpha(picture, SDL_SRCALPHA | (keepRuns ? SDL_RLEACCEL : 0), static_cast<Uint8>(255 - t));
}

bool DrawnOpaque(const SDL_Surface* picture) {
  const bool blends = (picture->flags & SDL_SRCALPHA) &&
                      (picture->format->alpha != SDL_ALPHA_OPAQUE || picture->format->Amask);
  return !(picture->flags & SDL_SRCCOLORKEY) && !blends;
}

Edges ClipEdges(const SDL_Rect& clip, int x, int y, int w, int h) {
  return Edges{std::max(x, static_cast<int>(clip.x)), std::max(y, static_cast<int>(clip.y)),
               std::min(x + w, clip.x + clip.w), std::min(y + h, clip.y + clip.h)};
}

// Memory that may be written without locking: SDL's software surfaces.
static bool InPlainMemory(const SDL_Surface* surface) {
  return !SDL_MUSTLOCK(surface);
}

// What SDL's blit would merely copy: drawn opaque, the same pixel layout.
static bool CopiedAsIs(const SDL_Surface* picture, const SDL_Surface* target) {
  const SDL_PixelFormat* from = picture->format;
  const SDL_PixelFormat* to = target->format;
  return InPlainMemory(picture) && InPlainMemory(target) && DrawnOpaque(picture) &&
         !from->palette && !to->palette && from->BitsPerPixel == to->BitsPerPixel &&
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
  const Edges e = ClipEdges(target->clip_rect, at.x, at.y, picture->w, picture->h);
  if (e.left >= e.right || e.top >= e.bottom) return;
  const int bpp = target->format->BytesPerPixel;
  const size_t bytes = static_cast<size_t>(e.right - e.left) * bpp;
  const Uint8* from = static_cast<const Uint8*>(picture->pixels) + (e.top - at.y) * picture->pitch +
                      (e.left - at.x) * bpp;
  Uint8* to = static_cast<Uint8*>(target->pixels) + e.top * target->pitch + e.left * bpp;
  for (int row = e.top; row < e.bottom; ++row, from += picture->pitch, to += target->pitch)
    memcpy(to, from, bytes);
}

SDL_Surface* CanvasFormat(SDL_Surface* picture) {
  if (canvas.surface && canvas.surface == SDL_GetVideoSurface()) return SDL_DisplayFormat(picture);
  if (!canvas.surface) return nullptr;
  // What SDL_DisplayFormat asks of a display in system memory.
  const Uint32 kept = picture->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA | SDL_RLEACCELOK);
  return SDL_ConvertSurface(picture, canvas.surface->format, SDL_SWSURFACE | kept);
}

SDL_Surface* NewCanvasSurface(int w, int h) {
  const SDL_Surface* display = canvas.surface;
  if (!display) return nullptr;
  const SDL_PixelFormat* f = display->format;
  return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask,
                              f->Amask);
}

bool Is565(const SDL_PixelFormat* f) {
  return f->BytesPerPixel == 2 && !f->palette && f->Rmask == 0xF800 && f->Gmask == 0x07E0 &&
         f->Bmask == 0x001F;
}

Uint32 PixelValue(const Uint8* p, int bytes) {
  switch (bytes) {
    case 1:
      return *p;
    case 2:
      return *reinterpret_cast<const Uint16*>(p);
    case 3:
      return p[0] | p[1] << 8 | p[2] << 16;
    default:
      return *reinterpret_cast<const Uint32*>(p);
  }
}

// The colour of every pixel value of up to 16 bits, for the format (and palette) last readied.
static Uint32 colourOf[1 << 16];
static SDL_PixelFormat tabled;
static SDL_Color tabledColours[256];

static bool SameFormat(const SDL_PixelFormat* a, const SDL_PixelFormat* b) {
  return a->BitsPerPixel == b->BitsPerPixel && a->Rmask == b->Rmask && a->Gmask == b->Gmask &&
         a->Bmask == b->Bmask && !a->palette == !b->palette;
}

void PrepareRgb(SDL_PixelFormat* format) {
  if (format->BytesPerPixel > 2) return;  // converted pixel by pixel
  // A palette can change under the same format: compared by its colours.
  const SDL_Palette* palette = format->palette;
  const int colours = palette ? std::clamp(palette->ncolors, 0, 256) : 0;
  const bool samePalette =
      !palette || memcmp(tabledColours, palette->colors, colours * sizeof(SDL_Color)) == 0;
  if (tabled.BitsPerPixel && SameFormat(format, &tabled) && samePalette) return;
  tabled = *format;
  if (palette) memcpy(tabledColours, palette->colors, colours * sizeof(SDL_Color));
  const int values = format->BytesPerPixel == 1 ? 256 : 1 << 16;
  for (int v = 0; v < values; ++v) {
    Uint8 r, g, b;
    SDL_GetRGB(v, format, &r, &g, &b);
    colourOf[v] = r << 16 | g << 8 | b;
  }
}

void RgbRow(const SDL_Surface* picture, int y, int count, Uint32* __restrict out) {
  SDL_PixelFormat* f = picture->format;
  const Uint8* row = static_cast<const Uint8*>(picture->pixels) + y * picture->pitch;
  const int bytes = f->BytesPerPixel;
  if (bytes == 1) {
    for (int x = 0; x < count; ++x) out[x] = colourOf[row[x]];
  } else if (bytes == 2) {
    const Uint16* p = reinterpret_cast<const Uint16*>(row);
    for (int x = 0; x < count; ++x) out[x] = colourOf[p[x]];
  } else if (f->Rloss || f->Gloss || f->Bloss) {
    for (int x = 0; x < count; ++x) {
      Uint8 r, g, b;
      SDL_GetRGB(PixelValue(row + x * bytes, bytes), f, &r, &g, &b);
      out[x] = r << 16 | g << 8 | b;
    }
  } else {
    // Eight bits a channel: SDL_GetRGB's result is the field itself.
    const Uint32 rMask = f->Rmask, gMask = f->Gmask, bMask = f->Bmask;
    const int rShift = f->Rshift, gShift = f->Gshift, bShift = f->Bshift;
    const auto rgb = [&](Uint32 v) {
      return ((v & rMask) >> rShift) << 16 | ((v & gMask) >> gShift) << 8 | (v & bMask) >> bShift;
    };
    if (bytes == 4) {
      const Uint32* p = reinterpret_cast<const Uint32*>(row);
      for (int x = 0; x < count; ++x) out[x] = rgb(p[x]);
    } else {
      for (int x = 0; x < count; ++x) out[x] = rgb(PixelValue(row + x * 3, 3));
    }
  }
}
