// The five fixed pictures: photo-slot background, logo, loading screen (two parts), end.
#include "makedemo.h"

#include <cmath>
#include <cstdio>
#include <string>

// The strip on the background along which the names line slides (it rests at kNamesY).
constexpr float kNamesTop = 404, kNamesBottom = 437;

constexpr Colour kNight = {8, 20, 40};
constexpr Colour kDeepTeal = {8, 52, 64};
constexpr Colour kTeal = {70, 180, 190};
constexpr Colour kPaleTeal = {190, 235, 238};
constexpr Colour kMount = {222, 230, 232};
constexpr Colour kWhite = {255, 255, 255};
constexpr Colour kBlack = {0, 0, 0};

static bool Save(const char* dir, const char* name) {
  return WritePng((std::string(dir) + "/gfx/" + name).c_str());
}

// Paints everything outside the ellipse with `c`, antialiasing its rim.
static void MaskOutside(float cx, float cy, float r, Colour c) {
  for (int y = 0; y < canvas.h; ++y)
    for (int x = 0; x < canvas.w; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) - r;
      if (d > -0.5f) Blend(x, y, c, d > 0.5f ? 1 : d + 0.5f);
    }
}

// A soft drop shadow under a rounded box.
static void Shadow(float x0, float y0, float x1, float y1, float spread, float op) {
  for (float s = spread; s > 0; s -= 1)
    RoundRect(x0 - s, y0 - s + spread / 2, x1 + s, y1 + s + spread / 2, 6 + s, kBlack, op / spread);
}

static bool Background(const char* dir) {
  NewCanvas(kScreenWidth, kScreenHeight, kNight);
  VGradient(0, 0, kScreenWidth, kScreenHeight, kNight, kDeepTeal);
  Glow(320, 40, 420, {30, 90, 120}, 0.35f);
  Glow(320, 520, 360, {20, 110, 110}, 0.3f);
  // Faint lights in the margins, clear of the frame, the title and the names strip.
  Seed(1205);
  for (int i = 0; i < 46; ++i) {
    const float x = Random(0, kScreenWidth), y = Random(70, 400), r = Random(4, 16);
    if (x + r > 100 && x - r < 540) continue;
    Circle(x, y, r, kPaleTeal, Random(0.03f, 0.09f));
  }
  // Gentle contour lines, like the hills round the lake, along the foot of the screen.
  for (int k = 0; k < 4; ++k)
    for (int x = 0; x < kScreenWidth; x += 2) {
      const float y = 462 + k * 5 + 5 * std::sin(x * 0.012f + k * 1.3f);
      Circle(x, y, 0.8f, kTeal, 0.18f);
    }

  TextCentred(kSansBold, 24, "Quorlaks internal meeting #1", 321, 24, kBlack, kBlack, 0.5f);
  TextCentred(kSansBold, 24, "Quorlaks internal meeting #1", 320, 22, kWhite, kPaleTeal);
  TextCentred(kSans, 12, "codename Tolvane  \xC2\xB7  the lodge by the lake", 320, 53,
              {130, 190, 200}, {130, 190, 200});

  // The mount: an even white border round the photo, a thin dark line at its edge.
  const float x0 = kPhotoX - 14, y0 = kPhotoY - 12;
  const float x1 = kPhotoX + kPhotoWidth + 14, y1 = kPhotoY + kPhotoHeight + 12;
  Shadow(x0, y0, x1, y1, 8, 0.5f);
  RoundRect(x0, y0, x1, y1, 5, kMount);
  VGradient(x0 + 3, y0 + 3, x1 - 3, y0 + 20, {245, 248, 249}, kMount);
  Rect(kPhotoX - 2, kPhotoY - 2, kPhotoX + kPhotoWidth + 2, kPhotoY + kPhotoHeight + 2,
       {150, 165, 170});
  // Behind the description box, before the photo arrives: a calm dark window.
  VGradient(kPhotoX, kPhotoY, kPhotoX + kPhotoWidth, kPhotoY + kPhotoHeight, {18, 40, 62},
            {10, 26, 42});
  Glow(kPhotoX + kPhotoWidth / 2, kPhotoY + kPhotoHeight / 2, 200, {40, 90, 110}, 0.25f);

  // The names strip: one dark band across the screen, the names slide in along it.
  Rect(0, kNamesTop, kScreenWidth, kNamesBottom, {4, 12, 24}, 0.75f);
  Rect(0, kNamesTop, kScreenWidth, kNamesTop + 1, kTeal, 0.6f);
  Rect(0, kNamesBottom - 1, kScreenWidth, kNamesBottom, kTeal, 0.6f);
  Circle(130, (kNamesTop + kNamesBottom) / 2, 3, kTeal, 0.8f);
  return Save(dir, "back.png");
}

