// Reliability of the real program, run headless under the clock shim: every kind of bad or odd
// asset file, every viewer input in every phase of the show, the command line, slow drawing
// passes, and whole shows at full length (memory per slot, and one show under valgrind).
// Each case checks the exit status, both streams line by line and, where the show has a
// visible answer, the screens; a crash, a hang or a sanitizer report fails any of them.
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "showrun.h"
#include "testing.h"
#include "text/text.h"

namespace fs = std::filesystem;

namespace {

// What the program prints on a good run.

constexpr char kAudioLine[] = "Opened audio at 44050 Hz 16 bit stereo, 32768 bytes audio buffer\n";
constexpr char kMusicPlaying[] = "Music: music sfx/belong.mod loaded, playing ...";
const char* const kFixedPictures[] = {"load.png", "ohen.png", "back.png", "si.png", "end.png"};

// The show's last step with N photos, and its frame landmarks with one photo.
int LastStep(int photos) {
  return 2000 * photos + 4201;
}
constexpr int kSlot = 1300, kHide = 780, kPhotoShown = 800;
constexpr int kLogoStands = 1000, kBoxShown = 1700, kPhotoPhase = 2300, kEndPhase = 4000;
constexpr SDL_Rect kBoxArea = {115, 100, 400, 300};
constexpr SDL_Rect kPhotoArea = {123, 95, 394, 290};

// The lines on standard error while loading, up to the music line: `failed` names the files
// expected to fail, with the reason ("*" for any). Photos stop at the first that fails.
std::vector<std::string> LoadingLines(int photos,
                                      const std::map<std::string, std::string>& failed = {}) {
  std::vector<std::string> lines;
  auto line = [&](const std::string& file) {
    const auto f = failed.find(file);
    lines.push_back(f == failed.end() ? "gfx/" + file + " loaded"
                                      : "Couldn't load gfx/" + file + ": " + f->second);
    return f == failed.end();
  };
  for (const char* picture : kFixedPictures) line(picture);
  for (int k = 1; k <= photos; k++)
    if (!line(PhotoName(k).file)) return lines;
  if (photos < kMaxPhotos)
    lines.push_back("Couldn't load " + std::string(PhotoName(photos + 1).path) +
                    ": Passed a NULL data source");
  return lines;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Each line must equal its pattern, or begin with it where the pattern ends in '*'.
testing::AssertionResult LinesMatch(const std::string& text,
                                    const std::vector<std::string>& patterns) {
  const std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < std::max(lines.size(), patterns.size()); i++) {
    const std::string line = i < lines.size() ? lines[i] : "(no line)";
    const std::string pattern = i < patterns.size() ? patterns[i] : "(no line)";
    const bool wild = !pattern.empty() && pattern.back() == '*';
    const bool match =
        wild ? line.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0 &&
                   i < lines.size()
             : line == pattern;
    if (!match)
      return testing::AssertionFailure() << "line " << i + 1 << " is \"" << line
                                         << "\", expected \"" << pattern << "\"\nwhole text:\n"
                                         << text;
  }
  return testing::AssertionSuccess();
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Every pass of the loop drew the step that its clock reading made due, for one clock base
// kept from the start (pauses included): 10 frame < ms - base <= 10 (frame + 1). So no step
// was lost, none was taken twice, and a pause resumed where the show would have been. The
// loading screen is skipped, and so is every pass from `until` ms on (a quit takes no step).
testing::AssertionResult StepsMatchClock(const ShowRun& run, unsigned until = ~0u) {
  long low = -(1L << 40), high = 1L << 40;  // the clock base lies in [low, high]
  int previous = 0;
  for (size_t i = 1; i < run.passes.size(); i++) {
    const Pass& p = run.passes[i];
    if (p.frame < previous) return testing::AssertionFailure() << "frame went back at pass " << i;
    previous = p.frame;
    // A quit takes no step, and the show's last pass stops stepping when the show ends.
    if (p.ms >= until || (until == ~0u && i + 1 == run.passes.size())) continue;
    low = std::max(low, static_cast<long>(p.ms) - 10L * (p.frame + 1));
    high = std::min(high, static_cast<long>(p.ms) - 10L * p.frame - (p.frame > 0 ? 1 : 0));
    if (low > high)
      return testing::AssertionFailure() << "pass " << i << " drew frame " << p.frame << " at "
                                         << p.ms << " ms, off the clock of the passes before";
  }
  return testing::AssertionSuccess();
}

// A scripted event as the shim delivered it.
struct Delivered {
  int frame;
  unsigned ms;
};
std::vector<Delivered> Events(const ShowRun& run, const std::string& what) {
  std::vector<Delivered> found;
  for (const std::string& line : run.calls) {
    char name[32];
    Delivered d;
    if (sscanf(line.c_str(), "event %31s %d %u", name, &d.frame, &d.ms) == 3 && name == what)
      found.push_back(d);
  }
  return found;
}

// Passes drawn after the clock stood at `from`, up to `to`. A pass reads the clock after the
// events it takes: one drawn at an event's time came before that event.
int PassesBetween(const ShowRun& run, unsigned from, unsigned to) {
  return static_cast<int>(std::count_if(run.passes.begin(), run.passes.end(),
                                        [&](const Pass& p) { return p.ms > from && p.ms <= to; }));
}

// Bad files, made at test time.

std::vector<Uint8> Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& path, const std::vector<Uint8>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const fs::path& path, const std::string& text) {
  Write(path, std::vector<Uint8>(text.begin(), text.end()));
}

// The first half of a demo file.
void Truncate(const fs::path& path) {
  std::vector<Uint8> bytes = Bytes(path);
  bytes.resize(bytes.size() / 2);
  Write(path, bytes);
}

void MakeDirectory(const fs::path& path) {
  fs::remove(path);
  fs::create_directory(path);
}

// A named pipe: opening it would wait for a writer, so a run that opens it hangs.
void MakePipe(const fs::path& path) {
  fs::remove(path);
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
}

struct PngPicture {
  int width, height, colourType, depth;
  std::function<void(int y, std::vector<Uint8>& row)> fill;
  std::vector<png_color> palette;
  std::vector<Uint8> paletteAlpha;
};

void WritePng(const fs::path& path, const PngPicture& picture) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(file);
    FAIL() << "libpng failed on " << path;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, picture.width, picture.height, picture.depth, picture.colourType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!picture.palette.empty())
    png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
  if (!picture.paletteAlpha.empty())
    png_set_tRNS(png, info, picture.paletteAlpha.data(),
                 static_cast<int>(picture.paletteAlpha.size()), nullptr);
  png_write_info(png, info);
  std::vector<Uint8> row(png_get_rowbytes(png, info));
  for (int y = 0; y < picture.height; y++) {
    picture.fill(y, row);
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  fclose(file);
}

