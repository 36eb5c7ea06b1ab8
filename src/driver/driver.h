// Presentation driver, the live program's side and the schedule's parts, by file in the order
// a frame goes through them: the loop (loop.cpp), the schedule's decisions (schedule.cpp) with
// the logo (logo.cpp) and the slot captions (captions.cpp), the drawing pass (pass.cpp) with
// the fade's sweep (fade.cpp), the presenter's keys (keys.cpp); the live start-up and shutdown
// (startup.cpp). What every program uses, the show's life among it, is in show.h.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

#include "driver/show.h"
#include "facts.h"

// The loop (loop.cpp).

// Pause flag, toggled by P: 0 or 1.
extern Uint8 mpause;
// Takes every pending event off the queue: Esc and window close stop, P pauses, the
// presenter keys go to PresenterKey, -fit's resizes and F to FitEvent.
void ProcessEvents();
// Turns the time from `base` to `now` into steps, each strictly more than 10 ms; takes them
// with StepTo and returns the new base, which keeps the remainder.
Uint32 RunDueSteps(Uint32 now, Uint32 base);
// One pass of the main loop: events, then unless paused the time from `tick`, the steps due
// since `base`, one drawing pass and present. Returns whether the loop goes on.
bool LoopPass(Uint32 (*tick)(), Uint32& base);
// Runs passes until MainProgram is cleared. Never sleeps.
void MainLoop(Uint32 base);
// Puts the clock, the run flag and the pause flag back to their start values.
void ResetLoop();

// The schedule's decisions (schedule.cpp); its timeline is in facts.h, its slots in show.h.

// Photo of the current slot, an index into foto; -1 before the first slot.
extern int foto2;
// Top-left corner of the photo on the screen.
extern int foto2x, foto2y;
// Snapshot of the show's area that fades out; exists from ENDTIME + 1 to the show's last step.
extern SDL_Surface* fade;
// Called once per 10 ms step, in order, never skipping a frame; changes state only.
void Compute(int frame);
// The first frame of the slot after the one `f` is in (from the logo, of the first slot; from
// the last, of the end picture), or -1 from the end picture and the fade.
int NextTarget(int f);
// The first frame of the slot `f` is in when more than 2 s into it, else of the slot before
// (from the first slot and the logo, of the first slot); from the end picture, of the last
// slot; -1 from the fade and in a show without photos.
int BackTarget(int f);
// Puts the photo, its place and the fade snapshot (freed) back to their start values.
void ResetSchedule();

// The logo (logo.cpp).

constexpr int kLogoObject = 4;
constexpr int kLogoKeys = 40;
// Builds the logo's drop path and activates it. Called by Compute(1).
void SetUpLogo();

// Slot captions (captions.cpp).

constexpr int kNamesObject = 0, kNamesKeys = 0;
constexpr int kBoxObject = 2, kBoxKeys = 20;

extern SDL_Color names;    // text colour of the names line
extern SDL_Color textcol;  // text colour of the description
extern SDL_Color alias;    // band colour behind every text line
// Frame at which Compute asked Render to hide the description box; 0 for no request.
extern int doflash;
// Renders slot `slot`'s caption and starts its paths. Called by Compute at a slot start `f`.
void SetUpCaption(int f, int slot);
// Renders slot `slot`'s caption pictures (and their twins) alone, the objects as they are:
// SetUpCaption's, and FitShowToCanvas's for a canvas of a new size. Nothing for -1.
void RenderCaption(int slot);
// Called by Render in the slot range before anything is drawn: carries out a hide request.
void HandleHideRequest();
// Puts the hide request back to none.
void ResetCaptions();

// The drawing pass (pass.cpp); Render, which draws it, is in show.h.

// Clears the canvas's clip rectangle (the show's area) to black.
void FillBlack();
// The twins (anim/canvas.h) of the loading screen's pictures, and of the show's other fixed
// pictures, where the pass draws them. Called while loading, and by FitShowToCanvas.
void TwinLoadingScreen();
void TwinShowPictures();
// Blits all of `source` onto the area's top-left of `target` at `transparency`, clamped to
// 0...255.
void BlitFaded(SDL_Surface* source, SDL_Surface* target, int transparency);
// Draws `fade` over black at `transparency` onto the show's area in one vectorised sweep,
// where that gives SDL's own bytes; returns false, drawing nothing, where it may not
// (fade.cpp).
bool SweepFade(int transparency);
// Draws every active object in pool order. Called by Render before the end picture.
void DrawObjects(int frame);
// The loop's drawing pass: Render(f), or black while blanked.
void DrawPass(int f);
// DrawPass, then the canvas presented on the display.
void PresentPass(int f);

// Presenter keys (keys.cpp): hold, blank, next and previous photo, beside P and Esc.

// Hold, toggled by Space, and blank, toggled by B or '.': 0 or 1 each. While either is set
// the show takes no step and the music is paused; blank draws black instead of the show.
extern Uint8 mhold, mblank;
// Called by ProcessEvents for every key pressed while the show runs; acts on Space, B, '.',
// Right, PageDown, Left and PageUp, and ignores the rest.
void PresenterKey(SDLKey key);
// Puts the show at frame `to` as if played from its start with every frame drawn: forward by
// the steps in between, back (or to the frame shown) by playing it again from StartShow.
// Drawing it is the caller's; the loop draws it next, with no step taken before.
void JumpTo(int to);
// Whether a paused pass must still read the clock: a hold has time that must not be caught up.
bool HoldTimed();
// Called by LoopPass with the tick it reads, after the events: returns the clock base moved on
// by the time held since the last reading, or set to `now` after a jump.
Uint32 PresenterClock(Uint32 now, Uint32 base);
// Puts the keys' state back to its start values.
void ResetKeys();

// The live start-up and shutdown (startup.cpp, help.cpp).

// The background music, or null when it could not be loaded.
extern Mix_Music* music;
// Scans the options from the last argument backwards into depth and flags; prints the usage
// line for the first unrecognised argument and stops there.
void ParseCommandLine(int argc, char** argv, Uint8& depth, Uint32& flags);
// Prints the help (for -h or --help) or the version (--version) on standard output when an
// argument asks for it, and returns whether one did. Called by StartUp before SDL starts.
bool PrintInfo(int argc, char** argv);
// The live show's start-up: SDL, audio, options, the font engine, the display and cursor,
// LoadShow behind the loading screen and its busy wait, the music, StartShow. Returns the
// clock base; exits with status 1 or 2 on fatal failures.
Uint32 StartUp(int argc, char** argv);
// The live show's shutdown: audio, cursor, ReleaseShow, then exit with status 0.
[[noreturn]] void ShutDown();

// Puts every global of the driver back to its start values, each through its owner: the
// show's (ResetShow), the keys', the display's, the caption file chosen.
void ResetDriver();