// Draws `word` with `gap` extra pixels between letters, centred on cx.
static void SpacedText(Face face, int px, const char* word, float gap, float cx, float y,
                       Colour top, Colour bottom) {
  float width = -gap;
  char letter[2] = {0, 0};
  for (const char* p = word; *p; ++p) {
    letter[0] = *p;
    width += TextWidth(face, px, letter) + gap;
  }
  float x = cx - width / 2;
  for (const char* p = word; *p; ++p) {
    letter[0] = *p;
    Text(face, px, letter, x, y, top, bottom);
    x += TextWidth(face, px, letter) + gap;
  }
}

// Darkens the picture to black towards its edges, over `margin` pixels, so that it sits on a
// black screen without a visible box.
static void FadeEdges(float margin) {
  for (int y = 0; y < canvas.h; ++y)
    for (int x = 0; x < canvas.w; ++x) {
      const float d = std::fmin(std::fmin(x + 0.5f, canvas.w - x - 0.5f),
                                std::fmin(y + 0.5f, canvas.h - y - 0.5f));
      if (d < margin) Blend(x, y, kBlack, 1 - d / margin);
    }
}

static bool Logo(const char* dir) {
  NewCanvas(361, 110, kBlack);
  Glow(180, 50, 180, {20, 70, 90}, 0.35f);
  SpacedText(kSansBold, 50, "QUORLAKS", 4, 180, 4, {150, 240, 240}, {40, 130, 210});
  Rect(70, 70, 291, 71, kTeal, 0.7f);
  Circle(180, 70.5f, 3, kPaleTeal);
  TextCentred(kSansOblique, 19, "codename Tolvane", 180, 78, {215, 222, 230}, {160, 175, 190});
  FadeEdges(8);
  return Save(dir, "si.png");
}

// Lodge by the lake at night, in a round window: the picture that stands while loading.
static bool Loading(const char* dir) {
  constexpr float cx = 160, cy = 78, r = 70;
  NewCanvas(320, 200, kBlack);
  VGradient(0, 0, 320, 100, {10, 18, 50}, {40, 60, 110});
  Seed(77);
  Stars(90, 8, 230, 70, 40);
  Circle(195, 36, 10, {250, 245, 215});
  Glow(195, 36, 30, {250, 245, 215}, 0.3f);
  Hills(96, 12, 0.5f, {24, 40, 70}, 320);
  Rect(0, 96, 320, 200, {16, 34, 70});
  VGradient(0, 96, 320, 150, {30, 50, 95}, {10, 22, 50});
  for (int i = 0; i < 8; ++i)
    Rect(180 + i * 2, 100 + i * 5, 210 - i * 2, 101 + i * 5, {250, 245, 215}, 0.4f);
  for (int i = 0; i < 6; ++i) Pine(100 + i * 9 - (i % 2) * 4, 98, 22 + (i % 3) * 6, {12, 30, 30});
  Lodge(128, 99, 42, 16);
  for (int i = 0; i < 3; ++i) Pine(212 + i * 10, 98, 20 + i * 5, {12, 30, 30});
  MaskOutside(cx, cy, r, kBlack);
  for (int i = 0; i < 3; ++i) MaskOutside(cx, cy, r + 3 + i, kBlack);
  for (float a = 0; a < 6.2832f; a += 0.01f)
    Circle(cx + (r + 1.5f) * std::cos(a), cy + (r + 1.5f) * std::sin(a), 1.2f, kTeal, 0.08f);
  TextCentred(kSerifBoldItalic, 26, "Tolvane", 160, 152, {250, 230, 180}, {230, 160, 90});
  TextCentred(kSans, 11, "Quorlaks internal meeting #1", 160, 184, {150, 170, 185},
              {150, 170, 185});
  if (!Save(dir, "ohen.png")) return false;

  NewCanvas(180, 48, kBlack);
  Text(kSans, 17, "loading", 40, 6, {225, 232, 238}, {175, 190, 200});
  for (int i = 0; i < 3; ++i) Circle(111 + i * 9, 19, 2.2f, kTeal, 0.45f + 0.25f * i);
  RoundRect(40, 33, 164, 39, 3, {40, 60, 70});
  RoundRect(40, 33, 120, 39, 3, kTeal);
  return Save(dir, "load.png");
}

