#include "text/text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <tuple>
#include <string>
#include <vector>

#include "testing.h"

// Allocation failures are made by replacing malloc, which the sanitizers own.
#if defined(__SANITIZE_ADDRESS__)
#define TOLVANE_OWN_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVANE_OWN_MALLOC 0
#endif
#endif
#ifndef TOLVANE_OWN_MALLOC
#define TOLVANE_OWN_MALLOC 1
#endif

#if TOLVANE_OWN_MALLOC
extern "C" void* __libc_malloc(size_t size);
extern "C" void __libc_free(void* pointer);
static size_t failingSize = 0;  // mallocs of this many bytes fail; 0 for none
static bool counting = false;   // while set, `live` counts mallocs less frees
static long live = 0;
extern "C" void* malloc(size_t size) {
  if (size != 0 && size == failingSize) return nullptr;
  void* pointer = __libc_malloc(size);
  if (counting && pointer) ++live;
  return pointer;
}
extern "C" void free(void* pointer) {
  if (counting && pointer) --live;
  __libc_free(pointer);
}
#endif

namespace {

const SDL_Color kWhite = {255, 255, 255, 0};
const SDL_Color kAlias = {102, 102, 255, 0};
const SDL_Color kBlack = {0, 0, 0, 0};
const SDL_Color kRed = {255, 0, 0, 0};

bool Same(SDL_Color a, SDL_Color b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

// Whether the pixel at (x, y) is `colour` as the surface's format stores it.
bool Is(SDL_Surface* surface, int x, int y, SDL_Color colour) {
  return PixelAt(surface, x, y) == SDL_MapRGB(surface->format, colour.r, colour.g, colour.b);
}

std::string Font() {
  return DemoFile(kFontFile);
}

struct Picture {
  SDL_Surface* surface;
  explicit Picture(SDL_Surface* s) : surface(s) {}
  ~Picture() { SDL_FreeSurface(surface); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  SDL_Surface* operator->() const { return surface; }
  explicit operator bool() const { return surface != nullptr; }
};

// Glyph pixels of an 8-bit line image: palette index 0 is the background.
bool Ink(SDL_Surface* line, int x, int y) {
  return PixelAt(line, x, y) != 0;
}

int InkCount(SDL_Surface* line) {
  int n = 0;
  for (int y = 0; y < line->h; ++y)
    for (int x = 0; x < line->w; ++x) n += Ink(line, x, y);
  return n;
}

bool ColumnHasInk(SDL_Surface* line, int x) {
  for (int y = 0; y < line->h; ++y)
    if (Ink(line, x, y)) return true;
  return false;
}

// The boxes of the runs of rows of a block that hold any non-zero pixel: with a non-black
// background, the bands of its lines.
std::vector<SDL_Rect> Bands(SDL_Surface* block) {
  std::vector<SDL_Rect> bands;
  int start = -1, left = block->w, right = -1;
  for (int y = 0; y <= block->h; ++y) {
    int rowLeft = block->w, rowRight = -1;
    for (int x = 0; y < block->h && x < block->w; ++x)
      if (PixelAt(block, x, y) != 0) {
        rowLeft = std::min(rowLeft, x);
        rowRight = x;
      }
    if (rowRight >= 0) {
      if (start < 0) start = y;
      left = std::min(left, rowLeft);
      right = std::max(right, rowRight);
    } else if (start >= 0) {
      bands.push_back({static_cast<Sint16>(left), static_cast<Sint16>(start),
                       static_cast<Uint16>(right - left + 1), static_cast<Uint16>(y - start)});
      start = -1, left = block->w, right = -1;
    }
  }
  return bands;
}

struct Size {
  int w, h;
};

class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetText();
    display = OpenTestDisplay(16);
    if (!TTF_WasInit()) TTF_Init();
    font16 = OpenFontAt96Dpi(Font().c_str(), 12);
    font13 = OpenFontAt96Dpi(Font().c_str(), 10);
    ASSERT_NE(font16, nullptr) << TTF_GetError();
    ASSERT_NE(font13, nullptr) << TTF_GetError();
  }
  void TearDown() override {
    TTF_CloseFont(font16);
    TTF_CloseFont(font13);
  }

  // The size of a line's image, as the blocks must lay it out.
  Size LineSize(TTF_Font* font, const char* line) {
    Picture picture(RenderLine(font, line, kWhite, kAlias));
    EXPECT_TRUE(picture);
    return picture ? Size{picture->w, picture->h} : Size{0, 0};
  }

  SDL_Surface* display = nullptr;
  TTF_Font* font16 = nullptr;
  TTF_Font* font13 = nullptr;
};

// The font layer.

using FontLayer = Text;

TEST_F(FontLayer, PointsAreSizedFor96Dpi) {
  for (auto [points, pixels] : {std::pair{12, 16}, std::pair{10, 13}}) {
    TTF_Font* at96 = OpenFontAt96Dpi(Font().c_str(), points);
    TTF_Font* byPixels = TTF_OpenFont(Font().c_str(), pixels);
    TTF_Font* at72 = TTF_OpenFont(Font().c_str(), points);
    int a96[5], px[5], a72[5];
    TTF_GlyphMetrics(at96, 'M', &a96[0], &a96[1], &a96[2], &a96[3], &a96[4]);
    TTF_GlyphMetrics(byPixels, 'M', &px[0], &px[1], &px[2], &px[3], &px[4]);
    TTF_GlyphMetrics(at72, 'M', &a72[0], &a72[1], &a72[2], &a72[3], &a72[4]);
    EXPECT_EQ(std::vector<int>(a96, a96 + 5), std::vector<int>(px, px + 5)) << points;
    EXPECT_EQ(TTF_FontHeight(at96), TTF_FontHeight(byPixels)) << points;
    EXPECT_GT(a96[4], a72[4]) << points;
    TTF_CloseFont(at96);
    TTF_CloseFont(byPixels);
    TTF_CloseFont(at72);
  }
}

// A one-glyph bitmap font; FreeType gives it a Unicode map only for a Unicode registry.
std::string WriteBitmapFont(const char* registry, const char* encoding) {
  const std::string path =
      testing::TempDir() + "tolvane_" + std::to_string(getpid()) + "_" + registry + ".bdf";
  FILE* file = fopen(path.c_str(), "w");
  fprintf(file,
          "STARTFONT 2.1\nFONT -test-test-medium-r-normal--8-80-75-75-c-80-%s-%s\n"
          "SIZE 8 75 75\nFONTBOUNDINGBOX 8 8 0 0\nSTARTPROPERTIES 4\n"
          "CHARSET_REGISTRY \"%s\"\nCHARSET_ENCODING \"%s\"\nFONT_ASCENT 8\nFONT_DESCENT 0\n"
          "ENDPROPERTIES\nCHARS 1\nSTARTCHAR A\nENCODING 65\nSWIDTH 1000 0\nDWIDTH 8 0\n"
          "BBX 8 8 0 0\nBITMAP\nFF\n81\n81\n81\n81\n81\n81\nFF\nENDCHAR\nENDFONT\n",
          registry, encoding, registry, encoding);
  fclose(file);
  return path;
}

TEST_F(FontLayer, RefusesFontsItCannotUse) {
  const std::string specific = WriteBitmapFont("misc", "fontspecific");
  EXPECT_EQ(OpenFontAt96Dpi(specific.c_str(), 12), nullptr);
  EXPECT_STREQ(TTF_GetError(), "Font doesn't have a Unicode mapping");

  // Bitmap strikes have no 96 dpi sizes, and SDL_ttf places their glyphs differently.
  const std::string unicode = WriteBitmapFont("ISO10646", "1");
  EXPECT_EQ(OpenFontAt96Dpi(unicode.c_str(), 12), nullptr);
  EXPECT_STREQ(TTF_GetError(), "Font isn't scalable");

  EXPECT_EQ(OpenFontAt96Dpi((testing::TempDir() + "no_such_font.ttf").c_str(), 12), nullptr);
  remove(specific.c_str());
  remove(unicode.c_str());
}

TEST_F(FontLayer, BytesAreLatin1CodePoints) {
  // Byte 233 is e with an acute accent: the e below the accent is the plain e, pixel for
  // pixel, and only the accent's rows are added on top.
  for (TTF_Font* font : {font16, font13}) {
    Picture plain(RenderLine(font, "e", kWhite, kAlias));
    Picture acute(RenderLine(font, "\xe9", kWhite, kAlias));
    ASSERT_TRUE(plain && acute);
    ASSERT_EQ(acute->w, plain->w);
    ASSERT_GT(acute->h, plain->h);
    const int lift = acute->h - plain->h;
    for (int y = 0; y < plain->h; ++y)
      for (int x = 0; x < plain->w; ++x)
        ASSERT_EQ(PixelAt(acute.surface, x, y + lift), PixelAt(plain.surface, x, y));
    int minx, maxx, miny, maxy, advance;
    TTF_GlyphMetrics(font, 0xE9, &minx, &maxx, &miny, &maxy, &advance);
    EXPECT_EQ(acute->h, maxy);
  }
}

TEST_F(FontLayer, LineIsAnOpaqueBandOfTheBackground) {
  Picture coloured(RenderLine(font16, "Quorlaks, j'y", kWhite, kAlias));
  Picture coverage(RenderLine(font16, "Quorlaks, j'y", kWhite, kBlack));
  ASSERT_TRUE(coloured && coverage);
  EXPECT_EQ(coloured->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA), 0u);
  int uncovered = 0, covered = 0;
  for (int y = 0; y < coloured->h; ++y)
    for (int x = 0; x < coloured->w; ++x) {
      const SDL_Color c = ColourAt(coloured.surface, x, y);
      if (!Ink(coverage.surface, x, y)) {
        ASSERT_TRUE(Same(c, kAlias)) << x << "," << y;
        ++uncovered;
      } else {
        ++covered;
      }
    }
  EXPECT_GT(uncovered, 0);
  EXPECT_GT(covered, 0);

