// The real program on the demo show, run headless under a controlled clock (the preloaded
// clock shim), checked by its exit status, its two streams and the screens it presents.
#include <gtest/gtest.h>
#include <SDL_image.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "testing.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct ShowRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out, err;
  fs::path shots;
  SDL_Surface* Screen(int f) const {
    return SDL_LoadBMP((shots / ("frame-" + std::to_string(f) + ".bmp")).c_str());
  }
};

// A show folder of the demo's files: the five pictures, the font, `photos` photos, the music.
class EndToEnd : public testing::Test {
 protected:
  fs::path dir;

  void SetUp() override {
    OpenTestDisplay(16);
    dir = fs::temp_directory_path() /
          ("tolvane-e2e-" + std::to_string(getpid()) + "-" +
           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "gfx");
    fs::create_directories(dir / "sfx");
    for (const char* name : {"load.png", "ohen.png", "back.png", "si.png", "end.png", "arial.ttf"})
      fs::copy_file(DemoFile(std::string("gfx/") + name), dir / "gfx" / name);
    fs::copy_file(DemoFile("sfx/belong.mod"), dir / "sfx" / "belong.mod");
  }
  void TearDown() override { fs::remove_all(dir); }

  void Photos(int count) {
    char name[32];
    for (int k = 1; k <= count; k++) {
      snprintf(name, sizeof name, "foto%02d.jpg", k);
      fs::copy_file(DemoFile(std::string("gfx/") + name), dir / "gfx" / name);
    }
  }

  // Runs the program in the show folder with the given arguments and clock settings.
  ShowRun Play(std::vector<std::string> args, std::map<std::string, std::string> env) {
    ShowRun run;
    run.shots = dir / "shots";
    fs::create_directories(run.shots);
    env.emplace("SDL_VIDEODRIVER", "dummy");
    env.emplace("SDL_AUDIODRIVER", "dummy");
    env["TOLVANE_CAPTURE_DIR"] = run.shots;
    env["LD_PRELOAD"] = TOLVANE_CLOCKSHIM;
    const pid_t child = fork();
    if (child == 0) {
      if (chdir(dir.c_str()) != 0) _exit(126);
      for (auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
      if (!freopen((dir / "out.txt").c_str(), "w", stdout)) _exit(126);
      if (!freopen((dir / "err.txt").c_str(), "w", stderr)) _exit(126);
      std::vector<char*> argv = {const_cast<char*>(TOLVANE_EXE)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(TOLVANE_EXE, argv.data());
      _exit(127);
    }
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    run.out = Slurp(dir / "out.txt");
    run.err = Slurp(dir / "err.txt");
    return run;
  }
};

// A demo picture as the program holds it: converted to the 16-bit display's format.
SDL_Surface* Picture(const std::string& name) {
  SDL_Surface* decoded = IMG_Load(DemoFile("gfx/" + name).c_str());
  SDL_Surface* converted = SDL_DisplayFormat(decoded);
  SDL_FreeSurface(decoded);
  return converted;
}

// Counts the pixels of the screen's rectangle that differ from `picture` placed at (x, y).
int Differences(SDL_Surface* shot, SDL_Surface* picture, int x, int y, SDL_Rect area) {
  SDL_Surface* display = SDL_GetVideoSurface();
  SDL_Surface* a = SDL_ConvertSurface(shot, display->format, 0);
  int differ = 0;
  for (int py = area.y; py < area.y + area.h; py++)
    for (int px = area.x; px < area.x + area.w; px++) {
      const bool inside = px >= x && py >= y && px < x + picture->w && py < y + picture->h;
      const Uint32 expected = inside ? PixelAt(picture, px - x, py - y) : 0;
      if (PixelAt(a, px, py) != expected) differ++;
    }
  SDL_FreeSurface(a);
  return differ;
}

const SDL_Rect kWholeScreen = {0, 0, 640, 480};

TEST_F(EndToEnd, OnePhotoShowPlaysToItsEndAndExitsByItself) {
  Photos(1);
  const int loading = 0, standingLogo = 1000, box = 1700, photo = 2300, endPicture = 3400;
  ShowRun run = Play({}, {{"TOLVANE_CAPTURE", "0,1000,1700,2300,3400"},
                      {"TOLVANE_SHIM_LOG", (dir / "passes.txt").string()}});
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
  std::istringstream passes(Slurp(dir / "passes.txt"));
  int f = 0, last = -1;
  unsigned ms = 0;
  while (passes >> f >> ms) last = f;
  EXPECT_EQ(last, 6201);

  SDL_Surface* ohen = Picture("ohen.png");
  SDL_Surface* load = Picture("load.png");
  SDL_Surface* shot = run.Screen(loading);
  ASSERT_NE(shot, nullptr);
  const int ox = (640 - ohen->w) / 2, oy = (480 - ohen->h) / 2;
  EXPECT_EQ(Differences(shot, ohen, ox, oy, SDL_Rect{0, 0, 640, Uint16(480 - load->h)}), 0);
  EXPECT_EQ(Differences(shot, load, 640 - load->w, 480 - load->h,
                        SDL_Rect{Sint16(640 - load->w), Sint16(480 - load->h), Uint16(load->w),
                                 Uint16(load->h)}),
            0);
  SDL_FreeSurface(shot);

  SDL_Surface* si = Picture("si.png");
  shot = run.Screen(standingLogo);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, si, (640 - si->w) / 2, (480 - si->h) / 2, kWholeScreen), 0)
      << "the logo stands centred on black";
  SDL_FreeSurface(shot);

  SDL_Surface* back = Picture("back.png");
  shot = run.Screen(box);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, back, 0, 0, SDL_Rect{0, 0, 640, 95}), 0) << "background above";
  SDL_FreeSurface(shot);

  SDL_Surface* foto = Picture("foto01.jpg");
  shot = run.Screen(photo);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(Differences(shot, foto, 123, 95, SDL_Rect{123, 95, 394, 290}), 0);
  EXPECT_EQ(Differences(shot, back, 0, 0, SDL_Rect{0, 0, 640, 95}), 0);
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

}  // namespace
