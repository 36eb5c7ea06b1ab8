// tolvane-render: the show of a folder rendered without a display and without its clock, as
// PNG pictures or a video with its music, and a pre-show check of the folder.
#pragma once

#include <SDL.h>

#include <cstdio>

#include "assets/assets.h"
#include "driver/show.h"
#include "text/text.h"

// Exit statuses.
constexpr int kExitDone = 0;
constexpr int kExitCheckFound = 1;  // --check: the show would differ from what the folder intends
constexpr int kExitUsage = 2;       // a bad option or argument
constexpr int kExitShow = 3;        // the show cannot be opened: no gfx/, no font, no display
constexpr int kExitOutput = 4;      // an output could not be written, ffmpeg missing or failed

constexpr int kPathSize = 4096;

// The name every message of the renderer begins with: Fail(kRenderer, ...), from common.h.
constexpr char kRenderer[] = "tolvane-render";

// What one run does, from the command line.

enum Job { kNoJob, kOneFrame, kSequence, kVideo, kCheck, kTimeline, kHelp, kVersion };

constexpr int kUnset = -1;
constexpr int kDefaultEvery = 100;  // frames between pictures of a sequence: one a second
constexpr int kDefaultFps = 50;
constexpr int kNativeDepth = 32;  // --size without --bpp: a today's screen's depth

struct Settings {
  Job job;
  int frame;                  // --frame, or --at converted to frames
  int from, to, every;        // frames; kUnset for the whole show
  int fps;                    // --video: 25, 50 or 100
  int depth;                  // --bpp: bits per pixel of the display, as the show's -bpp
  bool verbose;               // -v: the loader's lines as the show prints them
  char output[kPathSize];     // -o FILE.png, --out DIR or --video FILE, made absolute
  char captions[kPathSize];   // --captions FILE, made absolute; empty for the folder's choice
  bool builtInCaptions;       // --captions none
  char folder[kPathSize];     // -C DIR: the show folder; empty for the working directory
  char subtitles[kPathSize];  // --subtitles FILE.srt, made absolute; empty for none
  int width, height;  // --size: the frames' size, the show drawn at it as tolvane -fit draws it
  bool pixels;        // --pixels: at --size the 640x480 show enlarged instead
};
extern Settings settings;

// Fills `settings` from the command line. On a bad option prints a message naming it and
// the way to --help on standard error, and returns false.
bool ParseOptions(int argc, char** argv);
// What a command line without options gives.
Settings DefaultSettings();
void PrintUsage(FILE* stream);

// The show, opened headless (show.cpp).

// Frames count the show's 10 ms steps from 0, where the clock and the music start.
constexpr int kFramesPerSecond = 1000 / kStepMs;

// Opens a display of the show's format on SDL's dummy video driver (unless SDL_VIDEODRIVER
// names another), and opens the show of the working directory as the show's start-up does:
// LoadShow (with settings.captions, if given, else the folder's choice), then StartShow. Prints a
// message and returns an exit status other than kExitDone when it cannot.
int OpenShow();
// Releases what OpenShow loaded, with the show's ReleaseShow.
void CloseShow();
// Steps to `f` as the show does when it draws every step, and draws `f` on the display
// surface; `f` must not be before the last frame drawn.
void DrawFrame(int f);
// --timeline: the show's frames, one "NAME FRAME" a line on standard output. Exit status.
int PrintTimeline();
// Frames as minutes, seconds and hundredths: 42201 gives "7:02.01".
void FormatTime(long frames, char* out, size_t size);
// Pictures that failed to load, other than the photo that ends the series, as the loader
// reported them (one line each); empty when all loaded.
extern char loaderTrouble[2048];
// Points standard error at `to` until RestoreStderr; false, changing nothing, when it
// cannot (or when it already points elsewhere).
bool RedirectStderr(FILE* to);
void RestoreStderr();
// Whether `path` names anything: a file, a folder, a link to one.
bool Exists(const char* path);
// Whether `path` is, or would be, one of the show's own files or another input of the run
// (the caption file), which an output must not replace, or a named pipe or a device, which it
// would wait on: an output refused. Says so when it is.
bool IsRunInput(const char* path);

// Caption text in UTF-8 (showntext.cpp).

// A code point as UTF-8 into `out` (room for 5 bytes, 0-terminated); returns its bytes.
size_t EncodeUtf8(long code, char* out);
// `text`, read in `encoding`, as the show draws it, into `out` as UTF-8 of at most `size` - 1
// bytes, cut only between characters: Latin-1 widened, a byte that forms no UTF-8 character
// as U+FFFD (as the show draws it), byte-order marks and controls but line ends dropped.
void ShownText(const char* text, TextEncoding encoding, char* out, size_t size);