  // Blitted, it covers its whole rectangle.
  SDL_FillRect(display, nullptr, SDL_MapRGB(display->format, 255, 0, 0));
  SDL_Rect at = {10, 10, 0, 0};
  ASSERT_EQ(SDL_BlitSurface(coloured.surface, nullptr, display, &at), 0);
  for (int y = 0; y < coloured->h; ++y)
    for (int x = 0; x < coloured->w; ++x) ASSERT_FALSE(Is(display, 10 + x, 10 + y, kRed));
}

TEST_F(FontLayer, BandIsTheBoxOfTheGlyphs) {
  // Height: from the highest glyph top to the lowest glyph bottom.
  const Size x = LineSize(font16, "ace"), cap = LineSize(font16, "H"),
             descender = LineSize(font16, "Hg");
  EXPECT_LT(x.h, cap.h);
  EXPECT_LT(cap.h, descender.h);
  EXPECT_NE(LineSize(font13, "ace").h, LineSize(font13, "Hg").h);
  // At least down to the baseline: the apostrophe's band is as tall as the H's.
  EXPECT_EQ(LineSize(font16, "'").h, cap.h);
  // Without glyphs, no width.
  Picture empty(RenderLine(font16, "", kWhite, kAlias));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->w, 0);
  // Spaces have no height; the band keeps their advance, as SDL_ttf measures lines.
  Picture spaces(RenderLine(font16, "  ", kWhite, kAlias));
  ASSERT_TRUE(spaces);
  EXPECT_EQ(spaces->h, 0);
  EXPECT_EQ(spaces->w, 2 * LineSize(font16, " ").w);

  // Width: the pen's start is inside the box, so the apostrophe (ink from x = 1) starts
  // with an empty column and j (ink from x = -1) with ink.
  Picture apostrophe(RenderLine(font16, "'", kWhite, kBlack));
  Picture j(RenderLine(font16, "j", kWhite, kBlack));
  EXPECT_FALSE(ColumnHasInk(apostrophe.surface, 0));
  EXPECT_TRUE(ColumnHasInk(j.surface, 0));
  // Kerning is applied as the renderer applies it: A and V move closer.
  EXPECT_LT(LineSize(font16, "AV").w, LineSize(font16, "A").w + LineSize(font16, "V").w);
  EXPECT_EQ(LineSize(font16, "HH").w, 2 * LineSize(font16, "H").w);
}

