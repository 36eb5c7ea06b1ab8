#include "anim/anim.h"
#include "anim/surfaces.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "testing.h"

namespace {

class Anim : public ::testing::Test {
 protected:
  void SetUp() override { ResetAnim(); }
};

// What KeyPos wrote, starting from values it never produces here.
struct Pos {
  int x = -9999, y = -9999;
  unsigned char alpha = 123;
};
constexpr unsigned char kUnwritten = 123;

Pos At(int frame, CWP* path) {
  Pos p;
  KeyPos(frame, path, p.x, p.y, p.alpha);
  return p;
}

struct Key {
  int x, y, time;
};

// Fills the pool with a key that no builder writes, so that stray writes show.
void MarkPool() {
  for (CWP& key : pt) key.Set(7777, 7777, 77, 7777, &pt[kKeyPoolSize - 1]);
}

bool IsMark(const CWP& key) {
  return key.x == 7777 && key.y == 7777 && key.alpha == 77 && key.time == 7777 &&
         key.next == &pt[kKeyPoolSize - 1];
}

// pt[first...] holds exactly `keys`, linked in order, alpha 0; its neighbours are untouched.
void ExpectPath(int first, const std::vector<Key>& keys) {
  const int count = static_cast<int>(keys.size());
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(testing::Message() << "key " << i);
    const CWP& key = pt[first + i];
    EXPECT_EQ(key.x, keys[i].x);
    EXPECT_EQ(key.y, keys[i].y);
    EXPECT_EQ(key.time, keys[i].time);
    EXPECT_EQ(key.alpha, 0);
    EXPECT_EQ(key.next, i + 1 < count ? &pt[first + i + 1] : nullptr);
  }
  EXPECT_TRUE(IsMark(pt[first - 1]));
  EXPECT_TRUE(IsMark(pt[first + count]));
}

TEST_F(Anim, BuildersWriteTheirKeyTables) {
  MarkPool();
  SiNabeh(40, 380, 160, 140, 770);
  ExpectPath(40, {{160, -340, 380},
                  {160, 100, 400},
                  {160, 160, 410},
                  {160, 140, 415},
                  {160, 140, 1185},
                  {160, 620, 1215}});
  JmenaNabeh(10, 100, 125, 412, 1200);
  ExpectPath(10, {{765, 412, 100},
                  {125, 412, 120},
                  {165, 412, 130},
                  {145, 412, 135},
                  {145, 412, 1335},
                  {-1155, 412, 1355}});
  TextNabeh(60, 50, 30, 7, 300);  // y before x
  ExpectPath(60,
             {{7, 670, 50}, {7, 30, 70}, {7, 70, 80}, {7, 50, 85}, {7, 50, 385}, {7, -1250, 405}});
  PopisNabeh(20, 9, 115, 100, 800);
  ExpectPath(20, {{115, 100, 9}, {115, 100, 809}});
}

TEST_F(Anim, RebuildingAPathOverwritesItInPlace) {
  JmenaNabeh(0, 0, 125, 412, 1200);
  PopisNabeh(0, 5, 1, 2, 10);
  // The shorter path now ends at key 1; the rest of the old one lies unused.
  EXPECT_EQ(At(1000, &pt[0]).x, 1);
  EXPECT_EQ(At(1000, &pt[0]).y, 2);
  EXPECT_EQ(pt[2].x, 165);
}

TEST_F(Anim, NamesSlideAtListedFrames) {
  JmenaNabeh(0, 0, 125, 412, 1200);
  const struct {
    int frame, x;
  } kExpected[] = {{-1, 765},     {0, 765},      {1, 733},      {10, 445},   {20, 125},
                   {30, 165},     {35, 145},     {600, 145},    {1235, 145}, {1245, -505},
                   {1255, -1155}, {1256, -1155}, {99999, -1155}};
  for (const auto& e : kExpected) {
    SCOPED_TRACE(testing::Message() << "frame " << e.frame);
    const Pos p = At(e.frame, &pt[0]);
    EXPECT_EQ(p.x, e.x);
    EXPECT_EQ(p.y, 412);
  }
}

