// Asset loading: file names, the photo series, the messages and the fonts.
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "anim/anim.h"
#include "assets/assets.h"
#include "driver/driver.h"
#include "testing.h"
#include "text/text.h"

namespace fs = std::filesystem;

namespace {

TEST(FileNames, DirectoryBaseAndExtension) {
  char out[kFileNameSize];
  FileNameConversion("gfx/", "load", "png", out);
  EXPECT_STREQ(out, "gfx/load.png");
  FileNameConversion("sfx/", "belong", "mod", out);
  EXPECT_STREQ(out, "sfx/belong.mod");
  FileNameConversion("gfx/", "arial", "", out);
  EXPECT_STREQ(out, "gfx/arial") << "no dot without an extension";
}

TEST(FileNames, ALongNameIsCutToTheBuffer) {
  char out[kFileNameSize + 16];
  memset(out, 'z', sizeof out);
  const std::string base(400, 'b');
  FileNameConversion("gfx/", base.c_str(), "jpg", out);
  EXPECT_EQ(strlen(out), static_cast<size_t>(kFileNameSize - 1));
  EXPECT_EQ(out[kFileNameSize], 'z') << "nothing written past the buffer";
}

// SDL 1.2 halves or doubles by whole octaves compared in hundreds of Hz; a step too many or
// too few plays the music an octave off, and a rate of 0 must not loop for ever.
TEST(SampleRates, StepsAreSdlsOctavesInHundredsOfHz) {
  const struct {
    int rate, toRate, steps;
  } kCases[] = {
      {44050, 44050, 0}, {44099, 44050, 0},  // the same hundred: played as it is
      {22050, 44050, 0},                     // doubled, 441 hundreds pass 440
      {22000, 44050, 1}, {11025, 44100, 2}, {96000, 44100, 1}, {8000, 44100, 2},
      {0, 44100, 0},     {-8000, 44100, 0}, {44100, 0, 0},     {2147483647, 44100, 15},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(RateSteps(c.rate, c.toRate), c.steps) << c.rate << " Hz to " << c.toRate << " Hz";
}

// Each test loads from a fresh folder of its own, made from the demo show's files.
class Loading : public testing::Test {
 protected:
  fs::path dir, home;

  void SetUp() override {
    OpenTestDisplay(16);
    if (!TTF_WasInit()) TTF_Init();
    ResetAssets();
    ResetAnim();
    ResetDriver();
    SetCanvas(SDL_GetVideoSurface());
    home = fs::current_path();
    dir =
        fs::temp_directory_path() / ("tolvane-assets-" + std::to_string(getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "gfx");
    fs::create_directories(dir / "sfx");
    for (const char* name : kShowFiles) fs::copy_file(DemoFile(name), dir / name);
    fs::current_path(dir);
  }
  void TearDown() override {
    ResetAssets();
    fs::current_path(home);
    fs::remove_all(dir);
  }

  void Copy(const std::string& demoName, const std::string& as) {
    fs::copy_file(DemoFile("gfx/" + demoName), dir / "gfx" / as,
                  fs::copy_options::overwrite_existing);
  }
  void Photos(int from, int to) {
    for (int k = from; k <= to; k++) Copy(PhotoName(k).file, PhotoName(k).file);
  }
  std::string LoadAll() {
    testing::internal::CaptureStderr();
    LoadGFX([] { Render(0); });  // as LoadShow has it drawn
    return testing::internal::GetCapturedStderr();
  }
};

std::string Loaded(const std::string& name) {
  return name + " loaded\n";
}
std::string Failed(const std::string& name) {
  return "Couldn't load " + name + ": ";
}

TEST_F(Loading, NineteenPhotosInOrderThenOneFailureLine) {
  Photos(1, 19);
  const std::string err = LoadAll();
  std::string expected;
  for (const char* p : {"load.png", "ohen.png", "back.png", "si.png", "end.png"})
    expected += Loaded(std::string("gfx/") + p);
  for (int k = 1; k <= 19; k++) expected += Loaded(PhotoName(k).path);
  ASSERT_EQ(err.substr(0, expected.size()), expected);
  const std::string rest = err.substr(expected.size());
  EXPECT_EQ(rest.rfind(Failed("gfx/foto20.jpg"), 0), 0u) << rest;
  EXPECT_EQ(std::count(rest.begin(), rest.end(), '\n'), 1);
  EXPECT_EQ(fotos, 18);
  EXPECT_EQ(ENDTIME, 41800);
  EXPECT_NE(foto[18], nullptr);
  EXPECT_EQ(foto[19], nullptr);
  EXPECT_EQ(foto[0]->format->BitsPerPixel, 16) << "converted to the display's format";
}

TEST_F(Loading, NoPhotoAtAll) {
  const std::string err = LoadAll();
  EXPECT_NE(err.find(Failed("gfx/foto01.jpg")), std::string::npos);
  EXPECT_EQ(fotos, -1);
  EXPECT_EQ(ENDTIME, 3800);
  for (SDL_Surface* p : foto) EXPECT_EQ(p, nullptr);
}

TEST_F(Loading, FiftyPhotosAndNeverAFiftyFirst) {
  for (int k = 1; k <= 51; k++) Copy("foto01.jpg", PhotoName(k).file);
  const std::string err = LoadAll();
  EXPECT_EQ(err.find("Couldn't"), std::string::npos);
  EXPECT_EQ(err.find("foto51"), std::string::npos);
  EXPECT_EQ(fotos, 49);
  EXPECT_EQ(ENDTIME, 103800);
}

TEST_F(Loading, TheSeriesEndsAtAGapACorruptFileOrAOneDigitName) {
  Photos(1, 5);
  Photos(7, 7);
  std::string err = LoadAll();
  EXPECT_EQ(fotos, 4);
  EXPECT_NE(err.find(Failed("gfx/foto06.jpg")), std::string::npos);
  EXPECT_EQ(err.find("foto07"), std::string::npos) << "never opened";

  ResetAssets();
  std::ofstream(dir / "gfx" / "foto06.jpg") << "not a picture\n";
  err = LoadAll();
  EXPECT_EQ(fotos, 4);
  EXPECT_NE(err.find(Failed("gfx/foto06.jpg")), std::string::npos);

  ResetAssets();
  fs::remove_all(dir / "gfx" / "foto01.jpg");
  Copy("foto01.jpg", "foto1.jpg");
  LoadAll();
  EXPECT_EQ(fotos, -1) << "names always carry two digits";
}

TEST_F(Loading, AMissingFixedPictureLeavesTheRestLoading) {
  Photos(1, 2);
  fs::remove(dir / "gfx" / "back.png");
  std::ofstream(dir / "gfx" / "si.png") << "";
  const std::string err = LoadAll();
  EXPECT_NE(err.find(Failed("gfx/back.png")), std::string::npos);
  EXPECT_NE(err.find(Failed("gfx/si.png")), std::string::npos);
  EXPECT_EQ(back, nullptr);
  EXPECT_EQ(si, nullptr);
  EXPECT_NE(load, nullptr);
  EXPECT_NE(ohen, nullptr);
  EXPECT_NE(end, nullptr);
  EXPECT_EQ(fotos, 1);
  // Exactly one line per picture tried: 5 fixed pictures, 2 photos, the end of the series.
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 8);
}

TEST_F(Loading, TheLoadingScreenStandsWhileTheRestLoads) {
  Photos(1, 1);
  LoadAll();
  SDL_Surface* display = SDL_GetVideoSurface();
  // The loading picture centred, the badge in the bottom-right corner, black elsewhere.
  const int x = (kScreenWidth - ohen->w) / 2, y = (kScreenHeight - ohen->h) / 2;
  EXPECT_EQ(PixelAt(display, 0, 0), 0u);
  EXPECT_EQ(PixelAt(display, x + ohen->w / 2, y + ohen->h / 2),
            PixelAt(ohen, ohen->w / 2, ohen->h / 2));
  EXPECT_EQ(PixelAt(display, kScreenWidth - 1, kScreenHeight - 1),
            PixelAt(load, load->w - 1, load->h - 1));
  EXPECT_EQ(PixelAt(display, kScreenWidth - load->w, kScreenHeight - load->h), PixelAt(load, 0, 0));
}

TEST_F(Loading, FontsOpenSilentlyOrSayWhyNot) {
  testing::internal::CaptureStderr();
  EXPECT_TRUE(LoadFonts());
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_NE(text_font, nullptr);
  EXPECT_NE(names_font, nullptr);
  EXPECT_NE(text_font, names_font);
  EXPECT_EQ(TTF_FontHeight(text_font) > TTF_FontHeight(names_font), true);
  ReleaseFonts();

  for (bool present : {false, true}) {
    fs::remove(dir / kFontFile);
    if (present) std::ofstream(dir / kFontFile) << "not a font";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(LoadFonts());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("Couldn't load 12 pt font from gfx/arial.ttf: ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << "it stops at the first font";
    EXPECT_EQ(text_font, nullptr);
  }
}

// Damaged PNG files, as interrupted copies and bad disks leave them: each must end its
// decoding with the failure line, as a fixed picture and as a photo. A hang is a failure of
// the test's time limit.
std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The offset of every chunk of a whole PNG file, and of its end.
std::vector<size_t> ChunkStarts(const std::string& png) {
  std::vector<size_t> starts;
  for (size_t at = 8; at + 8 <= png.size();) {
    starts.push_back(at);
    const Uint32 length = static_cast<Uint8>(png[at]) << 24 |
                          static_cast<Uint8>(png[at + 1]) << 16 |
                          static_cast<Uint8>(png[at + 2]) << 8 | static_cast<Uint8>(png[at + 3]);
    at += 12 + length;
    if (at == png.size()) starts.push_back(at);
  }
  return starts;
}

std::vector<std::string> DamagedVariants(const std::string& png) {
  std::vector<std::string> damaged;
  const std::vector<size_t> starts = ChunkStarts(png);
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    const size_t at = starts[i];
    // Cut at the chunk's start, and inside its length and its type.
    for (size_t cut : {at, at + 2, at + 6}) damaged.push_back(png.substr(0, cut));
    // Its length one byte beyond the file, at the 31-bit limit, and beyond that.
    const Uint32 left = static_cast<Uint32>(png.size() - at - 12 + 1);
    for (Uint32 length : {left, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
      std::string changed = png;
      for (int b = 0; b < 4; ++b) changed[at + b] = static_cast<char>(length >> (24 - 8 * b));
      damaged.push_back(changed);
    }
  }
  // A few bytes that declare 20000x20000 pixels, a decompression bomb.
  std::string bomb = png;
  for (int at : {16, 20}) bomb.replace(at, 4, std::string("\0\0\x4e\x20", 4));
  damaged.push_back(bomb);
  damaged.push_back(Bytes(fs::path(TOLVANE_TESTS_DIR) / "data" / "hang-truncated.png"));
  damaged.push_back(Bytes(fs::path(TOLVANE_TESTS_DIR) / "data" / "hang-damaged.png"));
  return damaged;
}

TEST_F(Loading, ADamagedPngEndsItsDecodingWithTheFailureLine) {
  const std::string whole = Bytes(dir / "gfx" / "load.png");
  ASSERT_GE(ChunkStarts(whole).size(), 4u) << "a picture of a few chunks";
  const std::vector<std::string> variants = DamagedVariants(whole);
  for (size_t v = 0; v < variants.size(); ++v)
    for (const char* name : {"back", "foto01"}) {
      const std::string ext = name[0] == 'f' ? "jpg" : "png";
      std::ofstream(dir / "gfx" / (name + ("." + ext)), std::ios::binary) << variants[v];
      testing::internal::CaptureStderr();
      SDL_Surface* picture = GetPix(name, ext.c_str());
      const std::string err = testing::internal::GetCapturedStderr();
      EXPECT_EQ(picture, nullptr) << "variant " << v;
      EXPECT_EQ(err.rfind(Failed("gfx/" + std::string(name) + "." + ext), 0), 0u)
          << "variant " << v << ": " << err;
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
      if (picture) SDL_FreeSurface(picture);
    }
  // The whole picture still loads, as a picture and as a photo.
  std::ofstream(dir / "gfx" / "foto01.jpg", std::ios::binary) << whole;
  testing::internal::CaptureStderr();
  SDL_Surface* photo = GetPix("foto01", "jpg");
  testing::internal::GetCapturedStderr();
  EXPECT_NE(photo, nullptr);
  if (photo) SDL_FreeSurface(photo);
}

// Photos of every kind and size: the loader keeps only the part of a photo that can be seen,
// and the show's frames must not tell.

const JpegKind kJpegKinds[] = {
    {"4:4:4", 3, 1, 1},
    {"4:2:2", 3, 2, 1},
    {"4:2:0", 3, 2, 2},
    {"4:1:1", 3, 4, 1},
    {"4:4:0", 3, 1, 2},
    {"progressive", 3, 2, 2, true},
    {"grey", 1, 1, 1},
    {"CMYK", 4, 1, 1},
    {"restarts", 3, 2, 2, false, false, 3},
    {"arithmetic", 3, 2, 2, false, true},
};

// Fine detail in every channel, so that colour taken from the wrong neighbour shows.
Uint8 Detail(int x, int y, int c) {
  const Uint32 h = (x * 73856093u) ^ (y * 19349663u) ^ (c * 83492791u);
  return static_cast<Uint8>((h >> 7) ^ (x + y) * (c + 1));
}

void WriteJpeg(const fs::path& path, const JpegKind& kind, int width, int height) {
  ASSERT_TRUE(WriteTestJpeg(path, kind, width, height, 80, [&](int y, std::vector<Uint8>& row) {
    for (int x = 0; x < width * kind.components; ++x)
      row[x] = Detail(x / kind.components, y, x % kind.components);
  }));
}

std::vector<Uint8> Screen() {
  const Uint8* p = static_cast<const Uint8*>(canvas.surface->pixels);
  return std::vector<Uint8>(p, p + canvas.surface->pitch * canvas.surface->h);
}

class PhotoWindow : public Loading, public testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    Loading::SetUp();
    OpenTestDisplay(GetParam());
  }
};

// A frame of the first slot: the photo stands, and the names line slides in over what the
// photo has below the photo area.
TEST_P(PhotoWindow, FramesWithTheCutPhotoAreThoseWithTheWholeOne) {
  Photos(1, 1);
  testing::internal::CaptureStderr();
  LoadShow(nullptr);
  StartShow();
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(fotos, 0);
  const int frame = kFirstSlot + kPhotoOffset + 40;
  StepTo(frame, kOnePass);
  const int sizes[][2] = {{1001, 777}, {517, 385}, {518, 386}, {553, 417}, {301, 203}, {2, 1}};
  for (const JpegKind& kind : kJpegKinds)
    for (const auto& size : sizes) {
      const std::string what =
          std::string(kind.name) + " " + std::to_string(size[0]) + "x" + std::to_string(size[1]);
      WriteJpeg(dir / "gfx" / "foto01.jpg", kind, size[0], size[1]);
      SDL_Surface* raw = IMG_Load("gfx/foto01.jpg");
      ASSERT_NE(raw, nullptr) << what;
      SDL_Surface* whole = SDL_DisplayFormat(raw);
      SDL_FreeSurface(raw);
      testing::internal::CaptureStderr();
      SDL_Surface* cut = GetPix("foto01", "jpg", kPhotoSeenWidth, kPhotoSeenHeight);
      EXPECT_EQ(testing::internal::GetCapturedStderr(), Loaded("gfx/foto01.jpg")) << what;
      ASSERT_NE(cut, nullptr) << what;
      EXPECT_EQ(cut->w, std::min(size[0], kPhotoSeenWidth)) << what;
      EXPECT_EQ(cut->h, std::min(size[1], kPhotoSeenHeight)) << what;
      SDL_FreeSurface(foto[0]);
      foto[0] = whole;
      Render(frame);
      const std::vector<Uint8> today = Screen();
      foto[0] = cut;
      Render(frame);
      EXPECT_TRUE(Screen() == today) << what;
      SDL_FreeSurface(whole);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PhotoWindow, testing::Values(16, 32),
                         [](const testing::TestParamInfo<int>& info) {
                           return "Bpp" + std::to_string(info.param);
                         });

std::vector<size_t> SegmentStarts(const std::string& jpeg) {
  std::vector<size_t> starts;
  for (size_t at = 2; at + 4 <= jpeg.size() && Uint8(jpeg[at]) == 0xFF;) {
    starts.push_back(at);
    if (Uint8(jpeg[at + 1]) == 0xDA) break;
    at += 2 + (Uint8(jpeg[at + 2]) << 8 | Uint8(jpeg[at + 3]));
  }
  return starts;
}

// The loader decodes no further than it must, and without the image library, so it makes the
// library's check of which files are JPEG files itself.
TEST_F(Loading, TakesAJpegFileForOneJustWhenTheImageLibraryDoes) {
  WriteJpeg(dir / "gfx" / "foto01.jpg", {"restarts", 3, 2, 2, false, false, 1}, 40, 24);
  const std::string jpeg = Bytes(dir / "gfx" / "foto01.jpg");
  std::vector<std::string> variants;
  for (size_t cut = 2; cut <= jpeg.size(); cut += 3) variants.push_back(jpeg.substr(0, cut));
  for (size_t at : SegmentStarts(jpeg))
    for (int length : {0, 1, 2, 3, 0xFFFF}) {
      std::string changed = jpeg;
      changed[at + 2] = static_cast<char>(length >> 8);
      changed[at + 3] = static_cast<char>(length);
      variants.push_back(changed);
      variants.push_back(jpeg.substr(0, at) + "\xFF\xFF" + jpeg.substr(at));  // fill bytes
      variants.push_back(jpeg.substr(0, at) + "x" + jpeg.substr(at));
    }
  const size_t end = jpeg.size() - 2;
  variants.push_back(jpeg.substr(0, end) + "\xFF\x00\xFF\xD0\xFF\xD9");
  variants.push_back(jpeg.substr(0, end) + "\xFF\xE0\x00\x02\xFF\xD9");
  variants.push_back(jpeg + "tail");
  int refused = 0;
  for (size_t v = 0; v < variants.size(); ++v) {
    std::ofstream(dir / "gfx" / "foto01.jpg", std::ios::binary) << variants[v];
    PictureHeader header;
    ASSERT_TRUE(ReadPictureHeader("gfx/foto01.jpg", header));
    SDL_RWops* stream = SDL_RWFromFile("gfx/foto01.jpg", "rb");
    const bool library = IMG_isJPG(stream);
    SDL_RWclose(stream);
    EXPECT_EQ(header.jpeg, library) << "variant " << v;
    refused += !library;
  }
  EXPECT_GT(refused, 100) << "the variants try the check both ways";
}

// A few bytes may declare a picture of 16000 x 16000 pixels. A photo's visible part is
// decoded, unless the file is one whose whole the decoder holds; a fixed picture is decoded
// whole, and refused. A panorama wider than SDL makes a picture of loads as a photo too.
TEST_F(Loading, APhotoDeclaredHugeIsDecodedOnlyAsFarAsItShowsOrRefused) {
  struct Declared {
    bool progressive;
    const char *size, *as;  // the frame header's height and width; and in messages
  };
  for (const Declared& d : {Declared{false, "\x3E\x80\x3E\x80", "16000x16000"},
                            Declared{true, "\x3E\x80\x3E\x80", "16000x16000"},
                            Declared{false, "\x09\xC4\x75\x30", "30000x2500"}}) {
    const std::string bound = "a picture of " + std::string(d.as) +
                              " pixels is more than the show decodes (64 million pixels at "
                              "most)\n";
    WriteJpeg(dir / "gfx" / "foto01.jpg", {"bomb", 3, 2, 2, d.progressive}, 16, 16);
    std::string bomb = Bytes(dir / "gfx" / "foto01.jpg");
    const size_t sof = bomb.find(d.progressive ? "\xFF\xC2" : "\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    bomb.replace(sof + 5, 4, d.size);
    std::ofstream(dir / "gfx" / "foto01.jpg", std::ios::binary) << bomb;
    std::ofstream(dir / "gfx" / "back.png", std::ios::binary) << bomb;
    testing::internal::CaptureStderr();
    SDL_Surface* photo = GetPix("foto01", "jpg", kPhotoSeenWidth, kPhotoSeenHeight);
    SDL_Surface* picture = GetPix("back", "png");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, (d.progressive ? Failed("gfx/foto01.jpg") + bound : Loaded("gfx/foto01.jpg")) +
                       Failed("gfx/back.png") + bound);
    EXPECT_EQ(picture, nullptr);
    ASSERT_EQ(photo != nullptr, !d.progressive) << d.as;
    if (!photo) continue;
    EXPECT_EQ(photo->w, kPhotoSeenWidth);
    EXPECT_EQ(photo->h, kPhotoSeenHeight);
    SDL_FreeSurface(photo);
  }
}

}  // namespace
