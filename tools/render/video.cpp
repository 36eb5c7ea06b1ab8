// The show as a video: frames converted to 4:2:0 and piped to ffmpeg with the music rendered
// beside them, written under a name of its own until the video is whole.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "anim/surfaces.h"
#include "assets/assets.h"
#include "driver/show.h"
#include "common.h"
#include "render.h"

// Sound in the video: AAC has no kAudioRate, so ffmpeg resamples; the length stays.
static constexpr char kVideoSoundRate[] = "48000";
static constexpr int kPipeBytes = 1 << 20;

bool IsVideoName(const char* name) {
  const size_t n = strlen(name);
  return n > 4 && (strcmp(name + n - 4, ".mp4") == 0 || strcmp(name + n - 4, ".mkv") == 0);
}

bool IsMp4Name(const char* name) {
  const size_t n = strlen(name);
  return n > 4 && strcmp(name + n - 4, ".mp4") == 0;
}

bool FindFfmpeg(char* path, size_t size) {
  const char* search = getenv("PATH");
  if (!search) search = "/usr/bin:/bin";
  while (*search) {
    const char* colon = strchr(search, ':');
    const size_t length = colon ? static_cast<size_t>(colon - search) : strlen(search);
    snprintf(path, size, "%.*s/ffmpeg", static_cast<int>(length), search);
    if (length > 0 && access(path, X_OK) == 0) return true;
    search += length + (colon ? 1 : 0);
  }
  return false;
}

