// The renderer's pictures: a frame as a PNG, one frame or a sequence of them, at the show's size
// or scaled to --size as tolvane -fit scales it.
#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "anim/surfaces.h"
#include "driver/display.h"
#include "driver/show.h"
#include "common.h"
#include "render.h"

// libpng reports errors through a long jump; this writer keeps its own flag instead.
static void PngError(png_structp png, png_const_charp message) {
  Fail(kRenderer, "%s", message);
  png_longjmp(png, 1);
}

bool LockPicture(SDL_Surface* picture) {
  if (SDL_LockSurface(picture) == 0) return true;
  return Fail(kRenderer, "couldn't lock a %dx%d picture: %s", picture->w, picture->h,
              SDL_GetError());
}

// One row at a time from the surface (locked): the picture is the screen's pixels, as SDL
// reads their colours, in 8 bits a channel.
static void WriteRows(png_structp png, SDL_Surface* surface) {
  PrepareRgb(surface->format);
  static Uint32 colours[kMaxFitWidth];
  static png_byte row[kMaxFitWidth * 3];
  for (int y = 0; y < surface->h; ++y) {
    RgbRow(surface, y, surface->w, colours);
    for (int x = 0; x < surface->w; ++x) {
      row[3 * x] = static_cast<png_byte>(colours[x] >> 16);
      row[3 * x + 1] = static_cast<png_byte>(colours[x] >> 8);
      row[3 * x + 2] = static_cast<png_byte>(colours[x]);
    }
    png_write_row(png, row);
  }
}

bool WritePng(SDL_Surface* surface, const char* path) {
  FILE* file = fopen(path, "wb");
  if (!file) return Fail(kRenderer, "cannot write %s: %s", path, strerror(errno));
  RemoveIfStopped(path);  // half a picture is no picture
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool locked = png && info && surface && surface->w <= kMaxFitWidth && LockPicture(surface);
  bool ok = locked;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, surface->w, surface->h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    WriteRows(png, surface);
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  if (locked) SDL_UnlockSurface(surface);
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (fclose(file) != 0) ok = false;
  KeepIfStopped(path);
  if (!ok) Fail(kRenderer, "could not write %s", path);
  return ok;
}

SDL_Surface* OutputFrame() {
  if (canvas.surface->w == settings.width && canvas.surface->h == settings.height)
    return canvas.surface;
  static SDL_Surface* scaled = nullptr;
  if (!scaled)
    scaled = SDL_CreateRGBSurface(SDL_SWSURFACE, settings.width, settings.height, 32, 0xFF0000,
                                  0x00FF00, 0x0000FF, 0);
  if (!scaled) {
    Fail(kRenderer, "couldn't make a %dx%d picture: %s", settings.width, settings.height,
         SDL_GetError());
    return nullptr;
  }
  ScalePicture(canvas.surface, scaled);
  return scaled;
}

bool WithinShow(int f, const char* option) {
  if (f <= LastFrame()) return true;
  char last[32];
  FormatTime(LastFrame(), last, sizeof last);
  return Fail(kRenderer, "%s %d is after the show's last frame, %d (%s)", option, f, LastFrame(),
              last);
}

int RenderOneFrame() {
  if (!WithinShow(settings.frame, "frame") || IsRunInput(settings.output)) return kExitUsage;
  DrawFrame(settings.frame);
  return WritePng(OutputFrame(), settings.output) ? kExitDone : kExitOutput;
}

int RenderSequence() {
  const int from = settings.from == kUnset ? 0 : settings.from;
  const int to = settings.to == kUnset ? LastFrame() : settings.to;
  const int every = settings.every == kUnset ? kDefaultEvery : settings.every;
  if (!WithinShow(from, "--from") || !WithinShow(to, "--to")) return kExitUsage;
  if (mkdir(settings.output, 0777) != 0 && errno != EEXIST) {
    Fail(kRenderer, "cannot make the folder %s: %s", settings.output, strerror(errno));
    return kExitOutput;
  }
  ProgressStart("pictures", (to - from) / every + 1);
  long done = 0;
  for (int f = from; f <= to; f += every) {
    DrawFrame(f);
    char path[kPathSize + 32];
    snprintf(path, sizeof path, "%s/frame-%06d.png", settings.output, f);
    const bool input = IsRunInput(path);
    if (input || !WritePng(OutputFrame(), path)) {
      ProgressEnd();
      return input ? kExitUsage : kExitOutput;
    }
    ProgressStep(++done);
  }
  ProgressEnd();
  return kExitDone;
}
