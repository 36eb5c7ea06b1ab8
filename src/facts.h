// The show's facts: its screen, its sound, the files of a show folder, its fonts and its
// timeline. The program, its tools, the benchmarks and the tests all take them from here;
// where one fact follows from others, it is written that way.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

// The screen.

inline constexpr int kScreenWidth = 640, kScreenHeight = 480;
// The video mode unless the command line says otherwise. The bit 0x00100000 selects nothing;
// the show has always passed it along.
inline constexpr Uint8 kDefaultDepth = 16;
inline constexpr Uint32 kDefaultVideoFlags =
    SDL_FULLSCREEN | SDL_DOUBLEBUF | SDL_HWSURFACE | 0x00100000;

// The sound: what the mixer is opened with, and how the music is played.

inline constexpr int kAudioRate = 44050;  // Hz; not 44100: the music was tuned to it
inline constexpr Uint16 kAudioFormat = AUDIO_S16LSB;
inline constexpr int kAudioChannels = 2;
// Sample frames per mixer buffer. The audio report calls them bytes: its words are fixed.
inline constexpr int kAudioBufferFrames = 32768;
inline constexpr int kMusicLoops = 100;  // times the mixer starts the module again
inline constexpr int kMusicFadeInMs = 1000, kMusicFadeOutMs = 1000;

// The files of a show folder, named as the loader builds the names: folder, base, extension.

inline constexpr char kPictureDir[] = "gfx/";
inline constexpr char kFontBase[] = "arial", kFontExt[] = "ttf";
inline constexpr char kMusicDir[] = "sfx/";
inline constexpr char kMusicBase[] = "belong", kMusicExt[] = "mod";

// A name joined at compile time as FileNameConversion joins it: dir + base + "." + ext.
template <size_t kSize>
struct JoinedName {
  char text[kSize];
};
template <size_t kDir, size_t kBase, size_t kExt>
constexpr JoinedName<kDir + kBase + kExt - 1> JoinName(const char (&dir)[kDir],
                                                       const char (&base)[kBase],
                                                       const char (&ext)[kExt]) {
  JoinedName<kDir + kBase + kExt - 1> name{};
  size_t n = 0;
  for (size_t i = 0; i + 1 < kDir; ++i) name.text[n++] = dir[i];
  for (size_t i = 0; i + 1 < kBase; ++i) name.text[n++] = base[i];
  name.text[n++] = '.';
  for (size_t i = 0; i + 1 < kExt; ++i) name.text[n++] = ext[i];
  return name;
}
inline constexpr auto kFontName = JoinName(kPictureDir, kFontBase, kFontExt);
inline constexpr auto kMusicName = JoinName(kMusicDir, kMusicBase, kMusicExt);
inline constexpr const char* kFontFile = kFontName.text;    // the caption font
inline constexpr const char* kMusicFile = kMusicName.text;  // the music module
// The folder's own captions, read in place of the built-in ones when the file is there.
inline constexpr char kCaptionFile[] = "captions.txt";
// Beside it, written by tolvane-make: the caption blocks of photos a remake left out.
inline constexpr char kRemovedCaptionFile[] = "captions.removed.txt";
// tolvane-make's record of the file each photo was made from; the show never reads it.
inline constexpr char kSourcesFile[] = "photo-sources.txt";

// The five fixed pictures, each kPictureDir + base + "." + kPictureExt, in the order the loader
// loads them; kPictureLoad ... kPictureEnd index kShowPictures.
inline constexpr char kPictureExt[] = "png";
struct PictureName {
  const char* base;  // as the loader asks for it
  const char* file;  // relative to the show folder
};
inline constexpr auto kLoadName = JoinName(kPictureDir, "load", kPictureExt);
inline constexpr auto kOhenName = JoinName(kPictureDir, "ohen", kPictureExt);
inline constexpr auto kBackName = JoinName(kPictureDir, "back", kPictureExt);
inline constexpr auto kSiName = JoinName(kPictureDir, "si", kPictureExt);
inline constexpr auto kEndName = JoinName(kPictureDir, "end", kPictureExt);
enum { kPictureLoad, kPictureOhen, kPictureBack, kPictureSi, kPictureEnd, kPictureCount };
inline constexpr PictureName kShowPictures[kPictureCount] = {{"load", kLoadName.text},
                                                             {"ohen", kOhenName.text},
                                                             {"back", kBackName.text},
                                                             {"si", kSiName.text},
                                                             {"end", kEndName.text}};
// Every file of a show folder but its photos, relative to the folder.
inline constexpr const char* kShowFiles[] = {kLoadName.text, kOhenName.text, kBackName.text,
                                             kSiName.text,   kEndName.text,  kFontFile,
                                             kMusicFile};

