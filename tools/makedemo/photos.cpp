// The 19 photos of the meeting, one scene each, in the order the show presents them.
#include "makedemo.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "common.h"

using namespace draw;

constexpr float W = kPhotoWidth, H = kPhotoHeight;
constexpr int kDemoJpegQuality = 90;
constexpr Colour kWhite = {255, 255, 255};

// A wooden floor from `top` to the bottom of the photo.
static void Floor(float top, Colour c) {
  VGradient(0, top, W, H, Shade(c, 0.9f), Shade(c, 1.1f));
  for (float y = top + 6, gap = 6; y < H; gap *= 1.25f, y += gap)
    Rect(0, y, W, y + 1, Shade(c, 0.8f), 0.6f);
}

// A window onto the lake: sky, hills and water inside a white frame.
static void LakeWindow(float x0, float y0, float x1, float y1, Colour skyTop, Colour skyLow) {
  const float horizon = y0 + (y1 - y0) * 0.62f;
  VGradient(x0, y0, x1, horizon, skyTop, skyLow);
  const float hill[] = {x0,
                        horizon,
                        x0 + (x1 - x0) * 0.3f,
                        horizon - (y1 - y0) * 0.2f,
                        x0 + (x1 - x0) * 0.7f,
                        horizon - (y1 - y0) * 0.08f,
                        x1,
                        horizon};
  Polygon(hill, 4, {90, 130, 120});
  VGradient(x0, horizon, x1, y1, {90, 150, 200}, {60, 110, 160});
  const float frame = 4;
  Rect(x0 - frame, y0 - frame, x1 + frame, y0, kWhite);
  Rect(x0 - frame, y1, x1 + frame, y1 + frame, kWhite);
  Rect(x0 - frame, y0, x0, y1, kWhite);
  Rect(x1, y0, x1 + frame, y1, kWhite);
  Rect((x0 + x1) / 2 - 1.5f, y0, (x0 + x1) / 2 + 1.5f, y1, kWhite);
}

// A plain table seen from the front: top edge at y.
static void Table(float x0, float x1, float y, Colour c) {
  Rect(x0 + 8, y, x0 + 14, H, Shade(c, 0.6f));
  Rect(x1 - 14, y, x1 - 8, H, Shade(c, 0.6f));
  Rect(x0, y - 4, x1, y + 8, c);
  Rect(x0, y - 4, x1, y - 2, Shade(c, 1.2f));
}

static void Plate(float x, float y, float r) {
  Ellipse(x, y, r, r * 0.32f, {235, 235, 230});
  Ellipse(x, y, r * 0.65f, r * 0.2f, kWhite);
}

static void SittingOnChair(float x, float floorY, float h, const Look& look, bool fromBehind) {
  const float seatY = floorY - h * 0.3f;
  if (!fromBehind) Chair(x, floorY, h * 0.55f, {120, 80, 50});
  Seated(x, seatY, h, look, fromBehind);
  if (!fromBehind) {
    for (float side : {-1.f, 1.f}) {
      Line(x + side * h * 0.07f, seatY, x + side * h * 0.09f, floorY - h * 0.02f, h * 0.09f,
           look.legs);
      Ellipse(x + side * h * 0.09f, floorY - h * 0.02f, h * 0.05f, h * 0.025f,
              Shade(look.legs, 0.45f));
    }
  } else {
    Chair(x, floorY, h * 0.55f, {120, 80, 50});
  }
}

static void Flame(float x, float y, float size) {
  Glow(x, y - size, size * 4, {255, 170, 60}, 0.5f);
  const Colour colours[] = {{230, 70, 30}, {255, 150, 40}, {255, 230, 120}};
  for (int k = 0; k < 3; ++k) {
    const float s = size * (1 - k * 0.28f);
    const float tongue[] = {
        x - s * 0.6f, y, x - s * 0.5f, y - s * 0.9f, x, y - s * 2.2f, x + s * 0.5f, y - s * 0.9f,
        x + s * 0.6f, y};
    Polygon(tongue, 5, colours[k]);
    Circle(x, y - s * 0.35f, s * 0.6f, colours[k]);
  }
}

// A dark figure lit from one side: a copy in the light's colour shows beside it.
static void RimLit(float x, float feet, float h, Pose pose, Colour dark, Colour light, float dx) {
  Silhouette(x + dx, feet, h, light, pose);
  Silhouette(x, feet, h, dark, pose);
}

