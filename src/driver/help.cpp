// tolvane --help and --version: the options, the keys and the files the show reads.
#include <cstdio>
#include <cstring>

#include "assets/assets.h"
#include "driver/driver.h"

static void FileRow(const char* dir, const char* name, const char* what) {
  char path[64];
  snprintf(path, sizeof path, "%s%s", dir, name);
  printf("  %-32s %s\n", path, what);
}

static void PrintHelp(const char* program) {
  printf("Usage: %s [-bpp N] [-warp] [-sw] [-windowed] [-fit [-pixels]]\n", program);
  printf(
      "Plays the photo show of the folder it is started in, full screen, with its music, and\n"
      "exits when the show is over.\n"
      "\n"
      "Options, read from the last to the first:\n"
      "  -windowed         a %dx%d window instead of the full screen\n"
      "  -sw               a display surface in system memory instead of video memory\n"
      "  -bpp N            colour depth of the display (default %d; 0 takes the desktop's)\n"
      "  -warp             asks for a hardware palette\n"
      "  -fit              fills the screen: the show drawn at the desktop's size and\n"
      "                    resolution, 4:3 kept (with -windowed a resizable window); its\n"
      "                    pictures from gfx/hd/ where the folder has them\n"
      "  -pixels           with -fit: the 640x480 show enlarged instead\n"
      "  -h, --help        this text\n"
      "  --version         the program's version\n",
      kScreenWidth, kScreenHeight, kDefaultDepth);
  printf(
      "\n"
      "Keys:\n"
      "  P                 pause and resume: the music plays on, the show catches up with it\n"
      "  Space             hold: the show and the music stop; again: both go on from there\n"
      "  B, .              blank: a black screen, held as with Space; again: the show again\n"
      "  Right, PageDown   the next photo (from the logo the first, from the last the end\n"
      "                    picture)\n"
      "  Left, PageUp      back to the start of the photo shown, or in its first 2 s to the\n"
      "                    photo before; from the end picture to the last photo\n"
      "  Esc               quit; closing the window quits too\n"
      "  F                 with -fit: between the window and the full screen\n");
  printf("\nFiles, in the folder it is started in:\n");
  FileRow("", kFontFile, "the caption font, any TrueType font");
  char loading[64];
  snprintf(loading, sizeof loading, "%s, %s.%s", kShowPictures[kPictureLoad].file,
           kShowPictures[kPictureOhen].base, kPictureExt);
  FileRow("", loading, "the loading screen");
  FileRow("", kShowPictures[kPictureBack].file, "the background of every photo");
  FileRow("", kShowPictures[kPictureSi].file, "the logo");
  FileRow("", kShowPictures[kPictureEnd].file, "the end picture");
  char photos[64];
  snprintf(photos, sizeof photos, "%s ... %s", PhotoName(1).path, PhotoName(kMaxPhotos).file);
  FileRow("", photos, "the photos, numbered without gaps");
  FileRow("", kMusicFile, "the music: a tracker module or Ogg Vorbis");
  FileRow("", kCaptionFile, "the captions (optional: else the built-in ones)");
}

bool PrintInfo(int argc, char** argv) {
  for (int n = 1; n < argc; n++) {
    // The value of -bpp is no option, whatever it says.
    if (strcmp(argv[n - 1], "-bpp") == 0) continue;
    if (strcmp(argv[n], "-h") == 0 || strcmp(argv[n], "--help") == 0) {
      PrintHelp(argv[0]);
      return true;
    }
    if (strcmp(argv[n], "--version") == 0) {
      printf("tolvane %s\n", TOLVANE_VERSION);
      return true;
    }
  }
  return false;
}
