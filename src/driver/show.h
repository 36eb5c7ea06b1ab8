// The show as every program opens, steps and draws it: the live show, the renderer, the
// benchmarks and the tests. Each starts SDL and the font engine, opens a display its own way
// and makes it the canvas (SetCanvas), then calls LoadShow and StartShow, moves on with
// StepTo, draws with Render, and at its end calls ReleaseShow.
#pragma once

#include <SDL.h>

#include "anim/canvas.h"

// Number of the last 10 ms step computed: the show's clock.
extern int frame;
// The show runs while non-zero; cleared by its last step (and in the live show by Esc or
// closing the window).
extern int MainProgram;

// Loads the show of the working directory: LoadFonts, LoadCaptions(captionFile), LoadGFX
// (which has the loading screen drawn through Render(0) and sets fotos and ENDTIME). Needs
// TTF_Init and the display. False, having said why, when a font cannot be opened: nothing
// else is loaded then, and the caller ends the show (the live show with status 2).
bool LoadShow(const char* captionFile);
// Installs the show's captions, the one place that chooses them: those of `captionFile` when
// one is named (the renderer's --captions), the built-in ones when it is "", and when it is
// null those of the folder's captions.txt if there is one, else the built-in ones. A file
// read says "FILE loaded" on standard error; one that cannot be read or holds no caption
// says "Couldn't load FILE: reason" and the built-in captions stand.
void LoadCaptions(const char* captionFile);
// The caption file the table was read from, as LoadCaptions was given it or kCaptionFile;
// null for the built-in captions.
extern const char* captionSource;
// Makes what depends on the canvas's size again for the canvas as it now is: the large fonts,
// the pictures' twins, the caption of the slot shown, the photos. Called when -fit's display
// changes size.
void FitShowToCanvas();
// Frame 0, the start of the show's clock: frame <- 0, Compute(0).
void StartShow();

// How the drawing passes fall between the steps StepTo takes.
enum Passes {
  kOnePass,    // one pass after all the steps, as the main loop draws
  kEveryStep,  // one pass after each step, as when every frame is drawn
};
// The one way the show moves on: takes each step after `frame` up to `to`, in order, and none
// after the show has ended. The loop steps with kOnePass; the renderer and a presenter's jump
// with kEveryStep, which leaves the show as if each frame on the way had been drawn (a hide
// request carried out at once; the fade snapshot holding the black of ENDTIME). The caller
// draws the frame reached.
void StepTo(int to, Passes between);
// Draws the whole screen for `frame`; may be called any number of times per frame.
// Presents the display itself only for frame 0, the loading screen.
void Render(int frame);

// The slots, the one place that counts them (schedule.cpp): the logo before them, the end
// picture and the fade after them.

// The number of photo slots: one per photo found.
int PhotoSlots();
// The first frame of photo slot `k`, counted from 0.
int SlotStart(int k);
// The slot frame `f` is in, and how far into it, for a frame from the first slot's start on.
int SlotOf(int f);
int SlotOffset(int f);
// Whether frame `f` is in a photo slot.
bool InSlots(int f);
// The first frame of the end picture: the photo slots end there.
int EndPictureStart();
// The show's last step, the first after the fade: the step that ends the show.
int LastFrame();

// Puts the show back to where LoadShow left it, before StartShow: what it loaded stays; the
// slot captions' pictures, the objects and their paths, the loop's clock and flags, the
// schedule and the fade snapshot, the hide request go, each reset by its owner, and the show
// runs again. StartShow then plays it from its start.
void ResetShow();
// Releases what LoadShow loaded, in the shutdown's order: fonts, pictures, the fade snapshot,
// captions, and the text pictures of the slot captions.
void ReleaseShow();
