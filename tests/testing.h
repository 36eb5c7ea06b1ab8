// Shared by the test programs: a headless display and small pixel helpers.
#pragma once

#include <SDL.h>

#include <string>

// Opens SDL's dummy video driver at the show's size in `depth` bits per pixel, once per process
// (again when the depth changes). Returns the display surface.
SDL_Surface* OpenTestDisplay(int depth = 16);
// A file of the demo show, e.g. DemoFile(kFontFile).
std::string DemoFile(const std::string& relative);
// The raw pixel value at (x, y), any depth.
Uint32 PixelAt(SDL_Surface* surface, int x, int y);
// The colour at (x, y) in 8-bit channels.
SDL_Color ColourAt(SDL_Surface* surface, int x, int y);
