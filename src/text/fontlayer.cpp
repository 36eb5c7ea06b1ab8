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

TTF_Font* OpenFontAt96Dpi(const char* file, int points) {
  TTF_Font* font = TTF_OpenFont(file, points * kScreenDpi / kLibraryDpi);
  if (!font) return nullptr;
  if (const char* unfit = FontUnfit(file)) {
    TTF_CloseFont(font);
    TTF_SetError("%s", unfit);
    return nullptr;
  }
  return font;
}

// TTF_RenderText_Shaded makes every line as tall as the font, ascent at the top. The band
// keeps the rows of the glyph boxes as the renderer places them (top of a glyph at row
// ascent - maxy), stretched to the baseline, and clipped to the rows the renderer drew.
// Columns stay as rendered: SDL_ttf already sizes the width to the glyph boxes at their
// kerned pen positions (kerning is on by default), the pen start and the last advance.
SDL_Surface* RenderLine(TTF_Font* font, const char* line, SDL_Color fg, SDL_Color bg) {
  if (!line[0]) return SDL_CreateRGBSurface(SDL_SWSURFACE, 0, 0, 8, 0, 0, 0, 0);
  SDL_Surface* full = TTF_RenderText_Shaded(font, line, fg, bg);
  if (!full) return nullptr;  // also for lines wider than SDL 1.2 makes surfaces

  const int baseline = TTF_FontAscent(font);
  int top = baseline, bottom = baseline;  // rows [top, bottom) of the band in `full`
  for (const char* c = line; *c; ++c) {
    int minx, maxx, miny, maxy, advance;
    // Bytes are code points U+0000..U+00FF, as TTF_RenderText takes them.
    if (TTF_GlyphMetrics(font, static_cast<unsigned char>(*c), &minx, &maxx, &miny, &maxy,
                         &advance) != 0)
      return full;  // the renderer managed; keep its whole line rather than guess
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
