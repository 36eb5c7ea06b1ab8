// tolvane-makedemo DIR [FONTDIR]: draws the demo show's pictures and photos into DIR/gfx and
// writes its music module into DIR/sfx. FONTDIR holds the DejaVu fonts used for the lettering.
#include "makedemo.h"

#include <SDL_ttf.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s DIR [FONTDIR]\n", argv[0]);
    return 1;
  }
  const char* dir = argv[1];
  if (argc > 2) fontDir = argv[2];
  // An existing folder is fine; a folder that cannot be made shows up as a failed write.
  mkdir(dir, 0777);
  mkdir((std::string(dir) + "/gfx").c_str(), 0777);
  mkdir((std::string(dir) + "/sfx").c_str(), 0777);
  if (TTF_Init() < 0) {
    fprintf(stderr, "Couldn't start SDL_ttf: %s\n", TTF_GetError());
    return 1;
  }
  const bool pictures = MakePictures(dir);
  const bool photos = MakePhotos(dir);
  const bool module = MakeModule(dir);
  CloseFonts();
  TTF_Quit();
  return pictures && photos && module ? 0 : 1;
}
