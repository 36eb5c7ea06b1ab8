// Assets: pictures, photos and fonts loaded from gfx/ at start-up and released at shutdown.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include "facts.h"

// Fixed pictures, in the display's pixel format; null until loaded or when loading failed.
extern SDL_Surface* load;  // loading screen, bottom-right corner
extern SDL_Surface* ohen;  // loading screen, centred
extern SDL_Surface* back;  // background of the photo slots
extern SDL_Surface* si;    // logo that drops in on black
extern SDL_Surface* end;   // end picture

// Photos: entry k - 1 holds gfx/fotoKK.jpg; the series ends at the first number missing.
constexpr int kMaxPhotos = 50;
extern SDL_Surface* foto[kMaxPhotos];
// Index of the last photo loaded (photos found minus one); -1 when there is none.
extern int fotos;
// Frame at which the final fade begins: kSlotLength per photo plus kFramesAroundSlots;
// kInitialEndTime until loading ends.
extern int ENDTIME;

// Fonts, both from kFontFile.
extern TTF_Font* text_font;   // kTextPoints: descriptions
extern TTF_Font* names_font;  // kNamesPoints: names lines
// The same fonts scaled to the canvas, for the text's twins; null on a canvas of the show's
// size. Opened by LoadFonts and by FitFontsToCanvas.
extern TTF_Font* large_text_font;
extern TTF_Font* large_names_font;

// Every file name is built here; failure messages quote the name built last.
constexpr int kFileNameSize = 260;
extern char tmptxt[kFileNameSize];

// Writes dir + base + "." + ext into `out` (no dot when ext is empty), cut to kFileNameSize.
void FileNameConversion(const char* dir, const char* base, const char* ext, char* out);
// Whether `name` is a named pipe, a device or a socket. Opening or reading one can wait for
// ever, so no asset is read from one: it counts as a file that cannot be opened.
bool IsSpecialFile(const char* name);
// SDL 1.2's converter compares sample rates in whole hundreds of Hz: two rates in the same
// hundred count as one and are not converted (a device seldom runs at exactly the rate asked).
constexpr int kRateGrain = 100;
// SDL 1.2's sample-rate rule: how many times its converter halves or doubles music at `rate` on
// its way to `toRate`; 0 when they are the same in hundreds of Hz (or either is not above 0),
// else while the lower rate doubled stays, in hundreds, at most the higher. The rest of the
// difference it leaves, so such music plays that much faster or slower.
int RateSteps(int rate, int toRate);
// Whether SDL 1.2's converter takes music of `channels` at `rate` to `toChannels` at `toRate`:
// its SDL_AudioCVT holds nine filters and a closing null, which SDL_BuildAudioCVT overruns
// unchecked, and it mixes down only by halving the channels. If not, false with the reason.
bool ConverterReaches(int channels, long rate, int toChannels, int toRate, char* why,
                      size_t whySize);
// Ogg Vorbis decoded in a child process for at most `ms` before the program trusts it: the
// decoder can crash on a damaged stream (the channels and rates of every section checked
// too). True for other kinds of file, and for a stream that decodes without fault up to its
// end or the time bound; false with the reason otherwise.
bool TryMusic(const char* path, int toChannels, int toRate, Uint32 ms, char* why, size_t whySize);
// What a picture file's header says of it, read without decoding it.
enum PictureFileKind { kOtherFile, kPngFile, kJpegFile };
struct PictureHeader {
  PictureFileKind kind = kOtherFile;
  Uint32 width = 0, height = 0;  // as declared; 0 where the header was not read
  bool jpeg = false;             // a JPEG file that the image library takes for one
};
// Reads the header of the picture file `name` and checks that it is a PNG or JPEG file and
// that a PNG file's chunks all lie within it. False, with the reason as SDL's error, for a
// file that must not be decoded; a file that cannot be opened is left to the decoder to report.
bool ReadPictureHeader(const char* name, PictureHeader& header);
// Whether a picture of this size may be decoded whole; if not, false with the reason as
// SDL's error.
bool WholeDecodeIsBounded(Uint32 width, Uint32 height);
// What a large source in kLargeDir is worth beside its picture of width x height in
// kPictureDir, from its header alone (whether it decodes shows only when it is decoded).
enum LargeSourceState {
  kLargeMissing,     // no such file: the gfx/ picture is enlarged
  kLargeFits,        // larger both ways, the same aspect: the picture is drawn from it
  kLargeUnreadable,  // no PNG or JPEG header that the loader takes, or a special file
  kLargeWrongAspect,
  kLargeNotLarger,
};
// Judges the large source `path` for a picture of width x height; `why` gets a reason a
// presenter reads for the states other than kLargeFits and kLargeMissing.
LargeSourceState JudgeLargeSource(const char* path, int width, int height, char* why,
                                  size_t whySize);

