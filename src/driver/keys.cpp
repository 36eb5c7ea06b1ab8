// The presenter's keys: a hold that stops the show and its music without catching up, a blank
// screen, and jumps to the slots' first frames, each landing on the frame the show draws there
// when played from its start.
#include "assets/assets.h"
#include "driver/driver.h"

Uint8 mhold = 0;
Uint8 mblank = 0;

// Whether the clock was held at its last reading by PresenterClock, and that reading.
static bool clockHeld = false;
static Uint32 heldSince = 0;
// Set by a jump, for the clock to start afresh at the frame landed on.
static bool jumped = false;

void JumpTo(int to) {
  // Back, and also to the frame shown, the show is played again from its start: the loop's
  // state may carry what a catch-up left (a hide request carried out late).
  if (to <= frame) {
    ResetShow();
    StartShow();
  }
  // As the renderer steps, every frame drawn: a hide request raised on the way is carried out
  // there, not by the pass after the jump, which would take away the new slot's box.
  StepTo(to, kEveryStep);
  jumped = true;
}

void PresenterKey(SDLKey key) {
  if (!MainProgram) return;
  const bool wasHeld = mhold || mblank;
  switch (key) {
    case SDLK_SPACE:
      mhold = 1 - mhold;
      break;
    case SDLK_b:
    case SDLK_PERIOD:
      mblank = 1 - mblank;
      break;
    case SDLK_RIGHT:
    case SDLK_PAGEDOWN:
      // While P pauses the show nothing is drawn: a jump would go unseen.
      if (!mpause && NextTarget(frame) >= 0) JumpTo(NextTarget(frame));
      break;
    case SDLK_LEFT:
    case SDLK_PAGEUP:
      if (!mpause && BackTarget(frame) >= 0) JumpTo(BackTarget(frame));
      break;
    default:
      return;
  }
  const bool held = mhold || mblank;
  if (held && !wasHeld) Mix_PauseMusic();
  if (!held && wasHeld) Mix_ResumeMusic();
}

bool HoldTimed() {
  return mhold || mblank || clockHeld;
}

Uint32 PresenterClock(Uint32 now, Uint32 base) {
  // The time since the last reading was held when the show was held then; paused or not, it
  // is never caught up.
  if (clockHeld) base += now - heldSince;
  clockHeld = mhold || mblank;
  heldSince = now;
  // What was pending belongs to the frame left: the frame landed on is drawn first.
  if (jumped) base = now;
  jumped = false;
  return base;
}

void ResetKeys() {
  mhold = mblank = 0;
  clockHeld = jumped = false;
  heldSince = 0;
}
