// The show's schedule: what each step of the clock decides (the logo's start, each slot's photo
// and caption, the box's hide request, the fade's snapshot, the end), the slots every program
// counts by, and where a presenter's jump lands.
#include "anim/canvas.h"
#include "anim/surfaces.h"
#include "assets/assets.h"
#include "driver/driver.h"

int foto2 = -1;
int foto2x = kPhotoX, foto2y = kPhotoY;
SDL_Surface* fade = nullptr;

// Left goes back to the start of the slot shown when it has been up longer than this, else to
// the slot before: a presenter who has just skipped on wants the photo before.
static constexpr int kBackToThisSlot = 2000 / kStepMs;

// fotos is the index of the last photo.
int PhotoSlots() {
  return fotos + 1;
}

int SlotStart(int k) {
  return kFirstSlot + k * kSlotLength;
}

int SlotOf(int f) {
  return (f - kFirstSlot) / kSlotLength;
}

int SlotOffset(int f) {
  return (f - kFirstSlot) % kSlotLength;
}

// First frame of the end picture: the frame after the last slot.
int EndPictureStart() {
  return ENDTIME - kEndPicture;
}

bool InSlots(int f) {
  return f >= kFirstSlot && f < EndPictureStart();
}

int LastFrame() {
  return ENDTIME + kFadeLength + 1;
}

static void TakeSnapshot() {
  if (fade) SDL_FreeSurface(fade);
  const SDL_Rect area = canvas.area;
  fade = NewCanvasSurface(area.w, area.h);
  SDL_Rect from = area;
  if (fade) SDL_UpperBlit(canvas.surface, &from, fade, nullptr);
}

void Compute(int f) {
  foto2x = kPhotoX;
  foto2y = kPhotoY;
  if (f == 0) {
    foto2 = -1;
    WantPhotos(0);
    return;
  }
  if (f < kFirstSlot) {
    if (f == 1) SetUpLogo();
    return;
  }
  if (InSlots(f)) {
    const int slot = SlotOf(f), offset = SlotOffset(f);
    if (offset == 0) {
      foto2 = slot;
      WantPhotos(slot);
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

int NextTarget(int f) {
  if (f >= EndPictureStart()) return -1;
  if (f < kFirstSlot) return SlotStart(0);
  return SlotStart(SlotOf(f) + 1);
}

int BackTarget(int f) {
  const int end = EndPictureStart();
  if (f >= ENDTIME || end == kFirstSlot) return -1;  // the fade; a show without slots
  if (f >= end) return SlotStart(PhotoSlots() - 1);
  if (f < kFirstSlot) return SlotStart(0);
  const int slot = SlotOf(f);
  if (SlotOffset(f) > kBackToThisSlot || slot == 0) return SlotStart(slot);
  return SlotStart(slot - 1);
}

void ResetSchedule() {
  foto2 = -1;
  foto2x = kPhotoX;
  foto2y = kPhotoY;
  if (fade) SDL_FreeSurface(fade);
  fade = nullptr;
}
