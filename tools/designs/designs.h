// The show's designs: one RGB canvas with antialiased shapes and lettering, the picture
// writers, the figures and props drawn on it, and the five pictures of a show folder.
#pragma once

#include <SDL.h>

#include <cstddef>

#include "facts.h"

// The pictures of a show folder, each written as PNG: back.png, si.png, end.png, ohen.png and
// load.png.
enum Design { kBackgroundDesign, kLogoDesign, kEndDesign, kLoadingDesign, kLoadingCornerDesign };
constexpr int kDesigns = kLoadingCornerDesign + 1;
// File name of each design relative to the show folder, in the order of Design.
extern const char* const kDesignFiles[kDesigns];

// Pixels per design pixel: the show's pictures, and their large sources in kLargeDir.
constexpr float kShowScale = 1;
constexpr float kLargeScale = float(kLargeScaleNum) / kLargeScaleDen;

// Draws one design with the presenter's title and subtitle (UTF-8; null or "" for none), each
// fitted to its place, and writes it as PNG to `path`. Fonts come from `fontDir` (null: the
// system's DejaVu folder). Long words widen the logo and the loading picture, up to about
// 600 pixels; the background and the end picture stay the screen's size. At `scale` the same
// design is drawn, not enlarged: the words are fitted at the show's size and lettered at the
// scale. False when a font is missing or the file cannot be written. One thread at a time:
// there is one canvas.
bool WriteDesign(Design which, const char* path, const char* title, const char* subtitle,
                 const char* fontDir, const char* endText = nullptr, float scale = kShowScale);
// The large words of the end picture unless the presenter gives others.
constexpr char kDefaultEndText[] = "Thank you!";
// Whether the title and the end text (null: kDefaultEndText) can be lettered whole on every
// design, each in two lines at most, broken at spaces; the end text also in valid UTF-8 and
// with every character in its face. If not, which words cannot, with the reason in `why`. A
// subtitle too long is cut short instead. Without the fonts, kWordsFit: WriteDesign fails.
enum WordsFitting { kWordsFit, kTitleUnfit, kEndTextUnfit };
WordsFitting WordsFit(const char* title, const char* subtitle, const char* endText,
                      const char* fontDir, char* why, size_t whySize);
// The same design with the demo meeting's own words, as the demo show has it.
bool WriteDemoDesign(Design which, const char* path, const char* fontDir, float scale = kShowScale);

