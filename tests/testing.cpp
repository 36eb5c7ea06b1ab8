#include "testing.h"

#include <cstdio>
#include <cstdlib>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "anim/surfaces.h"
#include "facts.h"

SDL_Surface* OpenTestDisplay(int depth) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (!SDL_WasInit(SDL_INIT_VIDEO)) SDL_Init(SDL_INIT_VIDEO);
  SDL_Surface* display = SDL_GetVideoSurface();
  if (!display || display->format->BitsPerPixel != depth)
    display = SDL_SetVideoMode(kScreenWidth, kScreenHeight, depth, SDL_SWSURFACE);
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

bool WriteTestJpeg(const std::string& path, const JpegKind& kind, int width, int height,
                   int quality, const std::function<void(int y, std::vector<Uint8>& row)>& fill) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = width;
  info.image_height = height;
  info.input_components = kind.components;
  info.in_color_space = kind.components == 4   ? JCS_CMYK
                        : kind.components == 1 ? JCS_GRAYSCALE
                                               : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.comp_info[0].h_samp_factor = kind.hSample;
  info.comp_info[0].v_samp_factor = kind.vSample;
  if (kind.progressive) jpeg_simple_progression(&info);
  info.arith_code = kind.arithmetic;
  info.restart_interval = kind.restartInterval;
  jpeg_start_compress(&info, TRUE);
  std::vector<Uint8> row(static_cast<size_t>(width) * kind.components);
  while (info.next_scanline < info.image_height) {
    fill(info.next_scanline, row);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return fclose(file) == 0;
}
