#include <strings.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "common.h"
#include "designs.h"
#include "make.h"

MakeOptions made;

void PrintMakeUsage(FILE* stream) {
  fprintf(stream,
          "Usage: %s -o SHOWDIR [options] PHOTO|FOLDER ...\n"
          "Makes a show folder that `tolvane` plays at once: the photos, in the order given\n"
          "(a folder gives its pictures in name order, IMG_2 before IMG_10), each fitted into\n"
          "the %dx%d photo area as gfx/foto01.jpg ... (at most %d), the pictures, the font,\n"
          "the music and a captions.txt to edit. Then checks it as tolvane-render --check does.\n"
          "\n"
          "Options:\n"
          "  -o SHOWDIR          the folder to make; it must not exist (see --force)\n"
          "  --force             remake an existing show folder once the new one is complete,\n"
          "                      keeping its captions with their photos, every file\n"
          "                      tolvane-make did not make (a made file since changed as\n"
          "                      own/NAME), and each choice below that is not given again\n"
          "  --sort date         order the photos by the date taken (EXIF, else the file's time)\n"
          "  --fill              fill the photo area, cropping the photo's edges, instead of\n"
          "                      showing the whole photo on a matte\n"
          "  --matte COLOUR      the matte around a photo and under its transparency: a name\n"
          "                      (black, white, grey, ...) or #RRGGBB (default black)\n"
          "  --title TEXT        the presenter's title on the background, logo, end picture and\n"
          "                      loading screen (UTF-8); --subtitle TEXT a second, smaller line;\n"
          "                      broken into two lines only at spaces, a title too long for\n"
          "                      two lines refused\n"
          "  --end-text TEXT     the large words of the end picture (default \"%s\")\n"
          "  --background FILE   the presenter's own background, scaled to fill %dx%d\n"
          "  --end FILE          the presenter's own end picture, scaled to fill %dx%d\n"
          "  --logo FILE         the presenter's own logo, fitted into %dx%d, transparency kept\n"
          "  --captions FILE     copy this caption file (UTF-8 or Latin-1) as captions.txt\n"
          "                      instead of writing a template\n"
          "  --music FILE        the music: a tracker module (MOD, XM, S3M, IT) or Ogg Vorbis\n"
          "                      file that the show and tolvane-render both play\n"
          "  --skip-bad          leave out photos that cannot be read, with a warning\n"
          "  -h, --help          this text\n"
          "  --version           the program's version\n"
          "\n"
          "Nothing is overwritten: the folder is made beside SHOWDIR under another name and\n"
          "takes its name only when complete, never over a folder that appeared meanwhile.\n"
          "photo-sources.txt in it records the file each photo was made from, the files\n"
          "made and the choices a remake keeps. A file that cannot be read or decoded stops\n"
          "it, and nothing is left behind; a remake killed outright leaves the old show or\n"
          "the new one, and the next run brings back what it was moving.\n"
          "\n"
          "Exit status: 0 made, 1 made but the check reports a problem, 2 a file named cannot\n"
          "be read or decoded, or a text cannot be lettered, 3 bad usage (too many photos,\n"
          "SHOWDIR exists), 4 the folder cannot be written (a full disk, no permission).\n",
          kMakeProgram, kPhotoWidth, kPhotoHeight, kMaxPhotos, kDefaultEndText, kScreenWidth,
          kScreenHeight, kScreenWidth, kScreenHeight, kLogoMaxWidth, kLogoMaxHeight);
}

bool ReadColour(const char* text, unsigned char rgb[3]) {
  static const struct {
    const char* name;
    unsigned char rgb[3];
  } kNamed[] = {{"black", {0, 0, 0}},      {"white", {255, 255, 255}}, {"grey", {128, 128, 128}},
                {"gray", {128, 128, 128}}, {"red", {255, 0, 0}},       {"green", {0, 128, 0}},
                {"blue", {0, 0, 255}},     {"navy", {0, 0, 128}},      {"silver", {192, 192, 192}},
                {"maroon", {128, 0, 0}}};
  for (const auto& c : kNamed)
    if (strcasecmp(text, c.name) == 0) {
      memcpy(rgb, c.rgb, 3);
      return true;
    }
  if (text[0] != '#' || strlen(text) != 7 || strspn(text + 1, "0123456789abcdefABCDEF") != 6)
    return false;
  const unsigned long v = strtoul(text + 1, nullptr, 16);
  rgb[0] = v >> 16 & 0xFF;
  rgb[1] = v >> 8 & 0xFF;
  rgb[2] = v & 0xFF;
  return true;
}

