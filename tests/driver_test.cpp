// The driver: command line, the step clock, the show schedule, the logo and the captions.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "anim/anim.h"
#include "assets/assets.h"
#include "driver/driver.h"
#include "testing.h"
#include "text/text.h"

namespace {

// The command line.

struct Options {
  Uint8 depth = kDefaultDepth;
  Uint32 flags = kDefaultVideoFlags;
  std::string errors;
};

Options Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tolvane");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  Options o;
  testing::internal::CaptureStderr();
  ParseCommandLine(static_cast<int>(argv.size()), argv.data(), o.depth, o.flags);
  o.errors = testing::internal::GetCapturedStderr();
  return o;
}

const std::string kUsage = "Usage: tolvane [-bpp N] [-warp] [-sw] [-windowed]\n";

TEST(CommandLine, DefaultsAndEachOption) {
  Options o = Parse({});
  EXPECT_EQ(o.depth, 16);
  EXPECT_EQ(o.flags, 0xC0100001u);
  EXPECT_EQ(o.errors, "");

  o = Parse({"-windowed", "-sw"});
  EXPECT_EQ(o.depth, 16);
  EXPECT_EQ(o.flags, 0x40100000u);
  o = Parse({"-bpp", "32", "-windowed"});
  EXPECT_EQ(o.depth, 32);
  EXPECT_EQ(o.flags, 0x40100001u);
  o = Parse({"-warp"});
  EXPECT_EQ(o.flags, 0xE0100001u);
  EXPECT_EQ(o.errors, "");
}

TEST(CommandLine, DepthKeepsTheLowEightBitsOfWhatStrtolReads) {
  EXPECT_EQ(Parse({"-bpp", "256"}).depth, 0);
  EXPECT_EQ(Parse({"-bpp", "x"}).depth, 0);
  EXPECT_EQ(Parse({"-bpp", "-1"}).depth, 255);
  EXPECT_EQ(Parse({"-bpp", "24bits"}).depth, 24);
  // Scanned backwards, so the leftmost of two wins.
  EXPECT_EQ(Parse({"-bpp", "8", "-bpp", "24"}).depth, 8);
}

TEST(CommandLine, UnrecognisedArgumentStopsTheScan) {
  Options o = Parse({"-bpp"});
  EXPECT_EQ(o.errors, kUsage);
  EXPECT_EQ(o.depth, 16);
  EXPECT_EQ(o.flags, kDefaultVideoFlags);

  // Scanned first, so applied before the usage line.
  o = Parse({"-fullscreen", "-windowed"});
  EXPECT_EQ(o.errors, kUsage);
  EXPECT_EQ(o.flags, 0x40100001u);

  // Never looked at: it stands before the unrecognised one.
  o = Parse({"-windowed", "-fullscreen"});
  EXPECT_EQ(o.errors, kUsage);
  EXPECT_EQ(o.flags, kDefaultVideoFlags);

  // Whole, case-sensitive comparisons.
  EXPECT_EQ(Parse({"-Windowed"}).errors, kUsage);
  EXPECT_EQ(Parse({"-windowed2"}).errors, kUsage);
  EXPECT_EQ(Parse({""}).errors, kUsage);
}

// A show with solid-colour pictures on a headless display.
class Show : public testing::Test {
 protected:
  SDL_Surface* display = nullptr;

  void SetUp() override {
    display = OpenTestDisplay(16);
    started = false;
    ResetAssets();
    ResetAnim();
    ResetText();
    ResetDriver();
    SetCanvas(display);
  }
  void TearDown() override {
    ReleaseTextPictures();
    ResetAssets();
    ResetText();
    ResetDriver();
  }

