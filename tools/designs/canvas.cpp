// The canvas and its antialiased shapes, gradients, lights and grain.
#include "designs.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace draw {

Canvas canvas;

// Edges are sampled 4x4 times per pixel.
constexpr int kSubsamples = 4;

void NewCanvas(int w, int h, Colour c, float scale) {
  canvas.scale = scale;
  canvas.w = Pixels(w);
  canvas.h = Pixels(h);
  for (int i = 0; i < canvas.w * canvas.h; ++i) {
    canvas.px[i * 3] = c.r;
    canvas.px[i * 3 + 1] = c.g;
    canvas.px[i * 3 + 2] = c.b;
  }
}

int Pixels(float n) {
  return static_cast<int>(std::lround(n * canvas.scale));
}

static Uint8 Channel(float v) {
  return v < 0 ? 0 : v > 255 ? 255 : static_cast<Uint8>(v + 0.5f);
}

Colour Mix(Colour a, Colour b, float t) {
  return {Channel(a.r + (b.r - a.r) * t), Channel(a.g + (b.g - a.g) * t),
          Channel(a.b + (b.b - a.b) * t)};
}

Colour Shade(Colour c, float factor) {
  return {Channel(c.r * factor), Channel(c.g * factor), Channel(c.b * factor)};
}

void Blend(int x, int y, Colour c, float op) {
  if (x < 0 || y < 0 || x >= canvas.w || y >= canvas.h || op <= 0) return;
  Uint8* p = canvas.px + (y * canvas.w + x) * 3;
  if (op >= 1) {  // what the mix gives, without its sums
    p[0] = c.r, p[1] = c.g, p[2] = c.b;
    return;
  }
  p[0] = Channel(p[0] + (c.r - p[0]) * op);
  p[1] = Channel(p[1] + (c.g - p[1]) * op);
  p[2] = Channel(p[2] + (c.b - p[2]) * op);
}

// Fills the pixels of the box whose subsamples satisfy `inside`, weighted by coverage; the box
// and the points `inside` is asked about are in design pixels.
template <class Inside>
static void Cover(float x0, float y0, float x1, float y1, Colour c, float op, Inside inside) {
  const float s = canvas.scale;
  x0 *= s, y0 *= s, x1 *= s, y1 *= s;
  const int ix0 = static_cast<int>(std::floor(x0 < 0 ? 0 : x0));
  const int iy0 = static_cast<int>(std::floor(y0 < 0 ? 0 : y0));
  const int ix1 = static_cast<int>(std::ceil(x1 > canvas.w ? canvas.w : x1));
  const int iy1 = static_cast<int>(std::ceil(y1 > canvas.h ? canvas.h : y1));
  auto sample = [&](int x, int y, int sx, int sy) {
    return inside((x + (sx + 0.5f) / kSubsamples) / s, (y + (sy + 0.5f) / kSubsamples) / s);
  };
  constexpr int kLast = kSubsamples - 1;
  for (int y = iy0; y < iy1; ++y) {
    for (int x = ix0; x < ix1; ++x) {
      // Enlarged, no detail of a design is thinner than a pixel: a pixel whose corner samples
      // are all inside is inside, one whose corner samples are all outside is outside (but for
      // an edge less than an eighth of a pixel into it), and most pixels of a large shape's
      // box are asked four times, not 16.
      if (s > 1) {
        const int corners = sample(x, y, 0, 0) + sample(x, y, kLast, 0) + sample(x, y, 0, kLast) +
                            sample(x, y, kLast, kLast);
        if (corners == 0) continue;
        if (corners == 4) {
          Blend(x, y, c, op);
          continue;
        }
      }
      int hits = 0;
      for (int sy = 0; sy < kSubsamples; ++sy)
        for (int sx = 0; sx < kSubsamples; ++sx)
          if (sample(x, y, sx, sy)) ++hits;
      if (hits) Blend(x, y, c, op * hits / (kSubsamples * kSubsamples));
    }
  }
}

void VGradient(float x0, float y0, float x1, float y1, Colour top, Colour bottom) {
  const float s = canvas.scale;
  x0 *= s, y0 *= s, x1 *= s, y1 *= s;
  for (int y = static_cast<int>(y0); y < y1; ++y) {
    const Colour c = Mix(top, bottom, (y - y0) / (y1 - y0 > 1 ? y1 - y0 - 1 : 1));
    for (int x = static_cast<int>(x0); x < x1; ++x) Blend(x, y, c, 1);
  }
}

void Glow(float cx, float cy, float r, Colour c, float op) {
  const float s = canvas.scale;
  cx *= s, cy *= s, r *= s;
  // Only the canvas's pixels: a large light reaches far beyond it.
  for (int y = std::max(static_cast<int>(cy - r), 0); y <= cy + r && y < canvas.h; ++y) {
    for (int x = std::max(static_cast<int>(cx - r), 0); x <= cx + r && x < canvas.w; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / r;
      if (d < 1) Blend(x, y, c, op * (1 - d) * (1 - d));
    }
  }
}

