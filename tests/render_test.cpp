// tolvane-render: its pictures against the screens the real program presents under a
// controlled clock, its music against what SDL_mixer plays, its video's sound and picture
// timing, the pre-show check, caption files and its options.
#include <gtest/gtest.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "designs.h"
#include "render.h"
#include "showrun.h"
#include "sounds.h"
#include "testing.h"
#include "text/text.h"

namespace fs = std::filesystem;

namespace {

void Spit(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

ShowRun Render(const fs::path& dir, std::vector<std::string> args) {
  args.insert(args.begin(), TOLVANE_RENDER);
  return Run(dir, args, {}, RunOptions{}.timeoutSeconds);
}

// Pixels of `a` and `b` that differ once both are in the display's format, which keeps
// every value of a display of that depth exactly.
int Differences(SDL_Surface* a, SDL_Surface* b, std::string& where) {
  SDL_Surface* display = SDL_GetVideoSurface();
  SDL_Surface* x = SDL_ConvertSurface(a, display->format, 0);
  SDL_Surface* y = SDL_ConvertSurface(b, display->format, 0);
  int differ = 0;
  for (int py = 0; py < kScreenHeight; py++)
    for (int px = 0; px < kScreenWidth; px++)
      if (PixelAt(x, px, py) != PixelAt(y, px, py) && differ++ == 0)
        where = "first at (" + std::to_string(px) + ", " + std::to_string(py) + ")";
  SDL_FreeSurface(x);
  SDL_FreeSurface(y);
  return differ;
}

// A show folder of the demo's files with `photos` photos.
class RenderTest : public testing::Test {
 protected:
  ShowFolder show{std::string("render-") +
                  testing::UnitTest::GetInstance()->current_test_info()->name()};
  const fs::path& dir = show.Dir();

  void SetUp() override {
    OpenTestDisplay(16);
    show.DemoFiles();
  }
  void Photos(int count) { show.Photos(count); }

  // Plays the real show under the controlled clock, saving the screens of `frames`.
  ShowRun PlayShow(const std::vector<int>& frames, std::vector<std::string> args = {}) {
    std::string list;
    for (int f : frames) list += (list.empty() ? "" : ",") + std::to_string(f);
    return show.Play(std::move(args), {{"TOLVANE_CAPTURE", list}});
  }

  // Each captured screen against the renderer's picture of the same frame.
  void ExpectSameFrames(const std::vector<int>& frames, std::vector<std::string> extra = {}) {
    for (int f : frames) {
      SCOPED_TRACE("frame " + std::to_string(f));
      const std::string png = (dir / ("render-" + std::to_string(f) + ".png")).string();
      std::vector<std::string> args = {"--frame", std::to_string(f), "-o", png};
      args.insert(args.end(), extra.begin(), extra.end());
      const ShowRun run = Render(dir, args);
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.err, "") << "nothing to say when all is well, and no progress off a terminal";
      SDL_Surface* shot =
          SDL_LoadBMP((dir / "shots" / ("frame-" + std::to_string(f) + ".bmp")).c_str());
      SDL_Surface* picture = IMG_Load(png.c_str());
      ASSERT_NE(shot, nullptr);
      ASSERT_NE(picture, nullptr);
      std::string where;
      EXPECT_EQ(Differences(shot, picture, where), 0) << where;
      SDL_FreeSurface(shot);
      SDL_FreeSurface(picture);
    }
  }
};

// Phases of a two-photo show (ENDTIME 7800): loading screen; logo dropping, standing and
// falling away; slot start; description box; background alone after the hide; names line
// entering over the photo; photo and names line settled; the second slot's box, which the
// first slot's hide must not take away; end picture; fade start, fade and the last step.
// The clock draws one step per pass near each captured frame, so the pass for 7800 comes
// before the snapshot step, as in the renderer, and the fade is the black frame fading over
// black.
TEST_F(RenderTest, FramesAreTheShowsPixelsInEveryPhase) {
  Photos(2);
  const std::vector<int> frames = {0,    500,  1000, 1250, 1300, 1700, 2085, 2110,
                                   2300, 3299, 3700, 5400, 7800, 7900, 8201};
  const ShowRun show = PlayShow(frames);
  ASSERT_EQ(show.status, 0) << show.err;
  ExpectSameFrames(frames);

  // A sequence is the same pictures, named by frame.
  const ShowRun run =
      Render(dir, {"--out", "seq", "--from", "1000", "--to", "13s", "--every", "100"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir / "seq"))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frame-001000.png", "frame-001100.png",
                                             "frame-001200.png", "frame-001300.png"}));
  SDL_Surface* a = IMG_Load((dir / "seq" / "frame-001300.png").c_str());
  SDL_Surface* b = SDL_LoadBMP((dir / "shots" / "frame-1300.bmp").c_str());
  std::string where;
  EXPECT_EQ(Differences(a, b, where), 0) << where;
  SDL_FreeSurface(a);
  SDL_FreeSurface(b);
}

TEST_F(RenderTest, FramesAreTheShowsPixelsOnA32BitDisplayWithoutPhotos) {
  OpenTestDisplay(32);
  const std::vector<int> frames = {0, 1000, 2000, 3799, 3800, 4000};
  const ShowRun show = PlayShow(frames, {"-bpp", "32"});
  ASSERT_EQ(show.status, 0) << show.err;
  ExpectSameFrames(frames, {"--bpp", "32"});
  OpenTestDisplay(16);
}

constexpr long kMixerBuffer = kAudioBufferFrames;