// The drawing library the designs and the demo photos are made with.
namespace draw {

struct Colour {
  Uint8 r, g, b;
};

// The largest picture drawn is the screen at the large sources' scale.
constexpr int kCanvasMaxWidth = kScreenWidth * kLargeScaleNum / kLargeScaleDen;
constexpr int kCanvasMaxHeight = kScreenHeight * kLargeScaleNum / kLargeScaleDen;

// The one picture being drawn, RGB row after row, w x h pixels. Everything is drawn in design
// pixels, which `scale` of its pixels make; set by NewCanvas.
struct Canvas {
  int w, h;
  float scale;
  Uint8 px[kCanvasMaxWidth * kCanvasMaxHeight * 3];
};
extern Canvas canvas;

// Folder of the DejaVu fonts, set through UseFonts; the system's DejaVu folder at first.
extern const char* fontDir;

// Drawing. Coordinates are design pixels with (0, 0) the top-left corner of the canvas's
// top-left pixel; `op` is opacity from 0 (nothing) to 1 (cover). Edges are antialiased.
// A new canvas of w x h design pixels, each `scale` pixels wide.
void NewCanvas(int w, int h, Colour c, float scale = kShowScale);
// Pixels of a length of `n` design pixels on the canvas, rounded.
int Pixels(float n);
Colour Mix(Colour a, Colour b, float t);
Colour Shade(Colour c, float factor);
// Mixes `c` into the canvas's pixel (x, y): a pixel, not a design pixel.
void Blend(int x, int y, Colour c, float op);
// Top colour at y0 to bottom colour at y1, over the rectangle.
void VGradient(float x0, float y0, float x1, float y1, Colour top, Colour bottom);
// Soft round light fading from `op` at the centre to nothing at radius r.
void Glow(float cx, float cy, float r, Colour c, float op);
void Rect(float x0, float y0, float x1, float y1, Colour c, float op = 1);
void RoundRect(float x0, float y0, float x1, float y1, float radius, Colour c, float op = 1);
void Ellipse(float cx, float cy, float rx, float ry, Colour c, float op = 1);
void Circle(float cx, float cy, float r, Colour c, float op = 1);
// Points as x, y pairs; even-odd filling.
void Polygon(const float* xy, int points, Colour c, float op = 1);
// A stroke of `width` with round ends.
void Line(float x0, float y0, float x1, float y1, float width, Colour c, float op = 1);
// Darkens the corners, as an ordinary camera lens does.
void Vignette(float strength);
// Fine noise, the film grain that keeps flat areas from looking drawn.
void Grain(float amount);

// Deterministic pseudo-random numbers, so that every build draws the same pictures.
void Seed(Uint32 seed);
float Random(float lo, float hi);

enum Face { kSans, kSansBold, kSansOblique, kSerif, kSerifBoldItalic, kSansCondensedBold };
// Starts the font engine if need be and takes the faces from `dir` (null: the folder as it
// is), closing those opened before. False if the engine does not start.
bool UseFonts(const char* dir);
// Whether every face asked for since UseFonts could be opened.
bool FontsFound();
// Width of the text at `px`, in design pixels: what fitting goes by at every scale.
int TextWidth(Face face, int px, const char* utf8);
// One line of text whose box has its top-left at (x, y); colour runs from top to bottom.
void Text(Face face, int px, const char* utf8, float x, float y, Colour top, Colour bottom,
          float op = 1);
void TextCentred(Face face, int px, const char* utf8, float cx, float y, Colour top, Colour bottom,
                 float op = 1);
// One line with `gap` extra pixels after each character, centred on cx; gap 0 is TextCentred.
int SpacedWidth(Face face, int px, const char* utf8, float gap);
void SpacedText(Face face, int px, const char* utf8, float gap, float cx, float y, Colour top,
                Colour bottom, float op = 1);
void CloseFonts();

// Where a design letters its words: at `px` on one line with its top at `y` as designed;
// words too wide for `width` go smaller (down to `minPx`) or onto two lines, centred between
// `top` and `bottom`, and are cut short with an ellipsis only if they fit no other way. Lines
// break only at spaces, never before a dash, a comma or other punctuation.
struct Place {
  int px, minPx;
  float gap;  // between characters at `px`; it shrinks with the type
  float y, width, top, bottom;
};
constexpr size_t kFittedBytes = 1024;
struct Fitted {
  int px, lines;       // no lines: no words
  bool cut;            // the words did not fit whole: cut short, or the first line's alone
  float gap, y, skip;  // skip: from one line's top to the next one's
  char text[2][kFittedBytes];
};
Fitted FitText(Face face, const Place& place, const char* utf8);
// The first character of `utf8` that the face lacks (past U+FFFF SDL_ttf draws none), -1 for
// a byte that is no UTF-8, or 0 when it has them all.
long MissingCharacter(Face face, int px, const char* utf8);
int FittedWidth(Face face, const Fitted& fitted);
void DrawFitted(Face face, const Fitted& fitted, float cx, Colour top, Colour bottom, float op = 1);

bool WritePng(const char* path);
bool WriteJpeg(const char* path, int quality);

// Figures and props of the photos; (x, feet) is the middle of a figure's soles.
struct Look {
  Colour skin, hair, shirt, legs;
};
constexpr int kLooks = 10;
extern const Look looks[kLooks];
enum Pose { kArmsDown, kArmsUp, kPointLeft, kPointRight, kCarry, kWalk, kWave, kOneArmUp };
void Person(float x, float feet, float height, const Look& look, Pose pose, bool fromBehind);
// Head and shoulders of someone seated behind a table whose top is at `tableY`.
void Seated(float x, float tableY, float height, const Look& look, bool fromBehind);
void Silhouette(float x, float feet, float height, Colour c, Pose pose);
void Pine(float x, float foot, float height, Colour c);
void LeafyTree(float x, float foot, float height, Colour trunk, Colour leaves);
void Hills(float baseY, float amplitude, float phase, Colour c, float w);
void Lodge(float x, float y, float w, float h);
void Minibus(float x, float y, float w, Colour body);
void Cloud(float x, float y, float size, float op);
void Mug(float x, float y, float size, Colour c);
void Chair(float x, float floorY, float size, Colour c);
void Laptop(float x, float y, float size, bool screenTowardsViewer, Colour glow);
void StickyNotes(float x0, float y0, float x1, float y1, int count, float size);
void Stars(float x0, float y0, float x1, float y1, int count);

}  // namespace draw