static void Arrival() {
  VGradient(0, 0, W, 160, {110, 170, 230}, {200, 225, 245});
  Cloud(80, 40, 30, 0.9f);
  Cloud(300, 28, 38, 0.85f);
  Hills(150, 30, 1.0f, {120, 155, 175}, W);
  Hills(160, 16, 3.0f, {90, 135, 120}, W);
  VGradient(140, 152, W, 185, {100, 160, 210}, {70, 130, 180});
  for (int i = 0; i < 12; ++i) {
    const float x = Random(160, 380), y = Random(158, 182);
    Rect(x, y, x + Random(8, 20), y + 1, kWhite, 0.5f);
  }
  const float grass[] = {0, 170, 140, 176, 260, 186, W, 184, W, H, 0, H};
  Polygon(grass, 6, {110, 170, 80});
  VGradient(0, 200, W, H, {112, 172, 80}, {80, 140, 60});
  for (int i = 0; i < 5; ++i) Pine(12 + i * 14, 176, 70 + (i % 2) * 22, {40, 90, 60});
  Pine(180, 178, 80, {40, 90, 60});
  Lodge(40, 190, 130, 58);
  const float path[] = {96, 190, 114, 190, 190, H, 30, H};
  Polygon(path, 4, {205, 185, 140});
  Minibus(212, 252, 160, {245, 245, 240});
  Rect(212, 215, 372, 222, {40, 160, 170});
  Ellipse(290, 254, 84, 5, {0, 0, 0}, 0.2f);
  Person(98, 278, 78, looks[0], kCarry, false);
  Person(150, 268, 72, looks[3], kCarry, false);
  Person(196, 262, 66, looks[5], kWave, false);
  Person(60, 250, 62, looks[2], kCarry, true);
}

static void Coffee() {
  VGradient(0, 0, W, 190, {240, 226, 200}, {222, 202, 172});
  Floor(190, {176, 124, 82});
  LakeWindow(32, 26, 150, 120, {140, 190, 235}, {210, 230, 245});
  Rect(286, 40, 354, 92, {120, 85, 60});
  VGradient(291, 45, 349, 87, {250, 200, 120}, {220, 120, 90});
  Circle(320, 70, 10, {255, 240, 200});
  Seated(110, 200, 100, looks[1], false);
  Seated(197, 196, 98, looks[4], false);
  Seated(286, 200, 100, looks[6], false);
  Rect(192, 220, 202, 280, {90, 60, 40});
  Ellipse(197, 282, 40, 7, {90, 60, 40});
  Ellipse(197, 212, 124, 34, {120, 76, 45});
  Ellipse(197, 206, 124, 34, {168, 112, 70});
  Ellipse(197, 206, 110, 28, {182, 124, 80});
  Mug(130, 208, 14, {220, 80, 70});
  Mug(160, 222, 14, {250, 250, 245});
  Mug(248, 222, 14, {60, 140, 200});
  Mug(272, 204, 14, {250, 210, 80});
  // The coffee pot in the middle, steam above it.
  RoundRect(184, 168, 214, 208, 8, {60, 62, 70});
  Line(214, 184, 226, 176, 5, {60, 62, 70});
  Ellipse(199, 168, 12, 5, {90, 92, 100});
  Rect(186, 180, 212, 184, {200, 60, 50});
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 10; ++i)
      Circle(193 + k * 6 + 2.5f * std::sin(i * 0.9f + k), 160 - i * 3.5f, 1.4f, kWhite,
             0.35f - i * 0.03f);
  Seated(70, 262, 130, looks[9], true);
  Seated(330, 262, 130, looks[2], true);
}

static void OpeningTalk() {
  VGradient(0, 0, W, 200, {60, 66, 84}, {44, 48, 62});
  Floor(200, {90, 80, 80});
  Glow(215, 95, 190, {200, 210, 255}, 0.2f);
  Rect(110, 28, 322, 152, {248, 248, 244});
  Rect(110, 28, 322, 52, {40, 150, 165});
  Text(kSansBold, 13, "Welcome to Tolvane!", 120, 32, kWhite, kWhite);
  for (int i = 0; i < 4; ++i) {
    Circle(124, 68 + i * 18, 2.5f, {40, 150, 165});
    Rect(132, 66 + i * 18, 132 + 90 - (i % 2) * 25, 70 + i * 18, {120, 125, 135});
  }
  for (int i = 0; i < 4; ++i)
    Rect(250 + i * 16, 140 - (i + 2) * 12, 262 + i * 16, 140,
         Mix({60, 150, 200}, {210, 150, 110}, i / 3.f));
  Person(362, 212, 118, looks[5], kPointLeft, false);
  for (int i = 0; i < 7; ++i) Seated(30 + i * 56, 262, 84, looks[(i + 2) % kLooks], true);
  for (int i = 0; i < 6; ++i) Seated(58 + i * 68, 322, 118, looks[(i + 5) % kLooks], true);
}