// No bound on a picture's width or height: the whole of it.
constexpr int kWholePicture = 1 << 30;
// Decodes at most the top-left width x height of a JPEG file that the image library takes
// for one: the pixels and the format that the image library would give for that part of it.
// Null, with the image library's reason as SDL's error, where it would fail.
// Decoded at `eighths` / 8 of its size (1 to 8), libjpeg's reduction while decoding.
SDL_Surface* DecodeJpeg(const char* name, int width, int height, int eighths = 8);
// SDL_DisplayFormat, with a faster conversion of 3-byte pixels where it gives the same bytes.
SDL_Surface* DisplayFormat(SDL_Surface* decoded);
// The picture file `name`, at most its top-left width x height, in the display's pixel
// format; null, with the reason as SDL's error, when it does not load. `decoded` says
// whether it decoded (and only the conversion failed).
SDL_Surface* LoadPicture(const char* name, int width, int height, bool& decoded);
// Loads gfx/base.ext, at most its top-left width x height, or null; says which on standard
// error.
SDL_Surface* GetPix(const char* base, const char* ext, int width = kWholePicture,
                    int height = kWholePicture);
// Loads the photo series, what can be seen of each, and sets fotos and ENDTIME.
void LoadPhotos();
// Loads the five pictures and the photos, and sets fotos and ENDTIME. Calls
// `showLoadingScreen` (if not null) once the loading screen's two pictures are in, so that
// it stands while the rest loads. Needs the display open.
void LoadGFX(void (*showLoadingScreen)());
// Opens both fonts; false, having said which failed and why, when one cannot be opened.
// Needs TTF_Init.
bool LoadFonts();
// Releases every picture held, and their twins.
void ReleaseGFX();
void ReleaseFonts();
// Opens the large fonts for the canvas as it now is (closing those of an earlier one); false,
// having said why, when one cannot be opened.
bool FitFontsToCanvas();

// The pictures at the canvas's resolution (canvaspictures.cpp, resample.cpp): on a canvas
// larger than the show each picture is drawn from its twin (anim/canvas.h), made while loading.

// `picture` resized to width x height with a Lanczos-3 filter, as 32-bit 0x00RRGGBB, with an
// alpha channel (SDL_SRCALPHA) where any pixel of it is keyed or not opaque; null when no
// picture can be made.
// `spanX` by `spanY` pixels of it hold the picture (a JPEG reduced while decoding fills its last
// row and column in part); 0 for all of it.
SDL_Surface* ResamplePicture(SDL_Surface* picture, int width, int height, double spanX = 0,
                             double spanY = 0);
// Gives `picture`, loaded from `file` (gfx/NAME) and drawn with its top-left corner at
// (x, y), its twin: from its large source in kLargeDir where one fits (one there that does
// not is said on standard error), else enlarged from the picture. Nothing at the show's size.
void MakeTwin(SDL_Surface* picture, const char* file, int x, int y);
// Asks for the twins of the photos of `slot` and the slot after it, made on a worker thread;
// the twins of every other photo are dropped. Nothing at the show's size.
void WantPhotos(int slot);
// Puts the photo twins the worker has finished in the table. Called before a pass draws.
void TakeReadyPhotos();
// Waits until every photo asked for is made, and takes them (the renderer, and loading).
void AwaitPhotos();
// Ends the worker and drops every photo's twin. Called before the photos or the canvas go.
void StopPhotos();

// Releases what is held and puts every global back to its start value.
void ResetAssets();