// Every byte at both sizes: the band keeps every glyph pixel that SDL_ttf drew and is as
// tall as the glyph's box stretched to the baseline.
TEST_F(FontLayer, BandLosesNoInkAndHasNoSpareRows) {
  for (TTF_Font* font : {font16, font13})
    for (int byte = 1; byte < 256; ++byte) {
      const char line[2] = {static_cast<char>(byte), '\0'};
      Picture band(RenderLine(font, line, kWhite, kBlack));
      Picture full(TTF_RenderText_Shaded(font, line, kWhite, kBlack));
      ASSERT_TRUE(band && full) << byte;
      ASSERT_EQ(band->w, full->w) << byte;
      ASSERT_EQ(InkCount(band.surface), InkCount(full.surface)) << byte;
      int minx, maxx, miny, maxy, advance;
      TTF_GlyphMetrics(font, byte, &minx, &maxx, &miny, &maxy, &advance);
      EXPECT_EQ(band->h, std::max(maxy, 0) - std::min(miny, 0)) << byte;
    }
}

// At 14 pixels the accents of some capitals rise above the ascent, outside the rows SDL_ttf
// draws: the band starts at the top of what was drawn.
TEST_F(FontLayer, GlyphsAboveTheRenderedLineAreClipped) {
  TTF_Font* font = TTF_OpenFont(Font().c_str(), 14);
  ASSERT_NE(font, nullptr);
  int minx, maxx, miny, maxy, advance;
  TTF_GlyphMetrics(font, 0xC9, &minx, &maxx, &miny, &maxy, &advance);
  ASSERT_GT(maxy, TTF_FontAscent(font));
  Picture band(RenderLine(font, "\xc9g", kWhite, kBlack));
  Picture full(TTF_RenderText_Shaded(font, "\xc9g", kWhite, kBlack));
  ASSERT_TRUE(band && full);
  EXPECT_LE(band->h, full->h);
  EXPECT_EQ(InkCount(band.surface), InkCount(full.surface));
  TTF_CloseFont(font);
}

// Text blocks.

using TextBlock = Text;

TEST_F(TextBlock, OneLineTopLeft) {
  for (TTF_Font* font : {font16, font13}) {
    const Size line = LineSize(font, "Jonna, Pelle");
    Picture block(MyRenderText(font, "Jonna, Pelle", kWhite, kAlias, false, 0, 0));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->w, line.w);
    EXPECT_EQ(block->h, line.h + kLineGap);
    EXPECT_EQ(block->format->BitsPerPixel, display->format->BitsPerPixel);
    EXPECT_EQ(block->format->Rmask, display->format->Rmask);
    EXPECT_EQ(block->format->Gmask, display->format->Gmask);
    EXPECT_EQ(block->format->Bmask, display->format->Bmask);
    const auto bands = Bands(block.surface);
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_EQ(bands[0].x, 0);
    EXPECT_EQ(bands[0].y, 0);
    EXPECT_EQ(bands[0].w, line.w);
    EXPECT_EQ(bands[0].h, line.h);
    EXPECT_TRUE(Is(block.surface, 0, 0, kAlias));
  }
}

