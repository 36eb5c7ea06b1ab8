// People, trees, buildings and small props that the photos are composed of.
#include "designs.h"

#include <cmath>
#include <initializer_list>

namespace draw {

const Look looks[kLooks] = {
    {{240, 200, 170}, {90, 60, 30}, {220, 80, 70}, {50, 60, 90}},
    {{200, 150, 110}, {30, 25, 20}, {60, 130, 200}, {60, 55, 50}},
    {{250, 215, 190}, {230, 190, 100}, {90, 170, 110}, {40, 50, 80}},
    {{150, 100, 70}, {20, 15, 15}, {240, 190, 60}, {70, 70, 80}},
    {{235, 190, 160}, {150, 70, 40}, {150, 90, 180}, {45, 45, 60}},
    {{220, 175, 140}, {60, 45, 35}, {40, 160, 170}, {90, 70, 50}},
    {{245, 205, 175}, {200, 200, 195}, {200, 120, 60}, {50, 60, 70}},
    {{120, 80, 55}, {25, 20, 20}, {230, 110, 140}, {40, 40, 50}},
    {{250, 220, 200}, {120, 80, 40}, {100, 100, 110}, {30, 40, 70}},
    {{210, 160, 120}, {70, 40, 25}, {70, 90, 200}, {80, 60, 40}},
};

static void Head(float cx, float cy, float r, const Look& look, bool fromBehind) {
  if (fromBehind) {
    Circle(cx, cy, r, look.skin);
    Ellipse(cx, cy - r * 0.08f, r * 1.04f, r * 0.98f, look.hair);
    return;
  }
  Circle(cx, cy - r * 0.1f, r * 1.04f, look.hair);
  Ellipse(cx, cy + r * 0.12f, r * 0.86f, r * 0.84f, look.skin);
  Ellipse(cx, cy - r * 0.42f, r * 0.9f, r * 0.4f, look.hair);
  const float eye = std::fmax(0.7f, r * 0.12f);
  Circle(cx - r * 0.33f, cy + r * 0.1f, eye, {40, 30, 30});
  Circle(cx + r * 0.33f, cy + r * 0.1f, eye, {40, 30, 30});
  if (r > 6)
    Line(cx - r * 0.25f, cy + r * 0.48f, cx + r * 0.25f, cy + r * 0.48f, r * 0.1f, {150, 70, 60});
}

void Person(float x, float feet, float height, const Look& look, Pose pose, bool fromBehind) {
  const float h = height, r = h * 0.09f;
  const float headY = feet - h + r, shoulderY = feet - h + 2 * r + h * 0.03f;
  const float hipY = feet - h * 0.45f;
  // Legs first: the body overlaps their tops.
  float leftFoot = x - h * 0.07f, rightFoot = x + h * 0.07f;
  if (pose == kWalk) leftFoot = x - h * 0.17f, rightFoot = x + h * 0.15f;
  Line(x - h * 0.055f, hipY, leftFoot, feet - h * 0.03f, h * 0.095f, look.legs);
  Line(x + h * 0.055f, hipY, rightFoot, feet - h * 0.03f, h * 0.095f, look.legs);
  const Colour shoe = Shade(look.legs, 0.45f);
  Ellipse(leftFoot - h * 0.015f, feet - h * 0.02f, h * 0.055f, h * 0.028f, shoe);
  Ellipse(rightFoot + h * 0.015f, feet - h * 0.02f, h * 0.055f, h * 0.028f, shoe);

  // Hands, left then right as seen by the viewer.
  float lx = x - h * 0.17f, ly = hipY + h * 0.04f, rx = x + h * 0.17f, ry = hipY + h * 0.04f;
  switch (pose) {
    case kArmsDown:
      break;
    case kArmsUp:
      lx = x - h * 0.24f, ly = feet - h * 1.02f, rx = x + h * 0.24f, ry = feet - h * 1.02f;
      break;
    case kPointLeft:
      lx = x - h * 0.42f, ly = shoulderY - h * 0.06f;
      break;
    case kPointRight:
      rx = x + h * 0.42f, ry = shoulderY - h * 0.06f;
      break;
    case kCarry:
      rx = x + h * 0.2f, ry = hipY + h * 0.02f;
      break;
    case kWalk:
      lx = x - h * 0.2f, ly = hipY - h * 0.02f, rx = x + h * 0.13f, ry = hipY + h * 0.07f;
      break;
    case kWave:
      rx = x + h * 0.3f, ry = shoulderY - h * 0.2f;
      break;
    case kOneArmUp:
      rx = x + h * 0.12f, ry = feet - h * 1.08f;
      break;
  }
  const float sx = h * 0.115f;
  RoundRect(x - h * 0.14f, shoulderY - h * 0.01f, x + h * 0.14f, hipY + h * 0.06f, h * 0.06f,
            look.shirt);
  Line(x - sx, shoulderY + h * 0.04f, lx, ly, h * 0.075f, Shade(look.shirt, 0.9f));
  Line(x + sx, shoulderY + h * 0.04f, rx, ry, h * 0.075f, Shade(look.shirt, 0.9f));
  Circle(lx, ly, h * 0.035f, look.skin);
  Circle(rx, ry, h * 0.035f, look.skin);
  if (pose == kCarry) {
    RoundRect(rx - h * 0.02f, ry, rx + h * 0.2f, ry + h * 0.2f, h * 0.03f, {110, 70, 50});
    Line(rx + h * 0.03f, ry + h * 0.01f, rx + h * 0.15f, ry + h * 0.01f, h * 0.02f, {70, 45, 30});
  }
  Rect(x - h * 0.04f, shoulderY - h * 0.04f, x + h * 0.04f, shoulderY + h * 0.01f, look.skin);
  Head(x, headY, r, look, fromBehind);
}

void Seated(float x, float tableY, float height, const Look& look, bool fromBehind) {
  const float h = height, r = h * 0.09f;
  const float headY = tableY - h * 0.52f, shoulderY = headY + r + h * 0.03f;
  RoundRect(x - h * 0.14f, shoulderY - h * 0.01f, x + h * 0.14f, tableY + h * 0.2f, h * 0.06f,
            look.shirt);
  const float handY = fromBehind ? tableY - h * 0.06f : tableY + h * 0.01f;
  Line(x - h * 0.115f, shoulderY + h * 0.04f, x - h * 0.16f, handY, h * 0.075f,
       Shade(look.shirt, 0.9f));
  Line(x + h * 0.115f, shoulderY + h * 0.04f, x + h * 0.16f, handY, h * 0.075f,
       Shade(look.shirt, 0.9f));
  if (!fromBehind) {
    Circle(x - h * 0.16f, handY, h * 0.035f, look.skin);
    Circle(x + h * 0.16f, handY, h * 0.035f, look.skin);
  }
  Rect(x - h * 0.04f, shoulderY - h * 0.04f, x + h * 0.04f, shoulderY + h * 0.01f, look.skin);
  Head(x, headY, r, look, fromBehind);
}

void Silhouette(float x, float feet, float height, Colour c, Pose pose) {
  const Look dark = {c, c, c, c};
  Person(x, feet, height, dark, pose, true);
}

void Pine(float x, float foot, float height, Colour c) {
  const float h = height;
  Rect(x - h * 0.04f, foot - h * 0.15f, x + h * 0.04f, foot, Shade(c, 0.7f));
  for (int tier = 0; tier < 3; ++tier) {
    const float bottom = foot - h * (0.1f + tier * 0.25f), top = bottom - h * 0.45f;
    const float half = h * (0.3f - tier * 0.07f);
    const float tri[] = {x, top, x + half, bottom, x - half, bottom};
    Polygon(tri, 3, Shade(c, 1 + tier * 0.08f));
  }
}

void LeafyTree(float x, float foot, float height, Colour trunk, Colour leaves) {
  const float h = height;
  const float trunkShape[] = {
      x - h * 0.06f,    foot,           x + h * 0.06f,   foot, x + h * 0.035f,
      foot - h * 0.55f, x - h * 0.035f, foot - h * 0.55f};
  Polygon(trunkShape, 4, trunk);
  Line(x, foot - h * 0.45f, x - h * 0.16f, foot - h * 0.62f, h * 0.035f, trunk);
  Line(x, foot - h * 0.5f, x + h * 0.18f, foot - h * 0.66f, h * 0.035f, trunk);
  const float blobs[][3] = {{-0.22f, 0.62f, 0.2f},  {0.22f, 0.64f, 0.21f}, {0, 0.78f, 0.25f},
                            {-0.14f, 0.86f, 0.18f}, {0.16f, 0.84f, 0.19f}, {0, 0.62f, 0.2f}};
  for (const auto& b : blobs) Circle(x + b[0] * h, foot - b[1] * h, b[2] * h, leaves);
  for (const auto& b : blobs)
    Circle(x + b[0] * h - b[2] * h * 0.25f, foot - b[1] * h - b[2] * h * 0.3f, b[2] * h * 0.55f,
           Shade(leaves, 1.18f), 0.6f);
}

void Hills(float baseY, float amplitude, float phase, Colour c, float w) {
  constexpr int kSteps = 64;
  float xy[(kSteps + 3) * 2];
  for (int i = 0; i <= kSteps; ++i) {
    const float x = w * i / kSteps;
    xy[i * 2] = x;
    xy[i * 2 + 1] = baseY - amplitude * (0.6f * std::sin(x * 0.013f + phase) +
                                         0.4f * std::sin(x * 0.034f + phase * 2.3f) + 0.5f);
  }
  xy[(kSteps + 1) * 2] = w;
  xy[(kSteps + 1) * 2 + 1] = canvas.h / canvas.scale;
  xy[(kSteps + 2) * 2] = 0;
  xy[(kSteps + 2) * 2 + 1] = canvas.h / canvas.scale;
  Polygon(xy, kSteps + 3, c);
}

void Lodge(float x, float y, float w, float h) {
  constexpr Colour kWood = {156, 98, 56}, kRoof = {96, 52, 42}, kLight = {255, 220, 140};
  const float roofTop = y - h * 1.65f;
  Rect(x + w * 0.7f, roofTop - h * 0.1f, x + w * 0.8f, y - h * 1.1f, {110, 90, 80});
  Rect(x, y - h, x + w, y, kWood);
  for (float py = y - h + h * 0.12f; py < y; py += h * 0.16f)
    Rect(x, py, x + w, py + std::fmax(1, h * 0.025f), Shade(kWood, 0.75f));
  const float roof[] = {x - w * 0.08f, y - h + 1, x + w * 0.5f, roofTop, x + w * 1.08f, y - h + 1};
  Polygon(roof, 3, kRoof);
  const float gable[] = {x + w * 0.12f,       y - h,         x + w * 0.5f,
                         roofTop + h * 0.22f, x + w * 0.88f, y - h};
  Polygon(gable, 3, Shade(kWood, 0.9f));
  Rect(x + w * 0.44f, y - h * 1.45f + h * 0.25f, x + w * 0.56f, y - h * 1.05f, kLight);
  Rect(x + w * 0.42f, y - h * 0.62f, x + w * 0.58f, y, {90, 55, 35});
  Rect(x + w * 0.12f, y - h * 0.7f, x + w * 0.3f, y - h * 0.35f, kLight);
  Rect(x + w * 0.7f, y - h * 0.7f, x + w * 0.88f, y - h * 0.35f, kLight);
  Rect(x + w * 0.205f, y - h * 0.7f, x + w * 0.215f + 0.6f, y - h * 0.35f, Shade(kWood, 0.6f));
  Rect(x + w * 0.785f, y - h * 0.7f, x + w * 0.795f + 0.6f, y - h * 0.35f, Shade(kWood, 0.6f));
}

void Minibus(float x, float y, float w, Colour body) {
  const float h = w * 0.46f, wheel = w * 0.085f;
  RoundRect(x, y - h, x + w, y - wheel * 0.6f, w * 0.06f, body);
  Rect(x, y - h * 0.38f, x + w, y - h * 0.3f, Shade(body, 0.8f));
  for (int i = 0; i < 4; ++i)
    RoundRect(x + w * (0.05f + i * 0.19f), y - h * 0.9f, x + w * (0.21f + i * 0.19f), y - h * 0.55f,
              w * 0.015f, {170, 210, 235});
  const float windscreen[] = {x + w * 0.82f, y - h * 0.9f,  x + w * 0.93f, y - h * 0.9f,
                              x + w * 0.99f, y - h * 0.55f, x + w * 0.82f, y - h * 0.55f};
  Polygon(windscreen, 4, {150, 195, 225});
  Circle(x + w * 0.97f, y - h * 0.24f, w * 0.02f, {255, 240, 180});
  for (float cx : {x + w * 0.2f, x + w * 0.78f}) {
    Circle(cx, y - wheel, wheel, {35, 35, 40});
    Circle(cx, y - wheel, wheel * 0.45f, {170, 170, 175});
  }
}

void Cloud(float x, float y, float size, float op) {
  const Colour white = {255, 255, 255};
  Ellipse(x, y, size, size * 0.45f, white, op);
  Circle(x - size * 0.35f, y - size * 0.15f, size * 0.4f, white, op);
  Circle(x + size * 0.2f, y - size * 0.3f, size * 0.5f, white, op);
}

void Mug(float x, float y, float size, Colour c) {
  Line(x + size * 0.45f, y - size * 0.75f, x + size * 0.72f, y - size * 0.6f, size * 0.15f, c);
  Line(x + size * 0.72f, y - size * 0.6f, x + size * 0.45f, y - size * 0.3f, size * 0.15f, c);
  RoundRect(x - size * 0.5f, y - size, x + size * 0.5f, y, size * 0.12f, c);
  Ellipse(x, y - size, size * 0.48f, size * 0.14f, {80, 45, 25});
}

void Chair(float x, float floorY, float size, Colour c) {
  const float s = size;
  Rect(x - s * 0.3f, floorY - s * 1.05f, x + s * 0.3f, floorY - s * 0.55f, Shade(c, 0.85f));
  Rect(x - s * 0.34f, floorY - s * 0.55f, x + s * 0.34f, floorY - s * 0.47f, c);
  Line(x - s * 0.3f, floorY - s * 0.5f, x - s * 0.32f, floorY, s * 0.06f, Shade(c, 0.6f));
  Line(x + s * 0.3f, floorY - s * 0.5f, x + s * 0.32f, floorY, s * 0.06f, Shade(c, 0.6f));
}

void Laptop(float x, float y, float size, bool screenTowardsViewer, Colour glow) {
  const float s = size;
  if (screenTowardsViewer) {
    RoundRect(x - s * 0.5f, y - s * 0.66f, x + s * 0.5f, y - s * 0.02f, s * 0.04f, {50, 50, 55});
    Rect(x - s * 0.44f, y - s * 0.6f, x + s * 0.44f, y - s * 0.08f, glow);
    for (int i = 0; i < 4; ++i)
      Rect(x - s * 0.38f, y - s * (0.52f - i * 0.1f), x + s * (0.1f - (i % 3) * 0.1f),
           y - s * (0.5f - i * 0.1f), {255, 255, 255}, 0.5f);
  } else {
    RoundRect(x - s * 0.5f, y - s * 0.66f, x + s * 0.5f, y - s * 0.02f, s * 0.04f, {190, 195, 200});
    Circle(x, y - s * 0.34f, s * 0.06f, {235, 240, 245});
  }
  Rect(x - s * 0.56f, y - s * 0.04f, x + s * 0.56f, y + s * 0.03f, {120, 125, 130});
}

void StickyNotes(float x0, float y0, float x1, float y1, int count, float size) {
  const Colour colours[] = {
      {255, 230, 90}, {255, 150, 170}, {140, 230, 150}, {120, 200, 250}, {255, 180, 90}};
  for (int i = 0; i < count; ++i) {
    const float x = Random(x0, x1 - size), y = Random(y0, y1 - size);
    const Colour c = colours[i % 5];
    Rect(x + 1, y + 1, x + size + 1, y + size + 1, {0, 0, 0}, 0.15f);
    Rect(x, y, x + size, y + size, c);
    for (int k = 0; k < 3; ++k)
      Rect(x + size * 0.15f, y + size * (0.25f + k * 0.22f), x + size * (0.85f - Random(0, 0.35f)),
           y + size * (0.25f + k * 0.22f) + 1, Shade(c, 0.45f), 0.8f);
  }
}

void Stars(float x0, float y0, float x1, float y1, int count) {
  for (int i = 0; i < count; ++i) {
    const float x = Random(x0, x1), y = Random(y0, y1);
    Circle(x, y, Random(0.4f, 1.1f), {255, 250, 230}, Random(0.4f, 1));
  }
}

}  // namespace draw
