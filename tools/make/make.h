// tolvane-make: a show folder made from the presenter's photos, ready for `tolvane` to play.
// The photos are fitted into the photo area, the pictures drawn (or taken from the presenter),
// the captions written as a template, and the folder checked as tolvane-render --check does.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>

#include "assets/assets.h"
#include "facts.h"

// Exit statuses.
constexpr int kMadeOk = 0;
constexpr int kMadeWithProblems = 1;  // made, but the check reports a PROBLEM
constexpr int kMakeBadFile = 2;       // a photo, picture, caption or music file cannot be used
constexpr int kMakeUsage = 3;         // a bad command line, too many photos, SHOWDIR exists
constexpr int kMakeWrite = 4;         // the folder cannot be written

constexpr int kMakePath = 4096;
constexpr int kJpegQuality = 92;
// The presenter's logo is fitted into this box; the background and end picture fill the screen.
constexpr int kLogoMaxWidth = 600, kLogoMaxHeight = 360;

enum PhotoOrder { kOrderGiven, kOrderDate };

struct MakeOptions {
  bool help;
  char showDir[kMakePath];  // -o, as given
  bool force, skipBad, fill;
  PhotoOrder order;
  unsigned char matte[3];  // --matte, sRGB
  const char* title;       // UTF-8, or null
  const char* subtitle;
  const char *background, *logo, *end, *captions, *music;  // presenter's files, or null
  const char** inputs;                                     // the photos and folders named, in order
  int inputCount;
};
extern MakeOptions made;

// Fills `made` from the command line; on a fault prints it, with the way to --help, and
// returns false.
bool ParseMakeOptions(int argc, char** argv);
void PrintMakeUsage(FILE* stream);
// Reads a colour: a name (black, white, grey, ...) or #RRGGBB.
bool ReadColour(const char* text, unsigned char rgb[3]);

// The photos (photos.cpp).

// One photo to show, in the order of the slots.
struct Photo {
  char path[kMakePath];
  char name[256];  // file name without its folder, for the captions
  time_t taken;    // EXIF date taken, or the file's time
  bool exifDate;   // whether `taken` comes from the EXIF date
  bool bad;        // could not be read or decoded, with the reason in `why`
  char why[256];
};
// The photos in slot order; photoCount counts every file named, even past kMaxPhotos,
// of which only the first are kept.
extern Photo photos[kMaxPhotos];
extern int photoCount;
// The files and folders a command line may name.
constexpr int kMostGathered = 10000;

// Puts the files named, and the image files of each folder in natural name order, into
// `photos`; folders' other files are left out. False with a message when a name cannot be
// read (a missing file, an unreadable folder).
bool GatherPhotos();
// Natural order of names: digits compare as numbers, so IMG_2 comes before IMG_10.
int NaturalCompare(const char* a, const char* b);
// Reads each photo's date taken and orders the photos by it (stable: ties keep their order).
void SortByDate();
// Whether the file name has an extension of a picture libvips may read.
bool LooksLikePicture(const char* name);

// Preparing pictures with libvips (prepare.cpp).

// Starts libvips for this program's work; false with a message when it cannot.
bool StartVips(const char* argv0);
void StopVips();
// Fits photo `p` into the photo area and writes it as a baseline JPEG to `out`. False with
// the reason in p.why.
bool PreparePhoto(Photo& p, const char* out);
// Prepares every photo into DIR/gfx/fotoNN.jpg on all cores, with a progress line on a
// terminal. Bad photos are marked; their slots are not numbered. Returns the number written.
int PrepareAllPhotos(const char* dir);
// The presenter's background or end picture, to fill the screen; the logo, fitted into the
// logo box with its transparency. False with the reason in `why`.
bool PrepareScreenPicture(const char* in, const char* out, char* why, size_t whySize);
bool PrepareLogo(const char* in, const char* out, char* why, size_t whySize);
// Whether libvips can open the file at all (its header), with the reason in `why` when not.
bool CanOpenPicture(const char* path, char* why, size_t whySize);
// The EXIF date taken of a photo, or false.
bool ExifDate(const char* path, time_t& taken);

// The folder (folder.cpp).

// Makes the temporary folder beside SHOWDIR, with gfx/ and sfx/, into `dir`. Until
// ForgetWorkFolder, Ctrl-C or a kill removes it before the program ends.
bool MakeWorkFolder(char* dir, size_t size);
void ForgetWorkFolder();
// Writes the pictures, font, music and captions into `dir`; false with a message.
bool WriteShowFiles(const char* dir);
// Puts the finished folder in SHOWDIR's place: a new name, or --force's exchange with the
// old folder, which is then removed. False with a message.
bool InstallFolder(const char* dir);
// Removes a folder and everything in it.
void RemoveTree(const char* dir);
// The caption template for the shown photos.
bool WriteCaptionTemplate(const char* path);
// Whether SHOWDIR may be made: it does not exist, or --force may replace it. Prints why not.
bool MayMakeShowDir();
