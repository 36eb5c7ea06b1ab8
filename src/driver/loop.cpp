#include "driver/driver.h"

int frame = 0;
int MainProgram = 1;
Uint8 mpause = 0;

static constexpr SDLKey kQuitKey = SDLK_ESCAPE;
static constexpr SDLKey kPauseKey = SDLK_p;

void ProcessEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) MainProgram = 0;
    if (event.type != SDL_KEYDOWN) continue;
    if (event.key.keysym.sym == kQuitKey) MainProgram = 0;
    if (event.key.keysym.sym == kPauseKey) mpause = 1 - mpause;
  }
}

Uint32 RunDueSteps(Uint32 now, Uint32 base) {
  // Unsigned arithmetic: the tick counter may wrap.
  Uint32 pending = now - base;
  // Strictly more than one step: with exactly 10 ms pending the pass draws without stepping.
  while (MainProgram && pending > static_cast<Uint32>(kStepMs)) {
    frame++;
    Compute(frame);
    pending -= kStepMs;
  }
  return now - pending;
}

bool LoopPass(Uint32 (*tick)(), Uint32& base) {
  ProcessEvents();
  // While paused no time is read and the base stays put, so resuming computes every step of
  // the pause at once. The tick is read after the events: it counts the time they took.
  if (!mpause) {
    base = RunDueSteps(tick(), base);
    Render(frame);
    SDL_Flip(screen);
  }
  return MainProgram != 0;
}

void MainLoop(Uint32 base) {
  while (LoopPass(SDL_GetTicks, base)) {
  }
}
