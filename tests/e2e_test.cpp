// The real program on the demo show, run headless under a controlled clock (the preloaded
// clock shim), checked by its exit status, its two streams and the screens it presents.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include <SDL_image.h>

#include "showrun.h"
#include "testing.h"
#include "text/text.h"

namespace fs = std::filesystem;

namespace {

// A show folder of the demo's files: the five pictures, the font, the music.
class EndToEnd : public testing::Test {
 protected:
  ShowFolder show{std::string("e2e-") +
                  testing::UnitTest::GetInstance()->current_test_info()->name()};

  void SetUp() override {
    OpenTestDisplay(16);
    show.DemoFiles();
  }
  void Photos(int count) { show.Photos(count); }
  ShowRun Play(std::vector<std::string> args, std::map<std::string, std::string> env) {
    return show.Play(std::move(args), std::move(env));
  }
};

TEST_F(EndToEnd, OnePhotoShowPlaysToItsEndAndExitsByItself) {
  Photos(1);
  const int loading = 0, standingLogo = 1000, box = 1700, photo = 2300, endPicture = 3400;
  ShowRun run = Play({}, {{"TOLVANE_CAPTURE", "0,1000,1700,2300,3400"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Opened audio at 44050 Hz 16 bit stereo, 32768 bytes audio buffer\n");
  const std::string expectedErr =
      "gfx/load.png loaded\n"
      "gfx/ohen.png loaded\n"
      "gfx/back.png loaded\n"
      "gfx/si.png loaded\n"
      "gfx/end.png loaded\n"
      "gfx/foto01.jpg loaded\n"
      "Couldn't load gfx/foto02.jpg: Passed a NULL data source\n"
      "Music: music sfx/belong.mod loaded, playing ...";
  EXPECT_EQ(run.err, expectedErr);

  // The last pass draws the step that ended the show: 2000 N + 4201.
  EXPECT_EQ(run.LastFrame(), 6201);

  SDL_Surface* ohen = Picture("ohen.png");
  SDL_Surface* load = Picture("load.png");
  SDL_Surface* shot = run.Screen(loading);
  ASSERT_NE(shot, nullptr);
  const int ox = (kScreenWidth - ohen->w) / 2, oy = (kScreenHeight - ohen->h) / 2;
  EXPECT_EQ(Differences(shot, ohen, ox, oy,
                        SDL_Rect{0, 0, kScreenWidth, Uint16(kScreenHeight - load->h)}),
            0);
  EXPECT_EQ(Differences(shot, load, kScreenWidth - load->w, kScreenHeight - load->h,
                        SDL_Rect{Sint16(kScreenWidth - load->w), Sint16(kScreenHeight - load->h),
                                 Uint16(load->w), Uint16(load->h)}),
            0);
  SDL_FreeSurface(shot);

  SDL_Surface* si = Picture("si.png");
  shot = run.Screen(standingLogo);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(
      Differences(shot, si, (kScreenWidth - si->w) / 2, (kScreenHeight - si->h) / 2, kWholeScreen),
      0)
      << "the logo stands centred on black";
  SDL_FreeSurface(shot);

  SDL_Surface* back = Picture("back.png");
  shot = run.Screen(box);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, back, 0, 0, SDL_Rect{0, 0, kScreenWidth, 95}), 0)
      << "background above";
  SDL_FreeSurface(shot);

  SDL_Surface* foto = Picture("foto01.jpg");
  shot = run.Screen(photo);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, foto, 123, 95, SDL_Rect{123, 95, 394, 290}), 0);
  EXPECT_EQ(Differences(shot, back, 0, 0, SDL_Rect{0, 0, kScreenWidth, 95}), 0);
  SDL_FreeSurface(shot);

  SDL_Surface* end = Picture("end.png");
  shot = run.Screen(endPicture);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, end, 0, 0, kWholeScreen), 0);
  SDL_FreeSurface(shot);

  for (SDL_Surface* s : {ohen, load, si, back, foto, end}) SDL_FreeSurface(s);
}

