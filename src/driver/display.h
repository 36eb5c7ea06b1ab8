// The show on a display of any size: the 640x480 picture the show draws is scaled once per
// pass onto the display, 4:3 kept, centred between black bars (tolvane -fit), and by the same
// code onto the renderer's frames (tolvane-render --size).
#pragma once

#include <SDL.h>

// The largest display the scaler fills: 8K. A larger window is opened at this size at most.
constexpr int kMaxFitWidth = 7680, kMaxFitHeight = 4320;

// Where the 640x480 picture lands on a `width` x `height` display: as large as fits with its
// 4:3 kept, centred. Empty for a display too small to hold a pixel row.
SDL_Rect FitInside(int width, int height);
// Scales all of `picture` (the show's 640x480, any depth) onto `target` (any size and depth,
// fastest at 32 bits of 0x00RRGGBB) as FitInside places it, black around it: each source pixel
// first grows to a whole multiple of itself, then bilinear filtering takes the picture to its
// size, so that text stays sharp and no pixel is lost. Both surfaces unlocked.
void ScalePicture(SDL_Surface* picture, SDL_Surface* target);

// The live show's display with -fit.

// Whether -fit was given: the show scaled onto a display of the desktop's size.
extern bool fitScreen;

// Opens the display at the desktop's size and depth (a resizable window of the largest whole
// multiple of 640x480 that fits 90% of the desktop with -windowed) and makes `screen` a
// 640x480 picture of `depth` bits that Present scales onto it. Returns false, opening
// nothing, where the desktop's size cannot be read: the caller opens 640x480 as without -fit.
// Prints the message and returns false with `refused` set when SDL refuses the mode.
bool OpenFitDisplay(Uint8 depth, Uint32 flags, bool& refused);
// Shows `screen`: SDL_Flip(screen), or with -fit the picture scaled onto the display, flipped.
void Present();
// Called by ProcessEvents for each event: with -fit a window resize follows the window and F
// toggles full screen; returns whether it took the event. Without -fit it takes none.
bool FitEvent(const SDL_Event& event);
