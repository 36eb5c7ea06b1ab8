// tolvane -fit under a real X server (Xvfb) and the controlled clock: the displays it opens,
// each presented display against tolvane-render --size, window resizes and F, the fallback
// where the desktop's size is unknown; and the video at a big size.
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "anim/canvas.h"
#include "facts.h"
#include "showrun.h"
#include "testing.h"

namespace fs = std::filesystem;

namespace {

// Pixels whose colours differ in their top `bits` of red and blue (one more of green: a 5-6-5
// display's, which X and PNG widen each their own way); a size that differs counts every pixel.
long ColourDifferences(SDL_Surface* a, SDL_Surface* b, int bits = 8) {
  if (!a || !b) return -1;
  if (a->w != b->w || a->h != b->h) return static_cast<long>(a->w) * a->h;
  long differ = 0;
  for (int y = 0; y < a->h; y++)
    for (int x = 0; x < a->w; x++) {
      Uint8 c[2][3];
      SDL_GetRGB(PixelAt(a, x, y), a->format, &c[0][0], &c[0][1], &c[0][2]);
      SDL_GetRGB(PixelAt(b, x, y), b->format, &c[1][0], &c[1][1], &c[1][2]);
      for (int i = 0; i < 3; i++) {
        const int drop = 8 - std::min(8, bits + (i == 1));
        c[0][i] >>= drop;
        c[1][i] >>= drop;
      }
      if (memcmp(c[0], c[1], 3) != 0) differ++;
    }
  return differ;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The energy of a picture's finest detail: the mean square of the Laplacian of its grey.
double FineDetail(SDL_Surface* p) {
  auto grey = [p](int x, int y) {
    const SDL_Color c = ColourAt(p, x, y);
    return (c.r + c.g + c.b) / 3.0;
  };
  double sum = 0;
  for (int y = 1; y + 1 < p->h; y++)
    for (int x = 1; x + 1 < p->w; x++) {
      const double l =
          4 * grey(x, y) - grey(x - 1, y) - grey(x + 1, y) - grey(x, y - 1) - grey(x, y + 1);
      sum += l * l;
    }
  return sum / ((p->w - 2.0) * (p->h - 2.0));
}

// Whether every pixel of `picture` outside `area` is black.
bool BarsAreBlack(SDL_Surface* picture, const SDL_Rect& area) {
  for (int y = 0; y < picture->h; y++)
    for (int x = 0; x < picture->w; x++) {
      const bool inside = x >= area.x && x < area.x + area.w && y >= area.y && y < area.y + area.h;
      if (!inside && PixelAt(picture, x, y) != SDL_MapRGB(picture->format, 0, 0, 0)) return false;
    }
  return true;
}

class Fit : public testing::Test {
 protected:
  ShowFolder show{std::string("fit-") +
                  testing::UnitTest::GetInstance()->current_test_info()->name()};

  void SetUp() override {
    OpenTestDisplay(16);
    show.DemoFiles();
    show.Photos(2);
  }

  // The show under an X screen of `screen` (WxH), started from display number 91 up to the
  // first free one, with the clock shim loaded into the show alone. Without -noreset the
  // server resets as SDL closes its first look at the display, and may refuse the next.
  ShowRun PlayOnX(const std::string& screen, std::vector<std::string> args,
                  std::map<std::string, std::string> env) {
    RunOptions options;
    options.shim = "";
    options.wrapper = {"xvfb-run", "-a",
                       "-n",       "91",
                       "-s",       "-noreset -screen 0 " + screen + "x24",
                       "env",      "LD_PRELOAD=" TOLVANE_CLOCKSHIM};
    env["SDL_VIDEODRIVER"] = "x11";
    return show.Play(std::move(args), std::move(env), options);
  }

  SDL_Surface* Shot(int f) {
    return SDL_LoadBMP((show.Dir() / "shots" / ("frame-" + std::to_string(f) + ".bmp")).c_str());
  }

  // The renderer's picture of frame `f` at `size`, drawn as `how` says (--bpp N, --pixels).
  SDL_Surface* Rendered(int f, const std::string& size, std::vector<std::string> how) {
    const fs::path png = show.Dir() / ("render-" + size + "-" + std::to_string(f) + ".png");
    std::vector<std::string> args = {TOLVANE_RENDER, "--frame", std::to_string(f), "--size",
                                     size,           "-o",      png.string()};
    args.insert(args.end(), how.begin(), how.end());
    const ShowRun run = ::Run(show.Dir(), args, {}, 120);
    EXPECT_EQ(run.status, 0) << run.err;
    return IMG_Load(png.c_str());
  }

  // The renderer's PNG of frame `f` with `how` (--size, --bpp, ...), as it wrote it.
  SDL_Surface* Frame(int f, std::vector<std::string> how, std::string* err = nullptr) {
    const fs::path png = show.Dir() / ("frame-" + std::to_string(f) + ".png");
    std::vector<std::string> args = {TOLVANE_RENDER, "--frame", std::to_string(f), "-o",
                                     png.string()};
    args.insert(args.end(), how.begin(), how.end());
    const ShowRun run = ::Run(show.Dir(), args, {}, 120);
    EXPECT_EQ(run.status, 0) << run.err;
    if (err) *err = run.err;
    SDL_Surface* picture = IMG_Load(png.c_str());
    fs::remove(png);
    return picture;
  }

  // libvips's `args` run on files of the show folder (crop, resize, ...).
  void Vips(std::vector<std::string> args) {
    args.insert(args.begin(), "vips");
    const ShowRun run = ::Run(show.Dir(), args, {}, 120);
    ASSERT_EQ(run.status, 0) << run.err;
  }

  // The screen presented at `f` against the renderer's frame at the display's size.
  void ExpectRendererFrame(int f, int w, int h, std::vector<std::string> how = {}, int bits = 8) {
    SCOPED_TRACE("frame " + std::to_string(f));
    SDL_Surface* shot = Shot(f);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->w, w);
    EXPECT_EQ(shot->h, h);
    SDL_Surface* picture = Rendered(f, std::to_string(w) + "x" + std::to_string(h), how);
    EXPECT_EQ(ColourDifferences(shot, picture, bits), 0);
    SDL_FreeSurface(shot);
    if (picture) SDL_FreeSurface(picture);
  }
};

// The logo standing, the description box, the photo with its names line: on each screen the
// display of the desktop's size (a window of the largest whole multiple that fits), each
// presented frame the renderer's at that size (drawn at it, or the 640x480 show enlarged with
// -pixels), and the same steps as the 640x480 show.
TEST_F(Fit, EveryScreenShowsTheRenderersFramesAtItsSize) {
  // 2110: the names line entering from beyond the right edge, over the bar.
  const std::string frames = "700,1900,2110,2300";
  const ShowRun plain =
      show.Play({}, {{"TOLVANE_CAPTURE", frames}, {"TOLVANE_EVENTS", "f2301:esc"}});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const struct {
    const char* screen;
    std::vector<std::string> args;
    int w, h;
    std::vector<std::string> how;
    int bits;  // of each channel the display holds
  } kCases[] = {
      {"1920x1080", {"-fit"}, 1920, 1080, {}, 8},
      {"1280x720", {"-fit", "-pixels"}, 1280, 720, {"--pixels", "--bpp", "16"}, 8},
      {"1920x1080", {"-fit", "-windowed"}, 1280, 960, {}, 8},
      {"1280x720", {"-bpp", "16", "-fit", "-sw"}, 1280, 720, {"--bpp", "16"}, 5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.screen) + " " + c.args.front());
    const ShowRun run =
        PlayOnX(c.screen, c.args, {{"TOLVANE_CAPTURE", frames}, {"TOLVANE_EVENTS", "f2301:esc"}});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.passes.size(), plain.passes.size());
    for (size_t i = 0; i < run.passes.size(); i++)
      ASSERT_EQ(run.passes[i].frame, plain.passes[i].frame) << "pass " << i;
    for (int f : {700, 1900, 2110, 2300}) ExpectRendererFrame(f, c.w, c.h, c.how, c.bits);
    fs::remove_all(show.Dir() / "shots");
  }
}

