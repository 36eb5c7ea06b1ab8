// The demo show that the build generates: its pictures, photos and music module.
#include <gtest/gtest.h>

#include <SDL_image.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "facts.h"
#include "render.h"
#include "testing.h"

namespace {

constexpr int kPhotos = kDemoPhotos;
// The band of the names line on the background; the line rests at (kNamesRestX, kNamesY).
constexpr int kNamesTop = 410, kNamesBottom = 430;

SDL_Surface* Picture(const std::string& relative) {
  SDL_Surface* picture = IMG_Load(DemoFile(relative).c_str());
  EXPECT_NE(picture, nullptr) << relative << ": " << IMG_GetError();
  return picture;
}

float Luminance(SDL_Color c) {
  return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b;
}

TEST(DemoPictures, EachDecodesAtItsDesignedSize) {
  struct Expected {
    std::string file;
    int w, h;
  };
  std::vector<Expected> pictures = {{"gfx/back.png", kScreenWidth, kScreenHeight},
                                    {"gfx/end.png", kScreenWidth, kScreenHeight},
                                    {"gfx/si.png", 361, 110},
                                    {"gfx/ohen.png", 320, 200},
                                    {"gfx/load.png", 180, 48}};
  for (int k = 1; k <= kPhotos; ++k)
    pictures.push_back({PhotoName(k).path, kPhotoWidth, kPhotoHeight});
  for (const Expected& e : pictures) {
    SDL_Surface* picture = Picture(e.file);
    if (!picture) continue;
    EXPECT_EQ(picture->w, e.w) << e.file;
    EXPECT_EQ(picture->h, e.h) << e.file;
    SDL_FreeSurface(picture);
  }
  // The show counts photos until the first number missing: 19 photos, 19 slots.
  std::ifstream twentieth(DemoFile(PhotoName(kPhotos + 1).path));
  EXPECT_FALSE(twentieth.good());
}

// The logo and the loading pictures are drawn on black: an edge that is not black shows as a box.
TEST(DemoPictures, PicturesShownOnBlackHaveBlackEdges) {
  for (const char* file : {"gfx/si.png", "gfx/ohen.png", "gfx/load.png"}) {
    SDL_Surface* picture = Picture(file);
    if (!picture) continue;
    int brightest = 0;
    for (int x = 0; x < picture->w; ++x)
      for (int y : {0, picture->h - 1})
        brightest = std::max(brightest, int(Luminance(ColourAt(picture, x, y))));
    for (int y = 0; y < picture->h; ++y)
      for (int x : {0, picture->w - 1})
        brightest = std::max(brightest, int(Luminance(ColourAt(picture, x, y))));
    EXPECT_LE(brightest, 6) << file;
    SDL_FreeSurface(picture);
  }
}

TEST(DemoPictures, BackgroundFramesThePhotoAndKeepsTheNamesStripCalm) {
  SDL_Surface* back = Picture("gfx/back.png");
  if (!back) return;
  // A light mount shows on every side of the photo, a few pixels out.
  const int midX = kPhotoX + kPhotoWidth / 2, midY = kPhotoY + kPhotoHeight / 2;
  EXPECT_GT(Luminance(ColourAt(back, kPhotoX - 8, midY)), 150);
  EXPECT_GT(Luminance(ColourAt(back, kPhotoX + kPhotoWidth + 7, midY)), 150);
  EXPECT_GT(Luminance(ColourAt(back, midX, kPhotoY - 7)), 150);
  EXPECT_GT(Luminance(ColourAt(back, midX, kPhotoY + kPhotoHeight + 6)), 150);
  // The names line (white on its own blue band) slides along a dark, even strip.
  double sum = 0, squares = 0;
  int n = 0;
  for (int y = kNamesTop; y < kNamesBottom; ++y)
    for (int x = kNamesRestX; x < kScreenWidth; ++x) {
      const double l = Luminance(ColourAt(back, x, y));
      sum += l, squares += l * l, ++n;
    }
  const double mean = sum / n;
  EXPECT_LT(mean, 60);
  EXPECT_LT(std::sqrt(squares / n - mean * mean), 4);
  SDL_FreeSurface(back);
}

TEST(DemoPhotos, DifferAtAGlance) {
  // Every 4th pixel of every photo, as luminance and colour.
  constexpr int kStep = 4;
  std::vector<std::vector<SDL_Color>> photos;
  for (int k = 1; k <= kPhotos; ++k) {
    SDL_Surface* photo = Picture(PhotoName(k).path);
    if (!photo) return;
    std::vector<SDL_Color> samples;
    double sum = 0, squares = 0;
    for (int y = 0; y < photo->h; y += kStep)
      for (int x = 0; x < photo->w; x += kStep) {
        samples.push_back(ColourAt(photo, x, y));
        const double l = Luminance(samples.back());
        sum += l, squares += l * l;
      }
    const double mean = sum / samples.size();
    EXPECT_GT(std::sqrt(squares / samples.size() - mean * mean), 20) << "flat photo " << k;
    photos.push_back(samples);
    SDL_FreeSurface(photo);
  }
  for (int a = 0; a < kPhotos; ++a)
    for (int b = a + 1; b < kPhotos; ++b) {
      double difference = 0;
      for (size_t i = 0; i < photos[a].size(); ++i)
        difference += std::abs(photos[a][i].r - photos[b][i].r) +
                      std::abs(photos[a][i].g - photos[b][i].g) +
                      std::abs(photos[a][i].b - photos[b][i].b);
      EXPECT_GT(difference / (3 * photos[a].size()), 15) << "photos " << a + 1 << " and " << b + 1;
    }
}

// The module file as the classic four-channel format lays it out.
class DemoModule : public ::testing::Test {
 protected:
  static constexpr int kOrderOffset = 952, kSignatureOffset = 1080, kPatternOffset = 1084;
  static constexpr int kPatternSize = 64 * 4 * 4;