TEST_F(Anim, LogoDropAtListedFrames) {
  SiNabeh(40, 380, 160, 140, 770);
  const struct {
    int frame, y;
  } kExpected[] = {{0, -340},  {380, -340}, {381, -318}, {400, 100},  {410, 160}, {415, 140},
                   {800, 140}, {1185, 140}, {1200, 380}, {1215, 620}, {5000, 620}};
  for (const auto& e : kExpected) {
    SCOPED_TRACE(testing::Message() << "frame " << e.frame);
    const Pos p = At(e.frame, &pt[40]);
    EXPECT_EQ(p.x, 160);
    EXPECT_EQ(p.y, e.y);
  }
}

TEST_F(Anim, AlphaIsWrittenOnlyBetweenKeys) {
  pt[0].Set(0, 0, 10, 10, &pt[1]);
  pt[1].Set(100, 1000, 50, 20, &pt[2]);
  pt[2].Set(200, 2000, 90, 30, nullptr);

  for (int frame : {-5, 9, 10}) {
    const Pos p = At(frame, &pt[0]);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.alpha, kUnwritten);
  }
  Pos p = At(15, &pt[0]);
  EXPECT_EQ(p.x, 50);
  EXPECT_EQ(p.y, 500);
  EXPECT_EQ(p.alpha, 30);
  // At a later key's own frame: exactly that key, alpha included.
  p = At(20, &pt[0]);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 1000);
  EXPECT_EQ(p.alpha, 50);
  p = At(30, &pt[0]);
  EXPECT_EQ(p.x, 200);
  EXPECT_EQ(p.alpha, 90);
  p = At(31, &pt[0]);
  EXPECT_EQ(p.x, 200);
  EXPECT_EQ(p.y, 2000);
  EXPECT_EQ(p.alpha, kUnwritten);
}

TEST_F(Anim, OneKeyPathHoldsItsKeyAndNoPathWritesNothing) {
  pt[0].Set(3, 4, 9, 50, nullptr);
  for (int frame : {-100, 49, 50, 51, 100000}) {
    const Pos p = At(frame, &pt[0]);
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 4);
    EXPECT_EQ(p.alpha, kUnwritten);
  }
  const Pos none = At(50, nullptr);
  EXPECT_EQ(none.x, Pos().x);
  EXPECT_EQ(none.y, Pos().y);
  EXPECT_EQ(none.alpha, kUnwritten);
}

TEST_F(Anim, KeysAtTheSameFrameMakeAJump) {
  pt[0].Set(0, 0, 0, 0, &pt[1]);
  pt[1].Set(100, 0, 0, 10, &pt[2]);
  pt[2].Set(500, 0, 0, 10, &pt[3]);
  pt[3].Set(600, 0, 0, 20, nullptr);
  EXPECT_EQ(At(10, &pt[0]).x, 100);  // the earlier key at the jump itself
  EXPECT_EQ(At(11, &pt[0]).x, 510);
}

TEST_F(Anim, WalkStopsAtTheFirstKeyAtOrAfterTheFrame) {
  // Times need not increase; keys behind the stopping key are not looked at.
  pt[0].Set(0, 0, 0, 0, &pt[1]);
  pt[1].Set(100, 0, 0, 10, &pt[2]);
  pt[2].Set(500, 0, 0, 5, nullptr);
  EXPECT_EQ(At(7, &pt[0]).x, 70);
  EXPECT_EQ(At(12, &pt[0]).x, 500);
}

TEST_F(Anim, InterpolationTruncatesExtendedPrecisionTowardZero) {
  // 5/7 * 21 in extended precision lies just below 15.
  pt[0].Set(0, 0, 0, 0, &pt[1]);
  pt[1].Set(21, -21, 0, 7, nullptr);
  Pos p = At(5, &pt[0]);
  EXPECT_EQ(p.x, 14);
  EXPECT_EQ(p.y, -14);

  pt[0].Set(100, 0, 0, 1000, &pt[1]);
  pt[1].Set(90, 0, 0, 1004, nullptr);
  EXPECT_EQ(At(1001, &pt[0]).x, 98);  // -2.5 becomes -2

  pt[0].Set(0, 0, 0, 0, &pt[1]);
  pt[1].Set(0, 0, 255, 10, nullptr);
  EXPECT_EQ(At(3, &pt[0]).alpha, 76);
  pt[0].alpha = 255;
  pt[1].alpha = 0;
  EXPECT_EQ(At(3, &pt[0]).alpha, 179);  // 255 - 76.5 truncated toward the earlier key
}