// Resized to a pixel, to far beyond any screen, to an odd size, then F: no crash; the big
// window holds no more than its own pixels and the pictures drawn at its size; each display
// shows the picture.
TEST_F(Fit, WindowFollowsResizesAndFTogglesFullScreen) {
  const ShowRun run = PlayOnX(
      "1920x1080", {"-fit", "-windowed"},
      {{"TOLVANE_CAPTURE", "1050,1250,1350"},
       {"TOLVANE_MEM_EVERY", "1050:100"},
       {"TOLVANE_EVENTS",
        "f1000:resize1x1,f1100:resize20000x20000,f1200:resize1001x700,f1300:fkey,f1400:esc"}});
  ASSERT_EQ(run.status, 0) << run.err;
  SDL_Surface* tiny = Shot(1050);
  ASSERT_NE(tiny, nullptr);
  EXPECT_EQ(tiny->w * tiny->h, 1);
  SDL_FreeSurface(tiny);
  ExpectRendererFrame(1250, 1001, 700);
  ExpectRendererFrame(1350, 1920, 1080);
  const auto mem = run.Calls("mem");
  ASSERT_GE(mem.size(), 2u);
#ifdef TOLVANE_SANITIZED
  GTEST_SKIP() << "the sanitizer keeps freed memory and its own shadow: no bound to check";
#endif
  // Drawn at 9 times the show: the display, the background and end picture at the size of the
  // show's area, the photos of at most three slots.
  const long displayKb = 7680L * 4320 * 4 / 1024, areaKb = 5760L * 4320 * 4 / 1024;
  const long photoKb = 9L * kPhotoWidth * 9 * kPhotoHeight * 4 / 1024, fewMiB = 8 * 1024;
  EXPECT_LE(mem[1][2] - mem[0][2], displayKb + 2 * areaKb + 3 * photoKb + fewMiB)
      << "resident kB at the 8K window";
}