static void Whiteboard() {
  VGradient(0, 0, W, 232, {206, 214, 220}, {186, 196, 204});
  Floor(232, {110, 120, 140});
  Rect(44, 22, 306, 176, {150, 155, 160});
  Rect(48, 26, 302, 172, {252, 252, 250});
  Rect(60, 176, 290, 181, {150, 155, 160});
  Line(70, 50, 150, 44, 2, {40, 70, 180});
  Line(180, 150, 250, 120, 2, {200, 50, 50});
  Line(250, 120, 240, 121, 2, {200, 50, 50});
  Seed(404);
  StickyNotes(58, 40, 296, 166, 30, 21);
  Rect(322, 150, 352, 232, {90, 140, 80});
  Circle(337, 142, 22, {80, 150, 80});
  Person(132, 282, 160, looks[7], kOneArmUp, true);
  Person(322, 286, 158, looks[0], kPointLeft, false);
}

static void Hacking() {
  VGradient(0, 0, W, H, {222, 230, 234}, {200, 210, 216});
  for (int i = 0; i < 3; ++i)
    LakeWindow(24 + i * 124, 20, 122 + i * 124, 86, {150, 200, 240}, {220, 235, 250});
  for (int i = 0; i < 3; ++i) {
    Line(80 + i * 120, 0, 80 + i * 120, 18, 1.5f, {60, 60, 60});
    const float shade[] = {68.f + i * 120,  30, 92.f + i * 120, 30,
                           100.f + i * 120, 42, 60.f + i * 120, 42};
    Polygon(shade, 4, {50, 55, 60});
  }
  for (int i = 0; i < 4; ++i) Seated(58 + i * 92, 200, 108, looks[(i * 3 + 1) % kLooks], false);
  Table(6, 388, 200, {200, 170, 130});
  Rect(6, 208, 388, 226, {170, 140, 105});
  for (int i = 0; i < 4; ++i) Laptop(58 + i * 92, 196, 58, false, kWhite);
  Mug(106, 196, 10, {240, 120, 60});
  Mug(290, 196, 10, {80, 160, 200});
  Line(20, 226, 40, 260, 1.5f, {40, 40, 40});
  Line(40, 260, 80, H, 1.5f, {40, 40, 40});
}

static void Lunch() {
  VGradient(0, 0, W, 150, {90, 165, 235}, {190, 225, 250});
  Glow(340, 30, 110, {255, 250, 210}, 0.7f);
  Circle(340, 30, 16, {255, 250, 225});
  Hills(150, 18, 2.0f, {110, 160, 120}, W);
  VGradient(0, 150, W, H, {130, 190, 80}, {90, 160, 60});
  Ellipse(190, 258, 170, 36, {40, 90, 30}, 0.3f);
  LeafyTree(92, 210, 230, {100, 70, 45}, {60, 130, 60});
  for (int i = 0; i < 3; ++i) Seated(170 + i * 66, 215, 92, looks[(i * 4 + 2) % kLooks], false);
  Rect(118, 215, 350, 224, {170, 120, 70});
  for (int i = 0; i < 5; ++i) Rect(118, 215 + i * 2, 350, 216 + i * 2, {150, 100, 60}, 0.5f);
  Line(140, 224, 124, 270, 5, {140, 95, 55});
  Line(140, 224, 158, 270, 5, {140, 95, 55});
  Line(328, 224, 312, 270, 5, {140, 95, 55});
  Line(328, 224, 344, 270, 5, {140, 95, 55});
  Rect(100, 250, 370, 256, {160, 110, 65});
  Plate(160, 214, 13);
  Plate(234, 214, 13);
  Plate(300, 214, 13);
  Ellipse(200, 210, 14, 7, {80, 160, 60});
  RoundRect(262, 194, 270, 214, 2, {60, 150, 80});
  Ellipse(330, 212, 12, 5, {210, 150, 80});
  Person(44, 282, 110, looks[8], kWave, false);
}

