// The display: the live show's on any screen (tolvane -fit, the show drawn at the screen's
// resolution, or with -pixels its 640x480 picture enlarged), presenting each pass, and the
// scaler that enlarges a 640x480 picture (-fit -pixels, tolvane-render --size --pixels).
#pragma once

#include <SDL.h>

#include "anim/canvas.h"

// Scales all of `picture` (the show's 640x480, any depth) onto `target` (any size and depth,
// fastest at 32 bits of 0x00RRGGBB) as FitInside places it, black around it: each source pixel
// first grows to a whole multiple of itself, then bilinear filtering takes the picture to its
// size, so that text stays sharp and no pixel is lost. Both surfaces unlocked.
void ScalePicture(SDL_Surface* picture, SDL_Surface* target);

// The options of the live show's display.
extern bool fitScreen;   // -fit: the show fills a display of the desktop's size
extern bool fitPixels;   // -pixels with -fit: the 640x480 show enlarged, as drawn
extern bool depthGiven;  // -bpp was given: -fit draws at that depth, else at the desktop's

// The surface the show can draw on for a display SDL opened: the display itself, or where
// SDL's buffer is too small for its own pixel format (its dummy driver at 15 bits) a surface
// of the same format that nothing shows. Null for null.
SDL_Surface* DrawableSurface(SDL_Surface* opened);
// Opens the display at the desktop's size (a resizable window of the largest whole multiple
// of 640x480 that fits 90% of the desktop with -windowed) and makes the canvas: the display,
// at the desktop's depth unless -bpp is given; with -pixels a 640x480 picture of `depth` bits
// (0: the desktop's) that Present scales onto it. Returns false, opening nothing, where the
// desktop's size cannot be read: the caller opens 640x480 as without -fit. Prints the message
// and returns false with `refused` set when SDL refuses the mode.
bool OpenFitDisplay(Uint8 depth, Uint32 flags, bool& refused);
// Shows the canvas: SDL_Flip, or with -fit -pixels the canvas scaled onto the display, flipped.
void Present();
// Called by ProcessEvents for each event: with -fit a window resize follows the window and F
// toggles full screen, the canvas following the display; returns whether it took the event.
// Without -fit it takes none.
bool FitEvent(const SDL_Event& event);
// After the events of a pass: where FitEvent changed the display, makes what the show draws
// for its new size (once for a burst of resizes) and returns true.
bool FitCanvasToDisplay();
// Puts the display's options and state back to their start values (tests open displays of
// their own): no -fit, no display of its own.
void ResetDisplay();