TEST_F(TextBlock, CentredInsideTheMinimum) {
  for (TTF_Font* font : {font16, font13}) {
    const Size a = LineSize(font, "Ay"), b = LineSize(font, "Bob");
    Picture block(MyRenderText(font, "Ay\nBob", kWhite, kAlias, true, 400, 300));
    ASSERT_TRUE(block);
    EXPECT_EQ(block->w, 400);
    EXPECT_EQ(block->h, 300);
    const int stack = a.h + kLineGap + b.h + kLineGap;
    const auto bands = Bands(block.surface);
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0].y, (300 - stack) / 2);
    EXPECT_EQ(bands[0].x, (400 - a.w) / 2);
    EXPECT_EQ(bands[0].h, a.h);
    EXPECT_EQ(bands[1].y, (300 - stack) / 2 + a.h + kLineGap);
    EXPECT_EQ(bands[1].x, (400 - b.w) / 2);
    EXPECT_EQ(bands[1].w, b.w);
  }
}

TEST_F(TextBlock, OddRemainderGoesToTheRight) {
  const Size line = LineSize(font16, "Ravi");
  Picture block(MyRenderText(font16, "Ravi", kWhite, kAlias, true, line.w + 1, 0));
  ASSERT_TRUE(block);
  const auto bands = Bands(block.surface);
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_EQ(bands[0].x, 0);
  EXPECT_EQ(PixelAt(block.surface, line.w, 0), 0u);
}

TEST_F(TextBlock, StackHigherOrWiderThanTheMinimum) {
  const char* text = "Mira\nTobias\nIlka\nRavi\nJonna\nPelle\nSanne\nOskar\nEveryone\nAll";
  Picture block(MyRenderText(font16, text, kWhite, kAlias, true, 0, 20));
  ASSERT_TRUE(block);
  const auto bands = Bands(block.surface);
  ASSERT_EQ(bands.size(), 10u);
  EXPECT_EQ(bands[0].y, 0);
  EXPECT_EQ(block->h, bands.back().y + bands.back().h + kLineGap);

  const Size wide = LineSize(font16, "The whole Quorlaks team"), narrow = LineSize(font16, "Mira");
  Picture wider(MyRenderText(font16, "The whole Quorlaks team\nMira", kWhite, kAlias, true, 50, 0));
  ASSERT_TRUE(wider);
  EXPECT_EQ(wider->w, wide.w);
  const auto two = Bands(wider.surface);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].x, 0);
  EXPECT_EQ(two[1].x, (wide.w - narrow.w) / 2);
}

TEST_F(TextBlock, EmptyLinesAddOnlyTheirGap) {
  const Size a = LineSize(font16, "A");
  // A line break at the end adds an empty line: 4 rows more, or 2 rows up when centred.
  Picture plain(MyRenderText(font16, "A", kWhite, kAlias, false, 0, 0));
  Picture trailing(MyRenderText(font16, "A\n", kWhite, kAlias, false, 0, 0));
  ASSERT_TRUE(plain && trailing);
  EXPECT_EQ(trailing->h, plain->h + kLineGap);
  Picture centred(MyRenderText(font16, "A", kWhite, kAlias, true, 100, 100));
  Picture centredTrailing(MyRenderText(font16, "A\n", kWhite, kAlias, true, 100, 100));
  EXPECT_EQ(Bands(centredTrailing.surface)[0].y, Bands(centred.surface)[0].y - 2);

  // At the start, it pushes the first band down by its gap.
  Picture leading(MyRenderText(font16, "\nA", kWhite, kAlias, false, 0, 0));
  EXPECT_EQ(Bands(leading.surface)[0].y, kLineGap);
  EXPECT_EQ(leading->h, kLineGap + a.h + kLineGap);

  // In the middle, B's band starts 8 rows below the end of A's.
  Picture middle(MyRenderText(font16, "A\n\nB", kWhite, kAlias, false, 0, 0));
  const auto bands = Bands(middle.surface);
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_EQ(bands[1].y, bands[0].y + bands[0].h + 2 * kLineGap);

  // The empty text is one empty line: the minimum width, at least 4 rows, all transparent.
  for (auto [minWidth, minHeight, height] :
       {std::tuple{0, 0, 4}, std::tuple{30, 2, 4}, std::tuple{30, 9, 9}}) {
    Picture empty(MyRenderText(font16, "", kWhite, kAlias, true, minWidth, minHeight));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->w, minWidth);
    EXPECT_EQ(empty->h, height);
    EXPECT_TRUE(Bands(empty.surface).empty());
  }
}

TEST_F(TextBlock, LinesOfDifferentGlyphsGiveDifferentBands) {
  Picture block(MyRenderText(font13, "ace\nHg", kWhite, kAlias, true, 0, 0));
  ASSERT_TRUE(block);
  const auto bands = Bands(block.surface);
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_LT(bands[0].h, bands[1].h);
}

TEST_F(TextBlock, FollowsTheDisplayFormat) {
  SDL_Surface* deep = OpenTestDisplay(32);
  Picture block(MyRenderText(font16, "Oskar", kWhite, kAlias, false, 0, 0));
  ASSERT_TRUE(block);
  EXPECT_EQ(block->format->BitsPerPixel, 32);
  EXPECT_EQ(block->format->Rmask, deep->format->Rmask);
  EXPECT_TRUE(Is(block.surface, 0, 0, kAlias));
  OpenTestDisplay(16);
}