  SDL_Surface* Solid(int w, int h, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* s = SDL_CreateRGBSurface(0, w, h, display->format->BitsPerPixel,
                                          display->format->Rmask, display->format->Gmask,
                                          display->format->Bmask, display->format->Amask);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, r, g, b));
    return s;
  }

  // What LoadGFX leaves with `photos` photos of distinct colours.
  void Load(int photos) {
    ReleaseGFX();
    back = Solid(kScreenWidth, kScreenHeight, 0, 0, 200);
    end = Solid(kScreenWidth, kScreenHeight, 200, 0, 0);
    for (int i = 0; i < photos; i++) foto[i] = Solid(394, 290, 0, 255, static_cast<Uint8>(4 * i));
    fotos = photos - 1;
    ENDTIME = 2000 * photos + 3800;
  }

  // Takes every step from the current one up to `to`, as the loop does; the show starts as
  // start-up starts it, the first time.
  void RunTo(int to) {
    if (!started) StartShow(), started = true;
    StepTo(to, kOnePass);
  }
  bool started = false;

  Uint32 Pixel(int x, int y) { return PixelAt(display, x, y); }
  Uint32 Rgb(Uint8 r, Uint8 g, Uint8 b) { return SDL_MapRGB(display->format, r, g, b); }
  Uint32 PhotoColour(int i) { return Rgb(0, 255, static_cast<Uint8>(4 * i)); }
};

TEST_F(Show, BasePictureByFrameRange) {
  for (int photos : {0, 1, 19, 50}) {
    SCOPED_TRACE(photos);
    SetUp();
    Load(photos);
    const int endPicture = ENDTIME - 2500;
    EXPECT_EQ(endPicture, 1300 + 2000 * photos);

    RunTo(1);
    Render(1);
    EXPECT_EQ(Pixel(300, 300), 0u);
    RunTo(1299);
    Render(1299);
    EXPECT_EQ(Pixel(300, 300), 0u);

    for (int q = 0; q < photos; q += (photos > 3 ? photos - 1 : 1)) {
      const int start = 1300 + 2000 * q;
      RunTo(start);
      Render(start);
      EXPECT_EQ(foto2, q);
      EXPECT_EQ(Pixel(200, 200), Rgb(0, 0, 200)) << "background, no photo yet";
      RunTo(start + 799);
      Render(start + 799);
      EXPECT_EQ(Pixel(123, 95), Rgb(0, 0, 200));
      RunTo(start + 800);
      Render(start + 800);
      EXPECT_EQ(Pixel(123, 95), PhotoColour(q)) << "photo's top-left corner";
      EXPECT_EQ(Pixel(516, 384), PhotoColour(q)) << "photo's bottom-right corner";
      EXPECT_EQ(Pixel(122, 95), Rgb(0, 0, 200));
      EXPECT_EQ(Pixel(123, 94), Rgb(0, 0, 200));
      EXPECT_EQ(Pixel(517, 384), Rgb(0, 0, 200));
      RunTo(start + 1999);
      Render(start + 1999);
      EXPECT_EQ(Pixel(123, 95), PhotoColour(q));
    }
    RunTo(endPicture);
    Render(endPicture);
    EXPECT_EQ(Pixel(123, 95), Rgb(200, 0, 0));
    RunTo(ENDTIME - 1);
    Render(ENDTIME - 1);
    EXPECT_EQ(Pixel(0, 0), Rgb(200, 0, 0));
    RunTo(ENDTIME);
    Render(ENDTIME);
    EXPECT_EQ(Pixel(0, 0), 0u) << "black at the fade's start";
    EXPECT_EQ(fade, nullptr);
    RunTo(ENDTIME + 400);
    EXPECT_NE(fade, nullptr);
    EXPECT_EQ(MainProgram, 1);
    RunTo(ENDTIME + 401);
    EXPECT_EQ(MainProgram, 0) << "the show ends at step " << 2000 * photos + 4201;
    EXPECT_EQ(fade, nullptr);
  }
}

TEST_F(Show, DrawingPassesAreRepeatableAndFollowTheLatestStep) {
  Load(2);
  RunTo(3300 + 799);
  Render(frame);
  EXPECT_EQ(Pixel(200, 200), Rgb(0, 0, 200));
  // Several steps crossing offset 800 before one pass: the photo is there.
  RunTo(3300 + 803);
  Render(frame);
  EXPECT_EQ(Pixel(200, 200), PhotoColour(1));
  std::vector<Uint32> first;
  for (int y = 0; y < 480; y += 7) first.push_back(Pixel(320, y));
  Render(frame);
  for (int i = 0, y = 0; y < 480; y += 7, i++) EXPECT_EQ(Pixel(320, y), first[i]);
  // Steps crossing a slot start: the background without a photo.
  Load(3);
  RunTo(5300 + 2);
  Render(frame);
  EXPECT_EQ(Pixel(200, 200), Rgb(0, 0, 200));
}