bool ReadOrder(const char* text, PhotoOrder& order) {
  if (strcmp(text, "date") != 0 && strcmp(text, "given") != 0) return false;
  order = strcmp(text, "date") == 0 ? kOrderDate : kOrderGiven;
  return true;
}

// The options that take a value, and where it goes.
static bool TakeValue(const char* option, const char* value) {
  const char** text = nullptr;
  if (strcmp(option, "--title") == 0) text = &made.title;
  if (strcmp(option, "--subtitle") == 0) text = &made.subtitle;
  if (strcmp(option, "--end-text") == 0) text = &made.endText;
  if (strcmp(option, "--background") == 0) text = &made.background;
  if (strcmp(option, "--logo") == 0) text = &made.logo;
  if (strcmp(option, "--end") == 0) text = &made.end;
  if (strcmp(option, "--captions") == 0) text = &made.captions;
  if (strcmp(option, "--music") == 0) text = &made.music;
  if (text) {
    if (*text) return FailUsage(kMakeProgram, "%s given twice", option);
    *text = value;
    return true;
  }
  if (strcmp(option, "-o") == 0) {
    if (made.showDir[0]) return FailUsage(kMakeProgram, "-o given twice");
    if (!value[0] || strlen(value) >= sizeof made.showDir / 2)
      return FailUsage(kMakeProgram, "-o takes the show folder's name");
    snprintf(made.showDir, sizeof made.showDir, "%s", value);
    return true;
  }
  if (strcmp(option, "--matte") == 0) {
    if (!ReadColour(value, made.matte))
      return FailUsage(kMakeProgram, "--matte takes a colour name or #RRGGBB, not '%s'", value);
    made.matteName = value;
    return true;
  }
  if (strcmp(option, "--sort") == 0) {
    if (!ReadOrder(value, made.order))
      return FailUsage(kMakeProgram, "--sort takes date (or given), not '%s'", value);
    made.sortWord = value;
    return true;
  }
  return FailUsage(kMakeProgram, "unknown option %s", option);
}

// Sets the flag `arg` names; false when it names none.
static bool SetFlag(const char* arg) {
  if (strcmp(arg, "--force") == 0) return made.force = true;
  if (strcmp(arg, "--skip-bad") == 0) return made.skipBad = true;
  if (strcmp(arg, "--fill") == 0) {
    made.fillWord = "yes";
    return made.fill = true;
  }
  if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) return made.help = true;
  if (strcmp(arg, "--version") == 0) return made.version = true;
  return false;
}

bool ParseMakeOptions(int argc, char** argv) {
  made = MakeOptions{};
  static const char* inputs[kMostGathered];
  made.inputs = inputs;
  bool optionsEnd = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (optionsEnd || arg[0] != '-' || arg[1] == '\0') {
      if (made.inputCount == kMostGathered) return FailUsage(kMakeProgram, "too many files named");
      inputs[made.inputCount++] = arg;
      continue;
    }
    if (strcmp(arg, "--") == 0) {
      optionsEnd = true;
      continue;
    }
    if (SetFlag(arg)) continue;
    const char* equals = strncmp(arg, "--", 2) == 0 ? strchr(arg, '=') : nullptr;
    char option[32];
    if (equals) {
      snprintf(option, sizeof option, "%.*s", static_cast<int>(equals - arg), arg);
      if (!TakeValue(option, equals + 1)) return false;
      continue;
    }
    if (i + 1 >= argc) return FailUsage(kMakeProgram, "%s needs a value (or is unknown)", arg);
    if (!TakeValue(arg, argv[++i])) return false;
  }
  if (made.help || made.version) return true;
  // A matte given alone asks for the photos on it: a remake then leaves the record's --fill.
  if (made.matteName && !made.fillWord) made.fillWord = "no";
  if (!made.showDir[0]) return FailUsage(kMakeProgram, "no show folder: name it with -o SHOWDIR");
  if (made.inputCount == 0)
    return FailUsage(kMakeProgram, "no photos: name photo files or folders of photos");
  return true;
}
