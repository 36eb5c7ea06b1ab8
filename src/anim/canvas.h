// The canvas every drawing pass draws on: a surface, the 4:3 area of it that the show fills,
// and the one mapping of the show's 640x480 units to its pixels. Pictures are drawn through
// here: at the show's own size as loaded, on a larger canvas as twins made for it while
// loading, so a pass only blits.
#pragma once

#include <SDL.h>

#include "facts.h"

struct Canvas {
  // SDL's display, the renderer's frame, or with -fit -pixels the 640x480 picture that is
  // scaled onto the display; null before one is opened.
  SDL_Surface* surface;
  // The part of it the show fills, its clip rectangle: the largest 4:3 rectangle, centred.
  // The scale is area.w / 640 across and area.h / 480 down, exact fractions; the rest of the
  // surface stays black.
  SDL_Rect area;
};
extern Canvas canvas;

// The largest canvas: 8K. A larger window is opened at this size at most.
constexpr int kMaxFitWidth = 7680, kMaxFitHeight = 4320;

// Where the show lands on a `width` x `height` surface: as large as fits with its 4:3 kept,
// centred. Empty for a surface too small to hold a pixel row.
SDL_Rect FitInside(int width, int height);
// Makes `surface` the canvas: the show fills FitInside of it, clipped there; the rest is
// blackened. Twins made for an earlier canvas of another size no longer fit: the caller
// makes them again.
void SetCanvas(SDL_Surface* surface);
// Whether the canvas's area is the show's own 640x480: every picture is drawn as loaded.
bool AtShowSize();

// The one rounding rule: show unit x (or y) is canvas pixel area.x + floor(x * area.w / 640).
// A rectangle maps both its edges, so neighbours never gap or overlap.
int CanvasX(int x);
int CanvasY(int y);
SDL_Rect CanvasRect(int x, int y, int w, int h);
// The size in canvas pixels of a w x h picture standing at (x, y) in show units.
int CanvasWidth(int x, int w);
int CanvasHeight(int y, int h);
// Text is set in a font scaled by the area's height: `pixels` of the show in canvas pixels.
int CanvasFontPixels(int pixels);

// Twins: a picture made for the canvas, drawn in the place of a picture of the show. The
// table holds at most kMaxTwins; each twin is owned by the table.
constexpr int kMaxTwins = 64;
// Gives `picture` the twin `twin` (null: none), freeing the twin it had. False, freeing
// `twin`, when the table is full.
bool SetTwin(SDL_Surface* picture, SDL_Surface* twin);
// The twin of `picture`, or null.
SDL_Surface* TwinOf(const SDL_Surface* picture);
// Frees every twin.
void ReleaseTwins();

// Draws all of `picture` with its top-left corner at show position (x, y), clipped to the
// canvas's clip rectangle: at the show's size as it is; on a larger canvas its twin, at the
// mapped corner, with the picture's transparency; a picture without a twin yet is stretched
// onto its mapped rectangle.
void DrawPicture(SDL_Surface* picture, int x, int y);
// The canvas pixels DrawPicture covers with `picture` at (x, y), before clipping.
SDL_Rect PlacedRect(const SDL_Surface* picture, int x, int y);