TEST_F(Show, SnapshotFadesWhatTheDisplayHeldAtItsStep) {
  Load(0);
  // Drawn at ENDTIME before the snapshot: black on black.
  RunTo(ENDTIME);
  Render(ENDTIME);
  RunTo(ENDTIME + 1);
  Render(ENDTIME + 1);
  EXPECT_EQ(Pixel(10, 10), 0u);

  // Steps ENDTIME and ENDTIME + 1 before one pass: the end picture fades out.
  SetUp();
  Load(0);
  RunTo(ENDTIME - 1);
  Render(ENDTIME - 1);
  RunTo(ENDTIME + 1);
  Render(ENDTIME + 1);
  EXPECT_EQ(Pixel(10, 10), Rgb(200, 0, 0)) << "transparency 0 at the first fade frame";
  RunTo(ENDTIME + 200);
  Render(ENDTIME + 200);
  SDL_Color half = ColourAt(display, 10, 10);
  EXPECT_GT(half.r, 80);
  EXPECT_LT(half.r, 120);
  RunTo(ENDTIME + 400);
  Render(ENDTIME + 400);
  EXPECT_EQ(Pixel(10, 10), 0u) << "gone at transparency 255";
}

TEST_F(Show, BlitFadedClampsTheTransparency) {
  SDL_Surface* red = Solid(kScreenWidth, kScreenHeight, 200, 0, 0);
  SDL_FillRect(display, nullptr, 0);
  BlitFaded(red, display, -40);
  EXPECT_EQ(Pixel(5, 5), Rgb(200, 0, 0));
  SDL_FillRect(display, nullptr, 0);
  BlitFaded(red, display, 1000);
  EXPECT_EQ(Pixel(5, 5), 0u);
  SDL_FreeSurface(red);
}

TEST_F(Show, MissingPicturesAreDrawnAsNothing) {
  Load(1);
  SDL_FreeSurface(back);
  back = nullptr;
  SDL_FreeSurface(end);
  end = nullptr;
  SDL_FillRect(display, nullptr, Rgb(255, 255, 255));
  Render(0);
  EXPECT_EQ(Pixel(320, 240), 0u);
  RunTo(2100);
  Render(2100);
  EXPECT_EQ(Pixel(20, 20), 0u);
  EXPECT_EQ(Pixel(200, 200), PhotoColour(0));
  RunTo(3300);
  Render(3300);
  EXPECT_EQ(Pixel(200, 200), 0u);
}

TEST_F(Show, QuittingDuringTheFadeReleasesTheSnapshotOnce) {
  Load(0);
  RunTo(ENDTIME + 100);
  ASSERT_NE(fade, nullptr);
  ReleaseShow();
  EXPECT_EQ(fade, nullptr);
  ReleaseShow();  // a second release finds nothing to free
}

// The step clock.

// The tick a pass reads, and how often it read it.
Uint32 tickNow = 0;
int tickReads = 0;
Uint32 Tick() {
  tickReads++;
  return tickNow;
}

class Clock : public Show {
 protected:
  void SetUp() override {
    Show::SetUp();
    Load(1);
    Compute(0);
    tickReads = 0;
  }
  // One pass of the loop that finds the clock at `now`, if it reads it.
  static bool LoopPass(Uint32 now, Uint32& base) {
    tickNow = now;
    return ::LoopPass(Tick, base);
  }
  void Press(SDLKey key, SDLMod mod = KMOD_NONE) {
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }
};

TEST_F(Clock, StepsOnlyWhenMoreThanTenMillisecondsArePending) {
  const Uint32 base = 5000;
  EXPECT_EQ(RunDueSteps(base + 10, base), base);
  EXPECT_EQ(frame, 0);
  EXPECT_EQ(RunDueSteps(base + 11, base), base + 10);
  EXPECT_EQ(frame, 1);
  // The remainder carries over: 35 ms give 3 steps and keep 5.
  EXPECT_EQ(RunDueSteps(base + 45, base + 10), base + 40);
  EXPECT_EQ(frame, 4);
  // Step k falls due once 10 k + 1 ms have passed since the base was first read.
  EXPECT_EQ(RunDueSteps(base + 51, base + 40), base + 50);
  EXPECT_EQ(frame, 5);
}

