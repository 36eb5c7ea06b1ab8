// The show's designs and the music check: titles fitted to each picture and kept inside
// their places, the demo's own words, and the music that both the show and the renderer play.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "designs.h"
#include "sounds.h"
#include "testing.h"

using namespace draw;

namespace fs = std::filesystem;

namespace {

// 120 characters, accents all along, spaces to break at.
const char kLongTitle[] =
    "Réunion d'été des élèves à Český Krumlov, Łódź et Zürich: "
    "façades, châteaux, forêts — où l'on goûte à l'œuvre de Dvořák!";
const char kSubtitle[] = "Ångström · Ñandú · Øresund · Þingvellir · Škoda, août 2026";

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Picture {
  int w = 0, h = 0;
  std::vector<unsigned char> rgb;
};

Picture ReadPng(const fs::path& path) {
  Picture picture;
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
  image.format = PNG_FORMAT_RGB;
  picture.rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
    picture.w = image.width;
    picture.h = image.height;
  }
  return picture;
}

class Designs : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  Picture Write(Design which, const char* title, const char* subtitle, const char* name) {
    EXPECT_TRUE(WriteDesign(which, (dir / name).c_str(), title, subtitle, nullptr)) << name;
    return ReadPng(dir / name);
  }
  fs::path dir = fs::temp_directory_path() / ("tolvane-designs-" + std::to_string(getpid()));
};

}  // namespace

TEST(Lettering, FitsLongWordsSmallerOrOnTwoLinesAndCutsOnlyWhatCannotFit) {
  ASSERT_TRUE(UseFonts(nullptr));
  const Place place = {24, 9, 0, 22, 600, 4, 52};
  const Fitted demo = FitText(kSansBold, place, "Quorlaks internal meeting #1");
  EXPECT_EQ(demo.lines, 1);
  EXPECT_EQ(demo.px, 24);
  EXPECT_EQ(demo.y, 22) << "words that fit stand where the design puts them";

  const Fitted title = FitText(kSansBold, place, kLongTitle);
  ASSERT_EQ(title.lines, 2);
  EXPECT_LT(title.px, 24);
  EXPECT_GE(title.px, 9);
  EXPECT_EQ(std::string(title.text[0]) + " " + title.text[1], kLongTitle) << "no word lost";
  EXPECT_LE(FittedWidth(kSansBold, title), 600);
  EXPECT_GE(title.y, place.top);
  EXPECT_LE(title.y + 2 * title.skip, place.bottom + 1);

  std::string endless;
  for (int i = 0; i < 300; ++i) endless += "é";
  const Fitted cut = FitText(kSansBold, place, endless.c_str());
  ASSERT_EQ(cut.lines, 1) << "one word cannot be broken";
  EXPECT_EQ(cut.px, 9);
  EXPECT_LE(FittedWidth(kSansBold, cut), 600);
  const std::string kept = cut.text[0];
  EXPECT_EQ(kept.substr(kept.size() - 3), "\xE2\x80\xA6") << "cut short with an ellipsis";
  EXPECT_EQ(kept.size() % 2, 1u) << "cut between characters, never inside one";
  CloseFonts();
}

// Words on two lines break at a space, never before a dash, a comma, a closing mark or other
// punctuation, and lose no character; only a line of one word too long is cut.
TEST(Lettering, LinesBreakOnlyBeforeAWord) {
  ASSERT_TRUE(UseFonts(nullptr));
  const char* const kTitles[] = {
      "Spotkanie zespołu — Kraków 2026",
      "Incontro annuale - Roma , Napoli e Milano",
      "codename Tolvane  ·  the lodge by the lake",
      "Wyjazd integracyjny (dzień drugi) … i trzeci!",
      "Sommerfest «Zürich» 2026 – alle dabei",
  };
  for (const char* title : kTitles) {
    SCOPED_TRACE(title);
    // Too wide for one line at any size the place allows, narrow enough for two.
    const float width = TextWidth(kSans, 9, title) * 0.62f;
    const Place place = {24, 9, 0, 0, width, 0, 100};
    const Fitted f = FitText(kSans, place, title);
    ASSERT_EQ(f.lines, 2);
    EXPECT_FALSE(f.cut);
    const std::string first = f.text[0], second = f.text[1];
    EXPECT_NE(first.back(), ' ');
    for (const char* mark : {"\xE2\x80\x94", "\xE2\x80\x93", "\xC2\xB7", "\xC2\xBB", "\xE2\x80\xA6",
                             "-", ",", ")", " "})
      EXPECT_NE(second.rfind(mark, 0), 0u) << "line two starts with '" << mark << "': " << second;
    std::string joined = first + second, whole = title;
    joined.erase(std::remove(joined.begin(), joined.end(), ' '), joined.end());
    whole.erase(std::remove(whole.begin(), whole.end(), ' '), whole.end());
    EXPECT_EQ(joined, whole) << "no character lost";
  }
  CloseFonts();
}

