// Lettering in the DejaVu faces: one line of UTF-8 text, and lines fitted into a box.
#include "designs.h"

#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "text/text.h"

namespace draw {

const char* fontDir = TOLVANE_FONT_DIR;

// Fonts opened so far, by face and pixel size; SDL_ttf's points are pixels at its 72 dpi.
// Fitting tries many sizes: a full pool is emptied, since no caller keeps a font.
constexpr int kFontPool = 32;
struct OpenFont {
  Face face;
  int px;
  TTF_Font* font;
};
static OpenFont fonts[kFontPool];
static int openFonts = 0;
// A face could not be opened since the last UseFonts: its words are missing.
static bool fontMissing = false;

static const char* const kFaceFiles[] = {
    "DejaVuSans.ttf",  "DejaVuSans-Bold.ttf",        "DejaVuSans-Oblique.ttf",
    "DejaVuSerif.ttf", "DejaVuSerif-BoldItalic.ttf", "DejaVuSansCondensed-Bold.ttf"};

static TTF_Font* FontOf(Face face, int px) {
  for (int i = 0; i < openFonts; ++i)
    if (fonts[i].face == face && fonts[i].px == px) return fonts[i].font;
  if (openFonts == kFontPool) CloseFonts();
  char path[512];
  snprintf(path, sizeof path, "%s/%s", fontDir, kFaceFiles[face]);
  TTF_Font* font = TTF_OpenFont(path, px);
  if (!font) {
    fprintf(stderr, "Couldn't open %s: %s\n", path, TTF_GetError());
    fontMissing = true;
    return nullptr;
  }
  fonts[openFonts++] = {face, px, font};
  return font;
}

void CloseFonts() {
  for (int i = 0; i < openFonts; ++i) TTF_CloseFont(fonts[i].font);
  openFonts = 0;
}

bool UseFonts(const char* dir) {
  if (!TTF_WasInit() && TTF_Init() < 0) {
    fprintf(stderr, "Couldn't start SDL_ttf: %s\n", TTF_GetError());
    return false;
  }
  CloseFonts();
  if (dir) fontDir = dir;
  fontMissing = false;
  return true;
}

bool FontsFound() {
  return !fontMissing;
}

int TextWidth(Face face, int px, const char* utf8) {
  TTF_Font* font = FontOf(face, px);
  int w = 0, h = 0;
  if (font) TTF_SizeUTF8(font, utf8, &w, &h);
  return w;
}

// The face at `px` design pixels as the canvas letters it: opened at its own scale, so the
// words are drawn, not enlarged; they stand where the design pixels put them.
static int PixelSize(int px) {
  return std::max(1, Pixels(px));
}

// Steps a line's pixel size may go down to be no wider than the design's.
constexpr int kMostNarrowing = 8;

// The pixel size a line is lettered at: hinted at the design's size, it may be a little
// narrower than at the canvas's, and the line must stay inside the place it was fitted to.
static int LineSize(Face face, int px, const char* utf8) {
  int size = PixelSize(px);
  const float widest = TextWidth(face, px, utf8) * canvas.scale;
  for (int step = 0; step < kMostNarrowing && size > 1 && TextWidth(face, size, utf8) > widest;
       ++step)
    --size;
  return size;
}

// One line at (x, y) in pixels of the canvas, the face opened at `size` pixels.
static void Letter(Face face, int size, const char* utf8, float x, float y, Colour top,
                   Colour bottom, float op) {
  TTF_Font* font = FontOf(face, size);
  if (!font) return;
  const SDL_Color white = {255, 255, 255, 0};
  SDL_Surface* line = TTF_RenderUTF8_Blended(font, utf8, white);
  if (!line) return;
  SDL_LockSurface(line);
  for (int ly = 0; ly < line->h; ++ly) {
    const Colour c = Mix(top, bottom, line->h > 1 ? ly / float(line->h - 1) : 0);
    const Uint32* row =
        reinterpret_cast<const Uint32*>(static_cast<Uint8*>(line->pixels) + ly * line->pitch);
    for (int lx = 0; lx < line->w; ++lx) {
      Uint8 r, g, b, a;
      SDL_GetRGBA(row[lx], line->format, &r, &g, &b, &a);
      if (a) Blend(static_cast<int>(x) + lx, static_cast<int>(y) + ly, c, op * a / 255.0f);
    }
  }
  SDL_UnlockSurface(line);
  SDL_FreeSurface(line);
}

void Text(Face face, int px, const char* utf8, float x, float y, Colour top, Colour bottom,
          float op) {
  Letter(face, LineSize(face, px, utf8), utf8, x * canvas.scale, y * canvas.scale, top, bottom, op);
}

void TextCentred(Face face, int px, const char* utf8, float cx, float y, Colour top, Colour bottom,
                 float op) {
  const int size = LineSize(face, px, utf8);
  Letter(face, size, utf8, cx * canvas.scale - TextWidth(face, size, utf8) / 2.0f, y * canvas.scale,
         top, bottom, op);
}

// Bytes of the UTF-8 character that starts at `p`, never past the string's end.
static int CharBytes(const char* p) {
  const unsigned char lead = *p;
  const int n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  for (int i = 1; i < n; ++i)
    if (!p[i]) return i;
  return n;
}

// Calls `letter` with each character of `utf8` as a string of its own.
template <class Letter>
static void EachLetter(const char* utf8, Letter letter) {
  char one[5];
  for (const char* p = utf8; *p;) {
    const int n = CharBytes(p);
    memcpy(one, p, n);
    one[n] = 0;
    letter(one);
    p += n;
  }
}

int SpacedWidth(Face face, int px, const char* utf8, float gap) {
  if (gap == 0) return TextWidth(face, px, utf8);
  float width = -gap;
  EachLetter(utf8, [&](const char* one) { width += TextWidth(face, px, one) + gap; });
  return width > 0 ? static_cast<int>(std::ceil(width)) : 0;
}

void SpacedText(Face face, int px, const char* utf8, float gap, float cx, float y, Colour top,
                Colour bottom, float op) {
  if (gap == 0) return TextCentred(face, px, utf8, cx, y, top, bottom, op);
  // Each letter centred where the design puts it: letters drawn large differ a little in
  // width from the design's, hinted at its size, and would drift along a spaced word.
  const float s = canvas.scale;
  const int size = PixelSize(px);
  float width = -gap;
  EachLetter(utf8, [&](const char* one) { width += TextWidth(face, px, one) + gap; });
  float x = cx - width / 2;
  EachLetter(utf8, [&](const char* one) {
    const int designWidth = TextWidth(face, px, one);
    const float centring = (designWidth * s - TextWidth(face, size, one)) / 2;
    Letter(face, size, one, x * s + centring, y * s, top, bottom, op);
    x += designWidth + gap;
  });
}

static int LineHeight(Face face, int px, bool skip) {
  TTF_Font* font = FontOf(face, px);
  return !font ? 0 : skip ? TTF_FontLineSkip(font) : TTF_FontHeight(font);
}

static void Copy(char* to, const char* from, size_t n) {
  n = n < kFittedBytes - 1 ? n : kFittedBytes - 1;
  memcpy(to, from, n);
  to[n] = 0;
}

// Characters that do not start a line: dashes, closing marks, and punctuation that belongs to
// the word before.
static bool StartsNoLine(const char* utf8) {
  int length = 0;
  const long c = NextUtf8(utf8, length);
  static const long kMarks[] = {'-',    ',',    '.',    ';',    ':',    '!',    '?',
                                ')',    ']',    '}',    '%',    0x00B7, 0x00BB, 0x203A,
                                0x2010, 0x2011, 0x2012, 0x2013, 0x2014, 0x2015, 0x2212,
                                0x2019, 0x201D, 0x2026, 0x3001, 0x3002, 0xFF0C, 0xFF0E};
  return std::find(std::begin(kMarks), std::end(kMarks), c) != std::end(kMarks);
}

// Whether a line may break at byte i, the last space of a run: words on both sides, and the
// second line starting with no punctuation. The break's spaces go with it.
static bool BreakAt(const char* utf8, size_t i) {
  return i > 0 && utf8[i] == ' ' && utf8[i + 1] && utf8[i + 1] != ' ' &&
         !StartsNoLine(utf8 + i + 1);
}

// The text before a break at i, without the spaces that lead to it.
static size_t FirstLineBytes(const char* utf8, size_t i) {
  while (i > 0 && utf8[i - 1] == ' ') --i;
  return i;
}

// Splits `utf8` at the break that makes the wider of the two lines narrowest.
static void Split(const Fitted& f, Face face, const char* utf8, char* first, char* second) {
  int best = -1;
  const size_t length = strlen(utf8);
  Copy(first, utf8, length);
  second[0] = 0;
  for (size_t i = 1; i + 1 < length; ++i) {
    if (!BreakAt(utf8, i) || FirstLineBytes(utf8, i) == 0) continue;
    char a[kFittedBytes], b[kFittedBytes];
    Copy(a, utf8, FirstLineBytes(utf8, i));
    Copy(b, utf8 + i + 1, length - i - 1);
    const int wider =
        std::max(SpacedWidth(face, f.px, a, f.gap), SpacedWidth(face, f.px, b, f.gap));
    if (best < 0 || wider < best) {
      best = wider;
      strcpy(first, a);
      strcpy(second, b);
    }
  }
}

// Shortens `line` by whole characters until it, with an ellipsis, is at most `width` wide.
static void CutShort(const Fitted& f, Face face, char* line, float width) {
  if (SpacedWidth(face, f.px, line, f.gap) <= width) return;
  size_t keep = strlen(line);
  char cut[kFittedBytes + 4];
  do {
    while (keep > 0 && (line[keep - 1] & 0xC0) == 0x80) --keep;  // back to a character's lead
    if (keep > 0) --keep;
    while (keep > 0 && (line[keep] & 0xC0) == 0x80) --keep;
    while (keep > 0 && line[keep - 1] == ' ') --keep;
    memcpy(cut, line, keep);
    strcpy(cut + keep, "\xE2\x80\xA6");
  } while (keep > 0 && SpacedWidth(face, f.px, cut, f.gap) > width);
  Copy(line, cut, strlen(cut));
}

// With two lines: the longest run of words that fits on the first, all the rest on the second.
static void FillFirst(Fitted& f, Face face, const char* utf8, float width) {
  const size_t length = strlen(utf8);
  Copy(f.text[0], utf8, length);
  f.text[1][0] = 0;
  if (f.lines < 2) return;
  for (size_t i = length; i-- > 1;) {
    if (!BreakAt(utf8, i) || FirstLineBytes(utf8, i) == 0) continue;
    char a[kFittedBytes];
    Copy(a, utf8, FirstLineBytes(utf8, i));
    if (SpacedWidth(face, f.px, a, f.gap) > width) continue;
    strcpy(f.text[0], a);
    Copy(f.text[1], utf8 + i + 1, length - i - 1);
    return;
  }
}

Fitted FitText(Face face, const Place& place, const char* utf8) {
  Fitted f{};
  if (!utf8 || !*utf8) return f;
  const float room = place.bottom - place.top;
  for (f.px = place.px; f.px >= place.minPx; --f.px) {
    f.gap = place.gap * f.px / place.px;
    f.skip = LineHeight(face, f.px, true);
    const float height = LineHeight(face, f.px, false);
    Copy(f.text[0], utf8, strlen(utf8));
    f.lines = 1;
    if (SpacedWidth(face, f.px, f.text[0], f.gap) <= place.width && height <= room) {
      // The words fit as designed: they stand where the design puts them.
      f.y = f.px == place.px ? place.y : place.top + (room - height) / 2;
      return f;
    }
    Split(f, face, utf8, f.text[0], f.text[1]);
    f.lines = f.text[1][0] ? 2 : 1;
    const float block = (f.lines - 1) * f.skip + height;
    if (std::max(SpacedWidth(face, f.px, f.text[0], f.gap),
                 SpacedWidth(face, f.px, f.text[1], f.gap)) <= place.width &&
        block <= room) {
      f.y = place.top + (room - block) / 2;
      return f;
    }
  }
  // Too long even at the smallest size: as many words as fit on the first line, the rest cut
  // short on the second, if the box holds two.
  f.cut = true;
  f.px = place.minPx;
  const float height = LineHeight(face, f.px, false);
  f.lines = f.skip + height <= room ? 2 : 1;
  FillFirst(f, face, utf8, place.width);
  for (int i = 0; i < f.lines; ++i) CutShort(f, face, f.text[i], place.width);
  if (!f.text[1][0]) f.lines = 1;
  f.y = place.top + (room - ((f.lines - 1) * f.skip + height)) / 2;
  return f;
}

long MissingCharacter(Face face, int px, const char* utf8) {
  TTF_Font* font = FontOf(face, px);
  for (const char* p = utf8; font && *p;) {
    int length = 0;
    const long c = NextUtf8(p, length);
    p += length;
    if (c < 0) return c;
    if (c > 0xFFFF || !TTF_GlyphIsProvided(font, static_cast<Uint16>(c))) return c;
  }
  return 0;
}

int FittedWidth(Face face, const Fitted& f) {
  int widest = 0;
  for (int i = 0; i < f.lines; ++i)
    widest = std::max(widest, SpacedWidth(face, f.px, f.text[i], f.gap));
  return widest;
}

void DrawFitted(Face face, const Fitted& f, float cx, Colour top, Colour bottom, float op) {
  for (int i = 0; i < f.lines; ++i)
    SpacedText(face, f.px, f.text[i], f.gap, cx, f.y + i * f.skip, top, bottom, op);
}

}  // namespace draw
