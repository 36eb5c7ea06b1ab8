// The five fixed pictures: photo-slot background, logo, loading screen (two parts), end,
// each lettered with a title and a subtitle fitted to its place.
#include "designs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace draw;

// The strip on the background along which the names line slides (it rests at kNamesY).
constexpr float kNamesTop = 404, kNamesBottom = 437;

constexpr Colour kNight = {8, 20, 40};
constexpr Colour kDeepTeal = {8, 52, 64};
constexpr Colour kTeal = {70, 180, 190};
constexpr Colour kPaleTeal = {190, 235, 238};
constexpr Colour kMount = {222, 230, 232};
constexpr Colour kWhite = {255, 255, 255};
constexpr Colour kBlack = {0, 0, 0};

const char* const kDesignFiles[kDesigns] = {
    kShowPictures[kPictureBack].file, kShowPictures[kPictureSi].file,
    kShowPictures[kPictureEnd].file, kShowPictures[kPictureOhen].file,
    kShowPictures[kPictureLoad].file};

// The words of a design: null or "" for none; the end picture's large words, null for
// kDefaultEndText.
struct Words {
  const char* title;
  const char* subtitle;
  const char* endText;
};

// The scale the design being drawn is drawn at.
static float scale = kShowScale;

// The demo meeting's words on each design, in the order of Design.
static const Words kDemoWords[kDesigns] = {
    {"Quorlaks internal meeting #1", "codename Tolvane  \xC2\xB7  the lodge by the lake", nullptr},
    {"QUORLAKS", "codename Tolvane", nullptr},
    {"See you at meeting #2", "Quorlaks internal meeting #1  \xC2\xB7  codename Tolvane", nullptr},
    {"Tolvane", "Quorlaks internal meeting #1", nullptr},
    {nullptr, nullptr, nullptr}};

// Words that must be lettered whole, while WordsFit draws the designs, and the first of them
// that was not: null for none.
static const char* mustFit[2] = {nullptr, nullptr};
static const char* unfit = nullptr;

// FitText, noting words that must fit whole and did not.
static Fitted Fit(Face face, const Place& place, const char* utf8) {
  const Fitted f = FitText(face, place, utf8);
  if (f.cut && !unfit && utf8 && (utf8 == mustFit[0] || utf8 == mustFit[1])) unfit = utf8;
  return f;
}