static void ForestWalk() {
  VGradient(0, 0, W, 150, {215, 232, 225}, {190, 215, 200});
  for (int i = 0; i < 6; i++) {
    const float rays[] = {260.f + i * 30, 0, 290.f + i * 30, 0,
                          160.f + i * 40, H, 120.f + i * 40, H};
    Polygon(rays, 4, {255, 255, 230}, 0.06f);
  }
  VGradient(0, 140, W, H, {100, 120, 70}, {60, 84, 44});
  Seed(707);
  for (int i = 0; i < 16; ++i) Pine(Random(0, W), 150, Random(80, 110), {120, 160, 150});
  for (int i = 0; i < 12; ++i) Pine(Random(0, W), 165, Random(110, 150), {70, 120, 100});
  const float path[] = {186, 150, 208, 150, 330, H, 90, H};
  Polygon(path, 4, {196, 168, 118});
  Person(197, 166, 26, looks[3], kWalk, true);
  Person(190, 186, 38, looks[6], kWalk, true);
  Person(210, 212, 52, looks[1], kWalk, true);
  Person(186, 248, 74, looks[4], kWalk, true);
  Person(220, 292, 100, looks[0], kWalk, true);
  for (int i = 0; i < 5; ++i) {
    const float x = i < 3 ? Random(0, 80) : Random(320, W);
    Pine(x, Random(200, 290), Random(170, 230), {36, 76, 56});
  }
}

static void DiscussionCircle() {
  VGradient(0, 0, W, 170, {228, 212, 188}, {210, 190, 160});
  for (float x = 0; x < W; x += 22) Rect(x, 0, x + 1, 170, {190, 165, 130});
  Floor(170, {186, 146, 104});
  Ellipse(197, 226, 160, 44, {170, 80, 70}, 0.5f);
  for (int i = 0; i < 4; ++i) {
    const float a = 3.1416f + 3.1416f * (i + 0.5f) / 4;
    SittingOnChair(197 + 150 * std::cos(a), 214 + 34 * std::sin(a), 92, looks[(i * 3 + 4) % kLooks],
                   false);
  }
  Person(197, 236, 116, looks[2], kArmsUp, false);
  SittingOnChair(60, 292, 128, looks[7], true);
  SittingOnChair(334, 292, 128, looks[1], true);
}

static void Demo() {
  VGradient(0, 0, W, 220, {70, 80, 96}, {56, 64, 80});
  Floor(220, {70, 70, 80});
  Glow(200, 100, 200, {180, 200, 255}, 0.25f);
  RoundRect(64, 18, 336, 178, 4, {25, 25, 30});
  Rect(72, 26, 328, 170, {250, 250, 252});
  Text(kSansBold, 12, "Build time per day (min)", 82, 30, {60, 60, 70}, {60, 60, 70});
  Rect(86, 160, 318, 161, {100, 100, 110});
  Rect(86, 50, 87, 161, {100, 100, 110});
  const Colour bar[] = {{230, 90, 80},   {240, 160, 70}, {240, 210, 80},
                        {120, 200, 110}, {70, 170, 200}, {120, 110, 210}};
  const float heights[] = {96, 84, 70, 52, 36, 20};
  for (int i = 0; i < 6; ++i) Rect(98 + i * 36, 160 - heights[i], 124 + i * 36, 160, bar[i]);
  Person(44, 282, 150, looks[9], kPointRight, false);
  Person(190, 300, 160, looks[4], kOneArmUp, true);
  Person(300, 300, 150, looks[3], kArmsDown, true);
  Person(370, 286, 146, looks[6], kPointLeft, false);
}

static void Cake() {
  VGradient(0, 0, W, H, {244, 228, 232}, {228, 206, 214});
  const Colour flags[] = {{230, 80, 90}, {250, 200, 70}, {80, 180, 200}, {130, 200, 110}};
  for (int i = 0; i < 12; ++i) {
    const float x = 10 + i * 32, y = 16 + 10 * std::sin(i * 0.5f);
    const float flag[] = {x, y, x + 22, y + 2, x + 11, y + 24};
    Polygon(flag, 3, flags[i % 4]);
  }
  Person(60, 280, 150, looks[2], kWave, false);
  Person(122, 276, 140, looks[5], kArmsDown, false);
  Person(272, 276, 142, looks[0], kArmsUp, false);
  Person(338, 280, 150, looks[8], kArmsDown, false);
  Rect(20, 200, 374, H, kWhite);
  for (float x = 20; x < 374; x += 14) Rect(x, 212, x + 1, H, {230, 225, 225});
  Ellipse(197, 200, 70, 12, {240, 240, 240});
  // Two tiers of cream cake, strawberries on top, the candle "1".
  Rect(147, 150, 247, 198, {250, 196, 206});
  Ellipse(197, 198, 50, 11, {250, 196, 206});
  Rect(147, 170, 247, 176, {190, 90, 110});
  Ellipse(197, 150, 50, 11, {255, 230, 234});
  Rect(167, 122, 227, 150, {250, 206, 214});
  Ellipse(197, 150, 30, 7, {250, 206, 214});
  Ellipse(197, 122, 30, 7, {255, 236, 240});
  for (int i = 0; i < 7; ++i) Circle(160 + i * 12.5f, 152 + (i % 2) * 2, 3.5f, {255, 236, 240});
  for (int i = 0; i < 5; ++i) Circle(174 + i * 11.5f, 121 + (i % 2) * 2, 3, {220, 40, 50});
  Text(kSansBold, 34, "1", 187, 78, {120, 190, 250}, {60, 130, 220});
  Flame(197, 80, 5);
  Plate(100, 214, 18);
  Plate(296, 214, 18);
}

