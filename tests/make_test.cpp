// tolvane-make: photos of every kind, made at test time with libvips, fitted into the photo
// area; the folders it makes played by the real program; and that it never leaves half a show
// or overwrites one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL_image.h>

#include "common.h"
#include "make.h"
#include "showrun.h"
#include "testing.h"
#include "text/text.h"

namespace fs = std::filesystem;

namespace {

constexpr double kRed[] = {255, 0, 0}, kBlue[] = {0, 0, 255};

// Owns one image.
struct Image {
  VipsImage* v = nullptr;
  Image() = default;
  explicit Image(VipsImage* image) : v(image) {}
  Image(Image&& o) : v(o.v) { o.v = nullptr; }
  Image& operator=(Image&& o) {
    std::swap(v, o.v);
    return *this;
  }
  ~Image() {
    if (v) g_object_unref(v);
  }
};

Image Plain(int w, int h, const double* rgb, int bands = 3) {
  VipsImage *black = nullptr, *lit = nullptr;
  EXPECT_EQ(vips_black(&black, w, h, "bands", bands, nullptr), 0);
  double a[4] = {1, 1, 1, 1}, b[4] = {rgb[0], rgb[1], rgb[2], bands == 4 ? rgb[3] : 0};
  EXPECT_EQ(vips_linear(black, &lit, a, b, bands, "uchar", TRUE, nullptr), 0);
  g_object_unref(black);
  return Image(lit);
}

// Blue, with its stored top-left quarter red: where that corner lands tells how it was turned.
Image Marked(int w, int h) {
  Image blue = Plain(w, h, kBlue), red = Plain(w / 2, h / 2, kRed);
  VipsImage* out = nullptr;
  EXPECT_EQ(vips_insert(blue.v, red.v, &out, 0, 0, nullptr), 0);
  return Image(out);
}

Image WithInt(const Image& in, const char* field, int value) {
  VipsImage* out = nullptr;
  EXPECT_EQ(vips_copy(in.v, &out, nullptr), 0);
  vips_image_set_int(out, field, value);
  return Image(out);
}

void Save(const Image& image, const fs::path& path) {
  ASSERT_EQ(vips_image_write_to_file(image.v, path.c_str(), nullptr), 0) << vips_error_buffer();
}

Image Load(const fs::path& path) {
  VipsImage* image = vips_image_new_from_file(path.c_str(), nullptr);
  EXPECT_NE(image, nullptr) << path;
  VipsImage* memory = image ? vips_image_copy_memory(image) : nullptr;
  if (image) g_object_unref(image);
  return Image(memory);
}

std::vector<double> PixelOf(const Image& image, int x, int y) {
  double* values = nullptr;
  int n = 0;
  EXPECT_EQ(vips_getpoint(image.v, &values, &n, x, y, nullptr), 0);
  std::vector<double> pixel(values, values + n);
  g_free(values);
  return pixel;
}

bool Near(const std::vector<double>& pixel, const double* rgb) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(pixel[i] - rgb[i]) > 60) return false;  // CMYK has no pure red
  return true;
}

// The part of a prepared photo that is not matte.
struct Box {
  int x, y, w, h;
};
Box Content(const Image& photo) {
  Box b{};
  double black[] = {0, 0, 0};
  VipsArrayDouble* background = vips_array_double_new(black, 3);
  EXPECT_EQ(vips_find_trim(photo.v, &b.x, &b.y, &b.w, &b.h, "background", background, "threshold",
                           30.0, nullptr),
            0);
  vips_area_unref(VIPS_AREA(background));
  return b;
}

// The size a w x h photo takes when fitted whole into the photo area.
Box Fitted(int w, int h) {
  const double scale = std::min(double(kPhotoWidth) / w, double(kPhotoHeight) / h);
  const int fw = static_cast<int>(w * scale + 0.5), fh = static_cast<int>(h * scale + 0.5);
  return {(kPhotoWidth - fw) / 2, (kPhotoHeight - fh) / 2, fw, fh};
}

void ExpectBox(const Box& got, const Box& want, const std::string& what) {
  EXPECT_NEAR(got.x, want.x, 2) << what;
  EXPECT_NEAR(got.y, want.y, 2) << what;
  EXPECT_NEAR(got.w, want.w, 3) << what;
  EXPECT_NEAR(got.h, want.h, 3) << what;
}

// Whether a JPEG file is baseline: its frame header is SOF0.
bool Baseline(const fs::path& path) {
  const std::string data = Slurp(path);
  for (size_t at = 2; at + 4 <= data.size();) {
    if (static_cast<unsigned char>(data[at]) != 0xFF) return false;
    const int marker = static_cast<unsigned char>(data[at + 1]);
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      return marker == 0xC0;
    at += 2 + (static_cast<unsigned char>(data[at + 2]) << 8 |
               static_cast<unsigned char>(data[at + 3]));
  }
  return false;
}

class Prepare : public testing::Test {
 protected:
  ShowFolder folder{std::string("make-") +
                    testing::UnitTest::GetInstance()->current_test_info()->name()};
  void SetUp() override {
    ASSERT_TRUE(StartVips("make_test"));
    made = MakeOptions{};
  }
  // Prepares the file as tolvane-make does; the photo, or a null image with the reason.
  Image Run(const fs::path& in, std::string* why = nullptr) {
    Photo p{};
    snprintf(p.path, sizeof p.path, "%s", in.c_str());
    const fs::path out = folder.Dir() / (in.filename().string() + ".out.jpg");
    const fs::path large = folder.Dir() / (in.filename().string() + ".large.jpg");
    const bool ok = PreparePhoto(p, out.c_str(), large.c_str());
    if (why) *why = p.why;
    if (!ok) return Image();
    EXPECT_TRUE(Baseline(out)) << in;
    Image photo = Load(out);
    EXPECT_EQ(photo.v->Xsize, kPhotoWidth) << in;
    EXPECT_EQ(photo.v->Ysize, kPhotoHeight) << in;
    EXPECT_EQ(photo.v->Bands, 3) << in;
    return photo;
  }
};

TEST_F(Prepare, EachExifOrientationTurnsThePhotoUpright) {
  // Where the stored top-left corner is seen: 0 top-left, 1 top-right, 2 bottom-right,
  // 3 bottom-left; orientations 5 to 8 also swap width and height.
  const int corner[9] = {0, 0, 1, 2, 3, 0, 1, 2, 3};
  for (int o = 1; o <= 8; ++o) {
    const fs::path in = folder.Dir() / ("o" + std::to_string(o) + ".jpg");
    Save(WithInt(Marked(300, 200), "orientation", o), in);
    Image photo = Run(in);
    ASSERT_NE(photo.v, nullptr) << o;
    const Box want = o <= 4 ? Fitted(300, 200) : Fitted(200, 300);
    const Box got = Content(photo);
    ExpectBox(got, want, "orientation " + std::to_string(o));
    for (int c = 0; c < 4; ++c) {
      const int x = got.x + (c == 1 || c == 2 ? 3 : 1) * got.w / 4;
      const int y = got.y + (c >= 2 ? 3 : 1) * got.h / 4;
      EXPECT_TRUE(Near(PixelOf(photo, x, y), c == corner[o] ? kRed : kBlue))
          << "orientation " << o << ", quarter " << c;
    }
  }
}