// A picture with no display behind it: the object calls below never draw.
std::unique_ptr<SDL_Surface, void (*)(SDL_Surface*)> SmallPicture() {
  return {SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 32, 0xFF0000, 0xFF00, 0xFF, 0),
          SDL_FreeSurface};
}

TEST_F(Anim, ActivationKeepsThePictureAndDisposeDropsItUnfreed) {
  auto picture = SmallPicture();
  CIB& object = tt[3];
  object.surface = picture.get();
  object.Activate(&pt[5], 2, true);
  object.Deactivate();
  object.Activate(&pt[7], 1, false);
  EXPECT_TRUE(object.active);
  EXPECT_EQ(object.surface, picture.get());
  EXPECT_EQ(object.path, &pt[7]);
  object.Dispose();
  EXPECT_EQ(object.surface, nullptr);
  EXPECT_EQ(picture->refcount, 1);  // dropped, not freed
}

TEST_F(Anim, ResetPutsPoolsBackWithoutFreeingPictures) {
  auto picture = SmallPicture();
  JmenaNabeh(0, 10, 20, 30, 40);
  pt[199].Set(1, 2, 3, 4, &pt[0]);
  tt[29].surface = picture.get();
  tt[29].alpha = 8;
  tt[29].Activate(&pt[0], 3, true);

  ResetAnim();
  for (const CWP& key : pt) {
    EXPECT_EQ(key.x | key.y | key.time | key.alpha, 0);
    EXPECT_EQ(key.next, nullptr);
  }
  for (const CIB& o : tt)
    EXPECT_TRUE(!o.active && !o.trail && o.alpha == 0 && o.copies == 0 && !o.surface && !o.path);
  EXPECT_EQ(picture->refcount, 1);
}

TEST_F(Anim, TransparencyIsClampedAndGivenToSdlAsOpacity) {
  auto picture = SmallPicture();
  SetTransparency(picture.get(), 100);
  EXPECT_TRUE(picture->flags & SDL_SRCALPHA);
  EXPECT_EQ(picture->format->alpha, 155);
  SetTransparency(picture.get(), -5);
  EXPECT_EQ(picture->format->alpha, 255);
  SetTransparency(picture.get(), 300);
  EXPECT_EQ(picture->format->alpha, 0);
  SetTransparency(nullptr, 10);
}

// Drawing, at each display depth the program runs at.
class AnimDraw : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    ResetAnim();
    display = OpenTestDisplay(GetParam());
    ASSERT_NE(display, nullptr);
    SDL_FillRect(display, nullptr, 0);
    picture = NewPicture(8, 8);
    SDL_FillRect(picture, nullptr, Colour(kColour));
  }
  void TearDown() override {
    ResetAnim();
    for (SDL_Surface* s : owned) SDL_FreeSurface(s);
  }

  static constexpr SDL_Color kColour = {200, 160, 96, 0};

  Uint32 Colour(SDL_Color c) const { return SDL_MapRGB(display->format, c.r, c.g, c.b); }

  // A black surface in the display's pixel format, freed after the test.
  SDL_Surface* NewPicture(int w, int h) {
    const SDL_PixelFormat* f = display->format;
    SDL_Surface* s =
        SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, f->BitsPerPixel, f->Rmask, f->Gmask, f->Bmask, 0);
    owned.push_back(s);
    return s;
  }

  struct Copy {
    int x, y, transparency;
  };
  // The screen after SDL itself blits `picture` at each place in turn over black.
  SDL_Surface* Expected(const std::vector<Copy>& copies) {
    SDL_Surface* screen = NewPicture(display->w, display->h);
    for (const Copy& c : copies) {
      SDL_SetAlpha(picture, SDL_SRCALPHA, static_cast<Uint8>(255 - c.transparency));
      SDL_Rect at = {static_cast<Sint16>(c.x), static_cast<Sint16>(c.y), 0, 0};
      SDL_BlitSurface(picture, nullptr, screen, &at);
    }
    return screen;
  }

  testing::AssertionResult DisplayIs(SDL_Surface* expected) {
    for (int y = 0; y < display->h; ++y)
      for (int x = 0; x < display->w; ++x)
        if (PixelAt(display, x, y) != PixelAt(expected, x, y))
          return testing::AssertionFailure()
                 << "first difference at (" << x << ", " << y << "): " << PixelAt(display, x, y)
                 << " instead of " << PixelAt(expected, x, y);
    return testing::AssertionSuccess();
  }

  void Clear() { SDL_FillRect(display, nullptr, 0); }

  // x = 10 * frame, y = 100: every copy of an 8 px picture lands apart.
  CWP* Ruler(unsigned char alpha = 0) {
    pt[0].Set(0, 100, alpha, 0, &pt[1]);
    pt[1].Set(1000, 100, alpha, 100, nullptr);
    return &pt[0];
  }

  SDL_Surface* display = nullptr;
  SDL_Surface* picture = nullptr;
  std::vector<SDL_Surface*> owned;
};

