// The main loop: the events of each pass, the 10 ms steps that fell due, one drawing pass;
// the run and pause flags.
#include <algorithm>
#include <climits>

#include "assets/assets.h"
#include "driver/display.h"
#include "driver/driver.h"

int frame = 0;
int MainProgram = 1;
Uint8 mpause = 0;

static constexpr SDLKey kQuitKey = SDLK_ESCAPE;
static constexpr SDLKey kPauseKey = SDLK_p;

void ProcessEvents() {
  SDL_Event event;
  bool redraw = false;  // the display changed under a paused show
  while (SDL_PollEvent(&event)) {
    if (FitEvent(event)) {
      redraw = true;
      continue;
    }
    if (event.type == SDL_QUIT) MainProgram = 0;
    if (event.type != SDL_KEYDOWN) continue;
    if (event.key.keysym.sym == kQuitKey) MainProgram = 0;
    if (event.key.keysym.sym == kPauseKey) mpause = 1 - mpause;
    PresenterKey(event.key.keysym.sym);
  }
  FitCanvasToDisplay();
  // Paused, the picture stands: drawn again on the display as it now is.
  if (redraw && mpause) PresentPass(frame);
}

Uint32 RunDueSteps(Uint32 now, Uint32 base) {
  // Unsigned arithmetic: the tick counter may wrap.
  const Uint32 pending = now - base;
  // Strictly more than one step: with exactly 10 ms pending the pass draws without stepping.
  const Uint32 due = pending > static_cast<Uint32>(kStepMs) ? (pending - 1) / kStepMs : 0;
  const int before = frame;
  StepTo(frame + static_cast<int>(std::min<Uint32>(due, INT_MAX - frame)), kOnePass);
  // The time not turned into steps carries over.
  return now - (pending - kStepMs * static_cast<Uint32>(frame - before));
}

bool LoopPass(Uint32 (*tick)(), Uint32& base) {
  ProcessEvents();
  // While paused no time is read and the base stays put, so resuming computes every step of
  // the pause at once; but time held is read, paused or not, never to be caught up. The tick
  // is read after the events: it counts the time they took.
  if (mpause) {
    if (HoldTimed()) base = PresenterClock(tick(), base);
  } else {
    const Uint32 now = tick();
    base = RunDueSteps(now, PresenterClock(now, base));
    PresentPass(frame);
  }
  return MainProgram != 0;
}

void MainLoop(Uint32 base) {
  while (LoopPass(SDL_GetTicks, base)) {
  }
}

void ResetLoop() {
  frame = 0;
  MainProgram = 1;
  mpause = 0;
}