TEST_F(Prepare, EveryShapeAndSizeIsFittedWholeAndCentred) {
  const struct {
    const char* name;
    int w, h;
  } shapes[] = {{"portrait.jpg", 300, 400},  {"landscape.jpg", 400, 300}, {"square.jpg", 500, 500},
                {"panorama.jpg", 2400, 300}, {"tiny.jpg", 16, 16},        {"huge.jpg", 8000, 6000}};
  for (const auto& s : shapes) {
    const fs::path in = folder.Dir() / s.name;
    Save(Marked(s.w, s.h), in);
    Image photo = Run(in);
    ASSERT_NE(photo.v, nullptr) << s.name;
    const Box got = Content(photo);
    ExpectBox(got, Fitted(s.w, s.h), s.name);
    EXPECT_TRUE(Near(PixelOf(photo, got.x + got.w / 4, got.y + got.h / 4), kRed)) << s.name;
    EXPECT_TRUE(Near(PixelOf(photo, got.x + 3 * got.w / 4, got.y + 3 * got.h / 4), kBlue))
        << s.name;
  }
}

TEST_F(Prepare, FillCoversTheAreaAndCropsTheMiddle) {
  made.fill = true;
  const fs::path in = folder.Dir() / "wide.png";
  // Red left third, blue the rest: the middle of a wide photo is kept, its left edge cut.
  Image blue = Plain(900, 290, kBlue), red = Plain(300, 290, kRed);
  VipsImage* out = nullptr;
  ASSERT_EQ(vips_insert(blue.v, red.v, &out, 0, 0, nullptr), 0);
  Save(Image(out), in);
  Image photo = Run(in);
  ASSERT_NE(photo.v, nullptr);
  ExpectBox(Content(photo), {0, 0, kPhotoWidth, kPhotoHeight}, "filled");
  EXPECT_TRUE(Near(PixelOf(photo, 40, 145), kRed));   // 900 px cropped to 394 from x 253
  EXPECT_TRUE(Near(PixelOf(photo, 60, 145), kBlue));  // from 300 - 253 = 47 on
}

TEST_F(Prepare, ColourSpacesAndTransparencyEndAsSrgbOnTheMatte) {
  const double white[] = {255, 255, 255};
  made.matte[0] = made.matte[1] = made.matte[2] = 255;
  // PNG: left half transparent, right half opaque red.
  {
    const double clear[] = {0, 0, 0, 0}, opaque[] = {255, 0, 0, 255};
    Image all = Plain(400, 300, opaque, 4), hole = Plain(200, 300, clear, 4);
    VipsImage* out = nullptr;
    ASSERT_EQ(vips_insert(all.v, hole.v, &out, 0, 0, nullptr), 0);
    Save(Image(out), folder.Dir() / "alpha.png");
    Image photo = Run(folder.Dir() / "alpha.png");
    ASSERT_NE(photo.v, nullptr);
    EXPECT_TRUE(Near(PixelOf(photo, 100, 145), white)) << "transparency shows the matte";
    EXPECT_TRUE(Near(PixelOf(photo, 300, 145), kRed));
  }
  // Grey, 16-bit RGB, CMYK and WebP, each a red or a grey that must come out as such.
  VipsImage *grey = nullptr, *wide = nullptr, *cmyk = nullptr;
  Image mid = Plain(400, 300, kRed);
  ASSERT_EQ(vips_colourspace(mid.v, &grey, VIPS_INTERPRETATION_B_W, nullptr), 0);
  ASSERT_EQ(vips_colourspace(mid.v, &wide, VIPS_INTERPRETATION_RGB16, nullptr), 0);
  ASSERT_EQ(vips_colourspace(mid.v, &cmyk, VIPS_INTERPRETATION_CMYK, nullptr), 0);
  Image g(grey), w(wide), c(cmyk);
  Save(g, folder.Dir() / "grey.jpg");
  Save(w, folder.Dir() / "deep.png");
  Save(c, folder.Dir() / "cmyk.jpg");
  Save(mid, folder.Dir() / "photo.webp");
  const double greyOfRed[] = {PixelOf(g, 0, 0)[0], PixelOf(g, 0, 0)[0], PixelOf(g, 0, 0)[0]};
  EXPECT_TRUE(Near(PixelOf(Run(folder.Dir() / "grey.jpg"), 197, 145), greyOfRed));
  for (const char* name : {"deep.png", "cmyk.jpg", "photo.webp"}) {
    Image photo = Run(folder.Dir() / name);
    ASSERT_NE(photo.v, nullptr) << name;
    EXPECT_TRUE(Near(PixelOf(photo, 197, 145), kRed)) << name;
  }
}

TEST_F(Prepare, FilesThatAreNoPhotoFailWithTheirReason) {
  std::string why;
  EXPECT_EQ(Run(folder.Dir() / "missing.jpg", &why).v, nullptr);
  EXPECT_EQ(why, "No such file or directory");
  std::ofstream(folder.Dir() / "text.jpg") << "not a photo\n";
  EXPECT_EQ(Run(folder.Dir() / "text.jpg", &why).v, nullptr);
  EXPECT_EQ(why, "not a picture in a format that can be read");
  Save(Marked(800, 600), folder.Dir() / "whole.jpg");
  const std::string data = Slurp(folder.Dir() / "whole.jpg");
  std::ofstream(folder.Dir() / "cut.jpg", std::ios::binary) << data.substr(0, data.size() / 2);
  EXPECT_EQ(Run(folder.Dir() / "cut.jpg", &why).v, nullptr) << "a photo cut short";
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(fs::exists(folder.Dir() / "cut.jpg.out.jpg")) << "no half-written photo";
}

TEST(MakeOrder, NamesWithNumbersInNaturalOrder) {
  const char* sorted[] = {"IMG_2.jpg",   "img_3.JPG",    "IMG_10.jpg",
                          "IMG_10a.jpg", "IMG_011b.jpg", "IMG_100.jpg"};
  for (size_t i = 0; i + 1 < std::size(sorted); ++i) {
    EXPECT_LT(NaturalCompare(sorted[i], sorted[i + 1]), 0) << sorted[i] << " " << sorted[i + 1];
    EXPECT_GT(NaturalCompare(sorted[i + 1], sorted[i]), 0);
  }
  EXPECT_EQ(NaturalCompare("a01", "a1"), 0);
}