// SDL 1.2 makes no surface 16384 pixels wide: a line that wide counts as empty, and a
// block that wide or 32768 rows high cannot be made.
TEST_F(TextBlock, BeyondSdlLimits) {
  EXPECT_EQ(MyRenderText(font16, "A", kWhite, kAlias, false, 16384, 0), nullptr);
  EXPECT_EQ(MyRenderText(font16, "A", kWhite, kAlias, false, 0, 32768), nullptr);
  const std::string wide = std::string(1100, '\xc6') + "\nA";
  const Size a = LineSize(font16, "A");
  Picture block(MyRenderText(font16, wide.c_str(), kWhite, kAlias, false, 0, 0));
  ASSERT_TRUE(block);
  EXPECT_EQ(block->w, a.w);
  EXPECT_EQ(block->h, kLineGap + a.h + kLineGap);
}

TEST_F(TextBlock, LongTextIsCutAt2047Bytes) {
  std::string longest(kTextBufferSize - 1, 'i');
  std::string longer = longest + std::string(1000, 'i');
  const std::string before = longer;
  Picture full(MyRenderText(font13, longest.c_str(), kWhite, kAlias, false, 0, 0));
  Picture cut(MyRenderText(font13, longer.c_str(), kWhite, kAlias, false, 0, 0));
  Picture shorter(MyRenderText(font13, longest.substr(1).c_str(), kWhite, kAlias, false, 0, 0));
  ASSERT_TRUE(full && cut && shorter);
  EXPECT_EQ(cut->w, full->w);
  EXPECT_GT(cut->w, shorter->w);
  EXPECT_EQ(longer, before);  // the caller's text is not changed
}

TEST_F(TextBlock, LinesPastTheFiftiethAreDropped) {
  std::string fifty, more;
  for (int i = 0; i < kMaxTextLines; ++i) fifty += (i ? "\nA" : "A");
  more = fifty;
  for (int i = 0; i < 30; ++i) more += "\nWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
  Picture a(MyRenderText(font13, fifty.c_str(), kWhite, kAlias, false, 0, 0));
  Picture b(MyRenderText(font13, more.c_str(), kWhite, kAlias, false, 0, 0));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(b->w, a->w);
  EXPECT_EQ(b->h, a->h);
  EXPECT_EQ(Bands(b.surface).size(), static_cast<size_t>(kMaxTextLines));
}

// PrepareText and the pictures it makes. A picture's refcount shows whether it was freed:
// the test holds one reference of its own.

using TextPictures = Text;

TEST_F(TextPictures, KeyedOnZero) {
  CIB object;
  PrepareText(&object, font16, "Sanne", kWhite, kAlias, true, 100, 40);
  ASSERT_NE(object.surface, nullptr);
  EXPECT_TRUE(object.surface->flags & SDL_SRCCOLORKEY);
  EXPECT_EQ(object.surface->format->colorkey, 0u);
  SDL_FillRect(display, nullptr, SDL_MapRGB(display->format, 255, 0, 0));
  SDL_Rect at = {0, 0, 0, 0};
  SDL_BlitSurface(object.surface, nullptr, display, &at);
  EXPECT_TRUE(Is(display, 0, 0, kRed));  // outside the band
  const auto bands = Bands(object.surface);
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_TRUE(Is(display, bands[0].x, bands[0].y, kAlias));
  ReleaseTextPictures();
}

TEST_F(TextPictures, BlackBandsVanish) {
  CIB object;
  PrepareText(&object, font16, "Oskar", kWhite, kBlack, false, 0, 0);
  ASSERT_NE(object.surface, nullptr);
  SDL_FillRect(display, nullptr, SDL_MapRGB(display->format, 255, 0, 0));
  SDL_Rect at = {0, 0, 0, 0};
  SDL_BlitSurface(object.surface, nullptr, display, &at);
  int red = 0, glyph = 0;
  for (int y = 0; y < object.surface->h; ++y)
    for (int x = 0; x < object.surface->w; ++x) {
      const bool keyed = PixelAt(object.surface, x, y) == 0;
      EXPECT_EQ(Is(display, x, y, kRed), keyed);
      keyed ? ++red : ++glyph;
    }
  EXPECT_GT(glyph, 0);
  EXPECT_GT(red, glyph);
  ReleaseTextPictures();
}

TEST_F(TextPictures, ReplacedTextPictureIsFreed) {
  CIB object;
  PrepareText(&object, font16, "first", kWhite, kAlias, false, 0, 0);
  SDL_Surface* first = object.surface;
  ASSERT_NE(first, nullptr);
  ++first->refcount;
  PrepareText(&object, font16, "second", kWhite, kAlias, false, 0, 0);
  EXPECT_EQ(first->refcount, 1);
  EXPECT_NE(object.surface, nullptr);
  SDL_FreeSurface(first);

  // Once the object gave its picture up, the picture is no longer PrepareText's to free.
  SDL_Surface* second = object.surface;
  object.Dispose();
  PrepareText(&object, font16, "third", kWhite, kAlias, false, 0, 0);
  EXPECT_EQ(second->refcount, 1);
  SDL_FreeSurface(second);
  ReleaseTextPictures();
}

