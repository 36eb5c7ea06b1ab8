#include "anim/anim.h"
#include "assets/assets.h"
#include "driver/driver.h"

int foto2 = -1;
int foto2x = kPhotoX, foto2y = kPhotoY;
SDL_Surface* fade = nullptr;

static constexpr int kMusicFadeOutMs = 1000;

// First frame of the end picture: the frame after the last slot.
static int EndPictureStart() { return ENDTIME - kEndPicture; }

static void FillBlack() { SDL_FillRect(screen, nullptr, 0); }

// A fixed picture that failed to load is drawn as nothing.
static void BlitAt(SDL_Surface* picture, int x, int y) {
  if (!picture) return;
  SDL_Rect at = {static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
  SDL_UpperBlit(picture, nullptr, screen, &at);
}

// A full-screen picture that is missing leaves black, not the previous pass, in its place.
static void BlitFullScreen(SDL_Surface* picture) {
  if (!picture) FillBlack();
  BlitAt(picture, 0, 0);
}

static void TakeSnapshot() {
  if (fade) SDL_FreeSurface(fade);
  const SDL_PixelFormat* format = screen->format;
  fade = SDL_CreateRGBSurface(0, screen->w, screen->h, format->BitsPerPixel, format->Rmask,
                              format->Gmask, format->Bmask, format->Amask);
  if (fade) SDL_UpperBlit(screen, nullptr, fade, nullptr);
}

void Compute(int f) {
  foto2x = kPhotoX;
  foto2y = kPhotoY;
  if (f == 0) {
    foto2 = -1;
    return;
  }
  if (f < kFirstSlot) {
    if (f == 1) SetUpLogo();
    return;
  }
  if (f < EndPictureStart()) {
    const int slot = (f - kFirstSlot) / kSlotLength;
    const int offset = (f - kFirstSlot) % kSlotLength;
    if (offset == 0) {
      foto2 = slot;
      SetUpCaption(f, slot);
    } else if (offset == kHideOffset) {
      doflash = f;
    }
  }
  if (f == ENDTIME + 1) TakeSnapshot();
  if (f > ENDTIME + kFadeLength) {
    MainProgram = 0;
    if (fade) SDL_FreeSurface(fade);
    fade = nullptr;
  }
}

void BlitFaded(SDL_Surface* source, SDL_Surface* target, int transparency) {
  SetTransparency(source, transparency);
  SDL_UpperBlit(source, nullptr, target, nullptr);
}

static void RenderLoadingScreen() {
  FillBlack();
  if (ohen) BlitAt(ohen, (640 - ohen->w) / 2, (480 - ohen->h) / 2);
  if (load) BlitAt(load, 640 - load->w, 480 - load->h);
  // Drawn during loading, before the main loop exists to present it.
  SDL_Flip(screen);
}

static void RenderSlot(int f) {
  HandleHideRequest();
  BlitFullScreen(back);
  if (foto2 != -1 && (f - kFirstSlot) % kSlotLength >= kPhotoOffset)
    BlitAt(foto[foto2], foto2x, foto2y);
}

static void RenderFade(int f) {
  FillBlack();
  // Repeated on every pass; the mixer ignores it once a fade-out is under way.
  Mix_FadeOutMusic(kMusicFadeOutMs);
  if (fade) BlitFaded(fade, screen, 255 * (f - ENDTIME) / kFadeLength);
}

void Render(int f) {
  if (f == 0)
    RenderLoadingScreen();
  else if (f < kFirstSlot)
    FillBlack();
  else if (f < EndPictureStart())
    RenderSlot(f);
  else
    BlitFullScreen(end);
  if (f >= ENDTIME) RenderFade(f);
  if (f < EndPictureStart()) DrawObjects(f);
}

void ResetDriver() {
  frame = 0;
  MainProgram = 1;
  mpause = 0;
  foto2 = -1;
  foto2x = kPhotoX;
  foto2y = kPhotoY;
  if (fade) SDL_FreeSurface(fade);
  fade = nullptr;
  doflash = 0;
}
