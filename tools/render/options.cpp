// tolvane-render's command line: its usage text, the reading of each option and the checks
// that the options given make one job.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "driver/display.h"
#include "common.h"
#include "render.h"

Settings settings;

void PrintUsage(FILE* stream) {
  fprintf(stream,
          "Usage: %s [-C DIR] [--captions FILE] [--bpp N] [--size WxH [--pixels]] [-v] JOB\n"
          "Renders the show of the working directory (its gfx/ and sfx/) without a display\n"
          "and without waiting for its clock. Frames are 10 ms steps from the end of the\n"
          "loading screen (frame 0); the music starts at frame 0.\n"
          "\n"
          "JOB is one of:\n"
          "  --frame F -o FILE.png     the screen at frame F as a PNG\n"
          "  --at SECONDS -o FILE.png  the screen SECONDS after frame 0 (frame 100 x SECONDS)\n"
          "  --out DIR [--from A] [--to B] [--every K]\n"
          "                            a PNG sequence DIR/frame-NNNNNN.png of frames A, A+K, ...\n"
          "                            up to B (default: the whole show, one a second: K = %d)\n"
          "  --video FILE [--fps N] [--from A] [--to B]\n"
          "                            the show (or frames A to B) as an .mp4 or .mkv video with\n"
          "                            its music, at 25, 50 or 100 frames a second (default %d);\n"
          "                            needs ffmpeg; with a chapter for each photo and its\n"
          "                            caption as subtitles; --subtitles FILE.srt writes them\n"
          "                            to FILE.srt too\n"
          "  --check                   lists what the show will do with the folder and what a\n"
          "                            presenter would want to know; exit status 1 if the show\n"
          "                            would differ from what the folder seems to intend\n"
          "  --timeline                the show's frames on standard output, one 'NAME FRAME'\n"
          "                            a line: photos (their number), first-slot, end-picture,\n"
          "                            fade, last (the step that ends the show)\n"
          "  -h, --help                this text\n"
          "  --version                 the program's version\n"
          "\n"
          "A, B are frame numbers, or seconds when followed by s (12.5s).\n"
          "Options:\n"
          "  -C DIR          the show folder (default: the working directory)\n"
          "  --captions FILE take the captions from FILE instead of the folder's captions.txt;\n"
          "                  --captions none takes the built-in ones (the show's without a\n"
          "                  captions.txt)\n"
          "  --bpp N         colour depth of the display, as the show's -bpp: 8, 15, 16, 24 or 32\n"
          "                  (default %d)\n"
          "  -v, --verbose   print the loader's lines, as the show does\n"
          "  --size WxH      size of the pictures and the video (default 640x480): the show\n"
          "                  drawn at that resolution as tolvane -fit shows it on a screen of\n"
          "                  that size, at 32 bits unless --bpp is given; from 640x480 to\n"
          "                  7680x4320, even numbers for a video\n"
          "  --pixels        with --size: the 640x480 show enlarged instead, as tolvane -fit\n"
          "                  -pixels shows it\n"
          "\n"
          "Exit status: 0 done, 1 --check found something, 2 bad usage or caption file,\n"
          "3 the show cannot be opened, 4 an output could not be written.\n",
          kRenderer, kDefaultEvery, kDefaultFps, kDefaultDepth);
}

// A whole number >= 0 that fits an int, the whole text.
static bool ReadCount(const char* text, int& value) {
  if (!*text || *text == '-' || *text == '+') return false;
  char* rest = nullptr;
  errno = 0;
  const long v = strtol(text, &rest, 10);
  if (*rest || errno || v > 0x3FFFFFFF) return false;
  value = static_cast<int>(v);
  return true;
}