TEST_F(Clock, CatchesUpAfterALongPassAndAcrossTheTickWrap) {
  Uint32 base = 0xFFFFFFF0u;
  base = RunDueSteps(0x10u, base);  // 32 ms across the wrap
  EXPECT_EQ(frame, 3);
  EXPECT_EQ(base, 0x0Eu);
  base = RunDueSteps(base + 1000, base);
  EXPECT_EQ(frame, 3 + 99);
  EXPECT_EQ(base + 10, 0x0Eu + 1000);
}

TEST_F(Clock, PauseFreezesTheScreenThenResumesWhereTheShowWouldBe) {
  Uint32 base = 0;
  LoopPass(2001, base);
  EXPECT_EQ(frame, 200);
  Press(SDLK_p, KMOD_LSHIFT);  // with any modifier
  SDL_FillRect(display, nullptr, Rgb(9, 9, 9));
  EXPECT_TRUE(LoopPass(2500, base));
  EXPECT_EQ(mpause, 1);
  EXPECT_EQ(frame, 200);
  EXPECT_EQ(Pixel(1, 1), Rgb(9, 9, 9)) << "no drawing while paused";
  EXPECT_TRUE(LoopPass(4000, base));
  Press(SDLK_p);
  EXPECT_TRUE(LoopPass(5001, base));
  EXPECT_EQ(mpause, 0);
  EXPECT_EQ(frame, 500) << "every step of the pause computed at once";
  EXPECT_EQ(Pixel(1, 1), 0u);
}

TEST_F(Clock, EscWindowCloseAndOtherEvents) {
  Uint32 base = 0;
  Press(SDLK_x);
  Press(SDLK_q);
  EXPECT_TRUE(LoopPass(100, base));
  EXPECT_EQ(MainProgram, 1);
  Press(SDLK_ESCAPE);
  EXPECT_FALSE(LoopPass(200, base));
  EXPECT_EQ(frame, 9) << "no step after Esc";

  ResetDriver();
  SDL_Event quit = {};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_FALSE(LoopPass(0, base));

  // Esc while paused: no drawing again.
  ResetDriver();
  Press(SDLK_p);
  LoopPass(0, base);
  SDL_FillRect(display, nullptr, Rgb(9, 9, 9));
  Press(SDLK_ESCAPE);
  EXPECT_FALSE(LoopPass(50, base));
  EXPECT_EQ(Pixel(1, 1), Rgb(9, 9, 9));
}

TEST_F(Clock, APassReadsTheTickOnceAfterTheEventsAndNotWhilePaused) {
  Uint32 base = 0;
  Press(SDLK_p);
  for (int pass = 0; pass < 100; ++pass) LoopPass(1000, base);
  EXPECT_EQ(tickReads, 0) << "a paused pass only handles events";

  // The P that resumes is taken first: the tick read after it counts the time until then.
  Press(SDLK_p);
  EXPECT_TRUE(LoopPass(1001, base));
  EXPECT_EQ(tickReads, 1);
  EXPECT_EQ(frame, 100);

  // The pass after Esc still reads the tick once and draws the frame it has reached.
  Press(SDLK_ESCAPE);
  SDL_FillRect(display, nullptr, Rgb(9, 9, 9));
  EXPECT_FALSE(LoopPass(2000, base));
  EXPECT_EQ(tickReads, 2);
  EXPECT_EQ(frame, 100) << "no step after Esc";
  EXPECT_EQ(Pixel(1, 1), 0u) << "that pass drew frame 100, black";
}

TEST_F(Clock, CtrlCOrKillDuringLoadingEndsTheShowAtTheFirstPass) {
  // SDL turns both signals into a quit event, which waits in the queue until the loop.
  for (int signal : {SIGINT, SIGTERM}) {
    ResetDriver();
    Uint32 base = 0;
    raise(signal);
    EXPECT_FALSE(LoopPass(0, base)) << signal;
    EXPECT_EQ(MainProgram, 0);
  }
}

TEST_F(Clock, TheLastStepEndsTheLoopAfterOneMoreDrawingPass) {
  Uint32 base = 0;
  // 1 photo: the show's last step is 6201; a long pass takes it and would go further.
  LoopPass(62000, base);
  EXPECT_EQ(frame, 6199);
  SDL_FillRect(display, nullptr, Rgb(9, 9, 9));
  EXPECT_FALSE(LoopPass(70000, base));
  EXPECT_EQ(frame, 6201) << "no step after the one that ended the show";
  EXPECT_EQ(Pixel(1, 1), 0u) << "that pass still drew";
}

}  // namespace