// SDL's dummy driver knows no desktop: one line says so and the show is the 640x480 one.
TEST_F(Fit, UnknownDesktopSizeOpensTheShowsOwnSize) {
  const ShowRun run =
      show.Play({"-fit"}, {{"TOLVANE_CAPTURE", "2300"}, {"TOLVANE_EVENTS", "f2301:esc"}});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("-fit: the desktop's size is unknown here; the show opens at 640x480\n"),
            std::string::npos)
      << run.err;
  const auto video = run.Calls("video");
  ASSERT_EQ(video.size(), 1u);
  EXPECT_EQ(video[0][0], 16);
  EXPECT_EQ(video[0][1], 0xC0100001L);
  SDL_Surface* shot = Shot(2300);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(shot->w, kScreenWidth);
  SDL_FreeSurface(shot);
}

}  // namespace

namespace {

// What ffprobe says of `video`: one line of "key=value" pairs per stream and chapter.
std::string Probe(const fs::path& dir, const fs::path& video) {
  const fs::path out = dir / "probe.txt";
  const std::string command =
      "ffprobe -v error -show_entries stream=codec_type,codec_name,width,height:"
      "chapter=start_time,end_time:chapter_tags=title -of compact=p=0 '" +
      video.string() + "' > '" + out.string() + "'";
  return system(command.c_str()) == 0 ? Slurp(out) : "";
}

// The opening and the first photo slot of a two-photo show at 1280x720: the picture's size, a
// chapter for the opening and each slot named by its names line, and the captions as a
// subtitle track of the container's kind and as the --subtitles file.
TEST_F(Fit, VideoAtABigSizeHasChaptersAndCaptions) {
  const struct {
    const char* name;
    const char* subtitles;
  } kCases[] = {{"show.mp4", "codec_name=mov_text"}, {"show.mkv", "codec_name=subrip"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const fs::path video = show.Dir() / c.name, srt = show.Dir() / "show.srt";
    const ShowRun run = ::Run(show.Dir(),
                              {TOLVANE_RENDER, "--video", video.string(), "--size", "1280x720",
                               "--fps", "25", "--to", "25s", "--subtitles", srt.string()},
                              {}, 240);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string probe = Probe(show.Dir(), video);
    EXPECT_NE(probe.find("codec_name=h264|codec_type=video|width=1280|height=720"),
              std::string::npos)
        << probe;
    EXPECT_NE(probe.find(c.subtitles), std::string::npos) << probe;
    EXPECT_NE(probe.find("start_time=0.000000|end_time=13.000000|tag:title=Opening"),
              std::string::npos)
        << probe;
    EXPECT_NE(probe.find("start_time=13.000000|end_time=25.010000|tag:title=Everyone, plus the "
                         "minibus"),
              std::string::npos)
        << probe;
    // The first slot's description while its box stands, its names line with the photo.
    const std::string cues = Slurp(srt);
    EXPECT_EQ(cues.rfind("1\n00:00:13,000 --> 00:00:20,800\nDay one: the minibus", 0), 0u) << cues;
    EXPECT_NE(cues.find("2\n00:00:21,000 --> 00:00:25,010\nEveryone, plus the minibus\n\n"),
              std::string::npos)
        << cues;
  }
}

// Sizes the renderer refuses, with exit status 2.
TEST_F(Fit, SizesOutsideTheRangeAreUsageErrors) {
  const fs::path out = show.Dir() / "x.mp4";
  for (const char* size : {"639x480", "1920", "1920x1080x", "7682x4320", "1281x720", "-640x480"}) {
    SCOPED_TRACE(size);
    const ShowRun run =
        ::Run(show.Dir(), {TOLVANE_RENDER, "--video", out.string(), "--size", size}, {}, 60);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("--size"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out));
  }
}

}  // namespace