TEST_F(EndToEnd, EscDuringTheFadeEndsTheShowCleanly) {
  ShowRun run = Play({"-bpp", "32"}, {{"TOLVANE_EVENTS", "f3900:esc"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("Couldn't load gfx/foto01.jpg: "), std::string::npos);
}

// The presenter's keys in a three-photo show (slots at 1300, 3300 and 5300, the end picture
// at 7300, the fade at 9800). Each case gives its keys as the clock shim delivers them, and
// what follows the last one: the frame the next pass presents (a jump lands on it before any
// step), or else how many frames on from the last one presented before the first key (a hold
// is not caught up, a pause is). The screens presented over 40 frames from `compare` on are
// the renderer's of the same frames; -1: the last screen is black, 0: the screens are left
// (the live fade differs from the renderer's, see render_test).
struct KeyCase {
  const char* name;
  std::string events;
  int lands;            // -1: not a jump
  int after;            // when not a jump: frames on, within a pass or two
  int compare;          // first frame of the screens compared; -1 black, 0 none
  int pauses, resumes;  // of the music
};
const KeyCase kKeyCases[] = {
    {"Right in slot 0's caption: slot 1", "f1500:right", 3300, 0, 3300, 0, 0},
    {"Left in slot 1's photo: its start", "f4200:left", 3300, 0, 3300, 0, 0},
    {"Left early in slot 2: slot 1", "f5350:left", 3300, 0, 3300, 0, 0},
    {"PageDown from the logo: slot 0", "f500:pagedown", 1300, 0, 1300, 0, 0},
    {"Right from the last slot: the end picture", "f6000:right", 7300, 0, 7300, 0, 0},
    {"PageUp from the end picture: the last slot", "f8000:pageup", 5300, 0, 5300, 0, 0},
    {"Right in the fade: nothing", "f9850:right", -1, 4, 0, 0, 0},
    {"Space, 3 s, Space: on from the held frame", "f1700:space,d3000:space", -1, 4, 1700, 1, 1},
    {"B: black", "f1700:b,d1000:esc", -1, 4, -1, 1, 0},
    {"'.' twice: the show again", "f1700:period,d1000:period", -1, 4, 1700, 1, 1},
    // Held time is dropped and paused time caught up, whichever key came first.
    {"P while held", "f1700:space,d1000:p,d1000:space,d1000:p", -1, 108, 1800, 1, 1},
    {"Space while paused", "f1700:p,d1000:space,d1000:p,d1000:space", -1, 104, 1800, 1, 1},
};

TEST_F(EndToEnd, PresenterKeys) {
  Photos(3);
  for (const KeyCase& c : kKeyCases) {
    SCOPED_TRACE(c.name);
    const int from = c.compare > 0 ? c.compare : 1700, to = from + 40;
    const std::string range = std::to_string(from) + "-" + std::to_string(to);
    ShowRun run = Play({}, {{"TOLVANE_EVENTS", c.events}, {"TOLVANE_CAPTURE_RANGE", range}});
    EXPECT_EQ(run.status, 0);
    std::vector<std::vector<long>> events;
    for (const std::string& line : run.calls) {
      char what[16];
      long f, ms;
      if (sscanf(line.c_str(), "event %15s %ld %ld", what, &f, &ms) == 3) events.push_back({f, ms});
    }
    ASSERT_FALSE(events.empty());
    // A pass logs the clock after its events: the first one later than the last event took it.
    int before = -1, next = -1;
    for (const Pass& p : run.passes) {
      if (p.ms <= events.front()[1]) before = p.frame;
      if (p.ms > events.back()[1] && next < 0) next = p.frame;
    }
    if (c.lands >= 0) {
      EXPECT_EQ(next, c.lands);
    } else if (c.compare != -1) {
      EXPECT_NEAR(next - before, c.after, 8);
    }
    if (c.compare != -1) {
      EXPECT_EQ(run.LastFrame(), 10201) << "the show plays to its end";
    }
    int pauses = 0, resumes = 0;
    for (const std::string& line : run.calls) {
      pauses += line.rfind("music pause ", 0) == 0;
      resumes += line.rfind("music resume ", 0) == 0;
    }
    EXPECT_EQ(pauses, c.pauses);
    EXPECT_EQ(resumes, c.resumes);

    if (c.compare < 0) {
      SDL_Surface* shot = run.Screen(run.LastFrame());
      ASSERT_NE(shot, nullptr);
      EXPECT_EQ(Differences(shot, nullptr, 0, 0, kWholeScreen), 0) << "black";
      SDL_FreeSurface(shot);
      continue;
    }
    if (c.compare == 0) continue;
    const fs::path pictures = show.Dir() / "render";
    fs::remove_all(pictures);
    const ShowRun render = ::Run(show.Dir(),
                                 {TOLVANE_RENDER, "--out", pictures.string(), "--from",
                                  std::to_string(from), "--to", std::to_string(to), "--every", "1"},
                                 {}, 120);
    ASSERT_EQ(render.status, 0) << render.err;
    int compared = 0;
    for (int f = from; f <= to; f++) {
      SDL_Surface* shot = run.Screen(f);
      if (!shot) continue;
      char name[32];
      snprintf(name, sizeof name, "frame-%06d.png", f);
      SDL_Surface* decoded = IMG_Load((pictures / name).c_str());
      ASSERT_NE(decoded, nullptr);
      SDL_Surface* picture = SDL_DisplayFormat(decoded);
      EXPECT_EQ(Differences(shot, picture, 0, 0, kWholeScreen), 0) << "frame " << f;
      for (SDL_Surface* s : {shot, decoded, picture}) SDL_FreeSurface(s);
      compared++;
    }
    EXPECT_GE(compared, 3);
  }
}

// In a folder without a show: the text comes before SDL, the sound or the folder is looked at.
TEST_F(EndToEnd, HelpAndVersionPrintAndExitBeforeStartingAnything) {
  const fs::path empty = show.Dir() / "empty";
  fs::create_directory(empty);
  const struct {
    std::vector<std::string> args;
    std::string begins;
  } kCases[] = {
      {{"--help"}, "Usage: " TOLVANE_EXE " [-bpp N] [-warp] [-sw] [-windowed] [-fit [-pixels]]\n"},
      {{"-windowed", "-h"}, "Usage: "},
      {{"--version"}, "tolvane 1.0\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args.back());
    std::vector<std::string> command = {TOLVANE_EXE};
    command.insert(command.end(), c.args.begin(), c.args.end());
    const ShowRun run = ::Run(empty, command, {}, 30);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind(c.begins, 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
  }
  const ShowRun help = ::Run(empty, {TOLVANE_EXE, "--help"}, {}, 30);
  for (const char* said : {"Space", "PageDown", "PageUp", "B, .", "-fit", kFontFile, kMusicFile})
    EXPECT_NE(help.out.find(said), std::string::npos) << said;
}

TEST_F(EndToEnd, WithoutASoundDeviceTheShowRunsSilentWithItsFullTiming) {
  Photos(1);
  ShowRun run = Play({}, {{"SDL_AUDIODRIVER", "no-such-device"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "") << "no audio report";
  EXPECT_EQ(run.err.rfind("Couldn't open audio: ", 0), 0u) << run.err;
  EXPECT_EQ(run.LastFrame(), 6201);
}

// The folder's own captions.txt in the live show.

constexpr SDL_Color kWhite = {255, 255, 255, 0}, kAlias = {102, 102, 255, 0};  // the captions'
constexpr char kAudioReport[] =
    "Opened audio at 44050 Hz 16 bit stereo, 32768 bytes audio buffer\n";
// Slot 1: the description box stands, then the names line rests under the photo.
constexpr int kBoxFrame = 1700, kNamesFrame = 2300;

class FolderCaptions : public EndToEnd {
 protected:
  TTF_Font* namesFont = nullptr;
  TTF_Font* textFont = nullptr;

  void SetUp() override {
    EndToEnd::SetUp();
    if (!TTF_WasInit()) TTF_Init();
    namesFont = OpenFontAt96Dpi(DemoFile(kFontFile).c_str(), kNamesPoints);
    textFont = OpenFontAt96Dpi(DemoFile(kFontFile).c_str(), kTextPoints);
    ASSERT_TRUE(namesFont && textFont);
  }
  void TearDown() override {
    TTF_CloseFont(namesFont);
    TTF_CloseFont(textFont);
  }
  void Captions(const std::string& bytes) {
    std::ofstream(show.Dir() / kCaptionFile, std::ios::binary) << bytes;
  }
  // The loader's lines of a one-photo show after the captions' line.
  static std::string ErrAfter(const std::string& captionsLine) {
    return captionsLine +
           "gfx/load.png loaded\ngfx/ohen.png loaded\ngfx/back.png loaded\ngfx/si.png loaded\n"
           "gfx/end.png loaded\ngfx/foto01.jpg loaded\n"
           "Couldn't load gfx/foto02.jpg: Passed a NULL data source\n"
           "Music: music sfx/belong.mod loaded, playing ...";
  }
};

// Pixels where the text picture, placed at (x, y), has a line band but the screen differs.
int BandMismatches(SDL_Surface* shot, SDL_Surface* text, int x, int y) {
  SDL_Surface* a = SDL_ConvertSurface(shot, SDL_GetVideoSurface()->format, 0);
  int differ = 0;
  for (int py = 0; py < text->h; py++)
    for (int px = 0; px < text->w; px++) {
      const Uint32 expected = PixelAt(text, px, py);
      if (expected != 0 && PixelAt(a, x + px, y + py) != expected) differ++;
    }
  SDL_FreeSurface(a);
  return differ;
}

// The box of the band colour's pixels below the photo: the names line's band on screen.
SDL_Rect BandOnScreen(SDL_Surface* shot) {
  int left = kScreenWidth, top = kScreenHeight, right = -1, bottom = -1;
  for (int y = kPhotoY + kPhotoHeight; y < kScreenHeight; y++)
    for (int x = 0; x < kScreenWidth; x++) {
      const SDL_Color c = ColourAt(shot, x, y);
      // The band colour (102, 102, 255) as 16 bits per pixel keep it.
      if (c.r >> 3 != 102 >> 3 || c.g >> 2 != 102 >> 2 || c.b >> 3 != 255 >> 3) continue;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  if (right < 0) return SDL_Rect{0, 0, 0, 0};
  return SDL_Rect{Sint16(left), Sint16(top), Uint16(right - left + 1), Uint16(bottom - top + 1)};
}

// Czech and German names, in UTF-8 (with a byte-order mark and CR LF lines) and in Latin-1 as
// far as it has them; a description with a character the font lacks and one past 16 bits.
TEST_F(FolderCaptions, Utf8AndLatin1NamesAreDrawnWithTheirBands) {
  Photos(1);
  const std::string utf8Names =
      "Ji\u0159\u00ed \u0160\u0165astn\u00fd, Zo\u00eb M\u00fcller a Ond\u0159ej";
  const std::string latin1Names = "Jir\xed Stastn\xfd, Zo\xeb M\xfcller a Ondrej";
  const std::string description = "Porada v Brn\u011b \u4e00 \U0001F600 konec";
  const struct {
    std::string file, names, description;
    TextEncoding encoding;
  } kFiles[] = {
      {"\xEF\xBB\xBF" + utf8Names + "\r\n-\r\n" + description + "\r\n#\r\n", utf8Names + "\n",
       description + "\n", kUtf8},
      {latin1Names + "\n-\nPorada\n#\n", latin1Names + "\n", "Porada\n", kLatin1},
  };
  for (const auto& f : kFiles) {
    SCOPED_TRACE(f.names);
    Captions(f.file);
    ShowRun run = Play({}, {{"TOLVANE_CAPTURE", "1700,2300"}});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, ErrAfter("captions.txt loaded\n"));

    SDL_Surface* shot = run.Screen(kNamesFrame);
    ASSERT_NE(shot, nullptr);
    SDL_Surface* names =
        MyRenderText(namesFont, f.names.c_str(), kWhite, kAlias, false, 0, 0, f.encoding);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(BandMismatches(shot, names, kNamesRestX, kNamesY), 0);
    const SDL_Rect band = BandOnScreen(shot);
    int width = 0, height = 0;
    const std::string line = f.names.substr(0, f.names.size() - 1);
    if (f.encoding == kUtf8)
      TTF_SizeUTF8(namesFont, line.c_str(), &width, &height);
    else
      TTF_SizeText(namesFont, line.c_str(), &width, &height);
    EXPECT_EQ(band.x, kNamesRestX);
    EXPECT_EQ(band.w, width) << "SDL_ttf's own width of the line";
    // The band reaches from the accents above capitals down to the descenders; without
    // capitals with carons it is lower.
    EXPECT_EQ(band.h, names->h - kLineGap * 2);
    SDL_Surface* plain = RenderLine(namesFont, "Jiri Stastny, Zoe Muller a Ondrej", kWhite, kAlias);
    if (f.encoding == kUtf8) {
      EXPECT_GT(band.h, plain->h);
    }
    for (SDL_Surface* s : {shot, names, plain}) SDL_FreeSurface(s);

    shot = run.Screen(kBoxFrame);
    ASSERT_NE(shot, nullptr);
    SDL_Surface* box = MyRenderText(textFont, f.description.c_str(), kWhite, kAlias, true,
                                    kBoxMinWidth, kBoxMinHeight, f.encoding);
    EXPECT_EQ(BandMismatches(shot, box, kBoxX, kBoxY), 0) << "the whole line stands";
    SDL_FreeSurface(box);
    SDL_FreeSurface(shot);
  }
}

// 50 photos, 60 blocks: slot 50 shows block 50, the blocks past it are left.
TEST_F(FolderCaptions, FiftyPhotosTakeTheirOwnBlocks) {
  Photos(kCaptionSlots);
  std::string file;
  for (int k = 1; k <= 60; k++) file += "Block " + std::to_string(k) + "\n-\nd\n#\n";
  Captions(file);
  const int lastSlotNames =
      kFirstSlot + (kCaptionSlots - 1) * kSlotLength + (kNamesFrame - kFirstSlot);
  ShowRun run = Play({}, {{"TOLVANE_CAPTURE", std::to_string(lastSlotNames)},
                          {"TOLVANE_EVENTS", "f" + std::to_string(lastSlotNames + 1) + ":esc"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err.rfind("captions.txt loaded\ngfx/load.png loaded\n", 0), 0u) << run.err;
  SDL_Surface* shot = run.Screen(lastSlotNames);
  ASSERT_NE(shot, nullptr);
  SDL_Surface* names = MyRenderText(namesFont, "Block 50\n", kWhite, kAlias, false, 0, 0, kUtf8);
  EXPECT_EQ(BandMismatches(shot, names, kNamesRestX, kNamesY), 0);
  EXPECT_EQ(BandOnScreen(shot).w, names->w);
  SDL_FreeSurface(names);
  SDL_FreeSurface(shot);
}

// An empty file, a folder and a named pipe in its place: the show says so and shows the
// built-in captions, never waiting on the pipe.
TEST_F(FolderCaptions, FilesTheShowCannotTakeLeaveTheBuiltInCaptions) {
  Photos(1);
  const fs::path path = show.Dir() / kCaptionFile;
  const struct {
    std::function<void()> make;
    std::string said;
  } kCases[] = {
      {[&] { Captions(""); }, "Couldn't load captions.txt: no caption in it\n"},
      {[&] { fs::create_directory(path); }, "Couldn't load captions.txt: not a file\n"},
      {[&] { mkfifo(path.c_str(), 0600); }, "Couldn't load captions.txt: not a file\n"},
  };
  LoadTXT2();
  SDL_Surface* builtIn =
      MyRenderText(namesFont, texty[0][kCaptionNames], kWhite, kAlias, false, 0, 0);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.said);
    fs::remove_all(path);
    c.make();
    ShowRun run = Play({}, {{"TOLVANE_CAPTURE", "2300"}});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kAudioReport);
    EXPECT_EQ(run.err, ErrAfter(c.said));
    SDL_Surface* shot = run.Screen(kNamesFrame);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(BandMismatches(shot, builtIn, kNamesRestX, kNamesY), 0);
    SDL_FreeSurface(shot);
  }
  SDL_FreeSurface(builtIn);
}

}  // namespace