namespace {

// The logo and the object layer.

TEST_F(Show, TheLogoDropsInStandsCentredAndFallsAway) {
  Load(1);
  si = Solid(200, 100, 250, 250, 0);
  const Uint32 yellow = Rgb(250, 250, 0);
  auto LogoTopAt = [&](int f) {
    RunTo(f);
    Render(f);
    for (int y = 0; y < 480; y++)
      if (Pixel(220, y) == yellow) return y;
    return -1;
  };
  // Drawn 3 frames late: the path's 380 is on screen at 383.
  EXPECT_EQ(LogoTopAt(383), -1) << "waiting a screen height above, at -290";
  EXPECT_EQ(LogoTopAt(403), 150) << "40 px above its place at path frame 400";
  EXPECT_EQ(LogoTopAt(413), 210) << "overshoots 20 px below";
  EXPECT_EQ(LogoTopAt(418), 190);
  EXPECT_EQ(Pixel(219, 190), 0u);
  EXPECT_EQ(Pixel(419, 289), yellow);
  EXPECT_EQ(Pixel(420, 289), 0u);
  EXPECT_EQ(Pixel(419, 290), 0u);
  EXPECT_EQ(LogoTopAt(1188), 190);
  EXPECT_EQ(LogoTopAt(1203), 430) << "half way down at path frame 1200";
  EXPECT_EQ(LogoTopAt(1218), -1) << "a screen height below, at 670";
  EXPECT_TRUE(tt[kLogoObject].active) << "it stays active, out of sight";
  // Never drawn over the end picture.
  tt[kLogoObject].path = nullptr;  // would stand at (0, 0)
  RunTo(ENDTIME - 2500);
  Render(ENDTIME - 2500);
  EXPECT_EQ(Pixel(0, 0), Rgb(200, 0, 0));
}

TEST_F(Show, AnOddLogoWidthIsCentredByTruncation) {
  Load(0);
  si = Solid(201, 101, 250, 250, 0);
  RunTo(1);
  EXPECT_EQ(pt[kLogoKeys + 3].x, 219);
  EXPECT_EQ(pt[kLogoKeys + 3].y, 189);
}

TEST_F(Show, AMissingLogoDrawsNothing) {
  Load(0);
  RunTo(418);
  Render(418);
  EXPECT_TRUE(tt[kLogoObject].active);
  EXPECT_EQ(Pixel(320, 240), 0u);
}

// Frame 0 is the loading screen, drawn while the show's length is not known: an object that is
// active and stands over the whole screen then is not drawn.
TEST_F(Show, FrameZeroDrawsNoObject) {
  ENDTIME = kInitialEndTime;
  CIB& object = tt[kLogoObject];
  si = Solid(kScreenWidth, kScreenHeight, 250, 250, 0);  // the logo's picture, freed with it
  object.surface = si;
  PopisNabeh(kLogoKeys, -100, 0, 0, 200);
  object.Activate(&pt[kLogoKeys], 1, false);
  Render(0);
  EXPECT_EQ(Pixel(320, 240), 0u);
  object.Deactivate();
}

// Where Right and Left land, in a show of four photos (slots from 1300, 3300, 5300 and 7300,
// the end picture from 9300, the fade from 11800) and in one without photos.
TEST(JumpTargets, LandOnTheFirstFramesOfSlots) {
  const struct {
    const char* where;
    int photos, f, next, back;
  } kCases[] = {
      {"the logo", 4, 500, 1300, 1300},
      {"the first slot, in its first 2 s", 4, 1300 + 100, 3300, 1300},
      {"the first slot, after 2 s", 4, 1300 + 500, 3300, 1300},
      {"a middle slot, in its first 2 s", 4, 5300 + 100, 7300, 3300},
      {"a middle slot, after 2 s", 4, 5300 + 201, 7300, 5300},
      {"a middle slot, at 2 s", 4, 5300 + 200, 7300, 3300},
      {"the last slot", 4, 7300 + 1999, 9300, 7300},
      {"the end picture", 4, 9300, -1, 7300},
      {"the fade", 4, 11800, -1, -1},
      {"the logo, no photos", 0, 500, 1300, -1},
      {"the end picture, no photos", 0, 1300, -1, -1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.where);
    fotos = c.photos - 1;
    ENDTIME = kSlotLength * c.photos + kFramesAroundSlots;
    EXPECT_EQ(NextTarget(c.f), c.next);
    EXPECT_EQ(BackTarget(c.f), c.back);
  }
  fotos = 0;
  ENDTIME = kInitialEndTime;
}

// Slot captions.

class Captions : public Show {
 protected:
  void SetUp() override {
    Show::SetUp();
    if (!TTF_WasInit()) TTF_Init();
    text_font = OpenFontAt96Dpi(DemoFile(kFontFile).c_str(), kTextPoints);
    names_font = OpenFontAt96Dpi(DemoFile(kFontFile).c_str(), kNamesPoints);
    LoadTXT2();
  }
  // Whether any pixel of the band colour shows in the rectangle.
  bool BandIn(int x0, int y0, int x1, int y1) {
    const Uint32 band = Rgb(alias.r, alias.g, alias.b);
    for (int y = y0; y < y1; y++)
      for (int x = x0; x < x1; x++)
        if (Pixel(x, y) == band) return true;
    return false;
  }
};

TEST_F(Captions, TheBoxStandsUntilOffset780AndTheNamesLineEntersWithThePhoto) {
  Load(2);
  RunTo(1300);
  Render(1300);
  EXPECT_TRUE(BandIn(115, 100, 515, 400)) << "description box over the photo area";
  EXPECT_FALSE(BandIn(0, 405, kScreenWidth, kScreenHeight))
      << "names line waits beyond the right edge";
  RunTo(1300 + 779);
  Render(frame);
  EXPECT_TRUE(BandIn(115, 100, 515, 400));
  // Several steps crossing 780 before one pass: the box is gone all the same.
  RunTo(1300 + 785);
  Render(frame);
  EXPECT_FALSE(tt[kBoxObject].active);
  EXPECT_EQ(doflash, 0);
  EXPECT_FALSE(BandIn(0, 0, kScreenWidth, kScreenHeight));
  RunTo(1300 + 838);
  Render(frame);
  EXPECT_EQ(Pixel(300, 200), PhotoColour(0));
  EXPECT_EQ(Pixel(145, 412), Rgb(alias.r, alias.g, alias.b)) << "settled at (145, 412)";
  EXPECT_NE(Pixel(144, 412), Rgb(alias.r, alias.g, alias.b));
  // The next slot: the box comes back and the names line jumps beyond the right edge.
  RunTo(3300);
  Render(3300);
  EXPECT_TRUE(tt[kBoxObject].active);
  EXPECT_TRUE(BandIn(115, 100, 515, 400));
  EXPECT_FALSE(BandIn(0, 405, kScreenWidth, kScreenHeight));
}

TEST_F(Captions, StepsCrossingTheHideAndThePhotoTogether) {
  Load(1);
  RunTo(1300 + 770);
  Render(frame);
  RunTo(1300 + 805);
  Render(frame);
  EXPECT_FALSE(tt[kBoxObject].active);
  EXPECT_EQ(Pixel(300, 200), PhotoColour(0));
}

TEST_F(Captions, SlotsBeyondTheTableRepeatItsLastRecord) {
  Load(25);
  auto NamesLineOfSlot = [&](int slot) {
    RunTo(1300 + 2000 * slot);
    SDL_Surface* s = tt[kNamesObject].surface;
    return std::make_pair(s->w, s->h);
  };
  SDL_Surface* last = MyRenderText(names_font, texty[18][kCaptionNames], names, alias, false, 0, 0);
  SDL_Surface* first = MyRenderText(names_font, texty[0][kCaptionNames], names, alias, false, 0, 0);
  EXPECT_EQ(NamesLineOfSlot(0), std::make_pair(first->w, first->h));
  for (int slot : {18, 19, 24}) EXPECT_EQ(NamesLineOfSlot(slot), std::make_pair(last->w, last->h));
  SDL_FreeSurface(last);
  SDL_FreeSurface(first);
}

TEST_F(Captions, AnEmptyCaptionTableShowsTheSlotsWithoutCaptions) {
  Load(1);
  ResetText();
  RunTo(1300);
  Render(1300);
  EXPECT_FALSE(tt[kNamesObject].active);
  EXPECT_FALSE(tt[kBoxObject].active);
  EXPECT_FALSE(BandIn(0, 0, kScreenWidth, kScreenHeight));
}

}  // namespace