TEST_F(TextPictures, ForeignPictureIsOnlyDropped) {
  CIB object;
  SDL_Surface* logo = SDL_CreateRGBSurface(0, 8, 8, 16, 0, 0, 0, 0);
  object.surface = logo;
  PrepareText(&object, font16, "Everyone", kWhite, kAlias, false, 0, 0);
  EXPECT_EQ(logo->refcount, 1);
  EXPECT_NE(object.surface, logo);
  ReleaseTextPictures();
  SDL_FreeSurface(logo);
}

TEST_F(TextPictures, NoPictureLeavesTheObjectEmpty) {
  CIB object;
  PrepareText(&object, font16, "old", kWhite, kAlias, false, 0, 0);
  SDL_Surface* old = object.surface;
  ++old->refcount;
  PrepareText(&object, font16, "too wide", kWhite, kAlias, false, 16384, 0);
  EXPECT_EQ(object.surface, nullptr);
  EXPECT_EQ(old->refcount, 1);
  SDL_FreeSurface(old);
}

TEST_F(TextPictures, ReleaseFreesWhatObjectsStillHold) {
  CIB held, given;
  PrepareText(&held, font16, "held", kWhite, kAlias, false, 0, 0);
  PrepareText(&given, font16, "given", kWhite, kAlias, false, 0, 0);
  SDL_Surface* a = held.surface;
  SDL_Surface* b = given.surface;
  ++a->refcount;
  given.Dispose();
  ReleaseTextPictures();
  EXPECT_EQ(a->refcount, 1);
  EXPECT_EQ(held.surface, nullptr);
  SDL_FreeSurface(a);
  SDL_FreeSurface(b);
}

TEST_F(TextPictures, ResetForgetsWithoutFreeing) {
  CIB object;
  PrepareText(&object, font16, "kept", kWhite, kAlias, false, 0, 0);
  SDL_Surface* kept = object.surface;
  ResetText();
  PrepareText(&object, font16, "next", kWhite, kAlias, false, 0, 0);
  EXPECT_EQ(kept->refcount, 1);
  SDL_FreeSurface(kept);
  ReleaseTextPictures();
}

// More objects than the list has places: nothing is overwritten, and the pictures that the
// list could not take are only dropped, never freed.
TEST_F(TextPictures, ManyObjects) {
  static CIB objects[2 * kObjectPoolSize];
  std::vector<SDL_Surface*> pictures;
  for (CIB& object : objects) {
    PrepareText(&object, font13, "x", kWhite, kAlias, false, 0, 0);
    ASSERT_NE(object.surface, nullptr);
    ++object.surface->refcount;
    pictures.push_back(object.surface);
  }
  ReleaseTextPictures();
  int freed = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (!objects[i].surface) {
      EXPECT_EQ(pictures[i]->refcount, 1);
      ++freed;
    } else {
      EXPECT_EQ(pictures[i]->refcount, 2);
      SDL_FreeSurface(pictures[i]);
      objects[i].Dispose();
    }
    SDL_FreeSurface(pictures[i]);
  }
  EXPECT_EQ(freed, kObjectPoolSize);
}

// The caption table.

class Captions : public ::testing::Test {
 protected:
  void SetUp() override { ResetText(); }
  void TearDown() override {
    ResetText();
#if TOLVANE_OWN_MALLOC
    counting = false;
#endif
  }

  // A caption file with exactly these bytes.
  std::string Write(const std::string& content) {
    static int files = 0;
    const std::string path = testing::TempDir() + "tolvane_captions_" + std::to_string(getpid()) +
                             "_" + std::to_string(files++);
    FILE* file = fopen(path.c_str(), "wb");
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
    paths.push_back(path);
    return path;
  }
  void Load(const std::string& content) {
    LoadTXT(Write(content).c_str());
  }
  ~Captions() override {
    for (const std::string& path : paths) remove(path.c_str());
  }

  std::vector<std::string> paths;
};

// The record as strings; a null string shows as "(null)".
std::vector<std::string> Record(int i) {
  std::vector<std::string> record;
  for (const char* string : texty[i]) record.push_back(string ? string : "(null)");
  return record;
}
using Strings = std::vector<std::string>;

// Blocks allocated and not freed since the call before (0 the first time): loading and
// freeing must leave nothing behind. Under a sanitizer the leak checker sees to that instead.
long Unfreed() {
#if TOLVANE_OWN_MALLOC
  const long unfreed = counting ? live : 0;
  live = 0;
  counting = true;
  return unfreed;
#else
  return 0;
#endif
}

TEST_F(Captions, BuiltInRecordsPointIntoTheBlock) {
  LoadTXT2();
  EXPECT_EQ(texts, kBuiltInCaptions);
  EXPECT_EQ(texty[5][kCaptionNames], kecy + 3000);
  EXPECT_EQ(texty[5][kCaptionMiddle], nullptr);
  EXPECT_EQ(texty[5][kCaptionDescription], kecy + 3300);
  for (int i = kBuiltInCaptions; i < kCaptionSlots; ++i)
    EXPECT_EQ(Record(i), (Strings{"(null)", "(null)", "(null)"})) << i;
  FreeTXT();
  EXPECT_EQ(texts, kBuiltInCaptions);
  EXPECT_EQ(texty[18][kCaptionDescription], kecy + 18 * 600 + 300);
}

