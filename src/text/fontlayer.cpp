// The font layer over SDL_ttf 2.0: fonts opened at 96 dpi (or at a canvas's size), and one
// line rendered as a band exactly as tall as its glyphs.
#include "text/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>

// SDL_ttf 2.0 sizes fonts for a 72 dpi screen; ours has 96.
constexpr int kScreenDpi = 96;
constexpr int kLibraryDpi = 72;

// SDL_ttf 2.0.11 falls back to whatever character map a font has; bytes would then pick
// glyphs by the font's own encoding. Asks FreeType whether the file has a Unicode map and
// whether it has outlines, which the 96 dpi sizing and the line cut rely on.
static const char* FontUnfit(const char* file) {
  FT_Library library;
  if (FT_Init_FreeType(&library) != 0) return "Couldn't init FreeType";
  const char* unfit = nullptr;
  FT_Face face;
  if (FT_New_Face(library, file, 0, &face) != 0) {
    unfit = "Couldn't load font file";
  } else {
    bool unicode = false;
    for (int i = 0; i < face->num_charmaps; ++i)
      unicode = unicode || face->charmaps[i]->encoding == FT_ENCODING_UNICODE;
    if (!unicode)
      unfit = "Font doesn't have a Unicode mapping";
    else if (!FT_IS_SCALABLE(face))
      unfit = "Font isn't scalable";
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return unfit;
}

int FontPixels(int points) {
  return points * kScreenDpi / kLibraryDpi;
}

TTF_Font* OpenFontAt96Dpi(const char* file, int points) {
  return OpenFontAtPixels(file, FontPixels(points));
}

TTF_Font* OpenFontAtPixels(const char* file, int pixels) {
  // SDL_ttf's points are pixels at its 72 dpi.
  TTF_Font* font = TTF_OpenFont(file, pixels);
  if (!font) return nullptr;
  if (const char* unfit = FontUnfit(file)) {
    TTF_CloseFont(font);
    TTF_SetError("%s", unfit);
    return nullptr;
  }
  return font;
}

// The characters of a line as SDL_ttf's renderers take them, 0-terminated: Latin-1 bytes are
// code points U+0000..U+00FF, never sign-extended; UTF-8 is decoded. A character without a
// glyph would make SDL_ttf 2.0 give up the whole line, so it is left out.
static int LineCharacters(TTF_Font* font, const char* line, TextEncoding encoding, Uint16* out) {
  int count = 0;
  if (encoding == kUtf8) {
    count = DecodeUtf8Line(line, out);
  } else {
    for (const char* c = line; *c && count < kMaxLineChars - 1; ++c)
      out[count++] = static_cast<unsigned char>(*c);
    out[count] = 0;
  }
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    int minx, maxx, miny, maxy, advance;
    if (TTF_GlyphMetrics(font, out[i], &minx, &maxx, &miny, &maxy, &advance) == 0)
      out[kept++] = out[i];
  }
  out[kept] = 0;
  return kept;
}

// TTF_Render*_Shaded makes every line as tall as the font, ascent at the top. The band
// keeps the rows of the glyph boxes as the renderer places them (top of a glyph at row
// ascent - maxy), stretched to the baseline, and clipped to the rows the renderer drew.
// Columns stay as rendered: SDL_ttf already sizes the width to the glyph boxes at their
// kerned pen positions (kerning is on by default), the pen start and the last advance.
static SDL_Surface* CutToGlyphBoxes(TTF_Font* font, SDL_Surface* full, const Uint16* text) {
  const int baseline = TTF_FontAscent(font);
  int top = baseline, bottom = baseline;  // rows [top, bottom) of the band in `full`
  for (const Uint16* c = text; *c; ++c) {
    int minx, maxx, miny, maxy, advance;
    TTF_GlyphMetrics(font, *c, &minx, &maxx, &miny, &maxy, &advance);  // every one has a glyph
    top = std::min(top, baseline - maxy);
    bottom = std::max(bottom, baseline - miny);
  }
  top = std::clamp(top, 0, full->h);
  bottom = std::clamp(bottom, top, full->h);
  if (top == 0 && bottom == full->h) return full;

  SDL_Surface* band = SDL_CreateRGBSurface(SDL_SWSURFACE, full->w, bottom - top, 8, 0, 0, 0, 0);
  if (band) {
    const SDL_Palette* palette = full->format->palette;
    SDL_SetColors(band, palette->colors, 0, palette->ncolors);
    for (int row = top; row < bottom; ++row)
      std::memcpy(static_cast<Uint8*>(band->pixels) + (row - top) * band->pitch,
                  static_cast<const Uint8*>(full->pixels) + row * full->pitch, full->w);
  }
  SDL_FreeSurface(full);
  return band;
}

SDL_Surface* RenderLine(TTF_Font* font, const char* line, SDL_Color fg, SDL_Color bg,
                        TextEncoding encoding) {
  Uint16 text[kMaxLineChars];
  const int count = LineCharacters(font, line, encoding, text);
  if (count == 0) return SDL_CreateRGBSurface(SDL_SWSURFACE, 0, 0, 8, 0, 0, 0, 0);
  // Latin-1 lines the font has every glyph of go to SDL_ttf as they always have.
  const bool whole = encoding == kLatin1 && std::strlen(line) == static_cast<size_t>(count);
  SDL_Surface* full = whole ? TTF_RenderText_Shaded(font, line, fg, bg)
                            : TTF_RenderUNICODE_Shaded(font, text, fg, bg);
  if (!full) return nullptr;  // also for lines wider than SDL 1.2 makes surfaces
  return CutToGlyphBoxes(font, full, text);
}