// The first `buffers` mixer buffers of `music` as SDL_mixer plays it, looping, without the
// fade: to a file, through SDL's disk audio driver, in a child process.
std::string MixerPlays(const std::string& music, long buffers) {
  constexpr Uint32 kHangMs = 150000;  // within the test's time-out of 300 s
  const fs::path file = fs::temp_directory_path() / ("tolvane-disk-" + std::to_string(getpid()));
  const pid_t child = fork();
  if (child == 0) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    // As the show opens the mixer and starts the music, without the fade.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0 ||
        Mix_OpenAudio(kAudioRate, AUDIO_S16LSB, 2, kMixerBuffer) < 0)
      _exit(2);
    Mix_Music* played = Mix_LoadMUS(music.c_str());
    if (!played || Mix_PlayMusic(played, 100) < 0) _exit(3);
    // Silent buffers went out while the music loaded: wait for enough after them. The
    // driver's thread mixes them at whatever speed the machine allows (130 buffers are 97 s
    // of sound); the limit only keeps a stuck mixer from hanging the test.
    struct stat s = {};
    stat(file.c_str(), &s);
    const off_t enough = s.st_size + (buffers + 2) * kMixerBuffer * 4;
    for (const Uint32 start = SDL_GetTicks(); SDL_GetTicks() - start < kHangMs;) {
      if (stat(file.c_str(), &s) == 0 && s.st_size > enough) break;
      SDL_Delay(5);
    }
    Mix_CloseAudio();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::string mixed = Slurp(file);
  fs::remove(file);
  // The mixer may run a silent buffer or two before the music starts; the music's first
  // buffer is not silent.
  while (mixed.size() >= kMixerBuffer * 4 &&
         mixed.find_first_not_of('\0', 0) >= static_cast<size_t>(kMixerBuffer * 4))
    mixed.erase(0, kMixerBuffer * 4);
  return mixed;
}

// The renderer's offline copy of the mixer against the mixer, buffer by buffer.
void ExpectRenderedAsMixed(const std::string& music, long buffers) {
  const std::string mixed = MixerPlays(music, buffers);
  ASSERT_GE(mixed.size(), static_cast<size_t>(buffers * kMixerBuffer * 4));
  char why[256];
  ASSERT_TRUE(OpenMusic(music.c_str(), true, why, sizeof why)) << why;
  std::vector<Sint16> rendered(buffers * kMixerBuffer * 2);
  // In uneven pieces: the mixer's buffers, not the caller's, decide when the music restarts.
  for (long done = 0; done < buffers * kMixerBuffer;) {
    const long n = std::min(12345L, buffers * kMixerBuffer - done);
    PlayMusic(rendered.data() + 2 * done, n);
    done += n;
  }
  CloseMusic();
  for (long b = 0; b < buffers; b++)
    ASSERT_EQ(memcmp(mixed.data() + b * kMixerBuffer * 4, rendered.data() + b * kMixerBuffer * 2,
                     kMixerBuffer * 4),
              0)
        << "mixer buffer " << b;
}

// Over 130 mixer buffers: past the demo module's end at 65 s, where the mixer starts it
// again at its next buffer.
TEST(RenderMusic, IsWhatTheMixerPlays) {
  ExpectRenderedAsMixed(DemoFile(kMusicFile), 130);
}

// Ogg Vorbis under the show's name: mono at twice the show's rate, converted by SDL piece by
// piece, and 1.3 s long, so that it starts again inside buffers, right where it ends.
TEST(RenderMusic, OggVorbisIsWhatTheMixerPlays) {
  const fs::path dir = fs::temp_directory_path() / ("tolvane-ogg-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path music = dir / "belong.mod";
  ASSERT_TRUE(WriteOgg(music, 88200, 1, 1300));
  ExpectRenderedAsMixed(music, 8);
  char title[64], why[256];
  const long length =
      ModuleLength(music.c_str(), 10L * kAudioRate, title, sizeof title, why, sizeof why);
  EXPECT_NEAR(length, 1.3 * 44100, 10) << why;
  EXPECT_STREQ(title, "Two tones");
  fs::remove_all(dir);
}

std::vector<Sint16> SoundTrack(long first, long samples, long fadeOut) {
  FILE* file = tmpfile();
  bool loaded = false;
  char why[256] = "";
  EXPECT_TRUE(WriteSoundTrack(DemoFile(kMusicFile).c_str(), first, samples, fadeOut, file, loaded,
                              why, sizeof why));
  EXPECT_TRUE(loaded) << why;
  std::vector<Sint16> track(2 * samples + 1, 12345);  // one sentinel past the end
  rewind(file);
  EXPECT_EQ(fread(track.data(), 4, samples, file), static_cast<size_t>(samples));
  EXPECT_EQ(fgetc(file), EOF) << "exactly the samples asked for";
  fclose(file);
  return track;
}

// Fades of 1000 ms: in from sample 0, out from the fade start, then silence; a track that
// starts later is the same track from there.
TEST(RenderMusic, SoundTrackFadesInAtFrameZeroAndOutAtTheFadeStart) {
  constexpr long kSecond = kAudioRate;
  const long fadeOut = 2 * kSecond + kSecond / 4, samples = 4 * kSecond;
  char why[256];
  ASSERT_TRUE(OpenMusic(DemoFile(kMusicFile).c_str(), true, why, sizeof why)) << why;
  std::vector<Sint16> raw(2 * samples);
  PlayMusic(raw.data(), samples);
  CloseMusic();

  const std::vector<Sint16> track = SoundTrack(0, samples, fadeOut);
  auto gain = [&](long i) {
    double g = std::min(1.0, static_cast<double>(i) / kSecond);
    if (i >= fadeOut) g *= std::max(0.0, 1.0 - static_cast<double>(i - fadeOut) / kSecond);
    return g;
  };
  long loud = 0;
  for (long i = 0; i < samples; i++)
    for (int c = 0; c < 2; c++) {
      const double expected = raw[2 * i + c] * gain(i);
      ASSERT_LE(std::fabs(track[2 * i + c] - expected), 0.5 + 1e-9) << "sample " << i;
      if (i >= fadeOut + kSecond) {
        ASSERT_EQ(track[2 * i + c], 0) << "silent after the fade-out";
      }
      if (i > kSecond && i < fadeOut && std::abs(track[2 * i + c]) > 1000) loud++;
    }
  EXPECT_GT(loud, kSecond / 10) << "the music plays between the fades";

  const long first = kSecond + 123;
  const std::vector<Sint16> later = SoundTrack(first, samples - first, fadeOut);
  EXPECT_EQ(memcmp(later.data(), track.data() + 2 * first, 4 * (samples - first)), 0);
}

bool HaveFfmpeg() {
  char path[kPathSize];
  return FindFfmpeg(path, sizeof path);
}

// Frames of the video's picture, counted by ffprobe.
int VideoFrames(const fs::path& dir, const std::string& video) {
  const std::string command =
      "ffprobe -v error -count_frames -select_streams v:0 "
      "-show_entries stream=nb_read_frames -of csv=p=0 '" +
      video + "' > '" + (dir / "probe.txt").string() + "'";
  if (system(command.c_str()) != 0) return -1;
  return atoi(Slurp(dir / "probe.txt").c_str());
}

// Music that SDL's converter or the decoder cannot take, and music that is only odd: each
// is judged by the music check, measured by --check and rendered into a short video, and
// none takes a program down.
struct MusicCase {
  const char* name;
  std::function<bool(const std::string&)> make;
  const char* refused;  // the music check's reason, or null when it takes the music
  const char* checked;  // what --check says of it
};

bool CopyData(const std::string& name, const std::string& to) {
  std::error_code error;
  return fs::copy_file(fs::path(TOLVANE_TESTS_DIR) / "data" / name, to, error);
}

bool Chained(const std::string& path, int links) {
  if (!WriteOgg(path + ".link", 44100, 2, 50)) return false;
  const std::string link = Slurp(path + ".link");
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < links; ++i) out << link;
  return out.good();
}