// tolvane-make run as a presenter runs it, in a folder of its own: the show is made in
// work/show, beside the photos.
class Make : public testing::Test {
 protected:
  ShowFolder work{std::string("make-") +
                  testing::UnitTest::GetInstance()->current_test_info()->name()};
  fs::path showDir = work.Dir() / "show";
  void SetUp() override {
    ASSERT_TRUE(StartVips("make_test"));
    OpenTestDisplay(16);
  }
  fs::path Photo(const std::string& name, const double* rgb, int w = 400, int h = 300) {
    const fs::path path = work.Dir() / name;
    fs::create_directories(path.parent_path());
    Save(Plain(w, h, rgb), path);
    return path;
  }
  ShowRun MakeShow(std::vector<std::string> args) {
    args.insert(args.begin(), {TOLVANE_MAKE, "-o", showDir.string()});
    return ::Run(work.Dir(), args, {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}},
                 120);
  }
  // What is in the work folder besides the photos, the show and the run's two streams:
  // a temporary folder left behind.
  std::vector<std::string> Leftovers() {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(work.Dir())) {
      const std::string name = entry.path().filename();
      if (name[0] == '.') found.push_back(name);
    }
    return found;
  }
};

// The photo in the made show as the show holds it.
SDL_Surface* MadePhoto(const fs::path& path) {
  SDL_Surface* decoded = IMG_Load(path.c_str());
  if (!decoded) return nullptr;
  SDL_Surface* converted = SDL_DisplayFormat(decoded);
  SDL_FreeSurface(decoded);
  return converted;
}

