// Pictures resized with a Lanczos-3 filter: a larger source reduced, or a show picture
// enlarged, to the size it takes on a canvas larger than the show. Transparency (a colour key
// or an alpha channel) is kept as an alpha channel, the colours weighed by it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "anim/surfaces.h"
#include "assets/assets.h"

// Lanczos with three lobes: sharp, and without the ringing of longer windows.
constexpr double kLobes = 3;

static double Lanczos(double x) {
  x = std::fabs(x);
  if (x < 1e-9) return 1;
  if (x >= kLobes) return 0;
  const double px = M_PI * x;
  return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// Output pixel i of a resize from `in` to `out` pixels: `count` weights from source pixel
// `first` on (the edge pixels repeated past the edges).
struct Taps {
  std::vector<int> first;
  std::vector<float> weights;  // `count` per output pixel
  int count = 0;
};

// `extent`: how many source pixels the picture spans, the last one perhaps in part.
static Taps TapsFor(int out, double extent) {
  Taps t;
  const double scale = out / extent;
  // Reducing, the filter widens to cover every source pixel: no aliasing.
  const double stretch = std::max(1.0, 1 / scale), support = kLobes * stretch;
  t.count = static_cast<int>(std::ceil(2 * support)) + 1;
  t.first.resize(out);
  t.weights.assign(static_cast<size_t>(out) * t.count, 0.f);
  for (int i = 0; i < out; ++i) {
    const double centre = (i + 0.5) / scale - 0.5;
    const int first = static_cast<int>(std::floor(centre - support)) + 1;
    double sum = 0;
    for (int k = 0; k < t.count; ++k) sum += Lanczos((first + k - centre) / stretch);
    t.first[i] = first;
    for (int k = 0; k < t.count; ++k)
      t.weights[static_cast<size_t>(i) * t.count + k] =
          static_cast<float>(Lanczos((first + k - centre) / stretch) / sum);
  }
  return t;
}

// Premultiplied red, green, blue and alpha, 0...1.
struct Pixel {
  float r, g, b, a;
};

// The picture's pixels as SDL reads their colours (a surface in system memory, read without
// locking: a worker thread reads photos the show may draw meanwhile); a keyed pixel, and per-pixel
// alpha, as alpha. `transparent` says whether any pixel is less than opaque.
static std::vector<Pixel> ReadPixels(SDL_Surface* picture, bool& transparent) {
  std::vector<Pixel> pixels(static_cast<size_t>(picture->w) * picture->h);
  const SDL_PixelFormat* f = picture->format;
  const bool keyed = picture->flags & SDL_SRCCOLORKEY;
  const int bytes = f->BytesPerPixel;
  transparent = false;
  for (int y = 0; y < picture->h; ++y) {
    const Uint8* row = static_cast<const Uint8*>(picture->pixels) + y * picture->pitch;
    for (int x = 0; x < picture->w; ++x) {
      const Uint32 v = PixelValue(row + x * bytes, bytes);
      Uint8 r, g, b, a;
      SDL_GetRGBA(v, const_cast<SDL_PixelFormat*>(f), &r, &g, &b, &a);
      if (!f->Amask) a = 255;
      if (keyed && v == f->colorkey) a = 0;
      transparent = transparent || a < 255;
      const float alpha = a / 255.f;
      pixels[static_cast<size_t>(y) * picture->w + x] = {r / 255.f * alpha, g / 255.f * alpha,
                                                         b / 255.f * alpha, alpha};
    }
  }
  return pixels;
}

static Uint8 Channel(float v) {
  return static_cast<Uint8>(std::clamp(std::lround(v * 255.f), 0L, 255L));
}

// One row of `in` pixels resized across to `out`.
static void Across(const Pixel* from, Pixel* to, int in, int out, const Taps& taps) {
  for (int i = 0; i < out; ++i) {
    const float* w = &taps.weights[static_cast<size_t>(i) * taps.count];
    Pixel sum = {0, 0, 0, 0};
    for (int k = 0; k < taps.count; ++k) {
      const Pixel& p = from[std::clamp(taps.first[i] + k, 0, in - 1)];
      sum.r += w[k] * p.r;
      sum.g += w[k] * p.g;
      sum.b += w[k] * p.b;
      sum.a += w[k] * p.a;
    }
    to[i] = sum;
  }
}

// Output row i of a resize down the columns: the weighed sum of whole source rows, a row at a
// time, so that the loop runs along memory.
static void Down(const std::vector<Pixel>& rows, int width, int in, int i, const Taps& taps,
                 Pixel* to) {
  float* out = &to->r;
  std::fill(out, out + 4 * width, 0.f);
  for (int k = 0; k < taps.count; ++k) {
    const float w = taps.weights[static_cast<size_t>(i) * taps.count + k];
    const float* row =
        &rows[static_cast<size_t>(std::clamp(taps.first[i] + k, 0, in - 1)) * width].r;
    for (int v = 0; v < 4 * width; ++v) out[v] += w * row[v];
  }
}

// A picture already of the size asked and opaque, as 0x00RRGGBB: no filter to run, and none of
// the filter's buffers, which for a 4K picture would hold some 200 MB.
static SDL_Surface* AsItIs(SDL_Surface* picture) {
  const bool keyed = picture->flags & SDL_SRCCOLORKEY;
  if (keyed || picture->format->Amask) return nullptr;
  SDL_Surface* copy = SDL_CreateRGBSurface(SDL_SWSURFACE, picture->w, picture->h, 32, 0xFF0000,
                                           0x00FF00, 0x0000FF, 0);
  if (copy && SDL_BlitSurface(picture, nullptr, copy, nullptr) != 0) {
    SDL_FreeSurface(copy);
    copy = nullptr;
  }
  return copy;
}

SDL_Surface* ResamplePicture(SDL_Surface* picture, int width, int height, double spanX,
                             double spanY) {
  if (!picture || width <= 0 || height <= 0 || picture->w <= 0 || picture->h <= 0) return nullptr;
  const bool whole = (spanX <= 0 || spanX == picture->w) && (spanY <= 0 || spanY == picture->h);
  if (whole && picture->w == width && picture->h == height)
    if (SDL_Surface* copy = AsItIs(picture)) return copy;
  bool transparent = false;
  const std::vector<Pixel> source = ReadPixels(picture, transparent);
  const int w = picture->w, h = picture->h;
  // Across, row by row; then down, a whole row at a time.
  std::vector<Pixel> across(static_cast<size_t>(width) * h);
  const Taps columns = TapsFor(width, spanX > 0 ? spanX : w);
  for (int y = 0; y < h; ++y)
    Across(&source[static_cast<size_t>(y) * w], &across[static_cast<size_t>(y) * width], w, width,
           columns);
  const Taps rows = TapsFor(height, spanY > 0 ? spanY : h);
  SDL_Surface* result = SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0xFF0000, 0x00FF00,
                                             0x0000FF, transparent ? 0xFF000000 : 0);
  if (!result) return nullptr;
  std::vector<Pixel> down(width);
  for (int y = 0; y < height; ++y) {
    Down(across, width, h, y, rows, down.data());
    Uint32* row =
        reinterpret_cast<Uint32*>(static_cast<Uint8*>(result->pixels) + y * result->pitch);
    for (int x = 0; x < width; ++x) {
      const Pixel& p = down[x];
      const float a = std::clamp(p.a, 0.f, 1.f), unweigh = a > 0 ? 1 / a : 0;
      const Uint32 alpha = transparent ? Uint32{Channel(a)} << 24 : 0;
      row[x] = alpha | Channel(p.r * unweigh) << 16 | Channel(p.g * unweigh) << 8 |
               Channel(p.b * unweigh);
    }
  }
  if (transparent) SDL_SetAlpha(result, SDL_SRCALPHA, SDL_ALPHA_OPAQUE);
  return result;
}
