// The thin layer over SDL 1.2's surfaces (surfaces.cpp), where the library differs from what
// the program needs. The animation, the driver, the text blocks and the loader draw through it.
#pragma once

#include <SDL.h>

// SDL 1.2 surface alpha is opacity; ours is transparency. Every whole-surface alpha goes
// through here.
void SetTransparency(SDL_Surface* picture, int transparency);
// Whether `picture` covers all that lies under it when drawn: no key, no alpha that blends.
bool DrawnOpaque(const SDL_Surface* picture);
// Blits all of `picture` onto `target` with its top-left corner at (x, y), as SDL_UpperBlit
// does. Where SDL would only copy (no key, opaque, the target's format) it copies with memcpy:
// SDL 1.2's copy goes around the cache 8 bytes at a time and is several times slower.
void BlitWhole(SDL_Surface* picture, SDL_Surface* target, int x, int y);
// The part of the w x h rectangle at (x, y) that lies in `clip`, as its edges; nothing lies
// there when left >= right or top >= bottom.
struct Edges {
  int left, top, right, bottom;
};
Edges ClipEdges(const SDL_Rect& clip, int x, int y, int w, int h);
// SDL_DisplayFormat, for the canvas's pixel format: every picture of the show takes it.
SDL_Surface* CanvasFormat(SDL_Surface* picture);
// A new w x h surface in system memory in the canvas's pixel format; null when there is no
// canvas or SDL makes none.
SDL_Surface* NewCanvasSurface(int w, int h);
// Whether pixels of `format` are 16-bit 5-6-5 red, green, blue.
bool Is565(const SDL_PixelFormat* format);
// The pixel value at `p` in a surface of `bytes` bytes per pixel.
Uint32 PixelValue(const Uint8* p, int bytes);

// Pixels as colours 0x00RRGGBB, what SDL_GetRGB gives for each: the one conversion that
// -fit's scaler, the renderer's pictures and its video take the screen's colours from.
// Readies the conversion of pixels of `format`; once per picture, before RgbRow. Pixels of up
// to 16 bits go through a table of every value, made again only when the format or its
// palette has changed.
void PrepareRgb(SDL_PixelFormat* format);
// The first `count` pixels of row y of `picture` (locked, its format readied) into `out`.
void RgbRow(const SDL_Surface* picture, int y, int count, Uint32* out);