void Rect(float x0, float y0, float x1, float y1, Colour c, float op) {
  Cover(x0, y0, x1, y1, c, op,
        [&](float x, float y) { return x >= x0 && x < x1 && y >= y0 && y < y1; });
}

void RoundRect(float x0, float y0, float x1, float y1, float radius, Colour c, float op) {
  Cover(x0, y0, x1, y1, c, op, [&](float x, float y) {
    if (x < x0 || x >= x1 || y < y0 || y >= y1) return false;
    const float dx = x < x0 + radius ? x0 + radius - x : x > x1 - radius ? x - (x1 - radius) : 0;
    const float dy = y < y0 + radius ? y0 + radius - y : y > y1 - radius ? y - (y1 - radius) : 0;
    return dx * dx + dy * dy <= radius * radius;
  });
}

void Ellipse(float cx, float cy, float rx, float ry, Colour c, float op) {
  Cover(cx - rx, cy - ry, cx + rx, cy + ry, c, op, [&](float x, float y) {
    const float dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1;
  });
}

void Circle(float cx, float cy, float r, Colour c, float op) {
  Ellipse(cx, cy, r, r, c, op);
}

void Polygon(const float* xy, int points, Colour c, float op) {
  float x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
  for (int i = 1; i < points; ++i) {
    x0 = std::fmin(x0, xy[i * 2]);
    x1 = std::fmax(x1, xy[i * 2]);
    y0 = std::fmin(y0, xy[i * 2 + 1]);
    y1 = std::fmax(y1, xy[i * 2 + 1]);
  }
  // Where the edges cross each of the last kSubsamples sample rows: a sample is inside when
  // an odd number of crossings lie to its right. The same sums as edge by edge, done once a row.
  struct Crossings {
    float y = NAN;
    std::vector<float> x;
  };
  Crossings rows[kSubsamples];
  int next = 0;
  auto crossingsAt = [&](float y) -> const std::vector<float>& {
    for (const Crossings& row : rows)
      if (row.y == y) return row.x;
    Crossings& row = rows[next];
    next = (next + 1) % kSubsamples;
    row.y = y;
    row.x.clear();
    for (int i = 0, j = points - 1; i < points; j = i++) {
      const float xi = xy[i * 2], yi = xy[i * 2 + 1], xj = xy[j * 2], yj = xy[j * 2 + 1];
      if ((yi > y) != (yj > y)) row.x.push_back((xj - xi) * (y - yi) / (yj - yi) + xi);
    }
    return row.x;
  };
  Cover(x0, y0, x1, y1, c, op, [&](float x, float y) {
    bool in = false;
    for (float crossing : crossingsAt(y))
      if (x < crossing) in = !in;
    return in;
  });
}

void Line(float x0, float y0, float x1, float y1, float width, Colour c, float op) {
  const float r = width / 2, dx = x1 - x0, dy = y1 - y0;
  const float length2 = dx * dx + dy * dy > 0 ? dx * dx + dy * dy : 1;
  Cover(std::fmin(x0, x1) - r, std::fmin(y0, y1) - r, std::fmax(x0, x1) + r, std::fmax(y0, y1) + r,
        c, op, [&](float x, float y) {
          float t = ((x - x0) * dx + (y - y0) * dy) / length2;
          t = t < 0 ? 0 : t > 1 ? 1 : t;
          const float ex = x0 + t * dx - x, ey = y0 + t * dy - y;
          return ex * ex + ey * ey <= r * r;
        });
}

void Vignette(float strength) {
  const float cx = canvas.w / 2.0f, cy = canvas.h / 2.0f;
  for (int y = 0; y < canvas.h; ++y) {
    for (int x = 0; x < canvas.w; ++x) {
      const float dx = (x - cx) / cx, dy = (y - cy) / cy;
      Blend(x, y, {0, 0, 0}, strength * (dx * dx + dy * dy) / 2);
    }
  }
}

static Uint32 randomState = 1;

void Seed(Uint32 seed) {
  randomState = seed ? seed : 1;
}

float Random(float lo, float hi) {
  // xorshift32: enough for scattering stars and grain, and the same on every machine.
  randomState ^= randomState << 13;
  randomState ^= randomState >> 17;
  randomState ^= randomState << 5;
  return lo + (hi - lo) * (randomState & 0xFFFFFF) / float(0x1000000);
}

void Grain(float amount) {
  for (int i = 0; i < canvas.w * canvas.h * 3; i += 3) {
    const float n = Random(-amount, amount);
    for (int k = 0; k < 3; ++k) canvas.px[i + k] = Channel(canvas.px[i + k] + n);
  }
}

}  // namespace draw
