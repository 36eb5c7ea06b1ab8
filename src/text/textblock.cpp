#include "text/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "anim/surfaces.h"

// SDL 1.2 makes no surface 16384 pixels wide or wider. Taller blocks than this would
// overflow the 16-bit blit positions and SDL's int size of the pixel buffer.
constexpr int kMaxBlockWidth = 16383;
constexpr int kMaxBlockHeight = 0x7FFF;

SDL_Surface* MyRenderText(TTF_Font* font, const char* text, SDL_Color fg, SDL_Color bg, bool centre,
                          int minWidth, int minHeight, TextEncoding encoding) {
  SDL_Surface* display = DrawingSurface();
  if (!display) return nullptr;  // the block takes the display's pixel format

  char buffer[kTextBufferSize];  // longer texts are cut here
  std::strncpy(buffer, text ? text : "", sizeof buffer - 1);
  buffer[sizeof buffer - 1] = '\0';

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
  if (width <= kMaxBlockWidth && height <= kMaxBlockHeight)
    block = NewDisplaySurface(width, height);
  // On a palette display the lines are matched against the display's colours.
  if (block && format->palette)
    SDL_SetColors(block, format->palette->colors, 0, format->palette->ncolors);

  int y = centre ? (height - stack) / 2 : 0;
  for (int i = 0; i < count; ++i) {
    SDL_Surface* line = lines[i];
    if (!line) {
      y += kLineGap;
      continue;
    }
    if (block) {
      const int x = centre ? (width - line->w) / 2 : 0;
      SDL_Rect at = {static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
      SDL_UpperBlit(line, nullptr, block, &at);
    }
    y += line->h + kLineGap;
    SDL_FreeSurface(line);
  }
  return block;
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

void PrepareText(CIB* object, TTF_Font* font, const char* text, SDL_Color fg, SDL_Color bg,
                 bool centre, int minWidth, int minHeight, TextEncoding encoding) {
  MadePicture* entry = EntryFor(object);
  // Only a picture made here and still held here has no other owner.
  if (entry && entry->object == object && object->surface == entry->picture)
    SDL_FreeSurface(entry->picture);
  object->Dispose();
  if (entry) *entry = MadePicture{};

  SDL_Surface* picture = MyRenderText(font, text, fg, bg, centre, minWidth, minHeight, encoding);
  if (!picture) return;
  object->surface = picture;
  if (entry) *entry = MadePicture{object, picture};
  if (SDL_SetColorKey(picture, SDL_SRCCOLORKEY | SDL_RLEACCEL, 0) != 0)
    fprintf(stderr, "Warning: Couldn't set text colorkey: %s\n", SDL_GetError());
}

void ReleaseTextPictures() {
  for (MadePicture& entry : textPictures) {
    if (entry.object && entry.object->surface == entry.picture) {
      entry.object->Dispose();
      SDL_FreeSurface(entry.picture);
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