static void BoardGame() {
  VGradient(0, 0, W, H, {50, 34, 28}, {30, 22, 20});
  Glow(197, 150, 260, {255, 190, 110}, 0.45f);
  for (int i = 0; i < 4; ++i) Seated(64 + i * 88, 178, 100, looks[(i * 3 + 2) % kLooks], false);
  const float table[] = {40, 176, 354, 176, 394, H, 0, H};
  Polygon(table, 4, {140, 88, 50});
  const float board[] = {130, 190, 264, 190, 292, 262, 102, 262};
  Polygon(board, 4, {240, 226, 190});
  // Squares round the board's rim, placed by blending its four corners.
  const Colour squares[] = {{220, 70, 60}, {70, 150, 210}, {250, 200, 70}, {90, 180, 100}};
  auto corner = [&](float u, float v, float* x, float* y) {
    const float topX = 130 + 134 * u, bottomX = 102 + 190 * u;
    *x = topX + (bottomX - topX) * v;
    *y = 190 + 72 * v;
  };
  for (int i = 0; i < 28; ++i) {
    const int side = i / 7, k = i % 7;
    float u = 0, v = 0;
    if (side == 0) u = k / 8.f, v = 0;
    if (side == 1) u = 7 / 8.f, v = k / 8.f;
    if (side == 2) u = (7 - k) / 8.f + 1 / 8.f, v = 7 / 8.f;
    if (side == 3) u = 0, v = (7 - k) / 8.f + 1 / 8.f;
    float q[8];
    corner(u + 0.01f, v + 0.01f, &q[0], &q[1]);
    corner(u + 0.115f, v + 0.01f, &q[2], &q[3]);
    corner(u + 0.115f, v + 0.115f, &q[4], &q[5]);
    corner(u + 0.01f, v + 0.115f, &q[6], &q[7]);
    Polygon(q, 4, squares[i % 4]);
  }
  Circle(160, 206, 4, {200, 40, 40});
  Circle(236, 240, 4, {40, 80, 200});
  Circle(210, 214, 4, {40, 160, 60});
  for (int i = 0; i < 4; ++i) {
    const float x = 50 + i * 8, y = 250 + i * 3;
    const float card[] = {x, y, x + 20, y - 4, x + 26, y + 22, x + 6, y + 26};
    Polygon(card, 4, kWhite);
    Circle(x + 13, y + 11, 4, i % 2 ? Colour{200, 50, 60} : Colour{40, 60, 160});
  }
  Line(197, 0, 197, 24, 1.5f, {30, 25, 20});
  const float shade[] = {182, 24, 212, 24, 232, 50, 162, 50};
  Polygon(shade, 4, {220, 160, 80});
  Ellipse(197, 50, 35, 4, {255, 235, 170});
  Glow(197, 56, 60, {255, 230, 160}, 0.6f);
  Seated(24, 282, 130, looks[5], true);
  Seated(372, 282, 130, looks[1], true);
}

static void Campfire() {
  VGradient(0, 0, W, 190, {8, 10, 32}, {34, 40, 80});
  Seed(1212);
  Stars(0, 0, W, 170, 140);
  Circle(320, 42, 14, {250, 245, 220});
  Circle(326, 38, 13, {14, 18, 44});
  for (int i = 0; i < 16; ++i) Pine(i * 26 + Random(-6, 6), 196, Random(60, 100), {22, 34, 50});
  VGradient(0, 190, W, H, {46, 32, 26}, {22, 16, 14});
  Glow(197, 236, 230, {255, 130, 40}, 0.6f);
  Glow(197, 236, 90, {255, 190, 90}, 0.5f);
  const Colour dark = {6, 4, 6}, rim = {240, 140, 60};
  RimLit(52, 276, 134, kArmsDown, dark, rim, 2);
  RimLit(108, 262, 114, kWave, dark, rim, 2);
  RimLit(290, 262, 116, kArmsDown, dark, rim, -2);
  RimLit(348, 280, 136, kArmsDown, dark, rim, -2);
  Line(164, 258, 230, 242, 9, {90, 50, 30});
  Line(162, 242, 228, 260, 9, {110, 60, 35});
  Flame(197, 252, 22);
  for (int i = 0; i < 24; ++i) Circle(Random(165, 230), Random(130, 205), 1, {255, 200, 90});
}