// The photos: photo k, counted from 1, is kPictureDir + "fotoKK." + kPhotoExt, KK two digits.
inline constexpr char kPhotoExt[] = "jpg";
struct PhotoFileName {
  char base[16];  // "foto01", as the loader asks for it
  char file[20];  // "foto01.jpg", its name in kPictureDir
  char path[28];  // "gfx/foto01.jpg", relative to the show folder
};
inline constexpr char kPhotoStem[] = "foto";
inline PhotoFileName PhotoName(int k) {
  PhotoFileName name{};
  snprintf(name.base, sizeof name.base, "%s%02d", kPhotoStem, k);
  snprintf(name.file, sizeof name.file, "%s.%s", name.base, kPhotoExt);
  snprintf(name.path, sizeof name.path, "%s%s", kPictureDir, name.file);
  return name;
}
// The number of the photo whose name in kPictureDir is `file`, from 1 to `most`; 0 for a
// name no photo has.
inline int PhotoNumber(const char* file, int most) {
  for (int k = 1; k <= most; ++k)
    if (strcmp(file, PhotoName(k).file) == 0) return k;
  return 0;
}
// Larger sources of the pictures and photos, for screens bigger than the show's: the same
// file names in this folder of the show folder ("gfx/hd/back.png", "gfx/hd/foto01.jpg").
// The show draws from one where it fits (JudgeLargeSource); else it enlarges the gfx/ picture.
inline constexpr char kLargeDir[] = "gfx/hd/";
// The scale tolvane-make and the demo draw their large sources at: 9/2 of the show's size,
// the 2880 x 2160 show area of a 3840 x 2160 screen.
inline constexpr int kLargeScaleNum = 9, kLargeScaleDen = 2;
// A large source's aspect may differ from its gfx/ picture's by this many per cent at most.
inline constexpr int kLargeAspectPercent = 1;

// The demo show has one photo for each built-in caption.
inline constexpr int kDemoPhotos = 19;

// The fonts, both from kFontFile, in points on a 96 dpi screen.

inline constexpr int kTextPoints = 12;   // descriptions
inline constexpr int kNamesPoints = 10;  // names lines

// The timeline, in frames: 10 ms steps of the show's clock, from the end of the loading
// screen. Frames in paths are absolute; offsets in a slot count from the slot's start.

inline constexpr int kStepMs = 10;
inline constexpr Uint32 kLoadingScreenMs = 5000;  // the loading screen stands at least this long

// The standard motions of the key-frame paths, from the frame they start at: the picture
// arrives at (or near) its rest point, bounces, settles, rests and leaves.
inline constexpr int kArrive = 20, kBounce = 30, kSettle = 35;
// The logo drop: from a screen height above the rest point, 40 px short of it, 20 px past
// it, then down by a screen height again in 30 frames.
inline constexpr int kDropHeight = kScreenHeight;
inline constexpr int kDropShort = 40, kDropOvershoot = 20, kDropFall = 30;
// The slide: from a screen width past the rest point, to it, 40 px back, settling 20 px past
// it (not at it), then two screen widths the other way in 20 frames.
inline constexpr int kSlideDistance = kScreenWidth;
inline constexpr int kSlideBounce = 40, kSlideSettle = 20;
inline constexpr int kLeaveDistance = 2 * kScreenWidth, kSlideLeave = 20;

// The logo drops in on black at path frame 380, stands centred for 770 frames and falls away.
inline constexpr int kLogoDropStart = 380, kLogoHold = 770;

// One photo slot of 20 s per photo follows the logo, then the end picture for 25 s and a 4 s
// fade of the last screen to black; the show ends at the step after the fade.
inline constexpr int kFirstSlot = 1300;
inline constexpr int kSlotLength = 2000;
inline constexpr int kPhotoOffset = 800;  // slot offset from which the photo is drawn
// The description box stands until 20 frames before the photo: the background alone between.
inline constexpr int kHideOffset = kPhotoOffset - 20;
// The names line enters with the photo and would rest as long as the photo stands; the next
// slot start comes first.
inline constexpr int kNamesHold = kSlotLength - kPhotoOffset;
inline constexpr int kEndPicture = 2500;  // frames of the end picture before the fade
inline constexpr int kFadeLength = 400;   // the last screen fades over ENDTIME ... ENDTIME + 400
// ENDTIME = kSlotLength * photos + kFramesAroundSlots: the frames before the first slot and
// those of the end picture.
inline constexpr int kFramesAroundSlots = kFirstSlot + kEndPicture;
// ENDTIME before loading sets it. Frame 0, drawn while loading, must see neither the fade
// (frame 0 < ENDTIME) nor the objects (frame 0 >= ENDTIME - kEndPicture): any value from 1
// to kEndPicture gives that, and 50 is the one the show has always had.
inline constexpr int kInitialEndTime = 50;

// Where things stand on the screen: top-left corners, pixels.

inline constexpr int kPhotoX = 123, kPhotoY = 95;
// The photo area the background frames; the demo's photos fill it exactly.
inline constexpr int kPhotoWidth = 394, kPhotoHeight = 290;
// All of a photo that can ever be seen: from its corner to the screen's right and bottom
// edges. The loader keeps no more of a larger one.
inline constexpr int kPhotoSeenWidth = kScreenWidth - kPhotoX;
inline constexpr int kPhotoSeenHeight = kScreenHeight - kPhotoY;
// The description box over the photo area, at least this large.
inline constexpr int kBoxX = 115, kBoxY = 100;
inline constexpr int kBoxMinWidth = 400, kBoxMinHeight = 300;
// The names line slides to kNamesX and comes to rest kSlideSettle past it, under the photo.
inline constexpr int kNamesX = 125, kNamesY = 412;
inline constexpr int kNamesRestX = kNamesX + kSlideSettle;
