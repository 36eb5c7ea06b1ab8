#include <cstring>

#include "anim/surfaces.h"
#include "assets/assets.h"
#include "driver/display.h"
#include "driver/driver.h"

int foto2 = -1;
int foto2x = kPhotoX, foto2y = kPhotoY;
SDL_Surface* fade = nullptr;

// First frame of the end picture: the frame after the last slot.
int EndPictureStart() {
  return ENDTIME - kEndPicture;
}

// fotos is the index of the last photo.
int PhotoSlots() {
  return fotos + 1;
}

int SlotStart(int k) {
  return kFirstSlot + k * kSlotLength;
}

// SDL 1.2 fills through MMX stores that go around the cache: several times slower than memset,
// and the pass draws over those rows at once. A display in plain memory is cleared with memset.
static void FillBlack() {
  if (SDL_MUSTLOCK(screen)) {
    SDL_FillRect(screen, nullptr, 0);
    return;
  }
  const SDL_Rect& clip = screen->clip_rect;
  const size_t bytes = static_cast<size_t>(clip.w) * screen->format->BytesPerPixel;
  Uint8* row = static_cast<Uint8*>(screen->pixels) + clip.y * screen->pitch +
               clip.x * screen->format->BytesPerPixel;
  for (int y = 0; y < clip.h; ++y, row += screen->pitch) memset(row, 0, bytes);
}

// A fixed picture that failed to load is drawn as nothing.
static void BlitAt(SDL_Surface* picture, int x, int y) {
  if (picture) BlitWhole(picture, screen, x, y);
}

// A full-screen picture that is missing leaves black, not the previous pass, in its place.
static void BlitFullScreen(SDL_Surface* picture) {
  if (!picture) FillBlack();
  BlitAt(picture, 0, 0);
}

static void TakeSnapshot() {
  if (fade) SDL_FreeSurface(fade);
  fade = NewDisplaySurface(screen->w, screen->h);
  if (fade) SDL_UpperBlit(screen, nullptr, fade, nullptr);
}

int LastFrame() {
  return ENDTIME + kFadeLength + 1;
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
  if (f >= LastFrame()) {
    MainProgram = 0;
    if (fade) SDL_FreeSurface(fade);
    fade = nullptr;
  }
}

void BlitFaded(SDL_Surface* source, SDL_Surface* target, int transparency) {
  SetTransparency(source, transparency);
  BlitWhole(source, target, 0, 0);
}

static void RenderLoadingScreen() {
  FillBlack();
  if (ohen) BlitAt(ohen, (kScreenWidth - ohen->w) / 2, (kScreenHeight - ohen->h) / 2);
  if (load) BlitAt(load, kScreenWidth - load->w, kScreenHeight - load->h);
  // Drawn during loading, before the main loop exists to present it.
  Present();
}

// Draws `picture` full-screen everywhere but under an opaque `cover` at (x, y), in up to four
// bands around it: the background under the photo would be a third of the pass, all hidden.
static void BlitAround(SDL_Surface* picture, const SDL_Surface* cover, int x, int y) {
  const SDL_Rect whole = screen->clip_rect;
  const auto [left, top, right, bottom] = ClipEdges(whole, x, y, cover->w, cover->h);
  if (left >= right || top >= bottom) {
    BlitAt(picture, 0, 0);
    return;
  }
  const int bands[4][4] = {{whole.x, whole.y, whole.w, top - whole.y},
                           {whole.x, bottom, whole.w, whole.y + whole.h - bottom},
                           {whole.x, top, left - whole.x, bottom - top},
                           {right, top, whole.x + whole.w - right, bottom - top}};
  for (const auto& b : bands) {
    if (b[2] <= 0 || b[3] <= 0) continue;
    SDL_Rect band = {static_cast<Sint16>(b[0]), static_cast<Sint16>(b[1]),
                     static_cast<Uint16>(b[2]), static_cast<Uint16>(b[3])};
    SDL_SetClipRect(screen, &band);
    BlitAt(picture, 0, 0);
  }
  SDL_SetClipRect(screen, &whole);
}

static void RenderSlot(int f) {
  HandleHideRequest();
  SDL_Surface* photo =
      foto2 != -1 && (f - kFirstSlot) % kSlotLength >= kPhotoOffset ? foto[foto2] : nullptr;
  if (photo && back && DrawnOpaque(photo))
    BlitAround(back, photo, foto2x, foto2y);
  else
    BlitFullScreen(back);
  BlitAt(photo, foto2x, foto2y);
}

static void RenderFade(int f) {
  // Repeated on every pass; the mixer ignores it once a fade-out is under way.
  Mix_FadeOutMusic(kMusicFadeOutMs);
  const int transparency = 255 * (f - ENDTIME) / kFadeLength;
  if (fade && SweepFade(transparency)) return;
  FillBlack();
  if (fade) BlitFaded(fade, screen, transparency);
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

void ResetSchedule() {
  frame = 0;
  foto2 = -1;
  foto2x = kPhotoX;
  foto2y = kPhotoY;
  if (fade) SDL_FreeSurface(fade);
  fade = nullptr;
  doflash = 0;
}

void ResetDriver() {
  ResetSchedule();
  MainProgram = 1;
  mpause = 0;
  captionSource = nullptr;
  ResetKeys();
}