static void LakeTrip() {
  VGradient(0, 0, W, 130, {140, 195, 240}, {220, 236, 250});
  Cloud(90, 36, 28, 0.9f);
  Cloud(280, 50, 22, 0.8f);
  Hills(122, 40, 0.5f, {130, 160, 180}, W);
  Hills(132, 24, 2.2f, {90, 130, 110}, W);
  VGradient(0, 134, W, H, {80, 150, 200}, {30, 90, 150});
  Seed(1313);
  for (int i = 0; i < 40; ++i) {
    const float y = Random(140, H), w = 4 + (y - 130) * 0.1f;
    const float x = Random(0, W);
    Rect(x, y, x + w, y + 1, kWhite, 0.3f);
  }
  // The boat's reflection, then the boat with three of the team and the oars.
  Ellipse(200, 232, 88, 10, {20, 60, 100}, 0.5f);
  Seated(160, 205, 70, looks[0], false);
  Seated(205, 205, 74, looks[3], false);
  Seated(248, 205, 70, looks[6], false);
  Line(120, 200, 60, 244, 3, {150, 110, 70});
  Line(282, 200, 336, 246, 3, {150, 110, 70});
  Ellipse(60, 246, 9, 3, kWhite, 0.6f);
  Ellipse(336, 248, 9, 3, kWhite, 0.6f);
  const float hull[] = {104, 198, 298, 198, 280, 228, 126, 228};
  Polygon(hull, 4, {190, 64, 52});
  Rect(110, 204, 292, 208, {245, 240, 230});
}

static void Frisbee() {
  VGradient(0, 0, W, 140, {110, 180, 240}, {200, 230, 250});
  for (int i = 0; i < 9; ++i)
    LeafyTree(i * 48 + 10, 146, 50 + (i % 3) * 10, {80, 60, 40}, {50, 110, 60});
  VGradient(0, 140, W, H, {120, 196, 84}, {70, 156, 56});
  for (int i = 0; i < 5; ++i) {
    const float top = 140, x = -200 + i * 160;
    const float stripe[] = {x + 160, top, x + 240, top, x + 420 - 100, H, x + 200 - 100, H};
    Polygon(stripe, 4, {255, 255, 255}, 0.06f);
  }
  for (int i = 0; i < 4; ++i)
    Rect(190 - i * 14, 70 + i * 4, 200 - i * 14, 71 + i * 4, kWhite, 0.7f);
  Ellipse(222, 72, 16, 6, {230, 60, 50});
  Ellipse(220, 70, 10, 3, {255, 140, 120});
  Ellipse(150, 262, 28, 5, {30, 80, 30}, 0.3f);
  Ellipse(286, 266, 28, 5, {30, 80, 30}, 0.3f);
  Ellipse(80, 200, 14, 3, {30, 80, 30}, 0.3f);
  Person(80, 196, 60, looks[2], kWalk, false);
  Person(150, 260, 120, looks[9], kWalk, false);
  Person(286, 236, 128, looks[4], kArmsUp, false);
}

static void LateNight() {
  Rect(0, 0, W, H, {8, 10, 22});
  VGradient(280, 20, 370, 110, {10, 16, 40}, {30, 40, 80});
  Seed(1515);
  Stars(282, 22, 368, 100, 18);
  Circle(340, 46, 9, {240, 240, 220});
  Rect(323, 20, 326, 110, {40, 40, 56});
  Rect(280, 63, 370, 66, {40, 40, 56});
  const float monitors[] = {60, 160, 260};
  for (float x : monitors) Glow(x, 150, 120, {60, 120, 255}, 0.35f);
  Rect(0, 200, W, H, {18, 20, 34});
  Rect(0, 198, W, 204, {30, 34, 52});
  for (float x : monitors) {
    Rect(x - 4, 180, x + 4, 200, {30, 32, 40});
    Rect(x - 16, 196, x + 16, 200, {30, 32, 40});
    RoundRect(x - 46, 110, x + 46, 182, 3, {25, 27, 34});
    Rect(x - 42, 114, x + 42, 178, {40, 110, 230});
    for (int i = 0; i < 8; ++i) {
      const Colour code[] = {{140, 255, 170}, {255, 255, 255}, {255, 200, 120}};
      const float indent = (i % 3) * 6, length = 20 + ((i * 7 + int(x)) % 5) * 9;
      Rect(x - 36 + indent, 119 + i * 7, x - 36 + indent + length, 122 + i * 7, code[i % 3], 0.7f);
    }
  }
  const Look night[] = {{{60, 70, 110}, {14, 14, 24}, {24, 32, 60}, {20, 20, 30}},
                        {{60, 70, 110}, {30, 20, 20}, {40, 28, 50}, {20, 20, 30}}};
  const Look rim = {{70, 130, 255}, {70, 130, 255}, {70, 130, 255}, {70, 130, 255}};
  Seated(70, 260, 130, rim, true);
  Seated(170, 266, 136, rim, true);
  Seated(264, 260, 128, rim, true);
  Seated(70, 262, 130, night[0], true);
  Seated(170, 268, 136, night[1], true);
  Seated(264, 262, 128, night[0], true);
  Mug(350, 198, 12, {200, 200, 210});
}