// Pictures (frames.cpp).

// The frame as it goes out: the screen, or at --size the screen scaled onto a picture of that
// size by the code that scales it in tolvane -fit. Null, having said why, when SDL cannot make
// that picture.
SDL_Surface* OutputFrame();
// SDL_LockSurface of a picture the renderer reads; false, having said why, when SDL cannot.
bool LockPicture(SDL_Surface* picture);
// Whether frame `f` is in the show; says which option overshoots it when not.
bool WithinShow(int f, const char* option);
// Writes the display surface as an 8-bit RGB PNG. Prints a message and returns false
// when it cannot.
bool WritePng(SDL_Surface* surface, const char* path);
// --frame / --at: one PNG. --from/--to/--every/--out: a PNG sequence. Return exit statuses.
int RenderOneFrame();
int RenderSequence();

// Video (video.cpp).

// Whether `name` ends in .mp4 or .mkv; whether in .mp4.
bool IsVideoName(const char* name);
bool IsMp4Name(const char* name);
// Finds ffmpeg on PATH into `path`; false when it is not installed.
bool FindFfmpeg(char* path, size_t size);
// --video: frames piped to ffmpeg, muxed with the music rendered offline. Exit status.
int ExportVideo();

// The video's chapters and captions (chapters.cpp).

// Writes the chapters and the captions of frames `from` to `to` to temporary files for ffmpeg,
// and the captions for settings.subtitles, if it is named, under a name of its own beside it.
// Exit status; says why when it fails.
int PrepareTracks(int from, int to);
// Gives the captions written for settings.subtitles that name, once the video is whole. Exit
// status; says why when it fails.
int PlaceSubtitles();
// ffmpeg's arguments for them: the inputs after the pictures' and the sound's, the outputs.
void TrackInputs(const char** argv, int& count);
void TrackOutputs(const char** argv, int& count, bool mp4);
// Removes the temporary files, and the captions for settings.subtitles unless placed.
void RemoveTracks();

// Music (audio.cpp): tracker modules and Ogg Vorbis, as the show's mixer plays them.

// What the show's mixer takes a music file for, by its first bytes alone (the show loads it
// under a fixed name): kNoMusic if it has fewer than 12 bytes or cannot be read.
enum MusicKind {
  kNoMusic,
  kModuleMusic,  // anything else: the mixer tries its tracker module engine
  kVorbisMusic,
  kWaveMusic,
  kFlacMusic,
  kMidiMusic,
  kMp3Music
};
MusicKind MusicKindOf(const char* path);
// Words for a kind, such as "Ogg Vorbis" or "a tracker module".
const char* MusicKindName(MusicKind kind);
// Loads the music to be played as the mixer plays it from its top; with `loop` the mixer
// starts it again, as the show asks, once it has ended. False, with the reason, when it
// cannot be loaded or is of a kind the renderer does not play.
bool OpenMusic(const char* module, bool loop, char* why, size_t whySize);
// The next `frames` sample frames, interleaved stereo, as the mixer's callback gets them.
void PlayMusic(Sint16* out, long frames);
// The sample rate of the music loaded (a module's is the mixer's), and the rate the mixer
// plays a rate at: SDL 1.2 converts by factors of two only, so that other rates play too
// fast or too slow, in the show and in the video alike.
int MusicRate();
int RateAsPlayed(int rate);
// The music's own title (a module's, or an Ogg Vorbis TITLE comment), or "".
const char* MusicTitle();
void CloseMusic();
// Ogg Vorbis is decoded in a child process, for a few seconds at most, before the renderer
// decodes it: a damaged stream can crash the decoder. False with the reason when it fails.
bool TrustMusic(const char* path, char* why, size_t whySize);
// Writes sample frames [first, first + samples) of the show's sound track to `out` as raw
// signed 16-bit little-endian stereo at kAudioRate: sample 0 at frame 0, where the music
// starts with its fade-in; its fade-out from sample `fadeOut`, silence after.
// Without the module (musicLoaded false, the reason in `why`) the track is silent, as the
// show is. Returns false when writing fails.
bool WriteSoundTrack(const char* module, long first, long samples, long fadeOut, FILE* out,
                     bool& musicLoaded, char* why, size_t whySize);
// Sample frames the music plays before it ends by itself (capped at `limit`), with its
// title; -1 with the reason when it cannot be loaded. A module is counted without mixing it:
// its engine is stepped tick by tick.
long ModuleLength(const char* module, long limit, char* title, size_t titleSize, char* why,
                  size_t whySize);