INSTANTIATE_TEST_SUITE_P(Depths, AnimDraw, ::testing::Values(16, 32),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "bpp";
                         });

bool SameColour(SDL_Color a, SDL_Color b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

TEST_P(AnimDraw, OneCopyStandsWhereThePathWasThreeFramesEarlier) {
  constexpr int kStart = 500;
  JmenaNabeh(0, kStart, 125, 412, 1200);
  CIB& object = tt[0];
  object.surface = picture;
  object.Activate(&pt[0], 1, false);

  object.Draw(kStart + 13);
  EXPECT_TRUE(DisplayIs(Expected({{445, 412, 0}})));
  const SDL_Color opaque = ColourAt(display, 445, 412);
  const SDL_Color picturePixel = ColourAt(picture, 0, 0);
  EXPECT_TRUE(SameColour(opaque, picturePixel));
  EXPECT_TRUE(SameColour(ColourAt(display, 444, 412), SDL_Color{0, 0, 0, 0}));

  // Until the slide has begun three frames ago the picture waits off the right edge.
  for (int frame : {kStart - 50, kStart + 3}) {
    Clear();
    object.Draw(frame);
    EXPECT_TRUE(DisplayIs(Expected({})));
  }
}

TEST_P(AnimDraw, TrailCopiesLagAndFade) {
  const struct {
    int copies;
    std::vector<int> lags, transparencies;  // oldest copy first
  } kTrail[] = {{1, {3}, {120}},
                {2, {6, 3}, {160, 80}},
                {3, {9, 6, 3}, {180, 120, 60}},
                {4, {12, 9, 6, 3}, {192, 144, 96, 48}},
                {5, {15, 12, 9, 6, 3}, {200, 160, 120, 80, 40}}};
  CIB& object = tt[1];
  object.surface = picture;
  for (const auto& row : kTrail) {
    SCOPED_TRACE(testing::Message() << row.copies << " copies");
    Clear();
    object.Activate(Ruler(), row.copies, true);
    object.Draw(20);
    // The newest copy's alpha stays set on the picture.
    EXPECT_TRUE(picture->flags & SDL_SRCALPHA);
    EXPECT_EQ(picture->format->alpha, 255 - row.transparencies.back());
    std::vector<Copy> copies;
    for (size_t i = 0; i < row.lags.size(); ++i)
      copies.push_back({10 * (20 - row.lags[i]), 100, row.transparencies[i]});
    EXPECT_TRUE(DisplayIs(Expected(copies)));
  }
}

TEST_P(AnimDraw, WithoutTrailEveryCopyHasTheFixedAlpha) {
  CIB& object = tt[2];
  object.surface = picture;
  object.Activate(Ruler(200), 3, false);  // key alpha plays no part
  object.Draw(20);
  EXPECT_TRUE(DisplayIs(Expected({{110, 100, 0}, {140, 100, 0}, {170, 100, 0}})));
  for (int x : {110, 140, 170})
    EXPECT_TRUE(SameColour(ColourAt(display, x + 7, 107), ColourAt(picture, 0, 0)));

  Clear();
  object.alpha = 128;
  object.Draw(20);
  EXPECT_TRUE(DisplayIs(Expected({{110, 100, 128}, {140, 100, 128}, {170, 100, 128}})));
  const SDL_Color half = ColourAt(display, 110, 100);
  EXPECT_FALSE(SameColour(half, ColourAt(picture, 0, 0)));
  EXPECT_FALSE(SameColour(half, SDL_Color{0, 0, 0, 0}));
}

TEST_P(AnimDraw, NewestCopyIsDrawnOnTop) {
  // Left half red, right half green; the copies overlap by half a picture.
  SDL_Surface* halves = NewPicture(6, 4);
  SDL_FillRect(halves, nullptr, Colour({255, 0, 0, 0}));
  SDL_Rect right = {3, 0, 3, 4};
  SDL_FillRect(halves, &right, Colour({0, 255, 0, 0}));
  pt[0].Set(0, 50, 0, 0, &pt[1]);
  pt[1].Set(100, 50, 0, 100, nullptr);
  tt[5].surface = halves;
  tt[5].Activate(&pt[0], 2, false);
  tt[5].Draw(10);  // copies at x = 4, then x = 7
  EXPECT_TRUE(SameColour(ColourAt(display, 4, 50), {255, 0, 0, 0}));
  EXPECT_TRUE(SameColour(ColourAt(display, 8, 51), {255, 0, 0, 0}));  // the newest's red
  EXPECT_TRUE(SameColour(ColourAt(display, 11, 52), {0, 255, 0, 0}));
}

TEST_P(AnimDraw, KeyAlphaAddsToTheTrailUpToTheCap) {
  CIB& object = tt[6];
  object.surface = picture;
  object.Activate(Ruler(100), 1, true);
  object.Draw(53);
  EXPECT_EQ(picture->format->alpha, 255 - 220);
  EXPECT_TRUE(DisplayIs(Expected({{500, 100, 220}})));

  Clear();
  object.Activate(Ruler(200), 1, true);
  object.Draw(53);
  EXPECT_EQ(picture->format->alpha, 255 - 250);  // capped, not 320
  EXPECT_TRUE(DisplayIs(Expected({{500, 100, 250}})));
}

TEST_P(AnimDraw, KeyAlphaCarriesFromCopyToCopyWithinOneDraw) {
  // The oldest copy falls before the path: it stands at the first key with key alpha 0.
  pt[0].Set(300, 200, 40, 10, &pt[1]);
  pt[1].Set(400, 200, 40, 20, nullptr);
  CIB& object = tt[7];
  object.surface = picture;
  object.Activate(&pt[0], 3, true);
  for (int pass = 0; pass < 2; ++pass) {  // the next call starts afresh
    SCOPED_TRACE(testing::Message() << "pass " << pass);
    Clear();
    object.Draw(17);  // copies at frames 8, 11, 14
    EXPECT_TRUE(DisplayIs(Expected({{300, 200, 180}, {310, 200, 160}, {340, 200, 100}})));
  }

  // A copy after the end keeps the key alpha of the copy before it.
  pt[0].Set(0, 300, 50, 0, &pt[1]);
  pt[1].Set(100, 300, 50, 10, nullptr);
  object.Activate(&pt[0], 2, true);
  Clear();
  object.Draw(15);  // copies at frames 9 and 12
  EXPECT_TRUE(DisplayIs(Expected({{90, 300, 210}, {100, 300, 130}})));
}

TEST_P(AnimDraw, WithoutPathEveryCopyIsAtTheOrigin) {
  CIB& object = tt[8];
  object.surface = picture;
  object.Activate(nullptr, 2, false);
  object.Draw(1000);
  EXPECT_TRUE(DisplayIs(Expected({{0, 0, 0}, {0, 0, 0}})));
}

TEST_P(AnimDraw, NothingIsDrawnWithoutCopiesOrPicture) {
  SDL_SetAlpha(picture, SDL_SRCALPHA, 77);
  CIB& object = tt[9];
  object.surface = picture;
  for (int copies : {0, -3}) {
    object.Activate(Ruler(), copies, true);
    object.Draw(20);
    EXPECT_EQ(picture->format->alpha, 77);
  }
  object.Dispose();
  object.Activate(Ruler(), 2, true);
  object.Draw(20);
  EXPECT_EQ(picture->format->alpha, 77);
  EXPECT_TRUE(DisplayIs(Expected({})));
}

}  // namespace
