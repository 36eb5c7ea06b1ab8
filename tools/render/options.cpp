#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render.h"

Settings settings;

static constexpr char kProgram[] = "tolvane-render";

void PrintUsage(FILE* stream) {
  fprintf(stream,
          "Usage: %s [-C DIR] [--captions FILE] [--bpp N] [-v] JOB\n"
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
          "                            needs ffmpeg\n"
          "  --check                   lists what the show will do with the folder and what a\n"
          "                            presenter would want to know; exit status 1 if the show\n"
          "                            would differ from what the folder seems to intend\n"
          "  -h, --help                this text\n"
          "\n"
          "A, B are frame numbers, or seconds when followed by s (12.5s).\n"
          "Options:\n"
          "  -C DIR          the show folder (default: the working directory)\n"
          "  --captions FILE take the captions from a caption file instead of the built-in ones\n"
          "  --bpp N         colour depth of the display, as the show's -bpp: 8, 15, 16, 24 or 32\n"
          "                  (default %d)\n"
          "  -v, --verbose   print the loader's lines, as the show does\n"
          "\n"
          "Exit status: 0 done, 1 --check found something, 2 bad usage or caption file,\n"
          "3 the show cannot be opened, 4 an output could not be written.\n",
          kProgram, kDefaultEvery, kDefaultFps, kDefaultBpp);
}

// Prints the message, and the way to the usage on a second line.
__attribute__((format(printf, 1, 2))) static bool Fail(const char* format, ...) {
  fprintf(stderr, "%s: ", kProgram);
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  fprintf(stderr, "\nTry '%s --help'.\n", kProgram);
  return false;
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
    return Fail("%s: only one of --frame, --at, --out, --video and --check at a time", option);
  settings.job = job;
  return true;
}

static bool Given(const char* name, const char* const* seen, int count) {
  for (int i = 0; i < count; ++i)
    if (strcmp(seen[i], name) == 0) return true;
  return false;
}