// A JPEG of 3 (RGB) or 4 (CMYK) components per pixel, sampled as libjpeg samples them.
void WriteJpeg(const fs::path& path, int width, int height, int components,
               const std::function<void(int y, std::vector<Uint8>& row)>& fill) {
  JpegKind kind;
  kind.components = components;
  if (components == 4) kind.hSample = kind.vSample = 1;
  ASSERT_TRUE(WriteTestJpeg(path, kind, width, height, 95, fill));
}

Uint16 Big16(const std::vector<Uint8>& b, size_t at) {
  return static_cast<Uint16>(b[at] << 8 | b[at + 1]);
}
Uint32 Big32(const std::vector<Uint8>& b, size_t at) {
  return static_cast<Uint32>(b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]);
}

// Turns the TrueType font at `path` into one without a Unicode character map: every encoding
// record of its cmap table becomes (3, 0), Windows Symbol, which FreeType does not offer as
// Unicode. (The demo font is DejaVu Sans, whose licence allows modified copies.)
void StripUnicodeMaps(const fs::path& path) {
  std::vector<Uint8> font = Bytes(path);
  const int tables = Big16(font, 4);
  for (int i = 0; i < tables; i++) {
    const size_t record = 12 + 16 * static_cast<size_t>(i);
    if (memcmp(&font[record], "cmap", 4) != 0) continue;
    const size_t cmap = Big32(font, record + 8);
    const int encodings = Big16(font, cmap + 2);
    for (int e = 0; e < encodings; e++) {
      const size_t at = cmap + 4 + 8 * static_cast<size_t>(e);
      font[at] = 0, font[at + 1] = 3;      // platform: Windows
      font[at + 2] = 0, font[at + 3] = 0;  // encoding: Symbol
    }
    Write(path, font);
    return;
  }
  FAIL() << "no cmap table in " << path;
}

// The fixture: a show folder of its own for every test.

RunOptions Within(int seconds) {
  RunOptions options;
  options.timeoutSeconds = seconds;
  return options;
}

std::string TestName() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  std::replace(name.begin(), name.end(), '/', '_');
  return name;
}

class Reliability : public testing::Test {
 protected:
  ShowFolder show{"rel-" + TestName()};
  void SetUp() override { OpenTestDisplay(16); }
};

// Assets.

TEST_F(Reliability, WithoutGfxFolderTheFontFailsFirstWithStatus2) {
  show.DemoFiles();
  fs::remove_all(show.Dir() / "gfx");
  ShowRun run = show.Play({});
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, kAudioLine);
  EXPECT_TRUE(LinesMatch(run.err, {"Couldn't load 12 pt font from gfx/arial.ttf: *"}));
  EXPECT_TRUE(run.passes.empty()) << "nothing is drawn before the fonts open";
}

TEST_F(Reliability, WithoutSfxFolderTheShowRunsSilentWithItsFullTiming) {
  show.DemoFiles();
  show.Photos(1);
  fs::remove_all(show.Dir() / "sfx");
  ShowRun run = show.Play({});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kAudioLine);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(1) + std::vector<std::string>{
                                                        "Music: Couldn't load sfx/belong.mod: *"}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  EXPECT_TRUE(StepsMatchClock(run));
}

// A missing fixed picture is reported, and drawn as nothing: black where it would stand.
class MissingPicture : public Reliability, public testing::WithParamInterface<const char*> {};

TEST_P(MissingPicture, IsReportedAndDrawnAsNothing) {
  const std::string missing = GetParam();
  show.DemoFiles();
  show.Photos(1);
  fs::remove(show.Gfx(missing));
  ShowRun run = show.Play({}, {{"TOLVANE_CAPTURE", "0,1000,1700,2300,4000"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kAudioLine);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(1, {{missing, "Passed a NULL data source"}}) +
                                      std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));

  auto picture = [&](const char* name) { return missing == name ? nullptr : Picture(name); };
  SDL_Surface* load = picture("load.png");
  SDL_Surface* ohen = picture("ohen.png");
  SDL_Surface* back = picture("back.png");
  SDL_Surface* si = picture("si.png");
  SDL_Surface* end = picture("end.png");
  SDL_Surface* foto = Picture("foto01.jpg");

  SDL_Surface* shot = run.Screen(0);
  ASSERT_NE(shot, nullptr);
  // The two loading pictures of the demo do not overlap.
  const SDL_Rect upper = {0, 0, kScreenWidth, 400}, lower = {0, 400, kScreenWidth, 80};
  if (ohen)
    EXPECT_EQ(Differences(shot, ohen, 160, 140, upper), 0);
  else
    EXPECT_EQ(Differences(shot, nullptr, 0, 0, upper), 0);
  if (load)
    EXPECT_EQ(Differences(shot, load, kScreenWidth - load->w, kScreenHeight - load->h, lower), 0);
  else
    EXPECT_EQ(Differences(shot, nullptr, 0, 0, lower), 0);
  SDL_FreeSurface(shot);

  shot = run.Screen(kLogoStands);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, si, si ? (kScreenWidth - si->w) / 2 : 0,
                        si ? (kScreenHeight - si->h) / 2 : 0, kWholeScreen),
            0);
  SDL_FreeSurface(shot);

  shot = run.Screen(kBoxShown);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, back, 0, 0, SDL_Rect{0, 0, kScreenWidth, 95}), 0) << "above the box";
  SDL_FreeSurface(shot);

  shot = run.Screen(kPhotoPhase);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, foto, 123, 95, kPhotoArea), 0);
  EXPECT_EQ(Differences(shot, back, 0, 0, SDL_Rect{0, 0, kScreenWidth, 95}), 0)
      << "above the photo";
  SDL_FreeSurface(shot);

  shot = run.Screen(kEndPhase);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, end, 0, 0, kWholeScreen), 0);
  SDL_FreeSurface(shot);
  for (SDL_Surface* s : {load, ohen, back, si, end, foto})
    if (s) SDL_FreeSurface(s);
}

INSTANTIATE_TEST_SUITE_P(EachInTurn, MissingPicture, testing::ValuesIn(kFixedPictures),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param).substr(0, strlen(info.param) - 4);
                         });