// The music check (musiccheck.cpp).

// Whether both the live show and tolvane-render --video play `file` as the show's music; if
// not, false with the reason in `why` (a sentence without the file name). The show's mixer
// is asked in a child process, on SDL's silent audio driver.
bool CheckMusic(const char* file, char* why, size_t whySize);

// Whether the large source `path` decodes to its end, with bounded memory and time (JPEG at
// an eighth of its size, PNG a row at a time); if not, false with the reason in `why`.
bool LargeSourceDecodes(const char* path, char* why, size_t whySize);

// The pre-show check (check.cpp): prints its lines on standard output; exit status.
int CheckShow();
// Photos whose caption block the last check found still as tolvane-make wrote it.
extern int templateCaptions;
// tolvane-render -C DIR --check as a call, for a program that has just made the folder: opens
// the show, checks it and closes it again. The check's exit status; `lastFrame` gets the
// show's last step.
int CheckShowFolder(const char* dir, int& lastFrame);

// Signals (stop.cpp): SIGINT, SIGTERM and SIGHUP end the renderer at once, by the signal.

// Takes the signals from SDL, which would turn them into quit events nobody reads: call
// before SDL_Init, which then leaves them alone.
void WatchSignals();
// A file to remove, and a child process to kill, should a signal end the renderer; until
// KeepIfStopped or StopWithRenderer(0).
void RemoveIfStopped(const char* path);
// mkstemp(name), the file made listed for RemoveIfStopped at once: the descriptor, or -1 with
// errno set.
int MakeRemovedIfStopped(char* name);
void KeepIfStopped(const char* path);
void StopWithRenderer(pid_t child);

// Progress line (progress.cpp): on standard error when it is a terminal, after a second.

void ProgressStart(const char* what, long total);
void ProgressStep(long done);
void ProgressEnd();

// The record of a made show's sources (sources.cpp), in the show folder as kSourcesFile.

// The file one photo was made from: its path as resolved then, a digest of its bytes and its
// size upright.
struct PhotoSource {
  char path[kPathSize];
  unsigned long long digest;
  int width, height;
  bool captionTemplate;        // its caption was written as a template, with digest:
  unsigned long long caption;  // CaptionDigest of that block
};
// One file a make wrote, relative to the show folder, and the digest of its bytes as written:
// a file whose bytes differ since is no longer the make's but the presenter's.
struct MadeFile {
  char path[64];
  unsigned long long digest;
};
// The made files a record holds at most: each photo and picture twice (with its large
// source), the font, the music and the caption files, with room to spare.
constexpr int kMostMadeFiles = 4 * kMaxPhotos + 32;
// One choice of the make as the record keeps it (the option without its dashes, and its value
// unescaped); tolvane-make judges them.
struct RecordedChoice {
  char name[32];
  char value[kPathSize + 32];
};
constexpr int kMostRecordedChoices = 32;
struct ShowSources {
  int photos;  // gfx/foto01.jpg ... in order
  PhotoSource photo[kMaxPhotos];
  bool isTemplate;  // captions.txt was written as the template, with digest:
  unsigned long long captions;
  bool listsMade;  // the record lists the files made (an older tolvane-make's does not)
  int made;
  MadeFile madeFile[kMostMadeFiles];
  int choices;
  RecordedChoice choice[kMostRecordedChoices];
  // Why the record's choices cannot be taken (damaged, hand-edited, another version), or "".
  char choiceTrouble[160];
};
// A digest of bytes that tells one file from another: Digest of the first part from
// kDigestStart, of each next part from the digest so far.
constexpr unsigned long long kDigestStart = 14695981039346656037ULL;
unsigned long long Digest(const void* data, size_t size, unsigned long long hash = kDigestStart);
// The digest of a caption as the caption reader stores it (texty's names line, middle line and
// description, each with its line ends): that of its block's lines before the end line, when
// they end in LF alone.
unsigned long long CaptionDigest(char* const record[3]);
// The digest of a file's bytes; false when it cannot be read.
bool FileDigest(const char* path, unsigned long long& digest);
bool WriteSources(const char* path, const ShowSources& sources);
// False when the file is missing, is not such a record, or is a named pipe or a device.
// Choices that cannot be read leave the rest of the record good: none is taken, and
// `choiceTrouble` says why.
bool ReadSources(const char* path, ShowSources& sources);
// The record's entry for the made file `path`, or null.
const MadeFile* FindMade(const ShowSources& sources, const char* path);
// Whether a photo of this size, fitted into the photo area, is enlarged more than twice both
// ways and so looks blurred.
bool LooksBlurred(int width, int height);