static void Breakfast() {
  VGradient(0, 0, W, H, {252, 238, 208}, {236, 214, 180});
  VGradient(40, 18, 226, 128, {255, 214, 150}, {255, 240, 214});
  Glow(120, 100, 60, {255, 250, 220}, 0.9f);
  Circle(120, 100, 14, {255, 252, 230});
  LeafyTree(200, 130, 60, {90, 70, 50}, {110, 150, 90});
  LeafyTree(62, 130, 48, {90, 70, 50}, {120, 160, 90});
  Rect(36, 14, 230, 18, kWhite);
  Rect(36, 128, 230, 132, kWhite);
  Rect(36, 14, 40, 132, kWhite);
  Rect(226, 14, 230, 132, kWhite);
  Rect(131, 14, 135, 132, kWhite);
  Rect(36, 70, 230, 73, kWhite);
  const float beam[] = {40, 20, 226, 20, 394, 210, 200, 230};
  Polygon(beam, 4, {255, 240, 190}, 0.18f);
  for (int i = 0; i < 4; ++i) Seated(54 + i * 96, 204, 96, looks[(i * 2 + 3) % kLooks], false);
  Table(8, 386, 204, {214, 176, 128});
  Rect(8, 212, 386, 232, {190, 150, 104});
  Rect(150, 196, 244, 206, {200, 70, 60});
  for (int i = 0; i < 4; ++i) Plate(54 + i * 96, 206, 14);
  Ellipse(104, 196, 18, 9, {200, 140, 70});
  for (int i = 0; i < 3; ++i) Line(94 + i * 8, 192, 98 + i * 8, 198, 1.5f, {240, 200, 140});
  Line(176, 196, 222, 188, 8, {210, 150, 80});
  for (float x : {150.f, 244.f, 290.f}) {
    Rect(x - 5, 182, x + 5, 204, {250, 160, 40}, 0.9f);
    Rect(x - 3, 184, x - 1, 202, kWhite, 0.5f);
  }
  RoundRect(318, 172, 338, 204, 4, {250, 170, 60});
  Rect(336, 178, 344, 182, {250, 170, 60});
  RoundRect(30, 188, 44, 204, 2, {200, 40, 60});
}

static void RoadmapVoting() {
  VGradient(0, 0, W, 230, {226, 230, 236}, {210, 216, 224});
  Floor(230, {120, 110, 100});
  Rect(54, 16, 340, 206, {130, 130, 130}, 0.3f);
  Rect(50, 12, 336, 202, {252, 252, 250});
  Rect(50, 12, 336, 36, {40, 150, 165});
  Text(kSansBold, 13, "Roadmap", 60, 16, kWhite, kWhite);
  const char* quarters[] = {"spring", "summer", "autumn"};
  const char* topics[] = {"sync", "search", "docs", "mobile"};
  for (int c = 0; c < 3; ++c)
    Text(kSans, 11, quarters[c], 134 + c * 68, 40, {60, 60, 70}, {60, 60, 70});
  for (int r = 0; r < 4; ++r) {
    Text(kSans, 11, topics[r], 60, 64 + r * 34, {60, 60, 70}, {60, 60, 70});
    Rect(56, 56 + r * 34, 330, 57 + r * 34, {190, 190, 195});
  }
  for (int c = 0; c < 3; ++c) Rect(122 + c * 68, 40, 123 + c * 68, 196, {190, 190, 195});
  Seed(1717);
  const Colour dots[] = {{230, 60, 60}, {60, 170, 90}, {60, 110, 220}, {250, 190, 40}};
  const int votes[4][3] = {{7, 2, 1}, {3, 6, 2}, {1, 2, 5}, {4, 1, 8}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < votes[r][c]; ++k)
        Circle(130 + c * 68 + (k % 4) * 14 + Random(-1, 1), 64 + r * 34 + (k / 4) * 12, 5,
               dots[(r + c + k) % 4]);
  Person(262, 300, 170, looks[1], kOneArmUp, true);
  Person(36, 292, 156, looks[4], kArmsDown, false);
}

