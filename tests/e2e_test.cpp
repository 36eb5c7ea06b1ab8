// The real program on the demo show, run headless under a controlled clock (the preloaded
// clock shim), checked by its exit status, its two streams and the screens it presents.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include "showrun.h"
#include "testing.h"
#include "text/text.h"

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

TEST_F(EndToEnd, WithoutASoundDeviceTheShowRunsSilentWithItsFullTiming) {
  Photos(1);
  ShowRun run = Play({}, {{"SDL_AUDIODRIVER", "no-such-device"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "") << "no audio report";
  EXPECT_EQ(run.err.rfind("Couldn't open audio: ", 0), 0u) << run.err;
  EXPECT_EQ(run.LastFrame(), 6201);
}

// The folder's own captions.txt in the live show.

namespace fs = std::filesystem;
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