// Drawn at 1920x1080, each phase of the show is its 640x480 frame at the screen's resolution:
// brought back down to 640x480 by libvips, close to the frame the show draws at its own size.
TEST_F(Fit, NativeFramesAreTheShowsFramesAtTheScreensResolution) {
  const int endTime = 2 * kSlotLength + kFramesAroundSlots;
  const struct {
    const char* what;
    int frame;
  } kCases[] = {{"the logo", 700},
                {"a caption box", kFirstSlot + 400},
                {"a photo and its names line", kFirstSlot + 1500},
                {"the end picture", endTime - 1000},
                {"the fade", endTime + 200}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    SDL_Surface* small = Frame(c.frame, {"--bpp", "32"});
    SDL_Surface* big = Frame(c.frame, {"--size", "1920x1080"});
    ASSERT_TRUE(small && big);
    const SDL_Rect area = FitInside(1920, 1080);
    EXPECT_TRUE(BarsAreBlack(big, area));
    ASSERT_EQ(SDL_SaveBMP(big, (show.Dir() / "big.bmp").c_str()), 0);
    Vips({"crop", "big.bmp", "area.v", std::to_string(area.x), std::to_string(area.y),
          std::to_string(area.w), std::to_string(area.h)});
    const double down = static_cast<double>(kScreenWidth) / area.w;
    Vips({"resize", "area.v", "down.png", std::to_string(down)});
    SDL_Surface* scaled = IMG_Load((show.Dir() / "down.png").c_str());
    EXPECT_GE(Psnr(scaled, small), 24);
    for (SDL_Surface* p : {small, big, scaled})
      if (p) SDL_FreeSurface(p);
  }
}

// What enters from beyond the show's edges never shows in the bars beside or above it: the
// names line entering from the right of a wide screen, the logo dropping in on a tall one.
TEST_F(Fit, NothingIsDrawnOutsideTheShowsArea) {
  const struct {
    const char* size;
    int w, h, from, to;
  } kCases[] = {{"1920x1080", 1920, 1080, kFirstSlot + 803, kFirstSlot + 823},
                {"1280x1024", 1280, 1024, 381, 401}};
  for (const auto& c : kCases)
    for (int f = c.from; f <= c.to; f += 5) {
      SCOPED_TRACE(std::string(c.size) + " frame " + std::to_string(f));
      SDL_Surface* picture = Frame(f, {"--size", c.size});
      ASSERT_NE(picture, nullptr);
      EXPECT_TRUE(BarsAreBlack(picture, FitInside(c.w, c.h)));
      SDL_FreeSurface(picture);
    }
}

