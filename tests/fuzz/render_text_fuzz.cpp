// Any bytes as a text for a block, in either encoding: the first bytes choose the layout, the rest
// is the text. Blocks must keep their sizes and format, and the pictures PrepareText makes must be
// freed exactly once.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzzing.h"
#include "facts.h"
#include "anim/canvas.h"
#include "text/text.h"

static TTF_Font* fonts[2];

static void Open() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  Check(SDL_Init(SDL_INIT_VIDEO) == 0 && TTF_Init() == 0);
  Check(SDL_SetVideoMode(kScreenWidth, kScreenHeight, 16, SDL_SWSURFACE) != nullptr);
  fonts[0] = OpenFontAt96Dpi(TOLVANE_FUZZ_FONT, 12);
  fonts[1] = OpenFontAt96Dpi(TOLVANE_FUZZ_FONT, 10);
  Check(fonts[0] && fonts[1]);
}

constexpr int kDepths[4] = {16, 32, 24, 8};

constexpr size_t kLayoutBytes = 5;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool opened = (Open(), true);
  (void)opened;
  if (size < kLayoutBytes) return 0;
  const uint8_t flags = data[0];
  const bool centre = flags & 1;
  TTF_Font* font = fonts[(flags >> 1) & 1];
  const SDL_Color fg = {255, 255, 255, 0};
  const SDL_Color bg = flags & 4 ? SDL_Color{0, 0, 0, 0} : SDL_Color{102, 102, 255, 0};
  const int depth = kDepths[(flags >> 3) & 3];
  const int minWidth = (data[1] | data[2] << 8) % 1024 - (flags & 0x20 ? 100 : 0);
  const int minHeight = (data[3] | data[4] << 8) % 1024 - (flags & 0x40 ? 100 : 0);
  const std::string text(reinterpret_cast<const char*>(data) + kLayoutBytes, size - kLayoutBytes);

  SDL_Surface* display = SDL_GetVideoSurface();
  if (display->format->BitsPerPixel != depth)
    display = SDL_SetVideoMode(kScreenWidth, kScreenHeight, depth, SDL_SWSURFACE);
  Check(display != nullptr);
  SetCanvas(display);

  // The same bytes as Latin-1 and as UTF-8, valid or not.
  for (TextEncoding encoding : {kLatin1, kUtf8}) {
    SDL_Surface* block =
        MyRenderText(font, text.c_str(), fg, bg, centre, minWidth, minHeight, encoding);
    // Lines too wide for SDL count as empty, so with these minimum sizes there is a block.
    Check(block != nullptr);
    Check(block->w >= minWidth && block->h >= minHeight && block->h >= kLineGap);
    Check(block->format->BitsPerPixel == display->format->BitsPerPixel);
    SDL_FreeSurface(block);
  }

  // The first of two pictures is replaced and freed; the object's own picture goes when
  // the pictures are released.
  static CIB object;
  PrepareText(&object, font, text.c_str(), fg, bg, centre, minWidth, minHeight);
  PrepareText(&object, font, text.c_str(), fg, bg, !centre, minHeight, minWidth, kUtf8);
  Check(object.surface && (object.surface->flags & SDL_SRCCOLORKEY));
  if (flags & 0x80) {
    SDL_Rect at = {static_cast<Sint16>(minWidth - 300), static_cast<Sint16>(minHeight - 300), 0, 0};
    SDL_BlitSurface(object.surface, nullptr, display, &at);
  }
  ReleaseTextPictures();
  Check(object.surface == nullptr);
  return 0;
}
