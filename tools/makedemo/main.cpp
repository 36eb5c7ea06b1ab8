// tolvane-makedemo DIR [FONTDIR]: draws the demo show's pictures and photos into DIR/gfx,
// writes its music module into DIR/sfx and copies DejaVu Sans there as the show's font.
// FONTDIR holds the DejaVu fonts, those of the lettering and the show's.
#include "makedemo.h"

#include <SDL_ttf.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>

using namespace draw;

// The show's captions are set in DejaVu Sans, under the font name the show reads.
static bool CopyFont(const char* dir) {
  std::ifstream in(std::string(fontDir) + "/DejaVuSans.ttf", std::ios::binary);
  std::ofstream out(std::string(dir) + "/" + kFontFile, std::ios::binary);
  out << in.rdbuf();
  return in.is_open() && out.good();
}

// The demo meeting's pictures, in the order they have always been drawn in.
static bool MakePictures(const char* dir) {
  bool all = true;
  for (Design which :
       {kBackgroundDesign, kLogoDesign, kLoadingDesign, kLoadingCornerDesign, kEndDesign}) {
    const std::string path = std::string(dir) + "/" + kDesignFiles[which];
    all = WriteDemoDesign(which, path.c_str(), fontDir) && all;
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
  // An existing folder is fine; a folder that cannot be made shows up as a failed write.
  mkdir(dir, 0777);
  mkdir((std::string(dir) + "/gfx").c_str(), 0777);
  mkdir((std::string(dir) + "/sfx").c_str(), 0777);
  if (!UseFonts(fontDir)) return 1;
  const bool pictures = MakePictures(dir);
  const bool photos = MakePhotos(dir);
  const bool module = MakeModule(dir);
  const bool font = CopyFont(dir);
  CloseFonts();
  TTF_Quit();
  return pictures && photos && module && font ? 0 : 1;
}