// Paints everything outside the ellipse with `c`, antialiasing its rim.
static void MaskOutside(float cx, float cy, float r, Colour c) {
  const float s = canvas.scale;
  cx *= s, cy *= s, r *= s;
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

// The words on the background, above the photo's mount.
constexpr Place kHeadlinePlace = {24, 9, 0, 22, 600, 4, 52};
constexpr Place kTaglinePlace = {12, 8, 0, 53, 600, 52, 80};

static void Background(const Words& words) {
  NewCanvas(kScreenWidth, kScreenHeight, kNight, scale);
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

  Fitted headline = Fit(kSansBold, kHeadlinePlace, words.title);
  headline.y += 2;  // its shadow
  DrawFitted(kSansBold, headline, 321, kBlack, kBlack, 0.5f);
  headline.y -= 2;
  DrawFitted(kSansBold, headline, 320, kWhite, kPaleTeal);
  DrawFitted(kSans, FitText(kSans, kTaglinePlace, words.subtitle), 320, {130, 190, 200},
             {130, 190, 200});

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
}

// Darkens the picture to black towards its edges, over `margin` pixels, so that it sits on a
// black screen without a visible box.
static void FadeEdges(float margin) {
  margin *= canvas.scale;
  for (int y = 0; y < canvas.h; ++y)
    for (int x = 0; x < canvas.w; ++x) {
      const float d = std::fmin(std::fmin(x + 0.5f, canvas.w - x - 0.5f),
                                std::fmin(y + 0.5f, canvas.h - y - 0.5f));
      if (d < margin) Blend(x, y, kBlack, 1 - d / margin);
    }
}

// The logo's words: a spaced word mark over a line, a tagline under it. Long words widen the
// logo, up to kLogoMaxWidth, keeping them clear of the rim that fades to black.
constexpr int kLogoFade = 8;
constexpr int kLogoWidth = 361, kLogoMaxWidth = 601, kLogoMargin = kLogoFade + 1;
constexpr Place kMarkPlace = {50, 12, 4, 4, kLogoMaxWidth - 2 * kLogoMargin, 2, 68};
constexpr Place kLogoTaglinePlace = {19, 9, 0, 78, kLogoMaxWidth - 2 * kLogoMargin, 74, 108};

static void Logo(const Words& words) {
  const Fitted mark = Fit(kSansBold, kMarkPlace, words.title);
  const Fitted tagline = FitText(kSansOblique, kLogoTaglinePlace, words.subtitle);
  const int widest = std::max(FittedWidth(kSansBold, mark), FittedWidth(kSansOblique, tagline));
  const int side = std::max(0, (widest + 2 * kLogoMargin - kLogoWidth + 1) / 2);
  const float cx = 180 + side;
  NewCanvas(kLogoWidth + 2 * side, 110, kBlack, scale);
  Glow(cx, 50, 180, {20, 70, 90}, 0.35f);
  DrawFitted(kSansBold, mark, cx, {150, 240, 240}, {40, 130, 210});
  Rect(70 + side, 70, 291 + side, 71, kTeal, 0.7f);
  Circle(cx, 70.5f, 3, kPaleTeal);
  DrawFitted(kSansOblique, tagline, cx, {215, 222, 230}, {160, 175, 190});
  FadeEdges(kLogoFade);
}

// Moves the picture to the middle of a wider black one, `w` design pixels wide (at most the
// screen's).
static void Widen(int w) {
  w = Pixels(std::min(w, kScreenWidth));
  const int side = (w - canvas.w) / 2, rest = w - side - canvas.w;
  if (side <= 0) return;
  // From the last row up, so that no row is overwritten before it has moved.
  for (int y = canvas.h - 1; y >= 0; --y) {
    Uint8* row = canvas.px + static_cast<size_t>(y) * w * 3;
    memmove(row + side * 3, canvas.px + static_cast<size_t>(y) * canvas.w * 3, canvas.w * 3);
    memset(row, 0, side * 3);
    memset(row + (side + canvas.w) * 3, 0, rest * 3);
  }
  canvas.w = w;
}

// The loading picture's words under its window; long words widen the picture, as the logo's.
constexpr int kLoadingWidth = 320, kLoadingMaxWidth = 600, kLoadingMargin = 10;
constexpr Place kNamePlace = {26, 9, 0, 152, kLoadingMaxWidth - 2 * kLoadingMargin, 150, 184};
constexpr Place kLoadingTaglinePlace = {11,  8,  0, 184, kLoadingMaxWidth - 2 * kLoadingMargin,
                                        183, 200};

// Lodge by the lake at night, in a round window: the picture that stands while loading.
static void Loading(const Words& words) {
  constexpr float cx = 160, cy = 78, r = 70;
  NewCanvas(320, 200, kBlack, scale);
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
  const Fitted name = Fit(kSerifBoldItalic, kNamePlace, words.title);
  const Fitted tagline = FitText(kSans, kLoadingTaglinePlace, words.subtitle);
  const int widest = std::max(FittedWidth(kSerifBoldItalic, name), FittedWidth(kSans, tagline));
  const int side = std::max(0, (widest + 2 * kLoadingMargin - kLoadingWidth + 1) / 2);
  Widen(kLoadingWidth + 2 * side);
  DrawFitted(kSerifBoldItalic, name, 160 + side, {250, 230, 180}, {230, 160, 90});
  DrawFitted(kSans, tagline, 160 + side, {150, 170, 185}, {150, 170, 185});
}

// The loading screen's corner: the word and a bar.
static void LoadingCorner() {
  NewCanvas(180, 48, kBlack, scale);
  Text(kSans, 17, "loading", 40, 6, {225, 232, 238}, {175, 190, 200});
  for (int i = 0; i < 3; ++i) Circle(111 + i * 9, 19, 2.2f, kTeal, 0.45f + 0.25f * i);
  RoundRect(40, 33, 164, 39, 3, {40, 60, 70});
  RoundRect(40, 33, 120, 39, 3, kTeal);
}

// The end picture's words: the thanks, with a shadow down and to the right, the farewell
// under it, the footer at the foot.
constexpr Place kThanksPlace = {72, 24, 0, 80, 600, 70, 176};
constexpr int kThanksShadow = 3;
constexpr Place kFarewellPlace = {26, 9, 0, 182, 600, 176, 250};
constexpr Place kFooterPlace = {13, 8, 0, 452, 600, 444, 478};

static void Ending(const Words& words) {
  NewCanvas(kScreenWidth, kScreenHeight, kBlack, scale);
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

  const Fitted thanks =
      Fit(kSerifBoldItalic, kThanksPlace, words.endText ? words.endText : kDefaultEndText);
  Fitted shadow = thanks;
  shadow.y += kThanksShadow;
  DrawFitted(kSerifBoldItalic, shadow, 320 + kThanksShadow, kBlack, kBlack, 0.45f);
  DrawFitted(kSerifBoldItalic, thanks, 320, kWhite, {255, 215, 160});
  DrawFitted(kSans, Fit(kSans, kFarewellPlace, words.title), 320, {255, 240, 225}, {240, 200, 170});
  DrawFitted(kSans, FitText(kSans, kFooterPlace, words.subtitle), 320, {200, 190, 210},
             {200, 190, 210});
}

static bool Write(Design which, const char* path, const Words& words, const char* dir, float at) {
  if (which < 0 || which >= kDesigns || !UseFonts(dir)) return false;
  scale = at;
  switch (which) {
    case kBackgroundDesign:
      Background(words);
      break;
    case kLogoDesign:
      Logo(words);
      break;
    case kEndDesign:
      Ending(words);
      break;
    case kLoadingDesign:
      Loading(words);
      break;
    case kLoadingCornerDesign:
      LoadingCorner();
      break;
  }
  const bool lettered = FontsFound();
  CloseFonts();
  return lettered && WritePng(path);
}

bool WriteDesign(Design which, const char* path, const char* title, const char* subtitle,
                 const char* dir, const char* endText, float at) {
  return Write(which, path, {title, subtitle, endText ? endText : kDefaultEndText}, dir, at);
}

WordsFitting WordsFit(const char* title, const char* subtitle, const char* endText, const char* dir,
                      char* why, size_t whySize) {
  const Words words = {title, subtitle, endText ? endText : kDefaultEndText};
  // Without the fonts nothing is lettered: drawing the pictures says so.
  if (!UseFonts(dir)) return kWordsFit;
  // Words are fitted at the show's size, whatever size they are then drawn at.
  scale = kShowScale;
  const long missing = MissingCharacter(kSerifBoldItalic, kThanksPlace.px, words.endText);
  mustFit[0] = words.title;
  mustFit[1] = words.endText;
  unfit = nullptr;
  if (missing == 0) {
    Background(words);
    Logo(words);
    Ending(words);
    Loading(words);
  }
  CloseFonts();
  mustFit[0] = mustFit[1] = nullptr;
  if (missing < 0) snprintf(why, whySize, "not UTF-8");
  if (missing > 0)
    snprintf(why, whySize, "the end picture's font has no U+%04lX: it cannot be drawn", missing);
  if (missing != 0) return kEndTextUnfit;
  if (!unfit) return kWordsFit;
  snprintf(why, whySize, "too long for two lines on %s: shorten it",
           unfit == words.title ? "the pictures" : "the end picture");
  return unfit == words.title ? kTitleUnfit : kEndTextUnfit;
}

bool WriteDemoDesign(Design which, const char* path, const char* dir, float at) {
  return which >= 0 && which < kDesigns && Write(which, path, kDemoWords[which], dir, at);
}
