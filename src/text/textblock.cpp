// Text blocks: lines stacked into one keyed picture in the canvas's format, with the twin that
// sets the same bands at a larger canvas's size; the pictures made for the objects.
#include "text/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "anim/canvas.h"
#include "anim/surfaces.h"

// SDL 1.2 makes no surface 16384 pixels wide or wider. Taller blocks than this would
// overflow the 16-bit blit positions and SDL's int size of the pixel buffer.
constexpr int kMaxBlockWidth = 16383;
constexpr int kMaxBlockHeight = 0x7FFF;

// Where each line of a block stands in it, as laid out at the show's size: the twin of the
// block sets the same lines in the same bands, mapped to the canvas.
struct Bands {
  int count;
  SDL_Rect band[kMaxTextLines];  // empty for a line without glyphs
};

// MyRenderText, telling the bands of its lines; `buffer` keeps the text split into lines.
static SDL_Surface* RenderBlock(TTF_Font* font, char (&buffer)[kTextBufferSize], SDL_Color fg,
                                SDL_Color bg, bool centre, int minWidth, int minHeight,
                                TextEncoding encoding, Bands& bands) {
  SDL_Surface* display = canvas.surface;
  bands.count = 0;
  if (!display) return nullptr;  // the block takes the canvas's pixel format

  // A null line image stands for an empty line: no width, no height, only its gap.
  SDL_Surface* lines[kMaxTextLines];
  int count = 0;
  int width = std::max(minWidth, 0);
  int stack = 0;
  for (char* start = buffer; count < kMaxTextLines;) {
    char* end = std::strchr(start, '\n');
    if (end) *end = '\0';
    SDL_Surface* line = RenderLine(font, start, fg, bg, encoding);
    lines[count++] = line;
    if (line) {
      width = std::max(width, line->w);
      stack += line->h;
    }
    stack += kLineGap;
    if (!end) break;
    start = end + 1;  // lines after the last place of `lines` are dropped
  }
  const int height = std::max(minHeight, stack);

  const SDL_PixelFormat* format = display->format;
  SDL_Surface* block = nullptr;
  if (width <= kMaxBlockWidth && height <= kMaxBlockHeight) block = NewCanvasSurface(width, height);
  // On a palette display the lines are matched against the display's colours.
  if (block && format->palette)
    SDL_SetColors(block, format->palette->colors, 0, format->palette->ncolors);

  int y = centre ? (height - stack) / 2 : 0;
  bands.count = count;
  for (int i = 0; i < count; ++i) {
    SDL_Surface* line = lines[i];
    bands.band[i] = SDL_Rect{0, 0, 0, 0};
    if (!line) {
      y += kLineGap;
      continue;
    }
    const int x = centre ? (width - line->w) / 2 : 0;
    bands.band[i] = SDL_Rect{static_cast<Sint16>(x), static_cast<Sint16>(y),
                             static_cast<Uint16>(line->w), static_cast<Uint16>(line->h)};
    if (block) {
      SDL_Rect at = {static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
      SDL_UpperBlit(line, nullptr, block, &at);
    }
    y += line->h + kLineGap;
    SDL_FreeSurface(line);
  }
  return block;
}

SDL_Surface* MyRenderText(TTF_Font* font, const char* text, SDL_Color fg, SDL_Color bg, bool centre,
                          int minWidth, int minHeight, TextEncoding encoding) {
  char buffer[kTextBufferSize];  // longer texts are cut here
  std::strncpy(buffer, text ? text : "", sizeof buffer - 1);
  buffer[sizeof buffer - 1] = '\0';
  Bands bands;
  return RenderBlock(font, buffer, fg, bg, centre, minWidth, minHeight, encoding, bands);
}

// The twin of a block standing at `place`: each band mapped to the canvas, filled with `bg`,
// its line set in the large font, left or centred as the band holds it and centred down,
// clipped to the band. Pixels no band covers are 0, as in the block.
static SDL_Surface* TwinBlock(const SDL_Surface* block, const char* lines, const Bands& bands,
                              SDL_Color fg, SDL_Color bg, bool centre, TextEncoding encoding,
                              const TextPlace& place) {
  const int x0 = CanvasX(place.x), y0 = CanvasY(place.y);
  SDL_Surface* twin =
      NewCanvasSurface(CanvasWidth(place.x, block->w), CanvasHeight(place.y, block->h));
  if (!twin) return nullptr;
  const SDL_PixelFormat* format = canvas.surface->format;
  if (format->palette) SDL_SetColors(twin, format->palette->colors, 0, format->palette->ncolors);
  const Uint32 band = SDL_MapRGB(twin->format, bg.r, bg.g, bg.b);
  for (int i = 0; i < bands.count; ++i, lines += strlen(lines) + 1) {
    const SDL_Rect& b = bands.band[i];
    if (b.w == 0 || b.h == 0) continue;
    const SDL_Rect r = CanvasRect(place.x + b.x, place.y + b.y, b.w, b.h);
    SDL_Rect mapped = {static_cast<Sint16>(r.x - x0), static_cast<Sint16>(r.y - y0), r.w, r.h};
    SDL_SetClipRect(twin, &mapped);
    SDL_FillRect(twin, &mapped, band);
    SDL_Surface* line = RenderLine(place.large, lines, fg, bg, encoding);
    if (line) {
      SDL_Rect at = {static_cast<Sint16>(centre ? mapped.x + (mapped.w - line->w) / 2 : mapped.x),
                     static_cast<Sint16>(mapped.y + (mapped.h - line->h) / 2), 0, 0};
      SDL_UpperBlit(line, nullptr, twin, &at);
      SDL_FreeSurface(line);
    }
  }
  SDL_SetClipRect(twin, nullptr);
  return twin;
}

// The text pictures PrepareText made, with the object each was given to. An entry whose
// object now holds another picture is stale: someone else took that picture over.
struct MadePicture {
  CIB* object;
  SDL_Surface* picture;
};
constexpr int kMadePictures = kObjectPoolSize;
static MadePicture textPictures[kMadePictures];

static MadePicture* EntryFor(CIB* object) {
  for (MadePicture& entry : textPictures)
    if (entry.object == object) return &entry;
  for (MadePicture& entry : textPictures)
    if (!entry.object) return &entry;
  for (MadePicture& entry : textPictures)
    if (entry.object->surface != entry.picture) return &entry;
  return nullptr;  // every place tracks a live picture: this one goes untracked
}

// Frees a picture PrepareText made, and its twin.
static void FreeMade(SDL_Surface* picture) {
  SetTwin(picture, nullptr);
  SDL_FreeSurface(picture);
}

void PrepareText(CIB* object, TTF_Font* font, const char* text, SDL_Color fg, SDL_Color bg,
                 bool centre, int minWidth, int minHeight, TextEncoding encoding,
                 const TextPlace* place) {
  MadePicture* entry = EntryFor(object);
  // Only a picture made here and still held here has no other owner.
  if (entry && entry->object == object && object->surface == entry->picture)
    FreeMade(entry->picture);
  object->Dispose();
  if (entry) *entry = MadePicture{};

  char buffer[kTextBufferSize];  // longer texts are cut here
  std::strncpy(buffer, text ? text : "", sizeof buffer - 1);
  buffer[sizeof buffer - 1] = '\0';
  Bands bands;
  SDL_Surface* picture =
      RenderBlock(font, buffer, fg, bg, centre, minWidth, minHeight, encoding, bands);
  if (!picture) return;
  object->surface = picture;
  if (entry) *entry = MadePicture{object, picture};
  if (SDL_SetColorKey(picture, SDL_SRCCOLORKEY | SDL_RLEACCEL, 0) != 0)
    fprintf(stderr, "Warning: Couldn't set text colorkey: %s\n", SDL_GetError());
  if (AtShowSize() || !place || !place->large) return;
  SDL_Surface* twin = TwinBlock(picture, buffer, bands, fg, bg, centre, encoding, *place);
  if (twin) SDL_SetColorKey(twin, SDL_SRCCOLORKEY | SDL_RLEACCEL, 0);
  SetTwin(picture, twin);
}

void ReleaseTextPictures() {
  for (MadePicture& entry : textPictures) {
    if (entry.object && entry.object->surface == entry.picture) {
      entry.object->Dispose();
      FreeMade(entry.picture);
    }
    entry = MadePicture{};
  }
}

// The subsystem's one reset sits beside the picture list it clears; the caption table is
// emptied through its own functions.
void ResetText() {
  FreeTXT();
  for (auto& record : texty)
    for (char*& string : record) string = nullptr;
  texts = 0;
  captionEncoding = kLatin1;
  captionBlocks = 0;
  for (MadePicture& entry : textPictures) entry = MadePicture{};
}