bool Cut(const std::string& path, double share) {
  if (!WriteOgg(path, 44100, 2, 5000)) return false;
  fs::resize_file(path, static_cast<uintmax_t>(fs::file_size(path) * share));
  return true;
}

TEST_F(RenderTest, NoMusicTakesAProgramDown) {
  const char* const kBeyond = "sampled at 43 Hz, beyond what SDL 1.2 can convert to 44050 Hz";
  const MusicCase cases[] = {
      {"43 Hz stereo", [](auto p) { return CopyData("music-43hz-crash.ogg", p); }, kBeyond,
       kBeyond},
      {"damaged set-up", [](auto p) { return CopyData("music-bad-setup-crash.ogg", p); },
       "decoder crashes on it", "decoder crashes on it"},
      {"32 channels, 87 min", [](auto p) { return CopyData("music-32ch-87min-slow.mod", p); },
       nullptr, "lasts 87:20.32"},
      {"400 links", [](auto p) { return Chained(p, 400); }, nullptr, "lasts 0:25.24"},
      {"86 Hz mono", [](auto p) { return WriteOgg(p, 8000, 1, 500, 86); }, "at 86 Hz, beyond",
       "at 86 Hz, beyond"},
      {"44 Hz stereo", [](auto p) { return WriteOgg(p, 8000, 2, 500, 44); },
       "sampled at 44 Hz, which the show's mixer plays at 196% of its speed", "lasts"},
      {"46 MHz", [](auto p) { return WriteOgg(p, 8000, 2, 500, 46000000); },
       "at 46000000 Hz, beyond", "at 46000000 Hz, beyond"},
      {"3 channels", [](auto p) { return WriteOgg(p, 44100, 3, 500); },
       "3 channels, which SDL 1.2 cannot mix down", "3 channels, which SDL 1.2 cannot mix down"},
      {"8 channels", [](auto p) { return WriteOgg(p, 44100, 8, 500); }, nullptr, "lasts 0:00.50"},
      {"truncated", [](auto p) { return Cut(p, 0.6); }, nullptr, "lasts 0:0"},
      {"headers only", [](auto p) { return WriteOgg(p, 44100, 2, 0); }, nullptr, "lasts 0:00.00"},
  };
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup ffmpeg)";
  const std::string music = (dir / kMusicFile).string();
  for (const MusicCase& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(music);
    ASSERT_TRUE(c.make(music));
    char why[256] = "";
    EXPECT_EQ(CheckMusic(music.c_str(), why, sizeof why), !c.refused) << why;
    if (c.refused) {
      EXPECT_NE(std::string(why).find(c.refused), std::string::npos) << why;
    }
    const ShowRun check = Render(dir, {"--check"});
    EXPECT_LT(check.status, 2) << check.err;
    EXPECT_NE(check.out.find(c.checked), std::string::npos) << check.out;
    const ShowRun video = Render(dir, {"--video", "v.mkv", "--to", "100", "--fps", "25"});
    EXPECT_EQ(video.status, 0) << video.err;
  }
}

// A signal ends a video export by that signal, with no sound track, no half-written video
// and no video left behind: sent once the export has begun, in whatever phase it is.
TEST_F(RenderTest, SignalsEndAVideoExportLeavingNothing) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup ffmpeg)";
  const fs::path tmp = dir / "tmp";
  fs::create_directory(tmp);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    // A name of its own each time: what one export leaves must not start the next one's clock.
    const std::string video = "v" + std::to_string(signal) + ".mp4";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (chdir(dir.c_str()) != 0) _exit(127);
      setenv("TMPDIR", tmp.c_str(), 1);
      freopen("/dev/null", "w", stderr);
      execl(TOLVANE_RENDER, TOLVANE_RENDER, "--video", video.c_str(), nullptr);
      _exit(127);
    }
    // The video's own file appears as the export begins; a minute is more than it takes.
    auto begun = [&] {
      for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind(video + ".", 0) == 0) return true;
      return false;
    };
    for (int i = 0; i < 6000 && !begun(); ++i) usleep(10000);
    kill(child, signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_FALSE(begun());
    EXPECT_FALSE(fs::exists(dir / video));
    EXPECT_TRUE(fs::is_empty(tmp));
  }
}

