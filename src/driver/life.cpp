// The show's life as every program leads it: loaded (its captions chosen), started at frame 0,
// stepped on, made again for a canvas of a new size, reset to play again, released.
#include <sys/stat.h>

#include <cstdio>

#include "anim/anim.h"
#include "assets/assets.h"
#include "driver/display.h"
#include "driver/driver.h"
#include "text/text.h"

const char* captionSource = nullptr;

// Whether the name is there at all, a dangling link included: a file the presenter put in
// the folder and the show cannot read is reported, not passed over.
static bool IsThere(const char* name) {
  struct stat s;
  return lstat(name, &s) == 0;
}

void LoadCaptions(const char* captionFile) {
  captionSource = nullptr;
  const char* file = captionFile ? captionFile : IsThere(kCaptionFile) ? kCaptionFile : "";
  if (file[0] && ReadTXT(file) == kCaptionsRead) {
    captionSource = file;
    fprintf(stderr, "%s loaded\n", file);
    return;
  }
  if (file[0]) fprintf(stderr, "Couldn't load %s: %s\n", file, SDL_GetError());
  LoadTXT2();
}

static void ShowLoadingScreen() {
  TwinLoadingScreen();
  Render(0);
}

bool LoadShow(const char* captionFile) {
  if (!LoadFonts()) return false;
  LoadCaptions(captionFile);
  LoadGFX(ShowLoadingScreen);
  TwinShowPictures();
  // The first photos are made behind the loading screen; the rest ahead of their slots.
  WantPhotos(0);
  AwaitPhotos();
  return true;
}

void FitShowToCanvas() {
  if (!FitFontsToCanvas()) fprintf(stderr, "The captions stay at the show's size\n");
  TwinLoadingScreen();
  TwinShowPictures();
  RenderCaption(foto2);
  WantPhotos(foto2 < 0 ? 0 : foto2);
}

void StartShow() {
  frame = 0;
  Compute(0);
}

void StepTo(int to, Passes between) {
  while (MainProgram && frame < to) {
    // The pass of ENDTIME, whose black the snapshot of the next step copies.
    if (between == kEveryStep && frame == ENDTIME) Render(ENDTIME);
    frame++;
    Compute(frame);
    // The pass after this step, in the slot range, would carry out a hide request.
    if (between == kEveryStep && InSlots(frame)) HandleHideRequest();
  }
}

void ResetShow() {
  ReleaseTextPictures();
  ResetAnim();
  ResetLoop();
  ResetSchedule();
  ResetCaptions();
}

void ResetDriver() {
  ResetShow();
  ResetKeys();
  ResetDisplay();
  captionSource = nullptr;
}

void ReleaseShow() {
  ReleaseFonts();
  ReleaseGFX();
  if (fade) SDL_FreeSurface(fade);
  fade = nullptr;
  FreeTXT();
  ReleaseTextPictures();
  ReleaseTwins();
}
