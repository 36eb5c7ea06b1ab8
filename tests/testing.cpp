#include "testing.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/canvas.h"
#include "anim/surfaces.h"
#include "common.h"
#include "facts.h"

SDL_Surface* OpenTestDisplay(int depth) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (!SDL_WasInit(SDL_INIT_VIDEO)) SDL_Init(SDL_INIT_VIDEO);
  SDL_Surface* display = SDL_GetVideoSurface();
  if (!display || display->format->BitsPerPixel != depth)
    display = SDL_SetVideoMode(kScreenWidth, kScreenHeight, depth, SDL_SWSURFACE);
  SetCanvas(display);
  return display;
}

std::string DemoFile(const std::string& relative) {
  return std::string(TOLVANE_DEMO_DIR) + "/" + relative;
}

Uint32 PixelAt(SDL_Surface* surface, int x, int y) {
  SDL_LockSurface(surface);
  const Uint8 bpp = surface->format->BytesPerPixel;
  const Uint8* p = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bpp;
  const Uint32 value = PixelValue(p, bpp);
  SDL_UnlockSurface(surface);
  return value;
}

SDL_Color ColourAt(SDL_Surface* surface, int x, int y) {
  SDL_Color c = {0, 0, 0, 0};
  SDL_GetRGB(PixelAt(surface, x, y), surface->format, &c.r, &c.g, &c.b);
  return c;
}

double Psnr(SDL_Surface* a, SDL_Surface* b) {
  if (!a || !b || a->w != b->w || a->h != b->h) return 0;
  double sum = 0;
  for (int y = 0; y < a->h; y++)
    for (int x = 0; x < a->w; x++) {
      const SDL_Color p = ColourAt(a, x, y), q = ColourAt(b, x, y);
      const int d[3] = {p.r - q.r, p.g - q.g, p.b - q.b};
      for (int c : d) sum += c * c;
    }
  const double mse = sum / (3.0 * a->w * a->h);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

bool WriteTestJpeg(const std::string& path, const JpegKind& kind, int width, int height,
                   int quality, const std::function<void(int y, std::vector<Uint8>& row)>& fill) {
  JpegCoding coding;
  coding.quality = quality;
  coding.components = kind.components;
  coding.hSample = kind.hSample;
  coding.vSample = kind.vSample;
  coding.progressive = kind.progressive;
  coding.arithmetic = kind.arithmetic;
  coding.restartInterval = kind.restartInterval;
  std::vector<Uint8> samples(static_cast<size_t>(width) * kind.components);
  return WriteJpeg(path.c_str(), width, height, coding, [&](int y, unsigned char* row) {
    fill(y, samples);
    memcpy(row, samples.data(), samples.size());
  });
}