  void SetUp() override {
    std::ifstream in(DemoFile(kMusicFile), std::ios::binary);
    data.assign(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(data.size(), size_t(kPatternOffset));
  }
  int Word(size_t at) const { return data[at] << 8 | data[at + 1]; }
  int SampleLength(int i) const { return 2 * Word(20 + i * 30 + 22); }
  int SongLength() const { return data[950]; }
  int PatternCount() const {
    int highest = 0;
    for (int i = 0; i < 128; ++i) highest = std::max<int>(highest, data[kOrderOffset + i]);
    return highest + 1;
  }
  const unsigned char* Cell(int pattern, int row, int channel) const {
    return &data[kPatternOffset + pattern * kPatternSize + (row * 4 + channel) * 4];
  }

  std::vector<unsigned char> data;
};

TEST_F(DemoModule, HeaderPatternsAndSamplesAreConsistent) {
  EXPECT_EQ(std::string(data.begin() + kSignatureOffset, data.begin() + kSignatureOffset + 4),
            "M.K.");
  int sampleBytes = 0, instruments = 0;
  for (int i = 0; i < 31; ++i) {
    const unsigned char* header = &data[20 + i * 30];
    const int length = SampleLength(i), loopStart = 2 * Word(20 + i * 30 + 26);
    const int loopLength = 2 * Word(20 + i * 30 + 28);
    EXPECT_LE(header[24], 15) << "finetune of sample " << i + 1;
    EXPECT_LE(header[25], 64) << "volume of sample " << i + 1;
    if (length > 2) {
      EXPECT_LE(loopStart + loopLength, length) << "loop of sample " << i + 1;
    }
    sampleBytes += length;
    if (length > 0) ++instruments;
  }
  EXPECT_GE(instruments, 6);
  ASSERT_GE(SongLength(), 4);
  ASSERT_LE(SongLength(), 128);
  std::set<int> played(data.begin() + kOrderOffset, data.begin() + kOrderOffset + SongLength());
  EXPECT_GE(played.size(), 4u);
  EXPECT_EQ(data.size(), size_t(kPatternOffset + PatternCount() * kPatternSize + sampleBytes));

  // Every note is in the period table and names an instrument that has a sample.
  const std::set<int> periods = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                                 428, 404, 381, 360, 340, 320, 302, 285, 269, 254, 240, 226,
                                 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};
  std::set<int> used;
  for (int p = 0; p < PatternCount(); ++p)
    for (int row = 0; row < 64; ++row)
      for (int channel = 0; channel < 4; ++channel) {
        const unsigned char* c = Cell(p, row, channel);
        const int period = (c[0] & 0x0F) << 8 | c[1], instrument = (c[0] & 0xF0) | c[2] >> 4;
        if (period == 0) continue;
        EXPECT_EQ(periods.count(period), 1u) << "pattern " << p << " row " << row;
        ASSERT_GE(instrument, 1);
        EXPECT_GT(SampleLength(instrument - 1), 2) << "instrument " << instrument;
        used.insert(instrument);
      }
  EXPECT_GE(used.size(), 6u);
}

TEST_F(DemoModule, SongLastsAtLeastThirtySeconds) {
  // A row lasts `speed` ticks of 2.5 / tempo seconds; Fxx sets the speed below 32, else the tempo.
  int speed = 6, tempo = 125;
  double seconds = 0;
  for (int order = 0; order < SongLength(); ++order) {
    const int pattern = data[kOrderOffset + order];
    for (int row = 0; row < 64; ++row) {
      bool breakRow = false;
      for (int channel = 0; channel < 4; ++channel) {
        const unsigned char* c = Cell(pattern, row, channel);
        const int effect = c[2] & 0x0F, param = c[3];
        if (effect == 0xF && param > 0) (param < 32 ? speed : tempo) = param;
        if (effect == 0xB || effect == 0xD) breakRow = true;
      }
      seconds += speed * 2.5 / tempo;
      if (breakRow) break;
    }
  }
  EXPECT_GE(seconds, 30);
  EXPECT_LE(seconds, 600);
}

// The module as the show's mixer plays it, rendered without a sound device by the engine the
// mixer plays modules with, set up as the mixer sets it up (render_test holds the two to the
// same samples): no race with an audio thread.
TEST_F(DemoModule, MixerPlaysItAudibly) {
  char why[256] = "";
  ASSERT_TRUE(OpenMusic(DemoFile(kMusicFile).c_str(), false, why, sizeof why)) << why;
  // Ten seconds of sound: the intro and the start of the verse.
  const long second = 2L * kAudioRate;  // stereo samples
  std::vector<Sint16> samples(10 * second);
  PlayMusic(samples.data(), 10L * kAudioRate);
  CloseMusic();
  // Each second on its own: sound all the way, loud enough, rarely at full scale.
  for (int s = 0; s < 10; ++s) {
    double squares = 0;
    long clipped = 0;
    for (long i = s * second; i < (s + 1) * second; ++i) {
      squares += double(samples[i]) * samples[i];
      if (samples[i] >= 32767 || samples[i] <= -32768) ++clipped;
    }
    EXPECT_GT(std::sqrt(squares / second), 1000) << "second " << s;
    EXPECT_LT(clipped, second / 1000) << "second " << s;
  }
}

}  // namespace