TEST_F(Make, MadeShowPlaysToItsEndWithTheFirstPhotoInItsSlot) {
  Photo("photos/IMG_10.jpg", kBlue);
  Save(WithInt(Marked(300, 200), "orientation", 6), work.Dir() / "photos" / "IMG_2.jpg");
  Photo("late.webp", kRed, 1200, 300);
  // 120 characters with accents: the designs fit it to every picture.
  std::string title =
      "Réunion d'été à Saint-Étienne: équipes, résultats détaillés, "
      "prévisions, découvertes, idées, fêtes et quelques péripéties";
  ASSERT_EQ(title.size() - 16, 120u);
  ShowRun made = MakeShow({"photos", "late.webp", "--title", title, "--subtitle", "Mai 2026"});
  EXPECT_EQ(made.status, kMadeOk) << made.err;
  EXPECT_EQ(made.out.find("PROBLEM"), std::string::npos) << made.out;
  EXPECT_NE(made.out.find("No problems"), std::string::npos) << made.out;
  EXPECT_NE(made.out.find("Play it: cd " + showDir.string() + " && tolvane -fit\n"),
            std::string::npos);
  EXPECT_TRUE(Leftovers().empty());

  // The folder's order is by number, IMG_2 turned upright (portrait) before IMG_10.
  Image first = Load(showDir / "gfx/foto01.jpg");
  EXPECT_EQ(Content(first).w, Fitted(200, 300).w);
  EXPECT_TRUE(Near(PixelOf(Load(showDir / "gfx/foto02.jpg"), 197, 145), kBlue));
  EXPECT_FALSE(fs::exists(showDir / "gfx/foto04.jpg"));

  // The template plays: the show's own reader finds one caption per photo.
  LoadTXT(const_cast<char*>((showDir / "captions.txt").c_str()));
  ASSERT_EQ(texts, 3);
  EXPECT_NE(std::string(texty[0][kCaptionDescription]).find("IMG_2.jpg"), std::string::npos);
  EXPECT_NE(std::string(texty[2][kCaptionDescription]).find("late.webp"), std::string::npos);
  FreeTXT();

  ShowFolder show("make-played");
  fs::remove_all(show.Dir());
  fs::copy(showDir, show.Dir(), fs::copy_options::recursive);
  const int photoOnScreen = kFirstSlot + kPhotoOffset + 100;
  ShowRun run = show.Play({}, {{"TOLVANE_CAPTURE", std::to_string(photoOnScreen)}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("captions.txt loaded"), std::string::npos) << run.err;
  EXPECT_EQ(run.LastFrame(), kSlotLength * 3 + kFramesAroundSlots + kFadeLength + 1);
  SDL_Surface* shot = run.Screen(photoOnScreen);
  SDL_Surface* photo = MadePhoto(showDir / "gfx/foto01.jpg");
  ASSERT_NE(shot, nullptr);
  ASSERT_NE(photo, nullptr);
  EXPECT_EQ(Differences(shot, photo, kPhotoX, kPhotoY,
                        SDL_Rect{kPhotoX, kPhotoY, kPhotoWidth, kPhotoHeight}),
            0);
  SDL_FreeSurface(shot);
  SDL_FreeSurface(photo);
}

TEST_F(Make, NothingIsMadeFromTooManyPhotosOrABadOne) {
  const std::string one = Photo("one.jpg", kRed, 64, 48).string();
  std::vector<std::string> many(kMaxPhotos + 1, one);
  ShowRun run = MakeShow(many);
  EXPECT_EQ(run.status, kMakeUsage);
  EXPECT_NE(run.err.find("51 photos"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(showDir));

  std::ofstream(work.Dir() / "notes.jpg") << "shopping list\n";
  run = MakeShow({one, "notes.jpg", one});
  EXPECT_EQ(run.status, kMakeBadFile);
  EXPECT_NE(run.err.find("notes.jpg: not a picture"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(showDir));
  EXPECT_TRUE(Leftovers().empty());

  run = MakeShow({one, "notes.jpg", one, "--skip-bad"});
  EXPECT_EQ(run.status, kMadeOk) << run.err;
  EXPECT_NE(run.err.find("left out notes.jpg"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(showDir / "gfx/foto02.jpg"));
  EXPECT_FALSE(fs::exists(showDir / "gfx/foto03.jpg"));
}

TEST_F(Make, AnExistingFolderIsReplacedOnlyWithForceAndOnlyWhenComplete) {
  const std::string photo = Photo("one.jpg", kRed, 64, 48).string();
  ASSERT_EQ(MakeShow({photo}).status, kMadeOk);
  std::ofstream(showDir / "mine.txt") << "the presenter's notes\n";

  ShowRun run = MakeShow({photo, photo});
  EXPECT_EQ(run.status, kMakeUsage);
  EXPECT_TRUE(fs::exists(showDir / "mine.txt"));
  // A failed remake leaves the old show as it was.
  run = MakeShow({photo, "missing.jpg", "--force"});
  EXPECT_EQ(run.status, kMakeBadFile);
  EXPECT_NE(run.err.find("missing.jpg: no such file or folder"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(showDir / "mine.txt"));

  run = MakeShow({photo, photo, "--force"});
  EXPECT_EQ(run.status, kMadeOk) << run.err;
  EXPECT_EQ(Slurp(showDir / "mine.txt"), "the presenter's notes\n");
  EXPECT_TRUE(fs::exists(showDir / "gfx/foto02.jpg"));
  EXPECT_TRUE(Leftovers().empty());

  // A show without the record of its sources, as an older tolvane-make made it: replaced only
  // when it holds nothing but a show's files, and its captions are kept as they are.
  fs::remove(showDir / kSourcesFile);
  EXPECT_EQ(MakeShow({photo, "--force"}).status, kMakeUsage);
  fs::remove(showDir / "mine.txt");
  std::ofstream(showDir / kCaptionFile) << "Eva\n-\nOur own words\n#\n";
  run = MakeShow({photo, "--force"});
  EXPECT_EQ(run.status, kMadeOk) << run.err;
  EXPECT_EQ(Slurp(showDir / kCaptionFile), "Eva\n-\nOur own words\n#\n");
  EXPECT_NE(run.err.find("captions.txt is kept as it is"), std::string::npos) << run.err;

  // --force replaces show folders only, never one that merely has a gfx/ folder, and never
  // one that holds the photos.
  fs::create_directories(work.Dir() / "home/gfx");
  std::ofstream(work.Dir() / "home/letter.txt") << "dear\n";
  showDir = work.Dir() / "home";
  EXPECT_EQ(MakeShow({photo, "--force"}).status, kMakeUsage);
  EXPECT_TRUE(fs::exists(work.Dir() / "home/letter.txt"));
  showDir = work.Dir() / "show";
  fs::copy_file(photo, showDir / "kept.jpg");
  EXPECT_EQ(MakeShow({(showDir / "kept.jpg").string(), "--force"}).status, kMakeUsage);
  EXPECT_TRUE(fs::exists(showDir / "kept.jpg"));
}

TEST_F(Make, SortByDateTakesTheExifDateElseTheFileTime) {
  auto dated = [&](const std::string& name, const double* rgb, const char* date) {
    Image image = Plain(64, 48, rgb);
    VipsImage* copy = nullptr;
    EXPECT_EQ(vips_copy(image.v, &copy, nullptr), 0);
    if (date) vips_image_set_string(copy, "exif-ifd2-DateTimeOriginal", date);
    Save(Image(copy), work.Dir() / name);
  };
  const double green[] = {0, 255, 0};
  dated("a.jpg", kRed, "2024:06:02 10:00:00");
  dated("b.jpg", kBlue, "2024:06:01 10:00:00");
  dated("c.jpg", green, nullptr);
  fs::last_write_time(work.Dir() / "c.jpg",
                      fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 10));
  ASSERT_EQ(MakeShow({"a.jpg", "b.jpg", "c.jpg", "--sort", "date"}).status, kMadeOk);
  EXPECT_TRUE(Near(PixelOf(Load(showDir / "gfx/foto01.jpg"), 197, 145), green));
  EXPECT_TRUE(Near(PixelOf(Load(showDir / "gfx/foto02.jpg"), 197, 145), kBlue));
  EXPECT_TRUE(Near(PixelOf(Load(showDir / "gfx/foto03.jpg"), 197, 145), kRed));
}

TEST_F(Make, ThePresentersOwnPicturesAndMusicAreCheckedBeforeAnythingIsMade) {
  const std::string photo = Photo("one.jpg", kRed, 64, 48).string();
  std::ofstream(work.Dir() / "song.ogg") << "la la la\n";
  ShowRun run = MakeShow({photo, "--music", "song.ogg"});
  EXPECT_EQ(run.status, kMakeBadFile);
  EXPECT_NE(run.err.find("song.ogg: "), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(showDir));
  EXPECT_TRUE(Leftovers().empty());

  // A half-transparent logo larger than the logo box; a background of another shape.
  const double orange[] = {200, 100, 50, 128};
  Save(Plain(800, 400, orange, 4), work.Dir() / "logo.png");
  Photo("wide.jpg", kBlue, 1000, 400);
  run = MakeShow({photo, "--logo", "logo.png", "--background", "wide.jpg", "--end", "wide.jpg"});
  ASSERT_EQ(run.status, kMadeOk) << run.err << run.out;
  Image logo = Load(showDir / "gfx/si.png");
  EXPECT_EQ(logo.v->Xsize, kLogoMaxWidth);
  EXPECT_EQ(logo.v->Ysize, kLogoMaxWidth / 2);
  // The show draws it on black without its alpha: the colours are those on black.
  const std::vector<double> pixel = PixelOf(logo, 10, 10);
  ASSERT_EQ(pixel.size(), 4u);
  EXPECT_NEAR(pixel[0], 100, 2);
  EXPECT_NEAR(pixel[3], 128, 1);
  for (const char* name : {"gfx/back.png", "gfx/end.png"}) {
    Image picture = Load(showDir / name);
    EXPECT_EQ(picture.v->Xsize, kScreenWidth) << name;
    EXPECT_EQ(picture.v->Ysize, kScreenHeight) << name;
  }
}

// The caption blocks of captions.txt, each from its names line to its end line.
// Peak signal-to-noise ratio of two pictures of the same size and bands, in dB.
double Psnr(const Image& a, const Image& b) {
  VipsImage *difference = nullptr, *squared = nullptr;
  double mean = 0;
  EXPECT_EQ(vips_subtract(a.v, b.v, &difference, nullptr), 0);
  EXPECT_EQ(vips_multiply(difference, difference, &squared, nullptr), 0);
  EXPECT_EQ(vips_avg(squared, &mean, nullptr), 0);
  g_object_unref(difference);
  g_object_unref(squared);
  return mean > 0 ? 10 * std::log10(255.0 * 255.0 / mean) : 99;
}

// `picture` brought to w x h with a good filter.
Image Resized(const Image& picture, int w, int h) {
  VipsImage* out = nullptr;
  EXPECT_EQ(vips_resize(picture.v, &out, double(w) / picture.v->Xsize, "vscale",
                        double(h) / picture.v->Ysize, nullptr),
            0);
  return Image(out);
}

// Each picture and photo of the show folder `dir` has its large source, which the show takes
// (the same shape, larger, decoding whole) and which is the same picture: brought down to the
// gfx/ picture's size, it is within `minimum` dB of it (`minimum[0]` for the drawn pictures,
// `minimum[1]` for the photos).
void ExpectLargeTwins(const fs::path& dir, int photos, const double minimum[2]) {
  std::vector<std::string> files;
  for (const PictureName& picture : kShowPictures) files.push_back(picture.file);
  for (int k = 1; k <= photos; ++k) files.push_back(PhotoName(k).path);
  for (const std::string& file : files) {
    SCOPED_TRACE(dir / file);
    const std::string large = LargePath(dir.c_str(), file.c_str());
    const Image small = Load(dir / file), big = Load(large);
    ASSERT_TRUE(small.v && big.v);
    char why[300] = "";
    EXPECT_EQ(JudgeLargeSource(large.c_str(), small.v->Xsize, small.v->Ysize, why, sizeof why),
              kLargeFits)
        << why;
    EXPECT_TRUE(LargeSourceDecodes(large.c_str(), why, sizeof why)) << why;
    ASSERT_EQ(big.v->Bands, small.v->Bands) << "transparency kept";
    EXPECT_GE(Psnr(Resized(big, small.v->Xsize, small.v->Ysize), small),
              minimum[file.find("foto") == std::string::npos ? 0 : 1]);
  }
}

TEST_F(Make, LargeSourcesAreTheSamePicturesWithThePhotosOwnDetail) {
  // A photo the size of the large photo area, with detail that the photo area cannot hold; a
  // portrait on a white matte; the presenter's own logo, half transparent.
  constexpr int kLargeW = LargeLength(kPhotoWidth), kLargeH = LargeLength(kPhotoHeight);
  VipsImage *noise = nullptr, *soft = nullptr, *detail = nullptr;
  ASSERT_EQ(vips_gaussnoise(&noise, kLargeW, kLargeH, "sigma", 50.0, "mean", 128.0, nullptr), 0);
  ASSERT_EQ(vips_gaussblur(noise, &soft, 1.0, nullptr), 0);
  ASSERT_EQ(vips_cast(soft, &detail, VIPS_FORMAT_UCHAR, nullptr), 0);
  const Image grey(detail);
  g_object_unref(noise);
  g_object_unref(soft);
  fs::create_directories(work.Dir() / "photos");
  Save(grey, work.Dir() / "photos/detail.png");
  Photo("photos/tall.jpg", kBlue, 300, 600);
  const double halfRed[] = {255, 0, 0, 128};
  Save(Plain(200, 80, halfRed, 4), work.Dir() / "logo.png");
  const ShowRun made = MakeShow({"photos/detail.png", "photos/tall.jpg", "--title", "Summer 2026",
                                 "--logo", "logo.png", "--matte", "white"});
  ASSERT_EQ(made.status, kMadeOk) << made.out << made.err;
  EXPECT_NE(made.out.find("ok       gfx/hd/: large sources of 7 of the 7"), std::string::npos)
      << made.out;

  // The drawn pictures and the demo's photos are drawn again, not enlarged: their lettering
  // and their finest lines differ a little.
  const double kMade[2] = {24, 30}, kDrawn[2] = {19, 26};
  ExpectLargeTwins(showDir, 2, kMade);
  ExpectLargeTwins(DemoFile(""), kDemoPhotos, kDrawn);
  // The large photo is the photo's own: its detail is there, which the gfx/ one enlarged lacks.
  const Image source = Load(work.Dir() / "photos/detail.png");
  Image large = Load(showDir / "gfx/hd/foto01.jpg"), small = Load(showDir / "gfx/foto01.jpg");
  VipsImage* grey1 = nullptr;
  ASSERT_EQ(vips_colourspace(large.v, &grey1, VIPS_INTERPRETATION_B_W, nullptr), 0);
  large = Image(grey1);
  VipsImage* grey2 = nullptr;
  ASSERT_EQ(vips_colourspace(small.v, &grey2, VIPS_INTERPRETATION_B_W, nullptr), 0);
  const double own = Psnr(large, source);
  const double enlarged = Psnr(Resized(Image(grey2), kLargeW, kLargeH), source);
  EXPECT_GE(own, 30);
  EXPECT_GE(own - enlarged, 6) << own << " dB, enlarged " << enlarged << " dB";

  // A remake without the first photo: its large source goes too, the presenter's file stays.
  Save(Plain(16, 16, kRed), showDir / "gfx/hd/mine.png");
  ASSERT_EQ(MakeShow({"photos/tall.jpg", "--force"}).status, kMadeOk);
  EXPECT_TRUE(fs::exists(showDir / "gfx/hd/foto01.jpg"));
  EXPECT_FALSE(fs::exists(showDir / "gfx/hd/foto02.jpg"));
  EXPECT_TRUE(fs::exists(showDir / "gfx/hd/mine.png"));
  ExpectLargeTwins(showDir, 1, kMade);
}

std::vector<std::string> Blocks(const fs::path& path) {
  std::vector<std::string> blocks;
  std::istringstream in(Slurp(path));
  std::string line, block;
  for (int n = 0; std::getline(in, line); ++n) {
    block += line + "\n";
    if (n >= 2 && line[0] == '#') {
      blocks.push_back(block);
      block.clear();
      n = -1;
    }
  }
  return blocks;
}

TEST_F(Make, RemakingKeepsEachCaptionWithItsPhotoAndThePresentersFiles) {
  const double green[] = {0, 255, 0}, grey[] = {128, 128, 128};
  Photo("a.jpg", kRed);
  Photo("b.jpg", kBlue);
  Photo("c.jpg", green);
  Photo("small.jpg", grey, 120, 90);
  ShowRun run = MakeShow({"a.jpg", "b.jpg", "c.jpg", "small.jpg"});
  ASSERT_EQ(run.status, kMadeOk) << run.err;
  EXPECT_NE(run.err.find("small.jpg: warning: "), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("blurred"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("template"), std::string::npos) << run.out;

  // The presenter writes two captions and drops in a video and notes.
  std::vector<std::string> blocks = Blocks(showDir / kCaptionFile);
  ASSERT_EQ(blocks.size(), 4u);
  blocks[1] = "Bára, Jiří\n-\nThe blue one\n#\n";
  blocks[2] = "Cyril\n-\nThe green one\n#\n";
  blocks[3] = "Zoë\n-\nA small one\non two lines\n#\n";
  std::ofstream(showDir / kCaptionFile) << blocks[0] + blocks[1] + blocks[2] + blocks[3];
  std::string video(100000, '\0');
  for (size_t i = 0; i < video.size(); ++i) video[i] = static_cast<char>(i * 7919 >> 3);
  std::ofstream(showDir / "show.mp4", std::ios::binary) << video;
  fs::create_directories(showDir / "notes");
  std::ofstream(showDir / "notes/plan.txt") << "plan\n";

  // One photo added in the middle, one removed.
  Photo("new.jpg", kRed, 300, 400);
  run = MakeShow({"a.jpg", "new.jpg", "b.jpg", "small.jpg", "--force"});
  ASSERT_EQ(run.status, kMadeOk) << run.err;
  const std::vector<std::string> remade = Blocks(showDir / kCaptionFile);
  ASSERT_EQ(remade.size(), 4u);
  EXPECT_EQ(remade[0], blocks[0]);
  EXPECT_NE(remade[1].find("new.jpg"), std::string::npos) << remade[1];
  EXPECT_EQ(remade[2], blocks[1]);
  EXPECT_EQ(remade[3], blocks[3]);
  // The removed block's middle line, which no program uses, names its photo: given back
  // with --captions, the block reads as it did.
  const std::string removed = Slurp(showDir / kRemovedCaptionFile);
  const size_t middle = removed.find('\n') + 1;
  const std::string said = removed.substr(middle, removed.find('\n', middle) - middle);
  EXPECT_EQ(said.rfind("- was gfx/foto03.jpg, made from ", 0), 0u) << said;
  EXPECT_NE(said.find("c.jpg; removed "), std::string::npos) << said;
  ASSERT_EQ(ReadTXT((showDir / kRemovedCaptionFile).c_str()), kCaptionsRead);
  EXPECT_EQ(texts, 1);
  EXPECT_STREQ(texty[0][kCaptionNames], "Cyril\n");
  EXPECT_STREQ(texty[0][kCaptionDescription], "The green one\n");
  FreeTXT();
  EXPECT_NE(run.err.find("1 caption block of photos no longer in the show"), std::string::npos)
      << run.err;
  // The new photo's block and a's, never touched, are still templates; the others are not.
  EXPECT_NE(run.out.find("note     foto01.jpg (from a.jpg): caption still the template\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("note     foto02.jpg (from new.jpg): caption still the template\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("foto03.jpg (from"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("foto04.jpg (from"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n2 captions are still the template"), std::string::npos) << run.out;
  EXPECT_EQ(Slurp(showDir / "show.mp4"), video);
  EXPECT_EQ(Slurp(showDir / "notes/plan.txt"), "plan\n");
  EXPECT_FALSE(fs::exists(showDir / "gfx/foto05.jpg"));
  EXPECT_TRUE(Leftovers().empty());
}

// A made file that is no longer what tolvane-make made, or a photo the record does not list,
// is the presenter's: a remake keeps it under own/, never over anything, and says so.
TEST_F(Make, AChangedMadeFileIsKeptAsOwn) {
  Photo("a.jpg", kRed);
  Photo("b.jpg", kBlue);
  ASSERT_EQ(MakeShow({"a.jpg", "b.jpg"}).status, kMadeOk);
  struct Case {
    const char* file;
    const char* keptAs;
  };
  const Case cases[] = {
      {"gfx/foto02.jpg", "own/gfx/foto02.jpg"},  // the presenter's picture in a photo's place
      {"gfx/foto09.jpg", "own/gfx/foto09.jpg"},  // a photo put in by hand
      {"sfx/belong.mod", "own/sfx/belong.mod"},
      {"gfx/back.png", "own/gfx/back-2.png"},  // own/gfx/back.png is taken
  };
  fs::create_directories(showDir / "own/gfx");
  std::ofstream(showDir / "own/gfx/back.png") << "kept before";
  for (const Case& c : cases) std::ofstream(showDir / c.file) << "the presenter's " << c.file;
  const ShowRun run = MakeShow({"a.jpg", "--force"});
  ASSERT_EQ(run.status, kMadeOk) << run.err;
  for (const Case& c : cases) {
    EXPECT_EQ(Slurp(showDir / c.keptAs), std::string("the presenter's ") + c.file);
    EXPECT_NE(run.err.find(std::string("kept as ") + showDir.string() + "/" + c.keptAs),
              std::string::npos)
        << run.err;
  }
  EXPECT_EQ(Slurp(showDir / "own/gfx/back.png"), "kept before");
  EXPECT_FALSE(fs::exists(showDir / "gfx/foto02.jpg"));
  EXPECT_NE(Slurp(showDir / "gfx/back.png"), "the presenter's gfx/back.png");
}

// What a remake takes from the record that the command line does not give again.
TEST_F(Make, ARemakeKeepsTheChoicesOfTheLastMake) {
  Photo("a.jpg", kRed);
  const fs::path picture = Photo("pictures/back.png", kBlue, 800, 600);
  ShowRun run = MakeShow({"a.jpg", "--title", "Summer 2026", "--subtitle", "Brno", "--matte",
                          "white", "--sort", "date", "--background", picture.string()});
  ASSERT_EQ(run.status, kMadeOk) << run.err;
  const std::string logo = Slurp(showDir / "gfx/si.png"), back = Slurp(showDir / "gfx/back.png");
  std::ofstream(showDir / kCaptionFile) << "Eva\n-\nOur words\n#\n";

  run = MakeShow({"a.jpg", "--force"});
  ASSERT_EQ(run.status, kMadeOk) << run.err;
  EXPECT_NE(run.err.find("tolvane-make: kept from the last make: --title \"Summer 2026\", "
                         "--subtitle \"Brno\", --matte white, no --fill, --sort date, "
                         "--background " +
                         picture.string() + "\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Slurp(showDir / "gfx/si.png"), logo);
  EXPECT_EQ(Slurp(showDir / "gfx/back.png"), back);
  // Its picture of the last make stands for a source that is gone; one given again replaces.
  fs::remove(picture);
  run = MakeShow({"a.jpg", "--force", "--title", "Winter"});
  ASSERT_EQ(run.status, kMadeOk) << run.err;
  EXPECT_NE(run.err.find("given again, in place of the last make's: --title \"Winter\"\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("(gone or changed: its picture of the last make)"), std::string::npos);
  EXPECT_EQ(Slurp(showDir / "gfx/back.png"), back);
  EXPECT_NE(Slurp(showDir / "gfx/si.png"), logo);
  // Neither the source nor its picture: nothing is made.
  std::ofstream(showDir / "gfx/back.png") << "changed";
  run = MakeShow({"a.jpg", "--force"});
  EXPECT_EQ(run.status, kMakeBadFile) << run.err;
  EXPECT_NE(run.err.find("give --background again"), std::string::npos) << run.err;
  EXPECT_EQ(Slurp(showDir / "gfx/back.png"), "changed");

  // A record whose choices cannot be read, or one without them: none kept, nothing lost.
  run = MakeShow({"a.jpg", "--force", "--background", Photo("b.png", kRed).string()});
  ASSERT_EQ(run.status, kMadeOk) << run.err;
  const std::string record = Slurp(showDir / kSourcesFile);
  const size_t choices = record.find("choices 1\n");
  ASSERT_NE(choices, std::string::npos) << record;
  struct Damage {
    std::string text;
    const char* says;  // in the one line that says so, or null for none
  };
  const Damage damages[] = {
      {record + "choices 2\n", "from another version"},
      {record + "choice colour red\n", "no choice colour"},
      {record.substr(0, record.find("choice matte white")) + "choice matte puce" +
           record.substr(record.find("choice matte white") + 18),
       "not a value of matte: puce"},
      {record + "choice title\n", "not a choice"},
      {record + "choice subtitle A\nchoice subtitle B\n", "subtitle twice"},
      {record + "choice music 12 song.ogg\n", "not a value of music"},
      {record + "choice title " + std::string(3 * kPathSize, 'x') + "\n", "too long"},
      {record.substr(0, choices), nullptr},  // an older tolvane-make's
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.text.substr(choices));
    std::ofstream(showDir / kSourcesFile) << d.text;
    std::ofstream(showDir / kCaptionFile) << "Eva\n-\nOur words\n#\n";
    run = MakeShow({"a.jpg", "--force"});
    EXPECT_EQ(run.status, kMadeOk) << run.err;
    const size_t line = run.err.find("its choices cannot be read (");
    EXPECT_EQ(line == std::string::npos, d.says == nullptr) << run.err;
    if (d.says) {
      EXPECT_NE(run.err.find(d.says, line), std::string::npos) << run.err;
    }
    EXPECT_EQ(run.err.find("kept from the last make"), std::string::npos) << run.err;
    EXPECT_EQ(Slurp(showDir / kCaptionFile), "Eva\n-\nOur words\n#\n");
  }
}

// A remake killed outright at any moment: the presenter's thousands of files are in the show
// folder or in the work folder the run left, the show is the old one or the new one, whole,
// and the next run brings every file back and says so.
TEST_F(Make, ARemakeKilledAtAnyMomentLosesNothing) {
  const std::string one = Photo("one.jpg", kRed).string(), two = Photo("two.jpg", kBlue).string();
  ASSERT_EQ(MakeShow({one}).status, kMadeOk);
  constexpr int kNotes = 3000;
  for (int i = 0; i < kNotes; ++i)
    std::ofstream(showDir / ("note" + std::to_string(i) + ".txt")) << i;
  fs::create_directories(showDir / "video");
  std::ofstream(showDir / "video/clip.mp4") << "clip";
  std::ofstream(showDir / "gfx/mine.png") << "mine";
  const int own = kNotes + 2;
  // The presenter's files in `dir` (and below), by their names.
  auto count = [](const fs::path& dir) {
    int n = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
      const std::string name = e.path().filename();
      n += name.rfind("note", 0) == 0 || name == "clip.mp4" || name == "mine.png";
    }
    return n;
  };
  auto stranded = [&] {
    int n = 0;
    for (const std::string& name : Leftovers()) n += count(work.Dir() / name);
    return n;
  };
  // Every file the show's record lists as made, as made; no photo past its photos.
  auto whole = [&] {
    static ShowSources record;
    if (!ReadSources((showDir / kSourcesFile).c_str(), record) || !record.listsMade) return false;
    for (int i = 0; i < record.made; ++i) {
      unsigned long long digest = 0;
      if (!FileDigest((showDir / record.madeFile[i].path).c_str(), digest) ||
          digest != record.madeFile[i].digest)
        return false;
    }
    return (record.photos == 1 || record.photos == 2) &&
           !fs::exists(showDir / PhotoName(record.photos + 1).path);
  };
  std::mt19937 random(28);
  auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(MakeShow({one, two, "--force"}).status, kMadeOk);
  const auto remake = std::chrono::steady_clock::now() - started;
  int strandedRuns = 0;
  std::string said;
  for (int run = 0; run < 10; ++run) {
    SCOPED_TRACE(run);
    std::vector<std::string> args = {TOLVANE_MAKE, "-o", showDir.string(), "--force", one};
    if (run % 4 < 2) args.push_back(two);
    const fs::path err = work.Dir() / ("err" + std::to_string(run) + ".txt");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      freopen("/dev/null", "w", stdout);
      freopen(err.c_str(), "w", stderr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    // Odd runs at a random moment; even ones once the presenter's files are moving.
    const auto moment = std::chrono::duration_cast<std::chrono::microseconds>(
        remake * std::uniform_real_distribution<>(0, 1.1)(random));
    started = std::chrono::steady_clock::now();
    int status = 0;
    bool ended = false;
    while (!ended &&
           (run % 2 ? std::chrono::steady_clock::now() - started < moment : stranded() == 0)) {
      ended = waitpid(pid, &status, WNOHANG) == pid;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (!ended) {
      kill(pid, SIGKILL);
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
    }
    said += Slurp(err);
    strandedRuns += stranded() > 0;
    EXPECT_EQ(count(showDir) + stranded(), own);
    EXPECT_TRUE(whole());
  }
  const ShowRun last = MakeShow({one, "--force"});
  EXPECT_EQ(last.status, kMadeOk) << last.err;
  said += last.err;
  EXPECT_EQ(count(showDir), own);
  for (int i = 0; i < kNotes; i += 997)
    EXPECT_EQ(Slurp(showDir / ("note" + std::to_string(i) + ".txt")), std::to_string(i));
  EXPECT_EQ(Slurp(showDir / "gfx/mine.png"), "mine");
  EXPECT_TRUE(Leftovers().empty());
  EXPECT_GT(strandedRuns, 0) << "no run was killed while the files moved";
  EXPECT_NE(said.find("brought back "), std::string::npos) << said;
  EXPECT_EQ(said.find("left as it is"), std::string::npos) << said;
}

// A folder that appears at SHOWDIR while the photos are prepared: the run is held still
// while its work folder exists, the folder made, and the run let go.
TEST_F(Make, AFolderThatAppearsWhileTheShowIsMadeIsLeftWhole) {
  std::vector<std::string> args = {TOLVANE_MAKE, "-o", showDir.string()};
  for (int i = 0; i < 8; ++i)
    args.push_back(Photo("p" + std::to_string(i) + ".jpg", kBlue, 3000, 2000).string());
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    freopen("/dev/null", "w", stdout);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // Until the work folder is seen and the run held, or the run has ended.
  bool held = false, ended = false;
  int status = 0;
  while (!held && !ended) {
    for (const std::string& name : Leftovers())
      if (name.find(".show.making-") == 0) held = kill(pid, SIGSTOP) == 0;
    if (!held) ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!held && !ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (ended) GTEST_SKIP() << "the run ended before it could be held";
  const bool inTime = !fs::exists(showDir);  // the run had not finished when it was held
  fs::create_directories(showDir);
  std::ofstream(showDir / "mine.txt") << "mine\n";
  kill(pid, SIGCONT);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  if (!inTime) GTEST_SKIP() << "the run ended before it could be held";
  EXPECT_EQ(WEXITSTATUS(status), kMakeUsage);
  EXPECT_EQ(Slurp(showDir / "mine.txt"), "mine\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(showDir), fs::directory_iterator()), 1);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(Make, EachBadPhotoIsToldWithItsOwnReasonOnAnyThread) {
  Save(Marked(800, 600), work.Dir() / "whole.jpg");
  Save(Marked(800, 600), work.Dir() / "whole.png");
  const std::string jpeg = Slurp(work.Dir() / "whole.jpg"), png = Slurp(work.Dir() / "whole.png");
  std::vector<std::string> args = {"--skip-bad"};
  for (int i = 0; i < 4; ++i) {
    const std::string n = std::to_string(i);
    std::ofstream(work.Dir() / ("cut" + n + ".jpg"), std::ios::binary) << jpeg.substr(0, 2000);
    std::ofstream(work.Dir() / ("cut" + n + ".png"), std::ios::binary) << png.substr(0, 2000);
    args.insert(args.end(), {"whole.jpg", "cut" + n + ".jpg", "cut" + n + ".png"});
  }
  ShowRun run = MakeShow(args);
  EXPECT_EQ(run.status, kMadeOk) << run.err;
  std::istringstream lines(run.err);
  int told = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("left out ") == std::string::npos) continue;
    ++told;
    const bool isJpeg = line.find(".jpg: ") != std::string::npos;
    EXPECT_NE(line.find(isJpeg ? "Jpeg" : "png"), std::string::npos) << line;
  }
  EXPECT_EQ(told, 8) << run.err;
  EXPECT_EQ(run.err.find("VIPS-WARNING"), std::string::npos) << run.err;
}

// A limit on the size of files written makes a write fail as a full disk does, without a
// disk to fill: below a prepared photo's size, and between it and the font's.
TEST_F(Make, AWriteThatFailsIsExitStatus4AtEveryStep) {
  VipsImage* noise = nullptr;
  ASSERT_EQ(vips_gaussnoise(&noise, 800, 600, "sigma", 60.0, nullptr), 0);
  Save(Image(noise), work.Dir() / "noise.jpg");
  for (const rlim_t limit : {rlim_t{8 << 10}, rlim_t{400 << 10}}) {
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const rlimit small{limit, before.rlim_max};
    const auto handler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    ShowRun run = MakeShow({"noise.jpg", "noise.jpg", "--skip-bad"});
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, handler);
    EXPECT_EQ(run.status, kMakeWrite) << limit << run.err;
    EXPECT_NE(run.err.find("cannot "), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("left out"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(showDir));
    EXPECT_TRUE(Leftovers().empty());
  }
}

// A named pipe in place of any file the programs read is a file they cannot use, said as
// such; no program waits on one.
TEST(NamedPipes, AreRefusedAndNeverWaitedOn) {
  struct Case {
    const char* pipe;
    std::vector<std::string> command;
    int status;
    const char* says;
  };
  const std::vector<std::string> render = {TOLVANE_RENDER}, make = {TOLVANE_MAKE, "-o", "made"};
  auto with = [](std::vector<std::string> a, std::vector<std::string> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Case cases[] = {
      {"sfx/belong.mod", with(render, {"--check"}), 1,
       "sfx/belong.mod cannot be played (not a regular file)"},
      {"sfx/belong.mod", with(render, {"--video", "v.mkv", "--to", "50"}), 0,
       "couldn't load sfx/belong.mod (not a regular file)"},
      {"gfx/arial.ttf", with(render, {"--check"}), 3, "caption font gfx/arial.ttf: Couldn't open"},
      {"gfx/foto02.jpg", with(render, {"--check"}), 1, "the photo series ends before it"},
      {"captions.txt", with(render, {"--frame", "0", "-o", "a.png"}), 0, "captions.txt"},
      {"song.ogg", with(make, {"--music", "song.ogg", "gfx/foto01.jpg"}), kMakeBadFile,
       "song.ogg: It is not a regular file."},
      {"gfx/foto02.jpg",
       with(make, {"--sort", "date", "--skip-bad", "gfx/foto01.jpg", "gfx/foto02.jpg"}), kMadeOk,
       "left out gfx/foto02.jpg: not a file"},
      // What a remake reads in the show it replaces, and what the renderer reads or writes.
      {"made/photo-sources.txt", with(make, {"--force", "gfx/foto01.jpg"}), kMakeBadFile,
       "made/photo-sources.txt: not a file"},
      {"made/captions.txt", with(make, {"--force", "gfx/foto01.jpg"}), kMakeBadFile,
       "made/captions.txt: not a file"},
      {"made/captions.removed.txt", with(make, {"--force", "gfx/foto01.jpg"}), kMakeBadFile,
       "made/captions.removed.txt: not a file"},
      {"photo-sources.txt", with(render, {"--check"}), 2, "photo-sources.txt: not a file"},
      {"captions.txt", with(render, {"--check"}), 2, "captions.txt: not a file"},
      {"a.png", with(render, {"--frame", "0", "-o", "a.png"}), 2, "a.png: not a file"},
      {"v.mkv", with(render, {"--video", "v.mkv", "--to", "1"}), 2, "v.mkv: not a file"},
      {"s.srt", with(render, {"--video", "v.mkv", "--to", "1", "--subtitles", "s.srt"}), 2,
       "s.srt: not a file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pipe) + " for " + c.command[1]);
    ShowFolder show("make-pipes");
    show.DemoFiles();
    show.Photos(2);
    if (std::string(c.pipe).rfind("made/", 0) == 0) {
      ASSERT_EQ(::Run(show.Dir(), with(make, {"gfx/foto01.jpg"}), {}, 120).status, kMadeOk);
    }
    fs::remove(show.Dir() / c.pipe);
    ASSERT_EQ(mkfifo((show.Dir() / c.pipe).c_str(), 0600), 0);
    const ShowRun run = ::Run(show.Dir(), c.command, {}, 120);
    EXPECT_FALSE(run.hung);
    EXPECT_EQ(run.status, c.status) << run.err << run.out;
    EXPECT_NE((run.err + run.out).find(c.says), std::string::npos) << run.err << run.out;
  }
}

// --version, and words that cannot be lettered: one line, status 2 (for --version 0),
// nothing made.
TEST_F(Make, VersionAndWordsThatCannotBeLettered) {
  const std::string photo = Photo("a.jpg", kRed).string();
  const std::string endless(300, 'W');
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;
  } kCases[] = {
      {{photo, "--version"}, kMadeOk, "tolvane-make "},
      {{photo, "--title", "Konferencja " + endless},
       kMakeBadFile,
       "--title: too long for two lines"},
      {{photo, "--end-text", endless + " " + endless}, kMakeBadFile, "--end-text: too long"},
      {{photo, "--end-text", "Dzi\xEAkuj\xEA"}, kMakeBadFile, "--end-text: not UTF-8"},
      {{photo, "--end-text", "\xE8\xB0\xA2\xE8\xB0\xA2"},
       kMakeBadFile,
       "--end-text: the end picture's font has no U+8C22"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args.back().substr(0, 40));
    const ShowRun run = MakeShow(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    const std::string& said = c.status == kMadeOk ? run.out : run.err;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_FALSE(fs::exists(showDir));
  }
  ASSERT_EQ(MakeShow({photo, "--end-text", "Dziękujemy — do zobaczenia!"}).status, kMadeOk);
}

}  // namespace
