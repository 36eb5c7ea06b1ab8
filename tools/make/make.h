// tolvane-make: a show folder made from the presenter's photos, ready for `tolvane` to play.
// The photos are fitted into the photo area, the pictures drawn (or taken from the presenter),
// the captions written as a template, and the folder checked as tolvane-render --check does.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "facts.h"
#include "render.h"

// Exit statuses.
constexpr int kMadeOk = 0;
constexpr int kMadeWithProblems = 1;  // made, but the check reports a PROBLEM
constexpr int kMakeBadFile =
    2;                         // a photo, picture, caption or music file, or a text, cannot be used
constexpr int kMakeUsage = 3;  // a bad command line, too many photos, SHOWDIR exists
constexpr int kMakeWrite = 4;  // the folder cannot be written

constexpr int kMakePath = 4096;
// The program's name in its messages.
constexpr char kMakeProgram[] = "tolvane-make";
// The prepared photos' JPEG quality: high, as the photos are the presenter's own.
constexpr int kPhotoJpegQuality = 92;
// The presenter's logo is fitted into this box; the background and end picture fill the screen.
constexpr int kLogoMaxWidth = 600, kLogoMaxHeight = 360;

enum PhotoOrder { kOrderGiven, kOrderDate };

struct MakeOptions {
  bool help, version;
  char showDir[kMakePath];  // -o, as given
  bool force, skipBad, fill;
  PhotoOrder order;
  unsigned char matte[3];  // --matte, sRGB
  const char* title;       // UTF-8, or null
  const char* subtitle;
  const char* endText;  // --end-text, UTF-8, or null for the end picture's own words
  // The choices --matte, --fill and --sort as words, for the record: the colour given, "yes"
  // or "no" (--matte without --fill), "date" or "given"; null when not given.
  const char *matteName, *fillWord, *sortWord;
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
// Reads --sort's word: date or given.
bool ReadOrder(const char* text, PhotoOrder& order);

// The choices of a make that a remake keeps (choices.cpp).

// Takes each choice the command line does not give from the old show's record, with a line
// naming those kept and one naming those given again; then sets the matte, the fill and the
// order from them. A record whose choices cannot be read is said in one line, and none is
// taken. An exit status: kMakeBadFile when a kept file can no longer be had.
int TakeRecordedChoices();
// The old show's file to copy as the show's file `name` (kBackName.text ...) when a kept
// choice is had so, its source being gone or changed; else null.
const char* KeptCopy(const char* name);
// Puts the choices of this make into the record.
void RecordChoices(ShowSources& record);

// The photos (photos.cpp).

// One photo to show, in the order of the slots.
struct Photo {
  char path[kMakePath];
  char name[256];  // file name without its folder, for the captions
  time_t taken;    // EXIF date taken, or the file's time
  bool exifDate;   // whether `taken` comes from the EXIF date
  bool bad;        // could not be read or decoded, with the reason in `why`
  bool unwritten;  // its prepared file could not be written, with the reason in `why`
  char why[256];
  char warning[256];          // the first warning libvips gave while reading it, or ""
  int width, height;          // its size upright, once prepared
  unsigned long long digest;  // FileDigest of its bytes, once prepared
  bool captionTemplate;       // its caption block is a template, with CaptionDigest:
  unsigned long long caption;
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

// Photo `i`'s file in a work folder while the photos are prepared, relative to it.
void WorkPhotoName(int i, char* out, size_t size, bool large = false);
// Starts libvips for this program's work; false with a message when it cannot.
bool StartVips(const char* argv0);
void StopVips();
// Fits photo `p` into the photo area and writes it as a baseline JPEG to `out`, and from the
// same file its large source, fitted into the photo area at the large scale, to `largeOut`.
// False with the reason in p.why (p.unwritten when a file could not be written). Takes
// libvips's error text, which is the whole process's: called on the main thread only.
bool PreparePhoto(Photo& p, const char* out, const char* largeOut);
// Prepares every photo into DIR/gfx/fotoNN.jpg on all cores, with a progress line on a
// terminal. Bad photos are marked; their slots are not numbered. Returns the number written,
// or -1 with a message when a file cannot be written.
int PrepareAllPhotos(const char* dir);
// The presenter's background or end picture, to fill the screen; the logo, fitted into the
// logo box with its transparency. Each written to `out`, and from the same file to
// `largeOut` at the large scale. False with the reason in `why`; `unwritten` when it was the
// writing that failed.
bool PrepareScreenPicture(const char* in, const char* out, const char* largeOut, char* why,
                          size_t whySize, bool& unwritten);
bool PrepareLogo(const char* in, const char* out, const char* largeOut, char* why, size_t whySize,
                 bool& unwritten);
// Whether libvips can open the file at all (its header), with the reason in `why` when not.
bool CanOpenPicture(const char* path, char* why, size_t whySize);
// The EXIF date taken of a photo, or false.
bool ExifDate(const char* path, time_t& taken);

// The folder (folder.cpp).

// Where a file is written in a work folder before it takes its name: a run killed meanwhile
// leaves no half a file under a made name.
constexpr char kPartFile[] = ".writing";
// Where a remake keeps a made file the presenter changed: own/gfx/foto02.jpg.
constexpr char kOwnDir[] = "own";

// Whether SHOWDIR may be made: it does not exist, or --force may replace it (a show with the
// record of its sources, or one with nothing but a show's files). An exit status, with a
// message.
int MayMakeShowDir();
// When --force replaces a show with the record: the record; else null.
const ShowSources* OldSources();
// When --force replaces a show without the record: its captions.txt stays as it is.
bool KeepsOldCaptions();
// SHOWDIR without trailing slashes: its parent folder and its last name.
void SplitShowDir(char* parent, char* name, size_t size);
// Makes the temporary folder beside SHOWDIR, with gfx/ and sfx/, into `dir`. Until
// ForgetWorkFolder, Ctrl-C or a kill removes it before the program ends.
bool MakeWorkFolder(char* dir, size_t size);
void ForgetWorkFolder();
// Writes the pictures, font, music, the record of sources and the captions into `dir`;
// an exit status, with a message.
int WriteShowFiles(const char* dir);
// Puts the finished folder in SHOWDIR's place, with signals held off: a new name, never over
// anything that appeared there meanwhile, or --force's exchange with the old show, whose files
// tolvane-make did not make stay in SHOWDIR. Then forgets the work folder. An exit status
// with a message; `interrupted` when a stop was asked for meanwhile.
int InstallFolder(const char* dir, int shown, bool& interrupted);
// Removes a folder and everything in it.
void RemoveTree(const char* dir);

// Whose the files of a show folder are (settle.cpp).

// Fills the table of names a make writes; before anything else of the folder's is done.
void ListMadeNames();
// The names a make writes, relative to the show folder; the folders that hold them, deepest
// first; the names a work folder has for files not yet whole.
int MadeNameCount();
const char* MadeName(int i);
int MadeFolderCount();
const char* MadeFolder(int i);
int WorkNameCount();
const char* WorkName(int i);
bool IsMadeName(const char* path);
bool IsShowFolder(const char* path);
// What a file of a show folder is: made by tolvane-make and as it made it, a made file the
// presenter changed (or a photo the record does not list), or the presenter's own.
enum Fate { kMadeFile, kChangedFile, kOwnFile };
struct Judging {
  const char* dir;            // the folder judged
  const ShowSources* record;  // its record, or null
  bool stale;                 // a work folder a killed run left
  bool keepCaptions;          // the old show's captions.txt stays the presenter's
  bool keepRemoved;           // its captions.removed.txt too
};
Fate Judge(const Judging& j, const char* path);
// The entries of a show folder relative to it, the show's folders walked (from `sub`); false
// when one cannot be read.
bool ListShow(const char* dir, std::vector<std::string>& entries, const char* sub);
bool IsRealDir(const char* path);
// Makes the folders above `path` in `dir`.
void MakeParents(const char* dir, const std::string& path);
// Moves `path` of `from` to `into` of `to`, never over anything; false with errno.
bool MoveEntry(const char* from, const char* to, const std::string& path, const std::string& into);
// Moves `path` of `from` to own/PATH of `to` (own/NAME-2.EXT ... when taken), its new name in
// `into`.
bool KeepAsOwn(const char* from, const char* to, const std::string& path, std::string& into);
struct SettleCount {
  int back = 0;  // the presenter's files moved under their own names
  int kept = 0;  // those kept as own/...
};
// Empties the show folder j.dir: its made files removed, the rest moved into `to`, a changed
// one as own/..., with a line; the number that could not be moved.
int Settle(const Judging& j, const char* to, SettleCount& count);
// Removes a settled show folder's empty folders and the folder; whether it is gone.
bool RemoveEmptyShow(const char* dir);
// The work folders of SHOWDIR that killed runs left: the presenter's files in them moved back
// into SHOWDIR, the made ones removed, each said in a line.
void RecoverStaleWork();

// The captions (captions.cpp).

// captions.txt's text for the shown photos: the old show's blocks with their photos where
// --force replaces a show with the record, a template block for every other photo. The
// blocks of photos left out go to `removed`, after what the old show's removed file held.
// False with a message when the old caption files cannot be read.
bool ComposeCaptions(std::string& captions, std::string& removed, bool& isTemplate);
// The lines that say what became of the old show's captions, once the show is in place.
void SayWhatBecameOfCaptions();