bool ParseOptions(int argc, char** argv) {
  settings = Settings{};
  settings.job = kNoJob;
  settings.frame = settings.from = settings.to = settings.every = kUnset;
  settings.fps = kDefaultFps;
  settings.depth = kDefaultBpp;

  // Options seen, to tell which belong to which job once all are read.
  constexpr int kMaxSeen = 32;
  const char* seen[kMaxSeen];
  int seenCount = 0;
  const char* pngName = nullptr;
  const char* outDir = nullptr;
  const char* video = nullptr;
  const char* captions = nullptr;
  const char* folder = nullptr;

  for (int i = 1; i < argc; ++i) {
    char option[64];
    const char* value = nullptr;
    // --name=value as well as --name value.
    const char* equals = strncmp(argv[i], "--", 2) == 0 ? strchr(argv[i], '=') : nullptr;
    if (equals && static_cast<size_t>(equals - argv[i]) < sizeof option) {
      memcpy(option, argv[i], equals - argv[i]);
      option[equals - argv[i]] = '\0';
      value = equals + 1;
    } else {
      snprintf(option, sizeof option, "%s", argv[i]);
    }
    // The show spells it -bpp; both work here.
    if (strcmp(option, "-bpp") == 0) snprintf(option, sizeof option, "--bpp");
    if (strcmp(option, "--verbose") == 0) snprintf(option, sizeof option, "-v");
    if (strcmp(option, "--help") == 0) snprintf(option, sizeof option, "-h");

    static const char* const kWithValue[] = {"--frame", "--at",  "-o",         "--out",
                                             "--from",  "--to",  "--every",    "--video",
                                             "--fps",   "--bpp", "--captions", "-C"};
    static const char* const kWithout[] = {"--check", "-h", "-v"};
    const char* name = nullptr;  // the option's entry in the tables: a stable string
    bool takesValue = false;
    for (const char* n : kWithValue)
      if (strcmp(option, n) == 0) name = n, takesValue = true;
    for (const char* n : kWithout)
      if (strcmp(option, n) == 0) name = n;
    if (!name) {
      if (argv[i][0] == '-') return Fail("unknown option %s", argv[i]);
      return Fail("unexpected argument '%s'", argv[i]);
    }
    if (!takesValue && value) return Fail("%s takes no value", name);
    if (takesValue && !value) {
      if (i + 1 >= argc) return Fail("%s needs a value", name);
      value = argv[++i];
    }
    if (Given(name, seen, seenCount)) return Fail("%s given twice", name);
    if (seenCount < kMaxSeen) seen[seenCount++] = name;

    if (strcmp(option, "-h") == 0) {
      settings.job = kHelp;
      return true;
    } else if (strcmp(option, "--check") == 0) {
      if (!SetJob(kCheck, option)) return false;
    } else if (strcmp(option, "-v") == 0) {
      settings.verbose = true;
    } else if (strcmp(option, "--frame") == 0) {
      if (!SetJob(kOneFrame, option)) return false;
      if (!ReadCount(value, settings.frame))
        return Fail("--frame takes a frame number (0 or more), not '%s'", value);
    } else if (strcmp(option, "--at") == 0) {
      if (!SetJob(kOneFrame, option)) return false;
      if (!ReadSeconds(value, strlen(value), settings.frame))
        return Fail("--at takes seconds (0 or more), not '%s'", value);
    } else if (strcmp(option, "-o") == 0) {
      pngName = value;
    } else if (strcmp(option, "--out") == 0) {
      if (!SetJob(kSequence, option)) return false;
      outDir = value;
    } else if (strcmp(option, "--video") == 0) {
      if (!SetJob(kVideo, option)) return false;
      video = value;
    } else if (strcmp(option, "--from") == 0 || strcmp(option, "--to") == 0) {
      int& target = option[2] == 'f' ? settings.from : settings.to;
      if (!ReadFrame(value, target))
        return Fail("%s takes a frame number or seconds such as 12.5s, not '%s'", option, value);
    } else if (strcmp(option, "--every") == 0) {
      if (!ReadCount(value, settings.every) || settings.every == 0)
        return Fail("--every takes a number of frames (1 or more), not '%s'", value);
    } else if (strcmp(option, "--fps") == 0) {
      int fps = 0;
      if (!ReadCount(value, fps) || (fps != 25 && fps != 50 && fps != 100))
        return Fail("--fps must be 25, 50 or 100, not '%s'", value);
      settings.fps = fps;
    } else if (strcmp(option, "--bpp") == 0) {
      int depth = 0;
      if (!ReadCount(value, depth) ||
          (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32))
        return Fail("--bpp must be 8, 15, 16, 24 or 32, not '%s'", value);
      settings.depth = depth;
    } else if (strcmp(option, "--captions") == 0) {
      captions = value;
    } else if (strcmp(option, "-C") == 0) {
      folder = value;
    }
  }

  switch (settings.job) {
    case kNoJob:
      fprintf(stderr, "%s: nothing to do: give --frame, --at, --out, --video or --check\n",
              kProgram);
      PrintUsage(stderr);
      return false;
    case kOneFrame:
      if (!pngName)
        return Fail("%s needs -o FILE.png", Given("--at", seen, seenCount) ? "--at" : "--frame");
      break;
    case kVideo:
      if (!IsVideoName(video)) return Fail("--video FILE must end in .mp4 or .mkv: '%s'", video);
      break;
    default:
      break;
  }
  // Options that only one job reads.
  const struct {
    const char* option;
    bool allowed;
  } kOwners[] = {
      {"-o", settings.job == kOneFrame},
      {"--from", settings.job == kSequence || settings.job == kVideo},
      {"--to", settings.job == kSequence || settings.job == kVideo},
      {"--every", settings.job == kSequence},
      {"--fps", settings.job == kVideo},
  };
  for (const auto& owner : kOwners)
    if (!owner.allowed && Given(owner.option, seen, seenCount))
      return Fail("%s does not go with this job%s", owner.option,
                  strcmp(owner.option, "-o") == 0 ? " (-o names the PNG of --frame or --at)" : "");
  if (settings.from != kUnset && settings.to != kUnset && settings.from > settings.to)
    return Fail("--from is after --to");

  const char* output = pngName ? pngName : outDir ? outDir : video;
  if (output && !MakeAbsolute(output, settings.output)) return Fail("path too long: %s", output);
  if (captions && !MakeAbsolute(captions, settings.captions))
    return Fail("path too long: %s", captions);
  if (folder) snprintf(settings.folder, sizeof settings.folder, "%s", folder);
  return true;
}