static bool Ending(const char* dir) {
  NewCanvas(kScreenWidth, kScreenHeight, kBlack);
  // Sunset over the lake: sky to the horizon at 300, water below it.
  VGradient(0, 0, kScreenWidth, 150, {18, 24, 64}, {86, 58, 120});
  VGradient(0, 150, kScreenWidth, 300, {86, 58, 120}, {245, 150, 90});
  Seed(4242);
  Stars(0, 0, kScreenWidth, 90, 60);
  Glow(320, 300, 260, {255, 190, 110}, 0.55f);
  Circle(320, 300, 34, {255, 214, 140});
  Hills(300, 24, 2.0f, {92, 54, 96}, kScreenWidth);
  Hills(306, 16, 4.1f, {60, 36, 74}, kScreenWidth);
  VGradient(0, 300, kScreenWidth, kScreenHeight, {150, 90, 110}, {20, 20, 50});
  for (int i = 0; i < 14; ++i) {
    const float w = 60 - i * 3.5f;
    Rect(320 - w, 306 + i * 9, 320 + w, 308 + i * 9, {255, 210, 150}, 0.5f - i * 0.03f);
  }
  for (int i = 0; i < 7; ++i) {
    Pine(12 + i * 22, 400, 120 + (i * 37) % 60, {14, 12, 30});
    Pine(628 - i * 22, 410, 120 + (i * 53) % 60, {14, 12, 30});
  }
  const float leftShore[] = {0,   kScreenHeight, 0,   334, 60,  328,
                             170, 329,           235, 350, 270, kScreenHeight};
  Polygon(leftShore, 6, {14, 12, 30});
  const float rightShore[] = {kScreenWidth, kScreenHeight, kScreenWidth, 340, 560,
                              344,          450,           370,          420, kScreenHeight};
  Polygon(rightShore, 5, {14, 12, 30});
  Lodge(70, 331, 90, 40);
  Pine(34, 470, 230, {10, 8, 24});
  Pine(606, 470, 240, {10, 8, 24});

  TextCentred(kSerifBoldItalic, 72, "Thank you!", 323, 83, kBlack, kBlack, 0.45f);
  TextCentred(kSerifBoldItalic, 72, "Thank you!", 320, 80, kWhite, {255, 215, 160});
  TextCentred(kSans, 26, "See you at meeting #2", 320, 182, {255, 240, 225}, {240, 200, 170});
  TextCentred(kSans, 13, "Quorlaks internal meeting #1  \xC2\xB7  codename Tolvane", 320, 452,
              {200, 190, 210}, {200, 190, 210});
  return Save(dir, "end.png");
}

bool MakePictures(const char* dir) {
  const bool background = Background(dir);
  const bool logo = Logo(dir);
  const bool loading = Loading(dir);
  const bool ending = Ending(dir);
  return background && logo && loading && ending;
}