TEST_F(Reliability, AllFiveFixedPicturesMissingLeaveBlackAndThePhotos) {
  show.DemoFiles();
  show.Photos(1);
  std::map<std::string, std::string> failed;
  for (const char* name : kFixedPictures) {
    fs::remove(show.Gfx(name));
    failed[name] = "Passed a NULL data source";
  }
  ShowRun run = show.Play({}, {{"TOLVANE_CAPTURE", "0,1000,2300,4000,5801"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(
      LinesMatch(run.err, LoadingLines(1, failed) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  for (int f : {0, kLogoStands, kEndPhase, 5801}) {
    SDL_Surface* shot = run.Screen(f);
    ASSERT_NE(shot, nullptr) << f;
    EXPECT_EQ(Differences(shot, nullptr, 0, 0, kWholeScreen), 0) << "black at frame " << f;
    SDL_FreeSurface(shot);
  }
  SDL_Surface* foto = Picture("foto01.jpg");
  SDL_Surface* shot = run.Screen(kPhotoPhase);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, foto, 123, 95, SDL_Rect{0, 0, kScreenWidth, 400}), 0)
      << "the photo alone on black, the names line below it";
  SDL_FreeSurface(shot);
  SDL_FreeSurface(foto);
}

// Damaged files: the background and the logo, the second of three photos and the music
// module, all damaged alike.
struct Damage {
  const char* name;
  std::function<void(const fs::path&)> apply;
  bool libpngSpeaks;  // libpng reports a broken chunk itself, before the program's line
  bool photoLoads;    // gfx/foto02.jpg still decodes
};

void PrintTo(const Damage& d, std::ostream* os) {
  *os << d.name;
}

class DamagedFile : public Reliability, public testing::WithParamInterface<Damage> {};

TEST_P(DamagedFile, IsReportedOnceAndTheShowGoesOn) {
  const Damage& damage = GetParam();
  show.DemoFiles();
  show.Photos(3);
  for (const fs::path& file :
       {show.Gfx("back.png"), show.Gfx("si.png"), show.Gfx("foto02.jpg"), show.Dir() / kMusicFile})
    damage.apply(file);
  ShowRun run = show.Play({}, {{"TOLVANE_PASS_MS", "100"}});
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kAudioLine);
  std::vector<std::string> expected = {"gfx/load.png loaded", "gfx/ohen.png loaded"};
  for (const char* png : {"back.png", "si.png"}) {
    if (damage.libpngSpeaks) expected.push_back("libpng error: *");
    expected.push_back(std::string("Couldn't load gfx/") + png + ": *");
  }
  expected.push_back("gfx/end.png loaded");
  const int photos = damage.photoLoads ? 3 : 1;
  for (int k = 1; k <= photos; k++) expected.push_back(PhotoName(k).path + std::string(" loaded"));
  expected.push_back("Couldn't load " + std::string(PhotoName(photos + 1).path) + ": *");
  expected.push_back("Music: Couldn't load sfx/belong.mod: *");
  EXPECT_TRUE(LinesMatch(run.err, expected));
  EXPECT_EQ(run.LastFrame(), LastStep(photos));
  EXPECT_TRUE(StepsMatchClock(run));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DamagedFile,
    testing::Values(Damage{"ZeroBytes", [](const fs::path& p) { Write(p, {}); }, false, false},
                    // A JPEG cut in half still decodes: the missing rows come out grey. A PNG
                    // cut off is refused before libpng reads it.
                    Damage{"FirstHalf", Truncate, false, true},
                    Damage{"Text", [](const fs::path& p) { WriteText(p, "not a picture\n"); },
                           false, false},
                    Damage{"Directory", MakeDirectory, false, false},
                    // Opening a named pipe would wait for a writer for ever: no file is read
                    // from one.
                    Damage{"NamedPipe", MakePipe, false, false}),
    [](const testing::TestParamInfo<Damage>& info) { return info.param.name; });

// Permission bits do not stop root, so as root the program runs as the user nobody here.
TEST_F(Reliability, UnreadableFilesAreReportedLikeMissingOnes) {
  RunOptions options;
  if (geteuid() == 0) {
    options.user = 65534;
    const pid_t probe = fork();
    if (probe == 0) _exit(setgid(options.user) == 0 && setuid(options.user) == 0 ? 0 : 1);
    int status = 0;
    waitpid(probe, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      GTEST_SKIP() << "running as root without the right to become another user";
  }
  show.DemoFiles();
  show.Photos(3);
  WriteText(show.Dir() / kCaptionFile, "Ann\n-\nd\n#\n");
  for (const fs::path& file : {show.Gfx("si.png"), show.Gfx("foto02.jpg"), show.Dir() / kMusicFile,
                               show.Dir() / kCaptionFile})
    fs::permissions(file, fs::perms::none);
  if (options.user) {
    // The build folder may be closed to other users: the program runs from a copy.
    const fs::path bin = show.Dir() / "bin";
    fs::create_directories(bin);
    fs::copy_file(options.program, bin / "tolvane");
    fs::copy_file(options.shim, bin / "clockshim.so");
    options.program = bin / "tolvane";
    options.shim = bin / "clockshim.so";
  }
  ShowRun run = show.Play({}, {{"TOLVANE_PASS_MS", "100"}}, options);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kAudioLine);
  EXPECT_TRUE(LinesMatch(run.err,
                         std::vector<std::string>{"Couldn't load captions.txt: Permission denied"} +
                             LoadingLines(1, {{"si.png", "*"}}) +
                             std::vector<std::string>{"Music: Couldn't load sfx/belong.mod: *"}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));
}

// Pictures in formats the loader takes as they decode.

TEST_F(Reliability, CmykPhotoIsShownAsDecoded) {
  show.DemoFiles();
  const Uint8 inks[4] = {40, 128, 220, 255};  // cyan, magenta, yellow, black
  WriteJpeg(show.Gfx("foto01.jpg"), 200, 100, 4, [&](int, std::vector<Uint8>& row) {
    for (size_t i = 0; i < row.size(); i++) row[i] = inks[i % 4];
  });
  ShowRun run = show.Play({}, {{"TOLVANE_CAPTURE", "2300"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(1) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  SDL_Surface* shot = run.Screen(kPhotoPhase);
  ASSERT_NE(shot, nullptr);
  // The image library hands the four ink values over as blue, green, red and alpha, and the
  // display's format keeps the first three: the photo stands where it should, one colour over
  // its 200 x 100 pixels, though not the colour a printer would make of those inks.
  SDL_Surface* back = Picture("back.png");
  const Uint32 ink = PixelAt(shot, 123, 95);
  int other = 0;
  for (int y = 95; y < 195; y++)
    for (int x = 123; x < 323; x++) other += PixelAt(shot, x, y) != ink;
  EXPECT_EQ(other, 0);
  const SDL_Color c = ColourAt(shot, 123, 95);
  EXPECT_NEAR(c.r, inks[2], 8);
  EXPECT_NEAR(c.g, inks[1], 8);
  EXPECT_NEAR(c.b, inks[0], 8);
  EXPECT_EQ(Differences(shot, back, 0, 0, SDL_Rect{323, 95, 100, 100}), 0) << "beside the photo";
  SDL_FreeSurface(shot);
  SDL_FreeSurface(back);
}

TEST_F(Reliability, SixteenBitPngIsShownAtEightBitsAChannel) {
  show.DemoFiles();
  // Each 16-bit sample is the 8-bit value v written as v * 257.
  PngPicture picture = {kScreenWidth, kScreenHeight, PNG_COLOR_TYPE_RGB, 16, nullptr, {}, {}};
  picture.fill = [](int y, std::vector<Uint8>& row) {
    for (int x = 0; x < kScreenWidth; x++) {
      const Uint8 v[3] = {static_cast<Uint8>(x * 255 / 639), static_cast<Uint8>(y * 255 / 479),
                          0x60};
      for (int c = 0; c < 3; c++) row[6 * x + 2 * c] = row[6 * x + 2 * c + 1] = v[c];
    }
  };
  WritePng(show.Gfx("back.png"), picture);
  show.Photos(1);
  ShowRun run = show.Play({}, {{"TOLVANE_CAPTURE", "1700"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(1) + std::vector<std::string>{kMusicPlaying}));
  // Above the description box the background stands alone.
  SDL_Surface* shot = run.Screen(kBoxShown);
  ASSERT_NE(shot, nullptr);
  SDL_Surface* display = SDL_GetVideoSurface();
  int differ = 0;
  for (int y = 0; y < 95; y++)
    for (int x = 0; x < kScreenWidth; x++) {
      SDL_Color c = ColourAt(shot, x, y);
      differ += SDL_MapRGB(display->format, c.r, c.g, c.b) !=
                SDL_MapRGB(display->format, static_cast<Uint8>(x * 255 / 639),
                           static_cast<Uint8>(y * 255 / 479), 0x60);
    }
  EXPECT_EQ(differ, 0);
  SDL_FreeSurface(shot);
}

// A palette entry that is fully transparent becomes the picture's colour key, which the
// display's format keeps; entries that are partly transparent turn the picture into one with
// an alpha channel, which the display's format drops: such pixels show their own colour.
TEST_F(Reliability, PalettedPngKeepsAFullyTransparentEntryOnly) {
  show.DemoFiles();
  auto logo = [&](std::vector<Uint8> alpha) {
    PngPicture picture = {200, 100, PNG_COLOR_TYPE_PALETTE, 8, nullptr, {}, alpha};
    picture.fill = [](int y, std::vector<Uint8>& row) {
      for (int x = 0; x < 200; x++) row[x] = x < 100 ? 0 : (y < 50 ? 1 : 2);
    };
    picture.palette = {{255, 0, 255}, {255, 0, 0}, {0, 255, 0}};  // magenta, red, green
    WritePng(show.Gfx("si.png"), picture);
  };
  const int x = 220, y = 190;  // where a 200 x 100 logo stands
  logo({0, 255, 255});
  ShowRun run = show.Play({}, {{"TOLVANE_CAPTURE", "1000"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(0) + std::vector<std::string>{kMusicPlaying}));
  SDL_Surface* shot = run.Screen(kLogoStands);
  ASSERT_NE(shot, nullptr);
  SDL_Surface* display = SDL_GetVideoSurface();
  EXPECT_EQ(PixelAt(shot, x + 10, y + 10), 0u) << "the transparent half shows the black";
  SDL_Color c = ColourAt(shot, x + 150, y + 10);
  EXPECT_EQ(SDL_MapRGB(display->format, c.r, c.g, c.b), SDL_MapRGB(display->format, 255, 0, 0));
  SDL_FreeSurface(shot);

  logo({0, 255, 128});
  run = show.Play({}, {{"TOLVANE_CAPTURE", "1000"}});
  EXPECT_EQ(run.status, 0);
  shot = run.Screen(kLogoStands);
  ASSERT_NE(shot, nullptr);
  c = ColourAt(shot, x + 10, y + 10);
  EXPECT_EQ(SDL_MapRGB(display->format, c.r, c.g, c.b), SDL_MapRGB(display->format, 255, 0, 255));
  c = ColourAt(shot, x + 150, y + 80);
  EXPECT_EQ(SDL_MapRGB(display->format, c.r, c.g, c.b), SDL_MapRGB(display->format, 0, 255, 0));
  SDL_FreeSurface(shot);
}

TEST_F(Reliability, HugePhotoIsCutAtTheScreensEdge) {
  show.DemoFiles();
  auto fill = [](int y, std::vector<Uint8>& row) {
    for (size_t x = 0; x < row.size() / 3; x++) {
      row[3 * x] = static_cast<Uint8>(x / 16);
      row[3 * x + 1] = static_cast<Uint8>(y / 12);
      row[3 * x + 2] = static_cast<Uint8>((x + y) / 32);
    }
  };
  WriteJpeg(show.Gfx("foto01.jpg"), 4000, 3000, 3, fill);
  ShowRun run = show.Play({}, {{"TOLVANE_CAPTURE", "2300"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(1) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  SDL_Surface* shot = run.Screen(kPhotoPhase);
  ASSERT_NE(shot, nullptr);
  SDL_Surface* raw = IMG_Load(show.Gfx("foto01.jpg").c_str());
  ASSERT_NE(raw, nullptr);
  SDL_Surface* photo = SDL_DisplayFormat(raw);
  SDL_FreeSurface(raw);
  // Right of and below the photo's corner at (123, 95) the screen holds only photo, but for
  // the names line that stands over it from y = 412.
  EXPECT_EQ(Differences(shot, photo, 123, 95, SDL_Rect{123, 95, 517, 317}), 0);
  SDL_FreeSurface(photo);
  SDL_FreeSurface(shot);
}

// A background 40000 pixels wide is more than SDL makes a surface of: the image library
// fails on it, and it is left out like any picture that does not load.
TEST_F(Reliability, PictureTooWideForSdlIsLeftOut) {
  show.DemoFiles();
  show.Photos(1);
  PngPicture picture = {40000, 2, PNG_COLOR_TYPE_GRAY, 8, nullptr, {}, {}};
  picture.fill = [](int, std::vector<Uint8>& row) { std::fill(row.begin(), row.end(), 200); };
  WritePng(show.Gfx("back.png"), picture);
  ShowRun run = show.Play({}, {{"TOLVANE_CAPTURE", "1700"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(
      run.err, LoadingLines(1, {{"back.png", "*"}}) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  SDL_Surface* shot = run.Screen(kBoxShown);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, nullptr, 0, 0, SDL_Rect{0, 0, kScreenWidth, 95}), 0)
      << "black above the box";
  SDL_FreeSurface(shot);
}

// The photo series.

TEST_F(Reliability, GapEndsTheSeriesAndLaterPhotosAreNeverOpened) {
  show.DemoFiles();
  show.Photos(7);
  fs::remove(show.Gfx("foto06.jpg"));
  MakePipe(show.Gfx("foto07.jpg"));
  ShowRun run = show.Play({}, {{"TOLVANE_PASS_MS", "100"}}, Within(60));
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(5) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(5));
}

void ExpectFiftyPhotoShow(const ShowRun& run) {
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(50) + std::vector<std::string>{kMusicPlaying}))
      << "no failure line: the 50th photo ends the series";
  EXPECT_EQ(run.LastFrame(), LastStep(50));
  // Every slot rendered its caption once, at its first step: slots past the 19 captions too.
  std::set<long> slotStarts;
  for (const auto& call : run.Calls("text")) slotStarts.insert(call[0]);
  std::set<long> expected;
  for (int q = 0; q < 50; q++) expected.insert(kSlot + 2000 * q);
  EXPECT_EQ(slotStarts, expected);
}

TEST_F(Reliability, ExactlyFiftyPhotosAllPlay) {
  show.DemoFiles();
  show.Photos(50);
  ExpectFiftyPhotoShow(show.Play({}, {{"TOLVANE_PASS_MS", "1000"}}));
}

TEST_F(Reliability, AFiftyFirstPhotoIsNeverOpened) {
  show.DemoFiles();
  show.Photos(50);
  MakePipe(show.Gfx("foto51.jpg"));
  ExpectFiftyPhotoShow(show.Play({}, {{"TOLVANE_PASS_MS", "1000"}}, Within(90)));
}

// Fonts and music.

struct BadFont {
  const char* name;
  std::function<void(const fs::path&)> apply;
};

void PrintTo(const BadFont& f, std::ostream* os) {
  *os << f.name;
}

class FontFile : public Reliability, public testing::WithParamInterface<BadFont> {};

TEST_P(FontFile, EndsTheProgramWithStatus2BeforeAnyPicture) {
  show.DemoFiles();
  show.Photos(1);
  GetParam().apply(show.Dir() / kFontFile);
  ShowRun run = show.Play({});
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, kAudioLine);
  EXPECT_TRUE(LinesMatch(run.err, {"Couldn't load 12 pt font from gfx/arial.ttf: *"}));
  EXPECT_TRUE(run.passes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FontFile,
    testing::Values(BadFont{"Text", [](const fs::path& p) { WriteText(p, "not a font\n"); }},
                    BadFont{"ZeroBytes", [](const fs::path& p) { Write(p, {}); }},
                    BadFont{"FirstHalf", Truncate}, BadFont{"Directory", MakeDirectory},
                    BadFont{"NamedPipe", MakePipe},
                    BadFont{"Missing", [](const fs::path& p) { fs::remove(p); }}),
    [](const testing::TestParamInfo<BadFont>& info) { return info.param.name; });

TEST_F(Reliability, FontWithoutUnicodeMapEndsTheProgramWithStatus2) {
  show.DemoFiles();
  StripUnicodeMaps(show.Dir() / kFontFile);
  ShowRun run = show.Play({});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, kAudioLine);
  EXPECT_TRUE(LinesMatch(run.err, {"Couldn't load 12 pt font from gfx/arial.ttf: *"}));
}

TEST_F(Reliability, CorruptModulesLeaveTheShowSilentWithItsFullTiming) {
  show.DemoFiles();
  show.Photos(1);
  const fs::path module = show.Dir() / kMusicFile;
  const std::vector<Uint8> good = Bytes(module);
  // Noise; the module's header with its sample lengths and pattern count scrambled; a text.
  std::vector<std::vector<Uint8>> corrupt(3, good);
  for (size_t i = 0; i < corrupt[0].size(); i++)
    corrupt[0][i] = static_cast<Uint8>(i * 2654435761u >> 13);
  for (size_t i = 20; i < 1080; i += 7) corrupt[1][i] ^= 0xA5;
  corrupt[2].assign(good.begin(), good.begin() + 100);
  for (const std::vector<Uint8>& bytes : corrupt) {
    Write(module, bytes);
    ShowRun run = show.Play({}, {{"TOLVANE_PASS_MS", "100"}});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(LinesMatch(
        run.err,
        LoadingLines(1) + std::vector<std::string>{"Music: Couldn't load sfx/belong.mod: *"}));
    EXPECT_EQ(run.LastFrame(), LastStep(1));
  }
}

// The mixer hands the file to the command in a child process; when the command cannot be
// started, that child says so on standard error (its own words, after the program's last
// line) and the show plays silent.
TEST_F(Reliability, MusicCommandThatDoesNotExistLeavesTheShowSilent) {
  show.DemoFiles();
  show.Photos(1);
  ShowRun run = show.Play({}, {{"MUSIC_CMD", "/nonexistent/player --loud"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kAudioLine);
  const size_t playing = run.err.find(kMusicPlaying);
  ASSERT_NE(playing, std::string::npos) << run.err;
  EXPECT_TRUE(LinesMatch(run.err.substr(0, playing), LoadingLines(1)));
  const std::string child = run.err.substr(playing + strlen(kMusicPlaying));
  const std::string failed = ": No such file or directory\n";
  EXPECT_TRUE(Lines(child).size() == 1 && child.size() > failed.size() &&
              child.compare(child.size() - failed.size(), failed.size(), failed) == 0)
      << child;
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  EXPECT_TRUE(StepsMatchClock(run));
}

// The viewer: Esc, window close and P in each phase of a one-photo show.

struct Phase {
  const char* name;
  const char* when;  // as the shim schedules an event
};

const Phase kPhases[] = {{"Loading", "t0"}, {"Black", "f100"},  {"Logo", "f1000"},
                         {"Box", "f1700"},  {"Photo", "f2300"}, {"EndPicture", "f4000"},
                         {"Fade", "f5900"}};

void PrintTo(const Phase& p, std::ostream* os) {
  *os << p.name;
}

class InPhase : public Reliability, public testing::WithParamInterface<Phase> {
 protected:
  void SetUp() override {
    Reliability::SetUp();
    show.DemoFiles();
    show.Photos(1);
  }
  const std::vector<std::string> wholeErr =
      LoadingLines(1) + std::vector<std::string>{kMusicPlaying};
};

// Takes effect at the next pass: that pass takes no step and draws; nothing is drawn after.
void ExpectQuitAt(const ShowRun& run, const std::string& what) {
  EXPECT_EQ(run.status, 0);
  const std::vector<Delivered> quit = Events(run, what);
  ASSERT_EQ(quit.size(), 1u);
  EXPECT_EQ(run.LastFrame(), quit[0].frame);
  // Frame 0 presents itself, and the loop presents it again.
  EXPECT_EQ(PassesBetween(run, quit[0].ms, ~0u), quit[0].frame == 0 ? 2 : 1);
  EXPECT_TRUE(StepsMatchClock(run, quit[0].ms));
}

TEST_P(InPhase, EscEndsTheShowAtTheNextPass) {
  ShowRun run = show.Play({}, {{"TOLVANE_EVENTS", std::string(GetParam().when) + ":esc"}});
  EXPECT_EQ(run.out, kAudioLine);
  EXPECT_TRUE(LinesMatch(run.err, wholeErr));
  ExpectQuitAt(run, "esc");
}

TEST_P(InPhase, WindowCloseEndsTheShowAtTheNextPass) {
  ShowRun run = show.Play({}, {{"TOLVANE_EVENTS", std::string(GetParam().when) + ":quit"}});
  EXPECT_TRUE(LinesMatch(run.err, wholeErr));
  ExpectQuitAt(run, "quit");
}

// Frozen for 3 s, then the show jumps to where it would have been and plays to its end.
TEST_P(InPhase, PauseFreezesAndResumeCatchesUp) {
  ShowRun run = show.Play({}, {{"TOLVANE_EVENTS", std::string(GetParam().when) + ":p,d3000:p"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, wholeErr));
  const std::vector<Delivered> p = Events(run, "p");
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[1].frame, p[0].frame) << "no step while paused";
  EXPECT_GE(p[1].ms - p[0].ms, 3000u);
  EXPECT_EQ(PassesBetween(run, p[0].ms, p[1].ms), 0) << "nothing drawn while paused";
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  EXPECT_TRUE(StepsMatchClock(run));
}

TEST_P(InPhase, EscWhilePausedEndsWithoutDrawingAgain) {
  ShowRun run = show.Play({}, {{"TOLVANE_EVENTS", std::string(GetParam().when) + ":p,d2000:esc"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, wholeErr));
  const std::vector<Delivered> p = Events(run, "p");
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(PassesBetween(run, p[0].ms, ~0u), 0);
  EXPECT_EQ(run.LastFrame(), p[0].frame);
}

INSTANTIATE_TEST_SUITE_P(Phases, InPhase, testing::ValuesIn(kPhases),
                         [](const testing::TestParamInfo<Phase>& info) { return info.param.name; });

TEST_F(Reliability, PauseSpanningTheLastStepEndsTheShowOnResume) {
  show.DemoFiles();
  show.Photos(1);
  ShowRun run = show.Play({}, {{"TOLVANE_EVENTS", "f6000:p,d5000:p"}});
  EXPECT_EQ(run.status, 0);
  const std::vector<Delivered> p = Events(run, "p");
  ASSERT_EQ(p.size(), 2u);
  // The resuming pass computes the rest of the fade and the last step, then draws once.
  EXPECT_EQ(PassesBetween(run, p[0].ms, ~0u), 1);
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  EXPECT_TRUE(StepsMatchClock(run));
}

// A held key gives one press (the program asks for no key repeat); its release does nothing.
TEST_F(Reliability, PHeldThroughManyPassesPausesOnce) {
  show.DemoFiles();
  show.Photos(1);
  ShowRun run = show.Play({}, {{"TOLVANE_EVENTS", "f1700:p,d2000:pup,d1000:shiftp,d500:pup"}});
  EXPECT_EQ(run.status, 0);
  const std::vector<Delivered> press = Events(run, "p"), release = Events(run, "pup"),
                               again = Events(run, "shiftp");
  ASSERT_EQ(press.size(), 1u);
  ASSERT_EQ(release.size(), 2u);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(PassesBetween(run, press[0].ms, again[0].ms), 0) << "paused from press to press";
  EXPECT_GT(PassesBetween(run, again[0].ms, ~0u), 100) << "P with Shift held resumes";
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  EXPECT_TRUE(StepsMatchClock(run));
}

TEST_F(Reliability, StormsOfUnrelatedEventsChangeNothing) {
  show.DemoFiles();
  show.Photos(1);
  ShowRun run = show.Play({}, {{"TOLVANE_EVENTS",
                                "t0:storm,f100:storm,f1700:storm,"
                                "f2300:storm,f4000:storm,f5900:storm"},
                               {"TOLVANE_CAPTURE", "1000,2300"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(1) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(Events(run, "storm").size(), 6u);
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  EXPECT_TRUE(StepsMatchClock(run));
  SDL_Surface* si = Picture("si.png");
  SDL_Surface* shot = run.Screen(kLogoStands);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(
      Differences(shot, si, (kScreenWidth - si->w) / 2, (kScreenHeight - si->h) / 2, kWholeScreen),
      0);
  SDL_FreeSurface(shot);
  SDL_FreeSurface(si);
}

// The command line, in real runs: the display mode asked for, the usage line, the whole show.

struct CommandLine {
  const char* name;
  std::vector<std::string> args;
  int depth;
  Uint32 flags;
  bool usage;
};

void PrintTo(const CommandLine& c, std::ostream* os) {
  *os << c.name;
}

// A virtual X server on a display number it picks itself, for as long as the object lives.
struct VirtualDisplay {
  pid_t server = 0;
  std::string name;

  bool Start() {
    int ready[2];
    if (pipe(ready) != 0) return false;
    server = fork();
    if (server == 0) {
      close(ready[0]);
      const std::string fd = std::to_string(ready[1]);
      if (!freopen("/dev/null", "w", stderr)) _exit(126);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "800x600x24", "-noreset",
             "-nolisten", "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    // The number and a line end come once the server is ready, in two writes; the server
    // gives up if the pipe closes between them.
    std::string number;
    char c;
    while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    close(ready[0]);
    if (number.empty()) return false;
    name = ":" + number;
    return true;
  }
  ~VirtualDisplay() {
    if (server <= 0) return;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
  }
};

constexpr Uint32 kFull = 0xC0100001, kWindowed = 0x40100001;

class Options : public Reliability, public testing::WithParamInterface<CommandLine> {};

TEST_P(Options, AskForTheirModeAndPlayTheShow) {
  const CommandLine& c = GetParam();
  show.DemoFiles();
  show.Photos(1);
  std::map<std::string, std::string> env = {{"TOLVANE_PASS_MS", "100"},
                                            {"TOLVANE_CAPTURE", "1000"}};
  RunOptions options;
  VirtualDisplay x;
  if (c.depth > 8 && c.depth < 32 && c.depth % 8 != 0) {
    // SDL's headless driver sizes its frame buffer in whole bytes per pixel, one byte short
    // for 15 bits: such a depth runs on a virtual X server instead.
    ASSERT_TRUE(x.Start()) << "no X server (scripts/setup installs xvfb)";
    env["SDL_VIDEODRIVER"] = "x11";
    env["DISPLAY"] = x.name;
  }
  ShowRun run = show.Play(c.args, env);
  const std::vector<std::vector<long>> video = run.Calls("video");
  ASSERT_EQ(video.size(), 1u) << run.err;
  EXPECT_EQ(video[0][0], c.depth);
  EXPECT_EQ(static_cast<Uint32>(video[0][1]), c.flags) << std::hex << video[0][1];
  std::vector<std::string> lines;
  if (c.usage)
    lines.push_back(std::string("Usage: ") + TOLVANE_EXE + " [-bpp N] [-warp] [-sw] [-windowed]");
  const int obtained = static_cast<int>(video[0][2]);
  if (obtained == 0) {  // SDL takes 8 to 32 bits per pixel
    EXPECT_TRUE(c.depth < 8 || c.depth > 32) << c.depth;
    EXPECT_EQ(run.status, 2);
    lines.push_back("Couldn't set 640x480x" + std::to_string(c.depth) + "bpp video mode: *");
    EXPECT_TRUE(LinesMatch(run.err, lines));
    return;
  }
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(
      LinesMatch(run.err, lines + LoadingLines(1) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));
  // The logo stands centred on black, in the depth obtained (compared pixel for pixel where
  // this process can open a display of that depth too).
  SDL_Surface* shot = run.Screen(kLogoStands);
  ASSERT_NE(shot, nullptr);
  if (obtained % 8 == 0) {
    OpenTestDisplay(obtained);
    SDL_Surface* si = Picture("si.png");
    EXPECT_EQ(Differences(shot, si, (kScreenWidth - si->w) / 2, (kScreenHeight - si->h) / 2,
                          kWholeScreen),
              0);
    SDL_FreeSurface(si);
  } else {
    SDL_Surface* si = Picture("si.png");
    const SDL_Rect logo = {static_cast<Sint16>((kScreenWidth - si->w) / 2),
                           static_cast<Sint16>((kScreenHeight - si->h) / 2),
                           static_cast<Uint16>(si->w), static_cast<Uint16>(si->h)};
    EXPECT_GT(Differences(shot, nullptr, 0, 0, logo), si->w * si->h / 4);
    EXPECT_EQ(Differences(shot, nullptr, 0, 0, kWholeScreen),
              Differences(shot, nullptr, 0, 0, logo));
    SDL_FreeSurface(si);
  }
  SDL_FreeSurface(shot);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Options,
    testing::Values(
        CommandLine{"None", {}, 16, kFull, false},
        CommandLine{"WindowedSw", {"-windowed", "-sw"}, 16, 0x40100000, false},
        CommandLine{"SwWindowed", {"-sw", "-windowed"}, 16, 0x40100000, false},
        CommandLine{"Warp", {"-warp"}, 16, 0xE0100001, false},
        CommandLine{"Bpp32Windowed", {"-bpp", "32", "-windowed"}, 32, kWindowed, false},
        CommandLine{"WindowedBpp32", {"-windowed", "-bpp", "32"}, 32, kWindowed, false},
        CommandLine{"Bpp8", {"-bpp", "8", "-windowed"}, 8, kWindowed, false},
        CommandLine{"Bpp15", {"-bpp", "15", "-windowed"}, 15, kWindowed, false},
        CommandLine{"Bpp16", {"-bpp", "16", "-windowed"}, 16, kWindowed, false},
        CommandLine{"Bpp24", {"-bpp", "24", "-windowed"}, 24, kWindowed, false},
        CommandLine{"Bpp0TakesTheDesktops", {"-windowed", "-bpp", "0"}, 0, kWindowed, false},
        CommandLine{"Bpp256KeepsTheLow8Bits", {"-bpp", "256"}, 0, kFull, false},
        CommandLine{"BppMinus1Is255", {"-bpp", "-1"}, 255, kFull, false},
        CommandLine{"BppText", {"-bpp", "x"}, 0, kFull, false},
        CommandLine{"BppHuge", {"-bpp", "99999999999999999999999"}, 255, kFull, false},
        CommandLine{"LeftmostBppWins", {"-bpp", "24", "-bpp", "32"}, 24, kFull, false},
        CommandLine{"BppTakesAnOptionAsItsValue", {"-bpp", "-windowed"}, 0, kFull, false},
        CommandLine{"BppAlone", {"-bpp"}, 16, kFull, true},
        CommandLine{"UnknownThenWindowed", {"-fast", "-windowed"}, 16, kWindowed, true},
        CommandLine{"WindowedThenUnknown", {"-windowed", "-fast"}, 16, kFull, true},
        CommandLine{"CaseMatters", {"-Windowed"}, 16, kFull, true},
        CommandLine{"EmptyArgument", {"", "-sw"}, 16, 0xC0100000, true},
        CommandLine{"LongArgument", {std::string(100000, 'w'), "-warp"}, 16, 0xE0100001, true}),
    [](const testing::TestParamInfo<CommandLine>& info) { return info.param.name; });

// Every depth the programs accept draws the show right on the headless driver too, whose
// buffer at 15 bits is a byte a pixel short for SDL's own format: the live show plays on, and
// the renderer's frame at each depth, at the show's size and at a screen's, is its 32-bit
// frame in fewer colours.
TEST_F(Reliability, EveryAcceptedDepthDrawsRightHeadless) {
  show.DemoFiles();
  show.Photos(1);
  auto rendered = [&](int depth, const std::string& size) {
    const fs::path png = show.Dir() / "frame.png";
    const ShowRun run = ::Run(show.Dir(),
                              {TOLVANE_RENDER, "--frame", std::to_string(kPhotoPhase), "--bpp",
                               std::to_string(depth), "--size", size, "-o", png.string()},
                              {}, 120);
    EXPECT_EQ(run.status, 0) << run.err;
    SDL_Surface* picture = IMG_Load(png.c_str());
    fs::remove(png);
    return picture;
  };
  for (const std::string size : {"640x480", "1280x720"}) {
    SDL_Surface* truth = rendered(32, size);
    for (int depth : {8, 15, 16, 24}) {
      SCOPED_TRACE(size + " at " + std::to_string(depth) + " bits");
      SDL_Surface* picture = rendered(depth, size);
      // 3-3-2 colours lose much; the others a bit or three of each channel.
      EXPECT_GE(Psnr(picture, truth), depth == 8 ? 18 : 30);
      if (picture) SDL_FreeSurface(picture);
    }
    SDL_FreeSurface(truth);
  }
  for (int depth : {8, 15, 16, 24, 32}) {
    SCOPED_TRACE("tolvane -bpp " + std::to_string(depth));
    const ShowRun run = show.Play({"-bpp", std::to_string(depth), "-windowed"},
                                  {{"TOLVANE_EVENTS", "f" + std::to_string(kPhotoPhase) + ":esc"}});
    EXPECT_EQ(run.status, 0) << run.err;
  }
}

// Timing under load: slow drawing passes never make the show lose, skip or repeat a step.

// Lines of text the caption set-up renders for record c: the names line and every non-empty
// line of the description (an empty line is never handed to the renderer).
int TextLinesOfCaption(int c) {
  int lines = 1;
  const std::string description = texty[c][kCaptionDescription];
  for (const std::string& line : Lines(description)) lines += !line.empty();
  return lines;
}

class SlowPasses : public Reliability, public testing::WithParamInterface<const char*> {};

// Each slot start rendered its caption exactly once, at its own step, slots in order.
void ExpectEachCaptionRenderedOnceAtItsSlot(const ShowRun& run, int photos) {
  LoadTXT2();
  std::vector<std::pair<long, int>> renders;  // frame, lines rendered there
  for (const auto& call : run.Calls("text")) {
    if (renders.empty() || renders.back().first != call[0]) renders.push_back({call[0], 0});
    renders.back().second++;
  }
  ASSERT_EQ(renders.size(), static_cast<size_t>(photos));
  for (int q = 0; q < photos; q++) {
    EXPECT_EQ(renders[q].first, kSlot + 2000 * q);
    EXPECT_EQ(renders[q].second, TextLinesOfCaption(q)) << "slot " << q;
  }
}

// The snapshot for the fade was taken once, at ENDTIME + 1 (the loader's own screen-sized
// pictures come before the show).
void ExpectOneSnapshotAt(const ShowRun& run, long step) {
  std::vector<long> snapshots;
  for (const auto& call : run.Calls("surface"))
    if (call[0] > 0 && call[1] == kScreenWidth && call[2] == kScreenHeight)
      snapshots.push_back(call[0]);
  EXPECT_EQ(snapshots, std::vector<long>{step});
}

// The box of slot q stands until offset 780 is computed and is gone from the next pass on.
void ExpectTheBoxGoneFromThePassAfterTheHide(const ShowRun& run, int q) {
  const int s = kSlot + 2000 * q;
  SDL_Surface* back = Picture("back.png");
  SDL_Surface* photo = Picture(PhotoName(q + 1).file);
  int before = 0, after = 0;
  for (const Pass& p : run.passes) {
    const int offset = p.frame - s;
    if (offset < 680 || offset > 840) continue;
    SDL_Surface* shot = run.Screen(p.frame);
    ASSERT_NE(shot, nullptr) << p.frame;
    if (offset < kHide) {
      before++;
      EXPECT_GT(Differences(shot, back, 0, 0, kBoxArea), 0) << "box shown at " << p.frame;
    } else if (offset < kPhotoShown) {
      after++;
      EXPECT_EQ(Differences(shot, back, 0, 0, kWholeScreen), 0) << "box gone at " << p.frame;
    } else {
      after++;
      EXPECT_EQ(Differences(shot, photo, 123, 95, kPhotoArea), 0) << "photo at " << p.frame;
    }
    SDL_FreeSurface(shot);
  }
  EXPECT_GT(before, 0) << "slot " << q;
  EXPECT_GT(after, 0) << "slot " << q;
  SDL_FreeSurface(photo);
  SDL_FreeSurface(back);
}

TEST_P(SlowPasses, KeepEveryStepOnceAndInOrder) {
  constexpr int kPhotos = kDemoPhotos;
  show.DemoFiles();
  show.Photos(kPhotos);
  // Around the hide offset of the first, a middle and the last slot, every pass is saved: at
  // least one on either side, since a pass takes at most 50 steps.
  const int watched[] = {0, 9, 18};
  std::string ranges;
  for (int q : watched) {
    const int s = kSlot + 2000 * q;
    ranges += (ranges.empty() ? "" : ",") + std::to_string(s + 680) + "-" + std::to_string(s + 840);
  }
  ShowRun run = show.Play({}, {{"TOLVANE_PASS_MS", GetParam()}, {"TOLVANE_CAPTURE_RANGE", ranges}});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(kPhotos) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(kPhotos));
  EXPECT_TRUE(StepsMatchClock(run));
  ExpectEachCaptionRenderedOnceAtItsSlot(run, kPhotos);
  ExpectOneSnapshotAt(run, 2000 * kPhotos + 3801);
  for (int q : watched) ExpectTheBoxGoneFromThePassAfterTheHide(run, q);
}

INSTANTIATE_TEST_SUITE_P(Load, SlowPasses, testing::Values("50", "500", "500,50,7,1,130"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = std::string("Ms") + info.param;
                           std::replace(name.begin(), name.end(), ',', '_');
                           return name;
                         });

// Whole shows (labelled slow): memory is measured by the shim at the first pass of every slot,
// just after the slot's caption pictures replaced the last slot's.

class FullLength : public Reliability, public testing::WithParamInterface<int> {};

TEST_P(FullLength, PlaysToItsEndWithMemoryFlatFromSlotToSlot) {
  const int photos = GetParam();
  show.DemoFiles();
  show.Photos(photos);
  ShowRun run = show.Play({}, {{"TOLVANE_MEM_EVERY", "1300:2000"}}, Within(900));
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kAudioLine);
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(photos) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(photos));
  EXPECT_TRUE(StepsMatchClock(run));

  const std::vector<std::vector<long>> mem = run.Calls("mem");
  ASSERT_GE(mem.size(), static_cast<size_t>(photos));
  long low = mem[1][1], high = mem[1][1];
  for (int q = 0; q < photos; q++) {
    EXPECT_EQ((mem[q][0] - kSlot) / 2000, q) << "measured in slot " << q;
    std::cout << "slot " << q << ": heap " << mem[q][1] << " B, resident " << mem[q][2] << " kB\n";
    if (q == 0) continue;  // the first slot start also makes the renderer's lasting caches
    low = std::min(low, mem[q][1]);
    high = std::max(high, mem[q][1]);
  }
  RecordProperty("heap_spread_bytes", std::to_string(high - low));
  RecordProperty("resident_kb_first_last",
                 std::to_string(mem[0][2]) + " " + std::to_string(mem[photos - 1][2]));
  // One description picture alone is 400 x 300 pixels of 2 bytes: a picture kept per slot
  // would add that much every slot. What varies is the size of the slot's own captions.
  EXPECT_LT(high - low, 64 * 1024) << "heap in use from slot 1 to the last";
}

INSTANTIATE_TEST_SUITE_P(Shows, FullLength, testing::Values(19, 50),
                         [](const testing::TestParamInfo<int>& info) {
                           return "Photos" + std::to_string(info.param);
                         });

// One short show under valgrind's memcheck: no invalid access, no block definitely lost but
// the music module that the program keeps until the end (tests/valgrind.supp).
class Valgrind : public Reliability {};

TEST_F(Valgrind, ShortShowHasNoInvalidAccessAndLosesNothing) {
#ifdef TOLVANE_SANITIZED
  GTEST_SKIP() << "valgrind does not run sanitized programs";
#endif
  ASSERT_EQ(system("valgrind --version >/dev/null 2>&1"), 0)
      << "valgrind is missing (scripts/setup installs it)";
  show.DemoFiles();
  show.Photos(1);
  const fs::path log = show.Dir() / "valgrind.txt";
  RunOptions options = Within(600);
  options.wrapper = {"valgrind",
                     "--error-exitcode=99",
                     "--leak-check=full",
                     "--errors-for-leak-kinds=definite",
                     "--show-leak-kinds=definite",
                     "--num-callers=40",
                     "--suppressions=" TOLVANE_TESTS_DIR "/valgrind.supp",
                     "--log-file=" + log.string()};
  ShowRun run = show.Play({}, {{"TOLVANE_EVENTS", "f1700:p,d1000:p"}}, options);
  const std::string report = Slurp(log);
  EXPECT_EQ(run.status, 0) << report;
  EXPECT_NE(report.find("ERROR SUMMARY: 0 errors"), std::string::npos) << report;
  EXPECT_TRUE(LinesMatch(run.err, LoadingLines(1) + std::vector<std::string>{kMusicPlaying}));
  EXPECT_EQ(run.LastFrame(), LastStep(1));
}

}  // namespace