// Seconds >= 0 into frames: the frame on screen that long after frame 0.
static bool ReadSeconds(const char* text, size_t length, int& frames) {
  char digits[64];
  if (length == 0 || length >= sizeof digits || *text == '-' || *text == '+') return false;
  memcpy(digits, text, length);
  digits[length] = '\0';
  char* rest = nullptr;
  errno = 0;
  const double s = strtod(digits, &rest);
  if (*rest || errno || !std::isfinite(s) || s < 0 || s > 1e7) return false;
  // A hair over, so that 0.29 s reaches frame 29 despite binary fractions.
  frames = static_cast<int>(std::floor(s * kFramesPerSecond + 1e-6));
  return true;
}

// A frame number, or seconds with a trailing 's'.
static bool ReadFrame(const char* text, int& frame) {
  const size_t length = strlen(text);
  if (length > 1 && text[length - 1] == 's') return ReadSeconds(text, length - 1, frame);
  return ReadCount(text, frame);
}

static bool MakeAbsolute(const char* path, char* out) {
  if (path[0] == '/') {
    snprintf(out, kPathSize, "%s", path);
    return strlen(path) < kPathSize;
  }
  char cwd[kPathSize];
  if (!getcwd(cwd, sizeof cwd)) return false;
  return snprintf(out, kPathSize, "%s/%s", cwd, path) < kPathSize;
}

static bool SetJob(Job job, const char* option) {
  // --frame and --at may not both be given either: each names the one frame.
  if (settings.job != kNoJob)
    return FailUsage(kRenderer,
                     "%s: only one of --frame, --at, --out, --video and --check at a time", option);
  settings.job = job;
  return true;
}

// What the command line names besides `settings`, for the checks of the whole.
static constexpr int kMaxSeen = 32;
struct Named {
  const char* seen[kMaxSeen];  // the options given, as kOptions names them
  int seenCount;
  const char *pngName, *outDir, *video, *captions, *folder, *subtitles;
};
static Named given;

static bool WasGiven(const char* name) {
  for (int i = 0; i < given.seenCount; ++i)
    if (strcmp(given.seen[i], name) == 0) return true;
  return false;
}

// Each option reads its value, if it takes one; false once it has said what is wrong.
static bool Help(const char*) {
  settings.job = kHelp;
  return true;
}
static bool Version(const char*) {
  settings.job = kVersion;
  return true;
}
static bool Check(const char*) {
  return SetJob(kCheck, "--check");
}
static bool Timeline(const char*) {
  return SetJob(kTimeline, "--timeline");
}
static bool Verbose(const char*) {
  settings.verbose = true;
  return true;
}
static bool OneFrame(const char* value) {
  if (!SetJob(kOneFrame, "--frame")) return false;
  if (!ReadCount(value, settings.frame))
    return FailUsage(kRenderer, "--frame takes a frame number (0 or more), not '%s'", value);
  return true;
}
static bool At(const char* value) {
  if (!SetJob(kOneFrame, "--at")) return false;
  if (!ReadSeconds(value, strlen(value), settings.frame))
    return FailUsage(kRenderer, "--at takes seconds (0 or more), not '%s'", value);
  return true;
}
static bool Sequence(const char*) {
  return SetJob(kSequence, "--out");
}
static bool Video(const char*) {
  return SetJob(kVideo, "--video");
}
static bool Bound(const char* option, const char* value, int& bound) {
  if (!ReadFrame(value, bound))
    return FailUsage(kRenderer, "%s takes a frame number or seconds such as 12.5s, not '%s'",
                     option, value);
  return true;
}
static bool From(const char* value) {
  return Bound("--from", value, settings.from);
}
static bool To(const char* value) {
  return Bound("--to", value, settings.to);
}
static bool Every(const char* value) {
  if (!ReadCount(value, settings.every) || settings.every == 0)
    return FailUsage(kRenderer, "--every takes a number of frames (1 or more), not '%s'", value);
  return true;
}
static bool Fps(const char* value) {
  int fps = 0;
  if (!ReadCount(value, fps) || (fps != 25 && fps != 50 && fps != 100))
    return FailUsage(kRenderer, "--fps must be 25, 50 or 100, not '%s'", value);
  settings.fps = fps;
  return true;
}
static bool Bpp(const char* value) {
  int depth = 0;
  if (!ReadCount(value, depth) ||
      (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32))
    return FailUsage(kRenderer, "--bpp must be 8, 15, 16, 24 or 32, not '%s'", value);
  settings.depth = depth;
  return true;
}