// A title changes only the pixels of its places; none or "" draws the design without words.
TEST_F(Designs, TitlesStayInTheirPlacesOnEveryPicture) {
  struct Band {
    int top, bottom;
  };
  const struct {
    Design which;
    std::vector<Band> places;
  } full[] = {{kBackgroundDesign, {{4, 80}}}, {kEndDesign, {{176, 250}, {444, 478}}}};
  for (const auto& d : full) {
    const Picture bare = Write(d.which, nullptr, nullptr, "bare.png");
    const Picture titled = Write(d.which, kLongTitle, kSubtitle, "titled.png");
    Write(d.which, "", "", "empty.png");
    EXPECT_EQ(Slurp(dir / "bare.png"), Slurp(dir / "empty.png"));
    ASSERT_EQ(bare.w, kScreenWidth);
    ASSERT_EQ(titled.w, kScreenWidth);
    ASSERT_EQ(titled.h, kScreenHeight);
    long changed = 0;
    for (int y = 0; y < kScreenHeight; ++y)
      for (int x = 0; x < kScreenWidth; ++x) {
        const size_t at = (y * kScreenWidth + x) * 3;
        if (!memcmp(&bare.rgb[at], &titled.rgb[at], 3)) continue;
        ++changed;
        bool inside = x >= 19 && x <= 621;
        bool inBand = false;
        for (const Band& band : d.places) inBand = inBand || (y >= band.top && y <= band.bottom);
        ASSERT_TRUE(inside && inBand) << "design " << d.which << " at " << x << "," << y;
      }
    EXPECT_GT(changed, 2000) << "design " << d.which << ": the words are drawn";
  }
  // The logo and the loading picture widen for long words, up to a limit, with black sides.
  const Picture logo = Write(kLogoDesign, kLongTitle, kSubtitle, "si.png");
  EXPECT_GT(logo.w, 361);
  EXPECT_LE(logo.w, 601);
  EXPECT_EQ(logo.h, 110);
  const Picture loading = Write(kLoadingDesign, kLongTitle, kSubtitle, "ohen.png");
  EXPECT_GT(loading.w, 320);
  EXPECT_LE(loading.w, 600);
  ASSERT_EQ(loading.h, 200);
  for (int y = 0; y < loading.h; ++y)
    for (int x : {0, 4, loading.w - 5, loading.w - 1})
      ASSERT_EQ(loading.rgb[(y * loading.w + x) * 3], 0) << x << "," << y;
}

// After a long title, the demo's words draw the demo show's pictures byte for byte.
TEST_F(Designs, DemoWordsDrawTheDemoShowsPictures) {
  for (int which = 0; which < kDesigns; ++which) {
    Write(Design(which), kLongTitle, kSubtitle, "titled.png");
    const fs::path demo = dir / fs::path(kDesignFiles[which]).filename();
    ASSERT_TRUE(WriteDemoDesign(Design(which), demo.c_str(), nullptr));
    EXPECT_EQ(Slurp(demo), Slurp(DemoFile(kDesignFiles[which]))) << kDesignFiles[which];
  }
  EXPECT_FALSE(WriteDesign(kBackgroundDesign, (dir / "back.png").c_str(), "x", "", "/nowhere"))
      << "no fonts, no picture";
}