// ITU-R BT.601 in studio range, what players assume for a video of this size.
static Uint8 Luma(int r, int g, int b) {
  return ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16;
}
static Uint8 BlueDifference(int r, int g, int b) {
  return ((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128;
}
static Uint8 RedDifference(int r, int g, int b) {
  return ((112 * r - 94 * g - 18 * b + 128) >> 8) + 128;
}

// The frame as a planar 4:2:0 picture: ffmpeg's own conversion from 16-bit pixels costs
// more than encoding them. False when its pixels cannot be read.
static bool ConvertScreen(SDL_Surface* frame, Uint8* yuv) {
  const int width = frame->w;
  const size_t lumaBytes = static_cast<size_t>(width) * frame->h;
  Uint8* cb = yuv + lumaBytes;
  Uint8* cr = cb + lumaBytes / 4;
  if (!LockPicture(frame)) return false;
  PrepareRgb(frame->format);
  // The two rows a 2x2 block takes its colour from.
  static Uint32 rows[2][kMaxFitWidth];
  for (int y = 0; y < frame->h; y += 2) {
    RgbRow(frame, y, width, rows[0]);
    RgbRow(frame, y + 1, width, rows[1]);
    for (int x = 0; x < width; x += 2) {
      const Uint32 c[4] = {rows[0][x], rows[0][x + 1], rows[1][x], rows[1][x + 1]};
      int r = 0, g = 0, b = 0;
      for (int i = 0; i < 4; ++i) {
        const int ri = c[i] >> 16, gi = c[i] >> 8 & 0xFF, bi = c[i] & 0xFF;
        yuv[(y + i / 2) * width + x + i % 2] = Luma(ri, gi, bi);
        r += ri;
        g += gi;
        b += bi;
      }
      // The colour of each 2x2 block is their average.
      r = (r + 2) / 4;
      g = (g + 2) / 4;
      b = (b + 2) / 4;
      cb[y / 2 * width / 2 + x / 2] = BlueDifference(r, g, b);
      cr[y / 2 * width / 2 + x / 2] = RedDifference(r, g, b);
    }
  }
  SDL_UnlockSurface(frame);
  return true;
}

// Writes all of `bytes`, however the pipe splits it.
static bool WriteAll(int fd, const Uint8* data, size_t bytes) {
  while (bytes > 0) {
    const ssize_t n = write(fd, data, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    bytes -= n;
  }
  return true;
}

// The last frame sent, and the video's length in seconds, as ffmpeg's -t reads it.
static std::vector<Uint8> yuv;
static char videoLength[32];

static bool Decimated() {
  return settings.width != kScreenWidth || settings.height != kScreenHeight;
}

// A frame unlike the last, after it: ffmpeg drops repeated frames, and would drop the end.
static bool WriteEndMark(int fd) {
  if (!Decimated() || yuv.empty()) return true;
  std::vector<Uint8> mark(yuv);
  mark[0] ^= 0xFF;
  return WriteAll(fd, mark.data(), mark.size());
}

// Writes the canvas (with --pixels scaled to --size) as one video frame. Most of a show stands
// still: an unchanged canvas is not scaled nor converted again.
static bool WriteScreen(int fd) {
  // 4:2:0, as the video keeps it.
  const size_t frameBytes = static_cast<size_t>(settings.width) * settings.height * 3 / 2;
  yuv.resize(frameBytes);
  SDL_Surface* drawn = canvas.surface;
  static std::vector<Uint8> last;
  static bool converted = false;
  const size_t rowBytes = static_cast<size_t>(drawn->w) * drawn->format->BytesPerPixel;
  last.resize(rowBytes * drawn->h);
  if (!LockPicture(drawn)) return false;
  bool same = converted;
  for (int y = 0; y < drawn->h; ++y) {
    const Uint8* row = static_cast<const Uint8*>(drawn->pixels) + y * drawn->pitch;
    if (same && memcmp(&last[y * rowBytes], row, rowBytes) == 0) continue;
    same = false;
    memcpy(&last[y * rowBytes], row, rowBytes);
  }
  SDL_UnlockSurface(drawn);
  if (!same) {
    SDL_Surface* frame = OutputFrame();
    if (!frame || !ConvertScreen(frame, yuv.data())) return false;
  }
  converted = true;
  return WriteAll(fd, yuv.data(), frameBytes);
}

// The command line of ffmpeg reading raw frames on its standard input and the sound from
// `sound`, into `argv` (room for 80); `rate`, `size` and `soundRate` hold its numbers.
static void FfmpegArguments(const char* ffmpeg, const char* sound, const char* into,
                            const char* argv[80], char rate[16], char size[32],
                            char soundRate[16]) {
  snprintf(rate, 16, "%d", settings.fps);
  snprintf(size, 32, "%dx%d", settings.width, settings.height);
  snprintf(soundRate, 16, "%d", kAudioRate);
  const bool mp4 = IsMp4Name(settings.output);
  int count = 0;
  for (const char* a : {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostats", "-y"})
    argv[count++] = a;
  // The pictures, converted from the display's pixels.
  for (const char* a :
       {"-f", "rawvideo", "-pix_fmt", "yuv420p", "-video_size", static_cast<const char*>(size),
        "-framerate", static_cast<const char*>(rate), "-i", "pipe:0"})
    argv[count++] = a;
  // The music, as the mixer plays it.
  for (const char* a :
       {"-f", "s16le", "-ar", static_cast<const char*>(soundRate), "-ac", "2", "-i", sound})
    argv[count++] = a;
  TrackInputs(argv, count);
  for (const char* a :
       {"-map", "0:v:0", "-map", "1:a:0", "-c:v", "libx264", "-preset", "superfast", "-tune",
        "stillimage", "-crf", "18", "-pix_fmt", "yuv420p", "-ar", kVideoSoundRate})
    argv[count++] = a;
  // MP4 carries AAC, whose encoder delay its edit list takes back; in Matroska that delay
  // would put the sound a frame late, so it gets lossless FLAC, which has none.
  if (mp4) {
    for (const char* a : {"-c:a", "aac", "-aac_coder", "fast", "-b:a", "192k"}) argv[count++] = a;
    // A file that players can start before it is all there.
    for (const char* a : {"-movflags", "+faststart"}) argv[count++] = a;
  } else {
    for (const char* a : {"-c:a", "flac"}) argv[count++] = a;
  }
  TrackOutputs(argv, count, mp4);
  // At a size of its own most frames repeat the one before: x264 gets each picture once,
  // held until the next differs. The end mark after the last frame holds that up to the end,
  // where the video is cut.
  // A picture at least every second all the same, for players that seek to one.
  static char decimate[64];
  snprintf(decimate, sizeof decimate, "mpdecimate=hi=0:lo=0:frac=0:max=%d", settings.fps - 1);
  if (Decimated())
    for (const char* a : {"-vf", static_cast<const char*>(decimate), "-fps_mode", "vfr", "-t",
                          static_cast<const char*>(videoLength)})
      argv[count++] = a;
  // Written under a name of its own until it is whole: its kind cannot be told from that.
  for (const char* a : {"-f", mp4 ? "mp4" : "matroska", into}) argv[count++] = a;
  argv[count] = nullptr;
}

// Starts ffmpeg reading raw frames on a pipe; returns the pipe's writing end or -1.
static int StartFfmpeg(const char* ffmpeg, const char* sound, const char* into, pid_t& child) {
  int ends[2];
  if (pipe(ends) != 0) return -1;
  // Room for a whole frame or two in the pipe, where Linux allows it.
  fcntl(ends[1], F_SETPIPE_SZ, kPipeBytes);
  const char* argv[80];
  char rate[16], size[32], soundRate[16];
  FfmpegArguments(ffmpeg, sound, into, argv, rate, size, soundRate);
  child = fork();
  if (child < 0) {
    close(ends[0]);
    close(ends[1]);
    return -1;
  }
  if (child == 0) {
    dup2(ends[0], STDIN_FILENO);
    close(ends[0]);
    close(ends[1]);
    execv(ffmpeg, const_cast<char* const*>(argv));
    Fail(kRenderer, "cannot run %s: %s", ffmpeg, strerror(errno));
    _exit(127);
  }
  close(ends[0]);
  StopWithRenderer(child);
  return ends[1];
}

// Removes a file of the renderer's own.
static void Discard(const char* path) {
  KeepIfStopped(path);
  unlink(path);
}

// A new file beside the video, named in `partial`, that ffmpeg writes the video into; it
// takes the video's name once the video is whole. False, with a message, when it cannot.
static bool MakePartialVideo(char (&partial)[kPathSize + 8]) {
  snprintf(partial, sizeof partial, "%s.XXXXXX", settings.output);
  const int fd = MakeRemovedIfStopped(partial);
  if (fd < 0)
    return Fail(kRenderer, "cannot write beside %s: %s", settings.output, strerror(errno));
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);  // as a file ffmpeg made itself
  close(fd);
  return true;
}

// Writes the sound of frames `from` on, `frames` video frames long, to a new temporary file
// named in `sound`. Returns an exit status; says why when it is not kExitDone.
static int WriteSound(int from, long frames, char (&sound)[kPathSize]) {
  // Samples per frame need not be whole (881 at 50 frames a second, 440.5 at 100).
  const long firstSample = static_cast<long>(from) * kAudioRate / kFramesPerSecond;
  const long samples = frames * kAudioRate / settings.fps;
  const long fadeOut = static_cast<long>(ENDTIME) * kAudioRate / kFramesPerSecond;
  const char* tmp = getenv("TMPDIR");
  snprintf(sound, sizeof sound, "%s/tolvane-render-sound-XXXXXX", tmp && *tmp ? tmp : "/tmp");
  const int soundFd = MakeRemovedIfStopped(sound);
  FILE* soundFile = soundFd >= 0 ? fdopen(soundFd, "wb") : nullptr;
  if (!soundFile) {
    Fail(kRenderer, "cannot make a temporary file for the sound: %s", strerror(errno));
    return kExitOutput;
  }
  bool musicLoaded = false;
  char why[256] = "";
  const bool soundWritten = WriteSoundTrack(kMusicFile, firstSample, samples, fadeOut, soundFile,
                                            musicLoaded, why, sizeof why);
  if (fclose(soundFile) != 0 || !soundWritten) {
    Fail(kRenderer, "cannot write the sound to %s: %s", sound, why);
    Discard(sound);
    return kExitOutput;
  }
  if (!musicLoaded)
    Fail(kRenderer,
         "couldn't load %s (%s); the video's sound is silent, as the show "
         "would be",
         kMusicFile, why);
  return kExitDone;
}

// Draws video frame i as step from + i * step and pipes it to ffmpeg; false when ffmpeg
// stops reading.
static bool FeedFrames(int pipe, int from, int step, long frames) {
  ProgressStart("video", frames);
  bool fed = true;
  for (long i = 0; i < frames && fed; ++i) {
    DrawFrame(from + static_cast<int>(i) * step);
    fed = WriteScreen(pipe);
    ProgressStep(i + 1);
  }
  ProgressEnd();
  return fed && WriteEndMark(pipe);
}

int ExportVideo() {
  char ffmpeg[kPathSize];
  if (!FindFfmpeg(ffmpeg, sizeof ffmpeg)) {
    Fail(kRenderer,
         "--video needs ffmpeg, which is not installed here.\n"
         "On Debian: sudo apt-get install ffmpeg (in the project: scripts/setup ffmpeg)");
    return kExitOutput;
  }
  const int from = settings.from == kUnset ? 0 : settings.from;
  const int to = settings.to == kUnset ? LastFrame() : settings.to;
  if (!WithinShow(from, "--from") || !WithinShow(to, "--to") || IsRunInput(settings.output) ||
      (settings.subtitles[0] && IsRunInput(settings.subtitles)))
    return kExitUsage;
  // Video frame i shows step from + i * step: each lasts exactly that many 10 ms steps.
  const int step = kFramesPerSecond / settings.fps;
  const long frames = (to - from) / step + 1;
  snprintf(videoLength, sizeof videoLength, "%ld.%02ld", frames * step / kFramesPerSecond,
           frames * step % kFramesPerSecond);
  char sound[kPathSize], partial[kPathSize + 8];
  if (!MakePartialVideo(partial)) return kExitOutput;
  if (const int status = WriteSound(from, frames, sound)) {
    Discard(partial);
    return status;
  }
  if (const int status = PrepareTracks(from, to)) {
    Discard(sound);
    Discard(partial);
    return status;
  }

  // A reader that has gone away must not kill the writer: its exit status says why.
  signal(SIGPIPE, SIG_IGN);
  pid_t child = -1;
  const int pipe = StartFfmpeg(ffmpeg, sound, partial, child);
  if (pipe < 0) {
    Fail(kRenderer, "cannot start %s: %s", ffmpeg, strerror(errno));
    Discard(sound);
    Discard(partial);
    RemoveTracks();
    return kExitOutput;
  }
  const bool fed = FeedFrames(pipe, from, step, frames);
  close(pipe);
  int status = 0;
  waitpid(child, &status, 0);
  StopWithRenderer(0);
  Discard(sound);
  const bool made = WIFEXITED(status) && WEXITSTATUS(status) == 0 && fed;
  if (!made || rename(partial, settings.output) != 0) {
    Fail(kRenderer, "ffmpeg could not make %s (%s)", settings.output,
         made ? strerror(errno) : "its messages are above");
    Discard(partial);
    RemoveTracks();
    return kExitOutput;
  }
  KeepIfStopped(partial);
  const int placed = PlaceSubtitles();
  RemoveTracks();
  return placed;
}
