// Shared by the test programs: a headless display and small pixel helpers.
#pragma once

#include <SDL.h>

#include <functional>
#include <string>
#include <vector>

// Opens SDL's dummy video driver at the show's size in `depth` bits per pixel, once per process
// (again when the depth changes). Returns the display surface.
SDL_Surface* OpenTestDisplay(int depth = 16);
// A file of the demo show, e.g. DemoFile(kFontFile).
std::string DemoFile(const std::string& relative);
// The raw pixel value at (x, y), any depth.
Uint32 PixelAt(SDL_Surface* surface, int x, int y);
// The colour at (x, y) in 8-bit channels.
SDL_Color ColourAt(SDL_Surface* surface, int x, int y);
// Peak signal-to-noise ratio of two pictures of one size over their colours, in dB (99 for
// the same colours); 0 for pictures of different sizes.
double Psnr(SDL_Surface* a, SDL_Surface* b);

// A JPEG file for a test: its channels (1 grey, 3 RGB, 4 CMYK), the sampling of its first
// channel (the others 1 x 1), and how it is coded.
struct JpegKind {
  const char* name = "";
  int components = 3;
  int hSample = 2, vSample = 2;
  bool progressive = false, arithmetic = false;
  int restartInterval = 0;  // in MCUs
};
// Writes it at `quality`; fill(y, row) gives row y's samples, `components` a pixel. False
// when the file cannot be written.
bool WriteTestJpeg(const std::string& path, const JpegKind& kind, int width, int height,
                   int quality, const std::function<void(int y, std::vector<Uint8>& row)>& fill);
