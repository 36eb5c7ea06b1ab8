// The real program on the demo show, run headless under a controlled clock (the preloaded
// clock shim), checked by its exit status, its two streams and the screens it presents.
#include <gtest/gtest.h>

#include "showrun.h"
#include "testing.h"

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

}  // namespace