// Three seconds around the fade start of a show without photos (ENDTIME 3800), at 50
// frames a second: the end picture for 1 s, then black; the music full for 1 s, fading for
// 1 s, then silent. Sound and picture stay within a frame (20 ms) of each other, in both
// containers.
TEST_F(RenderTest, VideoKeepsSoundAndPictureInStep) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup ffmpeg)";
  constexpr int kFrames = 146;  // 3700, 3702, ... 3990
  constexpr double kFrame = 0.02, kLength = kFrames * kFrame;
  for (const char* name : {"part.mkv", "part.mp4"}) {
    SCOPED_TRACE(name);
    const std::string video = (dir / name).string();
    const ShowRun run = Render(dir, {"--video", video, "--from", "3700", "--to", "3990"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(VideoFrames(dir, video), kFrames);

    const std::string decode = "ffmpeg -v error -y -i '" + video +
                               "' -vn -f s16le -ac 1 -ar 48000 '" + (dir / "sound.raw").string() +
                               "'";
    ASSERT_EQ(system(decode.c_str()), 0);
    const std::string bytes = Slurp(dir / "sound.raw");
    const Sint16* sound = reinterpret_cast<const Sint16*>(bytes.data());
    const long count = bytes.size() / 2;
    constexpr int kRate = 48000;
    EXPECT_NEAR(count / static_cast<double>(kRate), kLength, kFrame);
    long last = -1;
    for (long i = 0; i < count; i++)
      if (std::abs(sound[i]) > 8) last = i;
    // The fade-out ends 2 s in: 1 s to the fade start at frame 3800, 1 s of fading.
    EXPECT_NEAR(last / static_cast<double>(kRate), 2.0, kFrame);
    double early = 0;
    for (long i = 0; i < kRate * 9 / 10; i++) early += std::abs(sound[i]);
    EXPECT_GT(early / (kRate * 9 / 10), 300) << "full music before the fade start";
  }

  const std::string video = (dir / "part.mp4").string();
  // The picture: the end picture up to the fade start, 1 s in, black from there on.
  const std::pair<const char*, int> stills[] = {
      {"0.5", 3750}, {"0.97", 3798}, {"1.01", 3802}, {"1.5", 3850}};
  for (const auto& [at, showFrame] : stills) {
    const std::string still = (dir / (std::string("still-") + at + ".png")).string();
    const std::string grab = "ffmpeg -v error -ss " + std::string(at) + " -i '" + video +
                             "' -frames:v 1 -y '" + still + "'";
    ASSERT_EQ(system(grab.c_str()), 0);
    const std::string png = (dir / "expected.png").string();
    ASSERT_EQ(Render(dir, {"--frame", std::to_string(showFrame), "-o", png}).status, 0);
    SDL_Surface* a = IMG_Load(still.c_str());
    SDL_Surface* b = IMG_Load(png.c_str());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    // The video is lossy: a small mean difference per channel.
    double error = 0;
    for (int y = 0; y < kScreenHeight; y += 4)
      for (int x = 0; x < kScreenWidth; x += 4) {
        const SDL_Color p = ColourAt(a, x, y), q = ColourAt(b, x, y);
        error += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
      }
    EXPECT_LT(error / (160 * 120 * 3), 6) << "at " << at << " s";
    SDL_FreeSurface(a);
    SDL_FreeSurface(b);
  }
}

// A JPEG with an EXIF block saying the camera was turned a quarter (orientation 6).
std::string WithOrientation(const std::string& jpeg) {
  const unsigned char exif[] = {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0,  // APP1, 34 bytes
                                'I',  'I',  42,   0,    8,   0,   0,   0,          // TIFF, IFD at 8
                                1,    0,                                           // one entry
                                0x12, 0x01, 3,    0,    1,   0,   0,   0,   6, 0,
                                0,    0,               // orientation 6
                                0,    0,    0,    0};  // no next IFD
  return jpeg.substr(0, 2) + std::string(reinterpret_cast<const char*>(exif), sizeof exif) +
         jpeg.substr(2);
}

TEST_F(RenderTest, CheckTellsWhatTheShowWillMakeOfTheFolder) {
  const ShowRun clean = Render(dir, {"-C", DemoFile(""), "--check"});
  EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
  EXPECT_NE(clean.out.find("19 photos, gfx/foto01.jpg to gfx/foto19.jpg"), std::string::npos)
      << clean.out;
  EXPECT_NE(clean.out.find("No problems"), std::string::npos);
  EXPECT_NE(clean.out.find("the show lasts 7:02.01"), std::string::npos) << clean.out;

  // Photo 2 too large, photo 3 on its side, photo 4 missing so that 5 is never shown, a
  // photo named with one digit, a caption file with one caption, one line too wide for its
  // box and UTF-8 text in a file that is not all UTF-8, so read as Latin-1.
  Photos(1);
  SDL_Surface* big = SDL_CreateRGBSurface(0, 600, 400, 24, 0xFF, 0xFF00, 0xFF0000, 0);
  ASSERT_TRUE(WritePng(big, (dir / "gfx" / "foto02.jpg").c_str()));  // PNG data decodes too
  SDL_FreeSurface(big);
  Spit(dir / "gfx" / "foto03.jpg", WithOrientation(Slurp(DemoFile("gfx/foto03.jpg"))));
  fs::copy_file(DemoFile("gfx/foto05.jpg"), dir / "gfx" / "foto05.jpg");
  fs::copy_file(DemoFile("gfx/foto06.jpg"), dir / "gfx" / "foto6.jpg");
  fs::remove(dir / kMusicFile);
  Spit(dir / "captions.txt",
       "Ann and Bob\n-\nA line of text that is far too long to fit the box of the description\n"
       "Caf\xc3\xa9 M\xfcller\n#\n");

  const ShowRun run = Render(dir, {"--check", "--captions", "captions.txt"});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* expected :
       {"ok       3 photos, gfx/foto01.jpg to gfx/foto03.jpg: the series ends there (no "
        "gfx/foto04.jpg)",
        "PROBLEM  gfx/foto02.jpg is 600x400, larger than the 394x290 photo area: it is cut "
        "off at the screen's right and bottom edges and reaches under the names line",
        "PROBLEM  gfx/foto03.jpg carries an EXIF orientation (6, to be turned 90 degrees "
        "clockwise) that the show does not apply",
        "PROBLEM  gfx/foto05.jpg is never shown: the photo series ends at photo 3, before "
        "gfx/foto04.jpg",
        "PROBLEM  gfx/foto6.jpg is never looked at", "PROBLEM  caption 1, description line 1 is ",
        "PROBLEM  caption 1 holds UTF-8 text",
        "PROBLEM  3 photos but 1 caption: slots 2 to 3 all repeat caption 1",
        "PROBLEM  sfx/belong.mod cannot be played",
        "8 problems: the show would differ from what this folder seems to intend."})
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;

  // A small photo is a note: the show plays it as the folder has it, small in the frame.
  ASSERT_TRUE(WriteTestJpeg((dir / "gfx" / "foto01.jpg").string(), JpegKind{}, 120, 90, 90,
                            [](int, std::vector<Uint8>& row) { row.assign(row.size(), 200); }));
  const ShowRun small = Render(dir, {"--check", "--captions", "captions.txt"});
  EXPECT_EQ(small.status, 1);
  EXPECT_NE(small.out.find("note     gfx/foto01.jpg is only 120x90, less than half the 394x290 "
                           "photo area both ways"),
            std::string::npos)
      << small.out;
  EXPECT_NE(small.out.find("8 problems"), std::string::npos) << small.out;
}