// A larger source in gfx/hd/ is drawn from where it fits; one that does not decode, or is of
// another shape, leaves the gfx/ picture enlarged as without it, and says so.
TEST_F(Fit, LargeSourcesAreUsedOnlyWhereTheyFit) {
  const int photoFrame = kFirstSlot + 1000, boxFrame = kFirstSlot + 400;
  SDL_Surface* plainPhoto = Frame(photoFrame, {"--size", "1920x1080"});
  SDL_Surface* plainBox = Frame(boxFrame, {"--size", "1920x1080"});
  fs::create_directories(show.Dir() / "gfx" / "hd");
  const fs::path hd = show.Dir() / "gfx" / "hd";
  // A photo whose scan names no component of its frame, which libjpeg refuses, and a
  // background of another shape: the frames as without them.
  Vips({"resize", "gfx/foto01.jpg", "gfx/hd/foto01.jpg", "4.5"});
  std::string bytes = ReadFile(hd / "foto01.jpg");
  const size_t scan = bytes.find("\xFF\xDA");
  ASSERT_NE(scan, std::string::npos);
  bytes[scan + 5] = 99;  // after the marker, the length and the count: the first component
  WriteFile(hd / "foto01.jpg", bytes);
  Vips({"black", "gfx/hd/back.png", "2880", "1800"});
  std::string err;
  SDL_Surface* photo = Frame(photoFrame, {"--size", "1920x1080", "-v"}, &err);
  SDL_Surface* box = Frame(boxFrame, {"--size", "1920x1080"});
  EXPECT_EQ(ColourDifferences(photo, plainPhoto), 0);
  EXPECT_EQ(ColourDifferences(box, plainBox), 0);
  EXPECT_NE(err.find("gfx/hd/foto01.jpg"), std::string::npos) << err;
  EXPECT_NE(err.find("gfx/hd/back.png"), std::string::npos) << err;
  // A background that fits is drawn: black where the demo's is not.
  Vips({"black", "gfx/hd/back.png", "2880", "2160"});
  SDL_Surface* drawn = Frame(boxFrame, {"--size", "1920x1080"});
  ASSERT_NE(drawn, nullptr);
  const SDL_Color corner = ColourAt(drawn, 250, 10);
  EXPECT_EQ(corner.r + corner.g + corner.b, 0);
  for (SDL_Surface* p : {plainPhoto, plainBox, photo, box, drawn})
    if (p) SDL_FreeSurface(p);
}

// Paused, the picture stands through a resize of the window and F: drawn again each time on
// the display as it now is, the frame it stood at.
TEST_F(Fit, PausedPictureStandsThroughResizesAndF) {
  const ShowRun run =
      PlayOnX("1920x1080", {"-fit", "-windowed"},
              {{"TOLVANE_CAPTURE_RANGE", "990-1200"},
               {"TOLVANE_EVENTS", "f1000:p,d300:resize1001x700,d300:fkey,d300:p,d300:esc"}});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto events = run.Calls("event");
  ASSERT_FALSE(events.empty());
  const int paused = static_cast<int>(events[0][1]);  // "event p FRAME MS"
  // The last screen presented at the frame paused at: after F, at the desktop's size.
  ExpectRendererFrame(paused, 1920, 1080);
}