// --size WxH: at least the show's own size, at most 8K.
static bool Size(const char* value) {
  int w = 0, h = 0;
  char extra = 0;
  if (sscanf(value, "%5dx%5d%c", &w, &h, &extra) != 2 || !isdigit(value[0]) || w < kScreenWidth ||
      h < kScreenHeight || w > kMaxFitWidth || h > kMaxFitHeight)
    return FailUsage(kRenderer, "--size takes WxH from %dx%d to %dx%d, not '%s'", kScreenWidth,
                     kScreenHeight, kMaxFitWidth, kMaxFitHeight, value);
  settings.width = w;
  settings.height = h;
  return true;
}

static bool Pixels(const char*) {
  settings.pixels = true;
  return true;
}

struct Option {
  const char* name;
  const char* alias;  // another spelling, or null: the show spells it -bpp
  bool takesValue;
  const char** keep;                // where its value is kept for later, or null
  bool (*read)(const char* value);  // what it does at once, or null
};
static const Option kOptions[] = {
    {"--frame", nullptr, true, nullptr, OneFrame},
    {"--at", nullptr, true, nullptr, At},
    {"-o", nullptr, true, &given.pngName, nullptr},
    {"--out", nullptr, true, &given.outDir, Sequence},
    {"--from", nullptr, true, nullptr, From},
    {"--to", nullptr, true, nullptr, To},
    {"--every", nullptr, true, nullptr, Every},
    {"--video", nullptr, true, &given.video, Video},
    {"--fps", nullptr, true, nullptr, Fps},
    {"--bpp", "-bpp", true, nullptr, Bpp},
    {"--captions", nullptr, true, &given.captions, nullptr},
    {"-C", nullptr, true, &given.folder, nullptr},
    {"--size", nullptr, true, nullptr, Size},
    {"--pixels", nullptr, false, nullptr, Pixels},
    {"--subtitles", nullptr, true, &given.subtitles, nullptr},
    {"--check", nullptr, false, nullptr, Check},
    {"--timeline", nullptr, false, nullptr, Timeline},
    {"-h", "--help", false, nullptr, Help},
    {"--version", nullptr, false, nullptr, Version},
    {"-v", "--verbose", false, nullptr, Verbose},
};

static const Option* Find(const char* spelled) {
  for (const Option& o : kOptions)
    if (strcmp(spelled, o.name) == 0 || (o.alias && strcmp(spelled, o.alias) == 0)) return &o;
  return nullptr;
}

// Reads argument i, and its value from the next one when it needs one: --name=value as
// well as --name value.
static bool ReadArgument(int argc, char** argv, int& i) {
  char spelled[64];
  const char* value = nullptr;
  const char* equals = strncmp(argv[i], "--", 2) == 0 ? strchr(argv[i], '=') : nullptr;
  if (equals && static_cast<size_t>(equals - argv[i]) < sizeof spelled) {
    memcpy(spelled, argv[i], equals - argv[i]);
    spelled[equals - argv[i]] = '\0';
    value = equals + 1;
  } else {
    snprintf(spelled, sizeof spelled, "%s", argv[i]);
  }
  const Option* option = Find(spelled);
  if (!option) {
    if (argv[i][0] == '-') return FailUsage(kRenderer, "unknown option %s", argv[i]);
    return FailUsage(kRenderer, "unexpected argument '%s'", argv[i]);
  }
  if (!option->takesValue && value) return FailUsage(kRenderer, "%s takes no value", option->name);
  if (option->takesValue && !value) {
    if (i + 1 >= argc) return FailUsage(kRenderer, "%s needs a value", option->name);
    value = argv[++i];
  }
  if (WasGiven(option->name)) return FailUsage(kRenderer, "%s given twice", option->name);
  if (given.seenCount < kMaxSeen) given.seen[given.seenCount++] = option->name;
  if (option->keep) *option->keep = value;
  return !option->read || option->read(value);
}

