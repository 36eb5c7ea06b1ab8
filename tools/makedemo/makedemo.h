// The demo show's generator: one RGB canvas with antialiased shapes and text, the picture
// writers, the figures and props the photos are made of, and the producers of each file.
#pragma once

#include <SDL.h>

#include "facts.h"

struct Colour {
  Uint8 r, g, b;
};

// The largest picture drawn is the screen.
constexpr int kCanvasMaxWidth = kScreenWidth;
constexpr int kCanvasMaxHeight = kScreenHeight;

// The one picture being drawn, RGB row after row.
struct Canvas {
  int w, h;
  Uint8 px[kCanvasMaxWidth * kCanvasMaxHeight * 3];
};
extern Canvas canvas;

// Folder of the DejaVu fonts, set by main before any text is drawn.
extern const char* fontDir;

// Drawing. Coordinates are pixels with (0, 0) the top-left corner of the canvas's top-left
// pixel; `op` is opacity from 0 (nothing) to 1 (cover). Edges are antialiased.
void NewCanvas(int w, int h, Colour c);
Colour Mix(Colour a, Colour b, float t);
Colour Shade(Colour c, float factor);
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
int TextWidth(Face face, int px, const char* utf8);
// One line of text whose box has its top-left at (x, y); colour runs from top to bottom.
void Text(Face face, int px, const char* utf8, float x, float y, Colour top, Colour bottom,
          float op = 1);
void TextCentred(Face face, int px, const char* utf8, float cx, float y, Colour top, Colour bottom,
                 float op = 1);
void CloseFonts();

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

// Producers of the demo show's files; each writes into `dir` and says whether it succeeded.
bool MakePictures(const char* dir);
// kDemoPhotos photos in the order of the show, each filling the photo area.
bool MakePhotos(const char* dir);
bool MakeModule(const char* dir);