TEST_F(Captions, FileBlocks) {
  Load("Mira\nmiddle\nline one\nline two\n#\nTobias\nm2\ndesc\n#\n");
  ASSERT_EQ(texts, 2);
  EXPECT_EQ(Record(0), (Strings{"Mira\n", "middle\n", "line one\nline two\n"}));
  EXPECT_EQ(Record(1), (Strings{"Tobias\n", "m2\n", "desc\n"}));
  EXPECT_EQ(Record(2), (Strings{"(null)", "(null)", "(null)"}));

  // No description lines; an end line with more text; '#' heading a names line.
  Load("N\nM\n#\n#N\nM\nd\n# the rest is ignored\nN3\nM3\nd3\n#");
  ASSERT_EQ(texts, 3);
  EXPECT_EQ(Record(0), (Strings{"N\n", "M\n", ""}));
  EXPECT_EQ(Record(1), (Strings{"#N\n", "M\n", "d\n"}));
  EXPECT_EQ(Record(2), (Strings{"N3\n", "M3\n", "d3\n"}));

  // The end of the file ends the last block; its last line is taken once, with a '\n'.
  Load("N\nM\nd1\nd2");
  ASSERT_EQ(texts, 1);
  EXPECT_EQ(Record(0), (Strings{"N\n", "M\n", "d1\nd2\n"}));
  Load("N\nM");
  ASSERT_EQ(texts, 1);
  EXPECT_EQ(Record(0), (Strings{"N\n", "M", ""}));

  Load("");
  EXPECT_EQ(texts, 0);
}