// The options together: a job, what it needs, nothing another job reads.
static bool Validate() {
  switch (settings.job) {
    case kNoJob:
      Fail(kRenderer, "nothing to do: give --frame, --at, --out, --video or --check");
      PrintUsage(stderr);
      return false;
    case kOneFrame:
      if (!given.pngName)
        return FailUsage(kRenderer, "%s needs -o FILE.png", WasGiven("--at") ? "--at" : "--frame");
      break;
    case kVideo:
      if (!IsVideoName(given.video))
        return FailUsage(kRenderer, "--video FILE must end in .mp4 or .mkv: '%s'", given.video);
      break;
    default:
      break;
  }
  const struct {
    const char* option;
    bool allowed;
  } kOwners[] = {
      {"-o", settings.job == kOneFrame},
      {"--from", settings.job == kSequence || settings.job == kVideo},
      {"--to", settings.job == kSequence || settings.job == kVideo},
      {"--every", settings.job == kSequence},
      {"--fps", settings.job == kVideo},
      {"--size", settings.job != kCheck},
      {"--pixels", WasGiven("--size")},
      {"--subtitles", settings.job == kVideo},
  };
  for (const auto& owner : kOwners)
    if (!owner.allowed && WasGiven(owner.option))
      return FailUsage(
          kRenderer, "%s does not go with this job%s", owner.option,
          strcmp(owner.option, "-o") == 0 ? " (-o names the PNG of --frame or --at)" : "");
  const size_t srt = given.subtitles ? strlen(given.subtitles) : 0;
  if (given.subtitles && (srt < 5 || strcmp(given.subtitles + srt - 4, ".srt") != 0))
    return FailUsage(kRenderer, "--subtitles FILE must end in .srt: '%s'", given.subtitles);
  // x264's 4:2:0 pictures are of even sizes.
  if (settings.job == kVideo && (settings.width % 2 || settings.height % 2))
    return FailUsage(kRenderer, "--size of a video takes even numbers, not %dx%d", settings.width,
                     settings.height);
  if (settings.from != kUnset && settings.to != kUnset && settings.from > settings.to)
    return FailUsage(kRenderer, "--from is after --to");
  return true;
}

Settings DefaultSettings() {
  Settings s{};
  s.job = kNoJob;
  s.frame = s.from = s.to = s.every = kUnset;
  s.fps = kDefaultFps;
  s.depth = kDefaultDepth;
  s.width = kScreenWidth;
  s.height = kScreenHeight;
  return s;
}

bool ParseOptions(int argc, char** argv) {
  settings = DefaultSettings();
  given = Named{};

  for (int i = 1; i < argc; ++i) {
    if (!ReadArgument(argc, argv, i)) return false;
    if (settings.job == kHelp || settings.job == kVersion) return true;
  }
  if (!Validate()) return false;
  // Drawn at the screen's resolution, the show is drawn as a screen of today shows it.
  if (WasGiven("--size") && !settings.pixels && !WasGiven("--bpp")) settings.depth = kNativeDepth;

  const char* output = given.pngName ? given.pngName : given.outDir ? given.outDir : given.video;
  if (output && !MakeAbsolute(output, settings.output))
    return FailUsage(kRenderer, "path too long: %s", output);
  settings.builtInCaptions = given.captions && strcmp(given.captions, "none") == 0;
  if (given.captions && !settings.builtInCaptions &&
      !MakeAbsolute(given.captions, settings.captions))
    return FailUsage(kRenderer, "path too long: %s", given.captions);
  if (given.subtitles && !MakeAbsolute(given.subtitles, settings.subtitles))
    return FailUsage(kRenderer, "path too long: %s", given.subtitles);
  if (given.folder) snprintf(settings.folder, sizeof settings.folder, "%s", given.folder);
  return true;
}
