// tolvane-makedemo DIR [FONTDIR]: draws the demo show's pictures and photos into DIR/gfx and
// their large sources into DIR/gfx/hd,
// writes its music module into DIR/sfx and copies DejaVu Sans there as the show's font.
// FONTDIR holds the DejaVu fonts, those of the lettering and the show's.
#include "makedemo.h"

#include <SDL_ttf.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "common.h"

using namespace draw;

static constexpr char kProgram[] = "tolvane-makedemo";

// The demo meeting's pictures, in the order they have always been drawn in, each with its
// large source.
static bool MakePictures(const char* dir) {
  bool all = true;
  for (Design which :
       {kBackgroundDesign, kLogoDesign, kLoadingDesign, kLoadingCornerDesign, kEndDesign}) {
    const std::string path = std::string(dir) + "/" + kDesignFiles[which];
    all = WriteDemoDesign(which, path.c_str(), fontDir) && all;
    const std::string large = LargePath(dir, kDesignFiles[which]);
    all = WriteDemoDesign(which, large.c_str(), fontDir, kLargeScale) && all;
  }
  return all;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s DIR [FONTDIR]\n", argv[0]);
    return 1;
  }
  const char* dir = argv[1];
  if (argc > 2) fontDir = argv[2];
  // An existing folder is fine: the demo is drawn anew into it.
  if (mkdir(dir, 0777) != 0 && errno != EEXIST)
    return Fail(kProgram, "cannot make %s: %s", dir, strerror(errno)), 1;
  if (!MakeShowFolders(kProgram, dir) || !UseFonts(fontDir)) return 1;
  const bool pictures = MakePictures(dir);
  const bool photos = MakePhotos(dir);
  const bool module = MakeModule(dir);
  const bool font = CopyShowFont(kProgram, fontDir, dir);
  CloseFonts();
  TTF_Quit();
  return pictures && photos && module && font ? 0 : 1;
}
