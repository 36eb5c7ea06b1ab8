// One drawing pass, top to bottom: the base picture of the phase (the loading screen, black,
// the background and the photo, the end picture), the fade over it, the objects over both;
// then the loop presents it. A pass only draws: the steps change the state it draws from.
#include <cstring>

#include "anim/anim.h"
#include "anim/canvas.h"
#include "anim/surfaces.h"
#include "assets/assets.h"
#include "driver/display.h"
#include "driver/driver.h"

void FillBlack() {
  SDL_Surface* target = canvas.surface;
  if (SDL_MUSTLOCK(target)) {
    SDL_FillRect(target, nullptr, 0);
    return;
  }
  const SDL_Rect& clip = target->clip_rect;
  const int pixel = target->format->BytesPerPixel;
  const size_t bytes = static_cast<size_t>(clip.w) * pixel;
  Uint8* row = static_cast<Uint8*>(target->pixels) + clip.y * target->pitch + clip.x * pixel;
  for (int y = 0; y < clip.h; ++y, row += target->pitch) memset(row, 0, bytes);
}

static void DrawFullScreen(SDL_Surface* picture) {
  if (!picture) FillBlack();
  DrawPicture(picture, 0, 0);
}

// The loading screen's pictures, where the loading screen draws them.
static int LoadX() {
  return kScreenWidth - load->w;
}
static int LoadY() {
  return kScreenHeight - load->h;
}
static int CentredX(const SDL_Surface* picture) {
  return (kScreenWidth - picture->w) / 2;
}
static int CentredY(const SDL_Surface* picture) {
  return (kScreenHeight - picture->h) / 2;
}

void TwinLoadingScreen() {
  if (load) MakeTwin(load, kShowPictures[kPictureLoad].file, LoadX(), LoadY());
  if (ohen) MakeTwin(ohen, kShowPictures[kPictureOhen].file, CentredX(ohen), CentredY(ohen));
}

void TwinShowPictures() {
  MakeTwin(back, kShowPictures[kPictureBack].file, 0, 0);
  // The logo where it stands still, centred.
  if (si) MakeTwin(si, kShowPictures[kPictureSi].file, CentredX(si), CentredY(si));
  MakeTwin(end, kShowPictures[kPictureEnd].file, 0, 0);
}

static void RenderLoadingScreen() {
  FillBlack();
  if (ohen) DrawPicture(ohen, CentredX(ohen), CentredY(ohen));
  if (load) DrawPicture(load, LoadX(), LoadY());
  // Drawn during loading, before the main loop exists to present it.
  Present();
}

static void DrawAround(SDL_Surface* picture, const SDL_Surface* cover, int x, int y) {
  SDL_Surface* target = canvas.surface;
  const SDL_Rect whole = target->clip_rect;
  const SDL_Rect c = PlacedRect(cover, x, y);
  const auto [left, top, right, bottom] = ClipEdges(whole, c.x, c.y, c.w, c.h);
  if (left >= right || top >= bottom) {
    DrawPicture(picture, 0, 0);
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
    SDL_SetClipRect(target, &band);
    DrawPicture(picture, 0, 0);
  }
  SDL_SetClipRect(target, &whole);
}

static void RenderSlot(int f) {
  HandleHideRequest();
  TakeReadyPhotos();
  SDL_Surface* photo = foto2 != -1 && SlotOffset(f) >= kPhotoOffset ? foto[foto2] : nullptr;
  if (photo && back && DrawnOpaque(photo))
    DrawAround(back, photo, foto2x, foto2y);
  else
    DrawFullScreen(back);
  DrawPicture(photo, foto2x, foto2y);
}

void BlitFaded(SDL_Surface* source, SDL_Surface* target, int transparency) {
  SetTransparency(source, transparency);
  BlitWhole(source, target, canvas.area.x, canvas.area.y);
}

static void RenderFade(int f) {
  // Repeated on every pass; the mixer ignores it once a fade-out is under way.
  Mix_FadeOutMusic(kMusicFadeOutMs);
  const int transparency = 255 * (f - ENDTIME) / kFadeLength;
  if (fade && SweepFade(transparency)) return;
  FillBlack();
  if (fade) BlitFaded(fade, canvas.surface, transparency);
}

void DrawObjects(int f) {
  for (CIB& object : tt)
    if (object.active) object.Draw(f);
}

void Render(int f) {
  if (f == 0)
    RenderLoadingScreen();
  else if (f < kFirstSlot)
    FillBlack();
  else if (InSlots(f))
    RenderSlot(f);
  else
    DrawFullScreen(end);
  if (f >= ENDTIME) RenderFade(f);
  if (f < EndPictureStart()) DrawObjects(f);
}

void DrawPass(int f) {
  if (mblank)
    FillBlack();
  else
    Render(f);
}

void PresentPass(int f) {
  DrawPass(f);
  Present();
}