// A show made by tolvane-make from a photo of fine detail, at 1920x1080: the photo's area is its
// own photo fitted there by libvips, far closer than the 640x480 show enlarged; the caption's
// text has sharper detail than the enlarged one's.
TEST_F(Fit, AMadeShowDrawsItsPhotosAndTextAtTheScreensResolution) {
  fs::create_directories(show.Dir() / "photos");
  // The photo area's shape, so that the photo fills it without a matte; waves of 7 and 11
  // pixels, which a screen at 9/4 of the show holds (at 3 and 5 of its pixels) and the show's
  // own 394x290 photo loses.
  const std::string photo = (show.Dir() / "photos" / "fine.jpg").string();
  ASSERT_TRUE(WriteTestJpeg(photo, JpegKind{}, 5 * kPhotoWidth, 5 * kPhotoHeight, 95,
                            [](int y, std::vector<Uint8>& row) {
                              for (size_t i = 0; i < row.size(); i++) {
                                const int x = static_cast<int>(i / 3), c = static_cast<int>(i % 3);
                                const double wave = std::sin(x * 2 * M_PI / (c == 1 ? 11 : 7)) *
                                                    std::sin(y * 2 * M_PI / (c == 2 ? 7 : 11));
                                row[i] = static_cast<Uint8>(128 + 100 * wave);
                              }
                            }));
  const ShowRun made =
      ::Run(show.Dir(), {TOLVANE_MAKE, "-o", "made", photo, "--title", "Fine detail"}, {}, 120);
  ASSERT_EQ(made.status, 0) << made.err;
  auto frame = [&](int f, std::vector<std::string> how) {
    how.insert(how.begin(), {"-C", (show.Dir() / "made").string(), "--size", "1920x1080"});
    return Frame(f, how);
  };
  // The photo's rectangle on the canvas, by the show's one rounding rule.
  const SDL_Rect area = FitInside(1920, 1080);
  auto edge = [](int origin, int size, int unit, int v) { return origin + v * size / unit; };
  const int x0 = edge(area.x, area.w, kScreenWidth, kPhotoX),
            x1 = edge(area.x, area.w, kScreenWidth, kPhotoX + kPhotoWidth),
            y0 = edge(area.y, area.h, kScreenHeight, kPhotoY),
            y1 = edge(area.y, area.h, kScreenHeight, kPhotoY + kPhotoHeight);
  Vips({"thumbnail", photo, "truth.png", std::to_string(x1 - x0), "--height",
        std::to_string(y1 - y0), "--size", "force"});
  SDL_Surface* truth = IMG_Load((show.Dir() / "truth.png").c_str());
  double psnr[2] = {0, 0}, detail[2] = {0, 0};
  const std::vector<std::string> ways[2] = {{}, {"--pixels"}};
  for (int i = 0; i < 2; i++) {
    SDL_Surface* photoFrame = frame(kFirstSlot + 1000, ways[i]);
    SDL_Surface* boxFrame = frame(kFirstSlot + 400, ways[i]);
    ASSERT_TRUE(photoFrame && boxFrame && truth);
    SDL_Surface* cut = SDL_CreateRGBSurface(0, x1 - x0, y1 - y0, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Rect from = {static_cast<Sint16>(x0), static_cast<Sint16>(y0), static_cast<Uint16>(cut->w),
                     static_cast<Uint16>(cut->h)};
    SDL_BlitSurface(photoFrame, &from, cut, nullptr);
    psnr[i] = Psnr(cut, truth);
    // The caption box's middle, where its text stands.
    SDL_Surface* text = SDL_CreateRGBSurface(0, 600, 120, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_Rect box = {static_cast<Sint16>(edge(area.x, area.w, kScreenWidth, kBoxX + 50)),
                    static_cast<Sint16>(edge(area.y, area.h, kScreenHeight, kBoxY + 110)), 600,
                    120};
    SDL_BlitSurface(boxFrame, &box, text, nullptr);
    detail[i] = FineDetail(text);
    for (SDL_Surface* p : {photoFrame, boxFrame, cut, text}) SDL_FreeSurface(p);
  }
  EXPECT_GE(psnr[0], 30) << "drawn at the screen's resolution";
  EXPECT_GE(psnr[0] - psnr[1], 3) << "against the 640x480 show enlarged, at " << psnr[1];
  EXPECT_GT(detail[0], detail[1]);
  SDL_FreeSurface(truth);
}