static void GroupPhoto() {
  VGradient(0, 0, W, 140, {120, 180, 235}, {210, 232, 248});
  Cloud(330, 30, 26, 0.9f);
  for (int i = 0; i < 4; ++i) Pine(10 + i * 20, 190, 110 + (i % 2) * 20, {40, 90, 60});
  for (int i = 0; i < 4; ++i) Pine(330 + i * 20, 190, 100 + (i % 2) * 30, {40, 90, 60});
  Lodge(72, 190, 250, 90);
  VGradient(0, 182, W, H, {120, 180, 86}, {90, 150, 64});
  for (int i = 0; i < 8; ++i) Person(46 + i * 43, 236, 104, looks[i % kLooks], kArmsDown, false);
  const Pose front[] = {kWave, kArmsDown, kArmsDown, kArmsUp, kArmsDown, kArmsDown, kWave};
  for (int i = 0; i < 7; ++i)
    Person(68 + i * 43, 286, 112, looks[(i + 8) % kLooks], front[i], false);
}

static void Farewell() {
  VGradient(0, 0, W, 160, {50, 44, 100}, {250, 140, 80});
  Glow(270, 160, 150, {255, 200, 120}, 0.6f);
  Circle(270, 160, 22, {255, 220, 150});
  Hills(162, 26, 1.2f, {110, 60, 90}, W);
  Hills(168, 14, 3.4f, {70, 40, 70}, W);
  VGradient(0, 166, W, H, {70, 44, 70}, {40, 30, 46});
  const float road[] = {262, 166, 278, 166, 400, H, 110, H};
  Polygon(road, 4, {100, 84, 96});
  // Dashes down the middle of the road, longer and wider as they come closer.
  for (int i = 0; i < 7; ++i) {
    const float y0 = 204 + i * i * 2.0f, y1 = y0 + 3 + i * 2;
    const float t0 = (y0 - 166) / (H - 166), t1 = (y1 - 166) / (H - 166);
    const float c0 = 270 - 15 * t0, c1 = 270 - 15 * t1, w0 = 0.4f + 2 * t0, w1 = 0.4f + 2 * t1;
    const float dash[] = {c0 - w0, y0, c0 + w0, y0, c1 + w1, y1, c1 - w1, y1};
    Polygon(dash, 4, {250, 220, 140}, 0.8f);
  }
  // The minibus from behind, small on the road, its rear lights on.
  Rect(255, 176, 285, 200, {230, 226, 220});
  Rect(258, 180, 282, 189, {90, 110, 140});
  Rect(255, 193, 285, 195, {40, 160, 170});
  Rect(257, 200, 263, 204, {30, 30, 30});
  Rect(277, 200, 283, 204, {30, 30, 30});
  for (float x : {257.f, 283.f}) {
    Glow(x, 196, 10, {255, 60, 40}, 0.8f);
    Circle(x, 196, 1.8f, {255, 80, 60});
  }
  const Colour dark = {28, 18, 30};
  Pine(6, 230, 150, dark);
  Pine(388, 236, 150, dark);
  const Colour rim = {250, 150, 90};
  RimLit(80, 292, 132, kWave, dark, rim, 1.5f);
  RimLit(128, 296, 124, kArmsUp, dark, rim, 1.5f);
  RimLit(330, 296, 136, kWave, dark, rim, -1.5f);
}

static void (*const kScenes[kDemoPhotos])() = {
    Arrival,          Coffee,    OpeningTalk,   Whiteboard, Hacking,  Lunch,    ForestWalk,
    DiscussionCircle, Demo,      Cake,          BoardGame,  Campfire, LakeTrip, Frisbee,
    LateNight,        Breakfast, RoadmapVoting, GroupPhoto, Farewell};

// Photo k drawn at `scale` and written to `path`.
static bool MakePhoto(int k, float scale, const char* path) {
  NewCanvas(kPhotoWidth, kPhotoHeight, {0, 0, 0}, scale);
  Seed(1000 + k);
  kScenes[k]();
  Vignette(0.35f);
  Grain(5);
  return WriteJpeg(path, kDemoJpegQuality);
}

bool MakePhotos(const char* dir) {
  bool ok = true;
  for (int k = 0; k < kDemoPhotos; ++k) {
    char path[512];
    snprintf(path, sizeof path, "%s/%s", dir, PhotoName(k + 1).path);
    ok = MakePhoto(k, kShowScale, path) && ok;
    ok = MakePhoto(k, kLargeScale, LargePath(dir, PhotoName(k + 1).path).c_str()) && ok;
  }
  return ok;
}
