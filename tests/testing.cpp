#include "testing.h"

#include <cstdlib>

SDL_Surface* OpenTestDisplay(int depth) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (!SDL_WasInit(SDL_INIT_VIDEO)) SDL_Init(SDL_INIT_VIDEO);
  SDL_Surface* display = SDL_GetVideoSurface();
  if (!display || display->format->BitsPerPixel != depth)
    display = SDL_SetVideoMode(640, 480, depth, SDL_SWSURFACE);
  return display;
}

std::string DemoFile(const std::string& relative) {
  return std::string(TOLVANE_DEMO_DIR) + "/" + relative;
}

Uint32 PixelAt(SDL_Surface* surface, int x, int y) {
  SDL_LockSurface(surface);
  const Uint8 bpp = surface->format->BytesPerPixel;
  const Uint8* p = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bpp;
  Uint32 value = 0;
  switch (bpp) {
    case 1: value = *p; break;
    case 2: value = *reinterpret_cast<const Uint16*>(p); break;
    case 3: value = p[0] | p[1] << 8 | p[2] << 16; break;
    default: value = *reinterpret_cast<const Uint32*>(p); break;
  }
  SDL_UnlockSurface(surface);
  return value;
}

SDL_Color ColourAt(SDL_Surface* surface, int x, int y) {
  SDL_Color c = {0, 0, 0, 0};
  SDL_GetRGB(PixelAt(surface, x, y), surface->format, &c.r, &c.g, &c.b);
  return c;
}