// A PNG file of a plain w x h picture.
void PlainPng(const fs::path& path, int w, int h) {
  SDL_Surface* picture = SDL_CreateRGBSurface(0, w, h, 24, 0xFF, 0xFF00, 0xFF0000, 0);
  ASSERT_TRUE(WritePng(picture, path.c_str()));
  SDL_FreeSurface(picture);
}

TEST_F(RenderTest, CheckTellsOfEachLargeSourceTheShowCannotTake) {
  Photos(2);
  const ShowRun none = Render(dir, {"--check"});
  EXPECT_EQ(none.status, 0) << none.out;
  EXPECT_NE(none.out.find("note     no gfx/hd/ folder: on a big screen the show enlarges every "
                          "picture and photo\n"),
            std::string::npos)
      << none.out;

  fs::create_directories(dir / kLargeDir);
  for (const char* name : {"back.png", "end.png", "si.png", "load.png", "ohen.png", "foto01.jpg"})
    fs::copy_file(DemoFile(kLargeDir + std::string(name)), dir / kLargeDir / name);
  const ShowRun all = Render(dir, {"--check"});
  EXPECT_EQ(all.status, 0) << all.out;
  EXPECT_NE(all.out.find("ok       gfx/hd/: large sources of 6 of the 7 pictures and photos\n"
                         "note     no large source in gfx/hd/ for foto02.jpg: on a big screen "
                         "the show enlarges it\n"),
            std::string::npos)
      << all.out;

  const std::string photo = Slurp(dir / kLargeDir / "foto01.jpg");
  std::string ohen = Slurp(dir / kLargeDir / "ohen.png");
  for (size_t i = ohen.size() / 2; i < ohen.size() / 2 + 64; ++i) ohen[i] ^= 0x55;
  const struct {
    const char* file;
    std::function<void(const fs::path&)> spoil;
    const char* line;
  } kCases[] = {
      {"foto01.jpg", [&](const fs::path& p) { Spit(p, photo.substr(0, photo.size() / 2)); },
       "PROBLEM  gfx/hd/foto01.jpg is not used (Premature end of JPEG file): on a big screen the "
       "show enlarges gfx/foto01.jpg instead\n"},
      {"ohen.png", [&](const fs::path& p) { Spit(p, ohen); },
       "PROBLEM  gfx/hd/ohen.png is not used ("},
      {"back.png", [](const fs::path& p) { PlainPng(p, 1000, 500); },
       "PROBLEM  gfx/hd/back.png is not used (1000x500 is not the shape of 640x480): on a big "
       "screen the show enlarges gfx/back.png instead\n"},
      {"end.png", [](const fs::path& p) { PlainPng(p, 320, 240); },
       "PROBLEM  gfx/hd/end.png is not used (320x240 is not larger than 640x480)"},
      {"si.png", [](const fs::path& p) { fs::remove(p); },
       "note     no large source in gfx/hd/ for si.png, foto02.jpg: on a big screen the show "
       "enlarges these\n"},
  };
  for (const auto& c : kCases) c.spoil(dir / kLargeDir / c.file);
  const ShowRun spoilt = Render(dir, {"--check"});
  EXPECT_EQ(spoilt.status, 1) << spoilt.out;
  for (const auto& c : kCases)
    EXPECT_NE(spoilt.out.find(c.line), std::string::npos) << c.line << "\n" << spoilt.out;
  EXPECT_NE(spoilt.out.find("ok       gfx/hd/: large sources of 1 of the 7"), std::string::npos);
  EXPECT_NE(spoilt.out.find("\n4 problems:"), std::string::npos) << spoilt.out;
}