TEST_F(Captions, FileThatCannotBeOpened) {
  LoadTXT2();
  const std::string path = testing::TempDir() + "tolvane_no_such_captions";
  testing::internal::CaptureStderr();
  LoadTXT(path.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Couldn't open " + path);
  EXPECT_EQ(texts, 0);
}

// A names line that the end of the file leaves alone is mostly a stray blank line after the
// last end line: it makes no record.
TEST_F(Captions, NamesLineAloneAtTheEndMakesNoRecord) {
  Load("N\nM\nd\n#\n\n");
  EXPECT_EQ(texts, 1);
  Load("N\nM\nd\n#\nOskar");
  EXPECT_EQ(texts, 1);
  EXPECT_EQ(Record(1), (Strings{"(null)", "(null)", "(null)"}));
}

TEST_F(Captions, BlocksPastTheTableAreIgnored) {
  std::string file;
  for (int i = 0; i < kCaptionSlots + 5; ++i)
    file += "name " + std::to_string(i) + "\nm\nd " + std::to_string(i) + "\n#\n";
  Load(file);
  ASSERT_EQ(texts, kCaptionSlots);
  EXPECT_EQ(captionBlocks, kCaptionSlots + 5);
  const std::string last = std::to_string(kCaptionSlots - 1);
  EXPECT_EQ(Record(kCaptionSlots - 1), (Strings{"name " + last + "\n", "m\n", "d " + last + "\n"}));
}

// A file is UTF-8 when all of it is (a byte-order mark skipped either way), else Latin-1;
// CR LF ends a line as LF does (so do CRs before it), also when the buffer's end parts them.
TEST_F(Captions, EncodingByteOrderMarkAndCrLf) {
  Load("\xEF\xBB\xBFJi\xC5\x99\xC3\xAD\r\nM\r\nd\r\r\n\r\n#\r\nN\r\nM\r\nlast\r");
  EXPECT_EQ(captionEncoding, kUtf8);
  ASSERT_EQ(texts, 2);
  EXPECT_EQ(Record(0), (Strings{"Ji\xC5\x99\xC3\xAD\n", "M\n", "d\n\n"}));
  EXPECT_EQ(Record(1), (Strings{"N\n", "M\n", "last\n"}));

  Load("\xEF\xBB\xBFM\xFCller\nM\nd\n#\n");
  EXPECT_EQ(captionEncoding, kLatin1);
  EXPECT_EQ(Record(0)[kCaptionNames], "M\xFCller\n");
  LoadTXT2();
  EXPECT_EQ(captionEncoding, kLatin1);

  // A character across the reader's 4096-byte chunks; CR LF parted by the 1024-byte buffer.
  Load("N\nM\n" + std::string(4091, 'n') + "\xC5\x99\n#\n");
  EXPECT_EQ(captionEncoding, kUtf8);
  Load(std::string(1022, 'n') + "\r\nM\nd\n#\n");
  EXPECT_EQ(Record(0), (Strings{std::string(1022, 'n') + "\n", "M\n", "d\n"}));
  // A character cut short by the end of the file.
  Load("N\nM\nd\xC5");
  EXPECT_EQ(captionEncoding, kLatin1);
}

// What SDL_ttf 2.0 is given for UTF-8: 16-bit characters, U+FFFD for what it cannot take,
// no byte-order marks (it would swap the bytes of the rest).
TEST(Utf8, DecodeLine) {
  Uint16 out[kMaxLineChars];
  const struct {
    const char* line;
    std::vector<Uint16> chars;
  } kCases[] = {
      {"A\xC5\xA0\xE4\xB8\x80", {'A', 0x160, 0x4E00}},
      {"\xF0\x9F\x98\x80!", {0xFFFD, '!'}},
      {"\xEF\xBB\xBF"
       "a\xEF\xBF\xBE",
       {'a'}},
      {"\xC0\xAF\xED\xA0\x80\xC5", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
      {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
  };
  for (const auto& c : kCases) {
    const int count = DecodeUtf8Line(c.line, out);
    EXPECT_EQ(std::vector<Uint16>(out, out + count), c.chars) << c.line;
    EXPECT_EQ(out[count], 0);
  }
}

// A description keeps its first 1023 bytes, even when that ends inside a line.
TEST_F(Captions, LongDescriptionIsCut) {
  std::string description;
  for (int i = 0; i < 30; ++i) description += std::string(48, 'a' + i % 26) + "\n";
  Load("N\nM\n" + description + "#\nN2\nM2\nd2\n#\n");
  ASSERT_EQ(texts, 2);
  EXPECT_EQ(Record(0)[kCaptionDescription], description.substr(0, 1023));
  EXPECT_EQ(Record(1), (Strings{"N2\n", "M2\n", "d2\n"}));
}

// fgets hands over a line longer than 1023 bytes in pieces; each piece is a line.
TEST_F(Captions, OverlongLinesArriveInPieces) {
  const std::string names(1500, 'n');
  Load(names + "\nM\nd\n#\n");
  ASSERT_EQ(texts, 1);
  EXPECT_EQ(Record(0), (Strings{names.substr(0, 1023), names.substr(1023) + "\n", "M\nd\n"}));

  Load("N\nM\n" + std::string(1500, 'x') + "\n#\n");
  ASSERT_EQ(texts, 1);
  EXPECT_EQ(Record(0)[kCaptionDescription], std::string(1023, 'x'));
}

TEST_F(Captions, LoadingAgainLeavesNothingBehind) {
  const std::string a = Write("A\nM\nd\n#\nB\nM\nd\n#\n"), b = Write("C\nM\nlonger text\n#\n");
  Unfreed();
  LoadTXT(a.c_str());
  LoadTXT(b.c_str());
  EXPECT_EQ(Record(0), (Strings{"C\n", "M\n", "longer text\n"}));
  LoadTXT2();
  EXPECT_EQ(texts, kBuiltInCaptions);
  EXPECT_EQ(texty[1][kCaptionMiddle], nullptr);
  EXPECT_EQ(Unfreed(), 0);
  LoadTXT(a.c_str());
  ResetText();
  EXPECT_EQ(Unfreed(), 0);
  EXPECT_EQ(texts, 0);
  EXPECT_EQ(texty[0][kCaptionNames], nullptr);
}

TEST_F(Captions, FailedCopyLeavesTheRecordOut) {
#if TOLVANE_OWN_MALLOC
  const std::string description(776, 'd');  // 777 bytes with its '\n'
  const std::string path = Write("A\nM\na\n#\nB\nM\n" + description + "\n#\nC\nM\nc\n#\n");
  Unfreed();
  failingSize = 778;
  LoadTXT(path.c_str());
  failingSize = 0;
  ASSERT_EQ(texts, 2);
  EXPECT_EQ(Record(0)[kCaptionNames], "A\n");
  EXPECT_EQ(Record(1)[kCaptionNames], "C\n");
  FreeTXT();
  EXPECT_EQ(Unfreed(), 0);
#else
  GTEST_SKIP() << "the sanitizer owns malloc";
#endif
}

// The built-in captions: the form every record must have, and that they fit the screen.

using BuiltInCaptions = Text;

TEST_F(BuiltInCaptions, EveryRecordHasItsForm) {
  auto printable = [](char c) { return c >= 32 && c < 127; };
  for (int i = 0; i < kBuiltInCaptions; ++i) {
    const char* names = kecy + kCaptionRecordSize * i;
    const char* description = names + kCaptionFieldSize;
    const std::string n = names, d = description;
    EXPECT_GE(n.size(), 3u) << i;
    EXPECT_LE(n.size(), 60u) << i;
    for (char c : n) EXPECT_TRUE(printable(c)) << i;
    EXPECT_GE(d.size(), 26u) << i;
    EXPECT_LE(d.size(), 198u) << i;
    std::vector<std::string> lines(1);
    for (char c : d) {
      if (c == '\n') {
        lines.emplace_back();
      } else {
        EXPECT_TRUE(printable(c)) << i;
        lines.back() += c;
      }
    }
    EXPECT_LE(lines.size(), 9u) << i;
    for (const std::string& line : lines) {
      EXPECT_FALSE(line.empty()) << i;
      EXPECT_LE(line.size(), 50u) << i;
    }
    for (int k = static_cast<int>(n.size()); k < kCaptionFieldSize; ++k) ASSERT_EQ(names[k], 0);
    for (int k = static_cast<int>(d.size()); k < kCaptionFieldSize; ++k)
      ASSERT_EQ(description[k], 0);

    // The description box keeps its 400 x 300 and the names line stays on screen from the
    // x where it settles.
    Picture box(MyRenderText(font16, description, kWhite, kAlias, true, 400, 300));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->w, 400) << i;
    EXPECT_EQ(box->h, 300) << i;
    EXPECT_LE(LineSize(font13, names).w, kScreenWidth - kNamesRestX) << i;
  }
}

}  // namespace