TEST_F(RenderTest, CaptionFileTakesThePlaceOfTheBuiltInCaptions) {
  Photos(1);
  Spit(dir / "mine.txt", "Ann and Bob\n-\nOur own words\n#\n");
  for (const char* f : {"1700", "2300"}) {
    SCOPED_TRACE(f);
    ASSERT_EQ(Render(dir, {"--frame", f, "-o", "builtin.png"}).status, 0);
    const ShowRun run = Render(dir, {"--frame", f, "-o", "mine.png", "--captions", "mine.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    SDL_Surface* a = IMG_Load((dir / "builtin.png").c_str());
    SDL_Surface* b = IMG_Load((dir / "mine.png").c_str());
    ASSERT_TRUE(a && b);
    // The captions differ; the background above the photo area does not.
    int differ = 0, above = 0;
    for (int y = 0; y < kScreenHeight; y++)
      for (int x = 0; x < kScreenWidth; x++)
        if (PixelAt(a, x, y) != PixelAt(b, x, y)) (y < 95 ? above : differ)++;
    EXPECT_GT(differ, 100);
    EXPECT_EQ(above, 0);
    SDL_FreeSurface(a);
    SDL_FreeSurface(b);
  }

  Spit(dir / "empty.txt", "");
  const ShowRun empty = Render(dir, {"--frame", "1700", "-o", "x.png", "--captions", "empty.txt"});
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(
      empty.err.find("the caption file " + (dir / "empty.txt").string() + " holds no caption"),
      std::string::npos)
      << empty.err;
  const ShowRun missing = Render(dir, {"--frame", "1700", "-o", "x.png", "--captions", "none.txt"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot read the caption file " + (dir / "none.txt").string() +
                             ": No such file"),
            std::string::npos)
      << missing.err;
  EXPECT_FALSE(fs::exists(dir / "x.png"));
}

// The folder's captions.txt: drawn as the show draws it, and what the check makes of it.
TEST_F(RenderTest, FolderCaptionsAreTheShowsAndTheCheckTellsOfThem) {
  Photos(2);
  std::string file =
      "\xEF\xBB\xBFJi\xC5\x99\xC3\xAD \xC5\xA0\xC5\xA5"
      "astn\xC3\xBD\r\n-\r\n"
      "Porada v Brn\xC4\x9B \xE4\xB8\x80\r\n#\r\nZo\xC3\xAB\r\n-\r\n#\r\n";
  for (int k = 3; k <= 60; k++) file += "N\r\n-\r\nd\r\n#\r\n";
  Spit(dir / kCaptionFile, file);
  PlayShow({1700, 2300, 3700, 4300});
  ExpectSameFrames({1700, 2300, 3700, 4300});

  const struct {
    std::string bytes;
    std::vector<std::string> args, lines;
    int status;
  } kCases[] = {
      {file,
       {},
       {"ok       50 captions from captions.txt, read as UTF-8 (after its byte-order mark)\n",
        "PROBLEM  captions.txt holds 60 captions: the show takes the first 50, captions 51 to 60 "
        "are never shown\n",
        "PROBLEM  caption 1: the font has no '\xE4\xB8\x80' (U+4E00): the show draws the font's "
        "sign for a missing character\n",
        "note     caption 2 has no description lines: no box stands over the photo area\n",
        "note     captions 3 to 50 are not shown: there are only 2 photos\n"},
       1},
      {file, {"--captions", "none"}, {"ok       19 built-in captions (--captions none)\n"}, 0},
      {"Ann\n-\nd\x81\n#\nM\xFCller\n-\nd\n#\n",
       {},
       {"PROBLEM  captions.txt is neither valid UTF-8 nor plausible Latin-1 (byte 0x81 on line "
        "3): the show reads its 2 captions as Latin-1 (ISO 8859-1); save it as UTF-8\n"},
       1},
      {"",
       {},
       {"PROBLEM  captions.txt cannot be used (no caption in it): the show takes its 19 "
        "built-in captions\n"},
       1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.lines[0]);
    Spit(dir / kCaptionFile, c.bytes);
    std::vector<std::string> args = {"--check"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ShowRun run = Render(dir, args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    for (const std::string& line : c.lines)
      EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  }
}

TEST_F(RenderTest, MusicThatTheShowAndTheVideoBothPlayPasses) {
  char why[512] = "";
  EXPECT_TRUE(CheckMusic(DemoFile(kMusicFile).c_str(), why, sizeof why)) << why;
  const char* names[] = {"song.xm", "song.s3m", "song.it"};
  for (int format = kXmModule; format <= kItModule; ++format) {
    const fs::path module = dir / names[format];
    ASSERT_TRUE(WriteModule(module, ModuleFormat(format)));
    EXPECT_TRUE(CheckMusic(module.c_str(), why, sizeof why)) << names[format] << ": " << why;
  }
  const fs::path ogg = dir / "song.ogg";
  ASSERT_TRUE(WriteOgg(ogg, 44100, 2, 1000));
  EXPECT_TRUE(CheckMusic(ogg.c_str(), why, sizeof why)) << why;
}

TEST_F(RenderTest, OtherMusicIsRefusedWithTheReason) {
  const std::string module = Slurp(DemoFile(kMusicFile));
  std::ofstream(dir / "notes.txt") << "These are the notes for the evening, not music.\n";
  std::ofstream(dir / "cut.mod", std::ios::binary) << module.substr(0, 600);
  std::ofstream(dir / "empty.mod");
  std::ofstream(dir / "song.mp3", std::ios::binary)
      << std::string("\xFF\xFB\x90\x00", 4) << std::string(400, 'x');
  ASSERT_TRUE(WriteOgg(dir / "fast.ogg", 22050, 1, 500));
  const struct {
    const char* name;
    const char* says;
  } cases[] = {{"notes.txt", "show cannot play"},
               {"cut.mod", "show cannot play"},
               {"empty.mod", "too short"},
               {"song.mp3", "tolvane-render --video does not"},
               {"fast.ogg", "200%"},
               {"missing.ogg", "cannot be read"}};
  for (const auto& c : cases) {
    char why[512] = "";
    EXPECT_FALSE(CheckMusic((dir / c.name).c_str(), why, sizeof why)) << c.name;
    const std::string reason = why;
    EXPECT_NE(reason.find(c.says), std::string::npos) << c.name << ": " << reason;
    EXPECT_EQ(reason.back(), '.') << c.name << ": a sentence";
    EXPECT_EQ(reason.find(c.name), std::string::npos) << c.name << ": without the file's name";
  }
}

TEST_F(RenderTest, BadOptionsAndFoldersSayWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* message;
  } cases[] = {
      {{}, 2, "nothing to do"},
      {{"--frame"}, 2, "--frame needs a value"},
      {{"--frame", "12x", "-o", "a.png"}, 2, "--frame takes a frame number (0 or more), not '12x'"},
      {{"--frame", "10"}, 2, "--frame needs -o FILE.png"},
      {{"--at", "-1", "-o", "a.png"}, 2, "--at takes seconds"},
      {{"--frame", "1", "--at", "2", "-o", "a.png"}, 2, "only one of"},
      {{"--video", "show.avi"}, 2, "must end in .mp4 or .mkv"},
      {{"--video", "show.mp4", "--fps", "30"}, 2, "--fps must be 25, 50 or 100, not '30'"},
      {{"--out", "d", "--from", "20", "--to", "10"}, 2, "--from is after --to"},
      {{"--out", "d", "--every", "0"}, 2, "--every takes a number of frames"},
      {{"--check", "--fps", "25"}, 2, "--fps does not go with this job"},
      {{"--check", "--bpp", "12"}, 2, "--bpp must be 8, 15, 16, 24 or 32"},
      {{"--check", "--frobnicate"}, 2, "unknown option --frobnicate"},
      {{"--check", "--check"}, 2, "--check given twice"},
      {{"--frame", "4202", "-o", "a.png"}, 2, "frame 4202 is after the show's last frame, 4201"},
      {{"--check", "-C", "gfx"}, 3, "has no gfx/ folder"},
      {{"--at", "1", "-o", "gfx/../gfx/end.png"}, 2, "is one of the show's own files"},
      {{"--video", "v.mkv", "--captions", "mine.srt", "--subtitles", "mine.srt"},
       2,
       "is one of the show's own files"},
  };
  const std::string endPicture = Slurp(dir / "gfx/end.png");
  const std::string mine = "Names\n-\nA caption\n#\n";
  std::ofstream(dir / "mine.srt") << mine;
  for (const auto& c : cases) {
    std::string joined;
    for (const std::string& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    const ShowRun run = Render(dir, c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
  EXPECT_EQ(Slurp(dir / "gfx/end.png"), endPicture);
  EXPECT_EQ(Slurp(dir / "mine.srt"), mine);
  const ShowRun ok = Render(dir, {"--frame", "4201", "-o", "last.png"});
  EXPECT_EQ(ok.status, 0) << "the last step of a show without photos is 4201: " << ok.err;
  const ShowRun timeline = Render(dir, {"--timeline"});
  EXPECT_EQ(timeline.out, "photos 0\nfirst-slot 1300\nend-picture 1300\nfade 3800\nlast 4201\n");

  const ShowRun help = Render(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: tolvane-render", 0), 0u) << help.out;
  const ShowRun version = Render(dir, {"--check", "--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("tolvane-render ", 0), 0u) << version.out;
  EXPECT_EQ(std::count(version.out.begin(), version.out.end(), '\n'), 1) << version.out;

  fs::remove(dir / kFontFile);
  const ShowRun noFont = Render(dir, {"--frame", "0", "-o", "a.png"});
  EXPECT_EQ(noFont.status, 3);
  EXPECT_NE(noFont.err.find("couldn't load the caption font gfx/arial.ttf"), std::string::npos)
      << noFont.err;
}

// Lines of a command's standard output.
std::vector<std::string> Lines(const fs::path& dir, const std::string& command) {
  const fs::path out = dir / "lines.txt";
  std::vector<std::string> lines;
  if (system((command + " > '" + out.string() + "' 2>/dev/null").c_str()) != 0) return lines;
  std::istringstream in(Slurp(out));
  for (std::string line; std::getline(in, line);)
    lines.push_back(line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
  return lines;
}

std::vector<std::string> ChapterTitles(const fs::path& dir, const fs::path& video) {
  return Lines(dir, "ffprobe -v error -show_entries chapter_tags=title -of default=nw=1:nk=1 '" +
                        video.string() + "'");
}

// The cues of a video's subtitle track as a player shows them: ffmpeg's ASS of a Matroska
// SRT track unescaped; the text of each mov_text sample.
std::vector<std::string> Cues(const fs::path& dir, const fs::path& video) {
  std::vector<std::string> cues;
  if (video.extension() == ".mkv") {
    for (const std::string& line :
         Lines(dir, "ffmpeg -v error -i '" + video.string() + "' -map 0:s:0 -f ass -")) {
      if (line.rfind("Dialogue: ", 0) != 0) continue;
      size_t at = 0;
      for (int commas = 0; commas < 9; ++commas) at = line.find(',', at) + 1;
      std::string cue;
      for (size_t i = at; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && strchr("N{}\\", line[i + 1]))
          cue += line[++i] == 'N' ? '\n' : line[i];
        else
          cue += line[i];
      }
      cues.push_back(cue);
    }
    return cues;
  }
  const fs::path raw = dir / "samples.bin";
  const std::string command = "ffmpeg -v error -y -i '" + video.string() +
                              "' -map 0:s:0 -c:s copy -f data '" + raw.string() + "'";
  if (system(command.c_str()) != 0) return cues;
  const std::string bytes = Slurp(raw);
  for (size_t at = 0; at + 2 <= bytes.size();) {
    const size_t length =
        static_cast<unsigned char>(bytes[at]) << 8 | static_cast<unsigned char>(bytes[at + 1]);
    if (length > 0) cues.push_back(bytes.substr(at + 2, length));
    at += 2 + length;
  }
  return cues;
}

// Whole shows of 0 and 1 photos, and the ends of the demo's 19 (from its 18th slot) and of 50
// (from the last slot):
// a chapter for the opening, each slot from its first frame and the end picture; the captions
// of every slot, the last one's included, in the video and in --subtitles.
TEST_F(RenderTest, EverySlotHasItsChapterAndCaptions) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup ffmpeg)";
  const struct {
    int photos;
    const char* from;
    std::vector<std::string> chapters;  // "SECONDS TITLE"
    int cues;
    const char* lastCue;
  } kCases[] = {
      {0, "0", {"0 Opening", "13 End"}, 0, ""},
      {1,
       "0",
       {"0 Opening", "13 Everyone, plus the minibus", "33 End"},
       2,
       "00:00:21,000 --> 00:00:33,000\nEveryone, plus the minibus\n"},
      {19,
       "353s",
       {"0 The whole Quorlaks team", "20 Everyone, waving", "40 End"},
       4,
       "00:00:28,000 --> 00:00:40,000\nEveryone, waving\n"},
      {50,
       "993s",
       {"0 Everyone, waving", "20 End"},
       2,
       "00:00:08,000 --> 00:00:20,000\nEveryone, waving\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::to_string(c.photos) + " photos");
    Photos(c.photos);
    const fs::path video = dir / "v.mkv", srt = dir / "v.srt";
    const ShowRun run = Render(dir, {"--video", video.string(), "--fps", "25", "--from", c.from,
                                     "--subtitles", srt.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    // Each chapter's start and title, a line each.
    const std::vector<std::string> lines =
        Lines(dir,
              "ffprobe -v error -show_entries chapter=start_time:chapter_tags=title -of "
              "default=nw=1:nk=1 '" +
                  video.string() + "'");
    std::vector<std::string> probed;
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
      probed.push_back(lines[i].substr(0, lines[i].find('.')) + " " + lines[i + 1]);
    EXPECT_EQ(probed, c.chapters);
    const std::string cues = Slurp(srt);
    const size_t last = cues.rfind("\n\n", cues.size() - 3);
    const std::string lastBlock = cues.substr(last == std::string::npos ? 0 : last + 2);
    EXPECT_EQ(lastBlock, c.cues ? std::to_string(c.cues) + "\n" + c.lastCue + "\n" : "") << cues;
    EXPECT_EQ(Cues(dir, video).size(), static_cast<size_t>(c.cues));
    for (int k = 1; k <= c.photos; ++k) fs::remove(show.Gfx(PhotoName(k).file));
  }
}

// Captions that a track's reader would take for markup, for its own syntax or for the next
// cue, and a names line that the show's reader cuts in the middle of a character: the
// chapter titles and cues come back exactly as the show draws them, in both containers and
// --subtitles, and --subtitles and --check are valid UTF-8.
TEST_F(RenderTest, HostileCaptionsComeBackExactly) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (scripts/setup ffmpeg)";
  std::string z;
  for (int i = 0; i < 600; ++i) z += "\xC5\xBC";  // 1200 bytes: cut at 1023, in a character
  const struct {
    std::string names, description;
    std::string title, cue;  // as they come back; the names line's cue is its title
  } kCases[] = {
      {"ends in a backslash \\",
       "a < b > c & d\n{\\b1}bold? \\N \\h\n00:00:01,000 --> "
       "00:00:02,000",
       "ends in a backslash \\",
       "a < b > c & d\n{\\b1}bold? \\N \\h\n"
       "00:00:01,000 --> 00:00:02,000"},
      {"eq = semi ; hash # <i>x</i> <<b>>", "   \n <font color=red>r</font> &amp; {Y:b} }{ \n",
       "eq = semi ; hash # <i>x</i> <<b>>", "<font color=red>r</font> &amp; {Y:b} }{"},
      {z, "  ", z.substr(0, 1022) + "\xEF\xBF\xBD", "-"},
  };
  std::string file;
  for (const auto& c : kCases) file += c.names + "\n-\n" + c.description + "\n#\n";
  Spit(dir / kCaptionFile, file);
  Photos(3);
  std::vector<std::string> titles = {"Opening"}, cues;
  for (const auto& c : kCases) {
    titles.push_back(c.title);
    if (!c.cue.empty()) cues.push_back(c.cue);
    cues.push_back(c.title);
  }
  titles.push_back("End");
  for (const char* name : {"v.mkv", "v.mp4"}) {
    SCOPED_TRACE(name);
    const fs::path video = dir / name;
    const ShowRun run = Render(
        dir, {"--video", video.string(), "--fps", "25", "--subtitles", (dir / "v.srt").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ChapterTitles(dir, video), titles);
    EXPECT_EQ(Cues(dir, video), cues);
  }
  std::vector<std::string> srtCues;
  std::istringstream srt(Slurp(dir / "v.srt"));
  for (std::string line, cue; std::getline(srt, line);) {
    if (line.find(" --> ") == 12) {
      for (cue.clear(); std::getline(srt, line) && !line.empty();) cue += line + "\n";
      srtCues.push_back(cue);
    }
  }
  ASSERT_EQ(srtCues.size(), cues.size());
  // The check quotes the names line too wide for the screen: whole characters too.
  const ShowRun check = Render(dir, {"--check"});
  EXPECT_NE(check.out.find("\xEF\xBF\xBD\""), std::string::npos);
  srtCues.push_back(check.out);
  for (const std::string& text : srtCues) {
    int length = 0;
    for (const char* p = text.c_str(); *p; p += length) ASSERT_GE(NextUtf8(p, length), 0) << text;
  }
}

// --subtitles takes its name only with the video: after an export that fails or is stopped,
// an older file of that name is as it was and no part of the new one is left.
TEST_F(RenderTest, SubtitlesArePlacedOnlyWithTheVideo) {
  const fs::path bin = dir / "bin";
  fs::create_directories(bin);
  Spit(bin / "ffmpeg", "#!/bin/sh\ncat > /dev/null\nexit 1\n");
  fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
  Photos(1);
  const std::string old = "1\n00:00:01,000 --> 00:00:02,000\nmine\n\n";
  Spit(dir / "v.srt", old);
  auto partial = [&] {
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.path().filename().string().rfind("v.srt.", 0) == 0) return true;
    return false;
  };
  for (int signal : {0, SIGINT}) {
    SCOPED_TRACE(signal ? "stopped" : "failed");
    if (signal) Spit(bin / "ffmpeg", "#!/bin/sh\nexec sleep 60\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (chdir(dir.c_str()) != 0) _exit(127);
      setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
      freopen("/dev/null", "w", stderr);
      execl(TOLVANE_RENDER, TOLVANE_RENDER, "--video", "v.mp4", "--to", "1500", "--subtitles",
            "v.srt", nullptr);
      _exit(127);
    }
    for (int i = 0; signal && i < 6000 && !partial(); ++i) usleep(10000);
    if (signal) kill(child, signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (signal)
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    else
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 4) << status;
    EXPECT_EQ(Slurp(dir / "v.srt"), old);
    EXPECT_FALSE(partial());
    EXPECT_FALSE(fs::exists(dir / "v.mp4"));
  }
}

}  // namespace
