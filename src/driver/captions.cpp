// The slot captions: at each slot's start the names line and the description box rendered
// (with their twins for a larger canvas) and set on their paths; the box hidden before the
// photo.
#include "anim/anim.h"
#include "assets/assets.h"
#include "driver/driver.h"
#include "text/text.h"

SDL_Color names = {255, 255, 255, 0};
SDL_Color textcol = {255, 255, 255, 0};
SDL_Color alias = {102, 102, 255, 0};
int doflash = 0;

static_assert(kCaptionSlots == kMaxPhotos, "one caption record for every photo slot");

void RenderCaption(int slot) {
  // Slots beyond the table repeat its last record; an empty table shows no caption.
  char** record = CaptionOfSlot(slot);
  if (!record) return;
  const char* namesText = record[kCaptionNames] ? record[kCaptionNames] : "";
  const char* description = record[kCaptionDescription] ? record[kCaptionDescription] : "";

  // Where each comes to rest, for the twins on a canvas larger than the show.
  const TextPlace namesPlace = {large_names_font, kNamesRestX, kNamesY};
  const TextPlace boxPlace = {large_text_font, kBoxX, kBoxY};

  CIB& namesLine = tt[kNamesObject];
  PrepareText(&namesLine, names_font, namesText, names, alias, false, 0, 0, captionEncoding,
              &namesPlace);
  CIB& box = tt[kBoxObject];
  PrepareText(&box, text_font, description, textcol, alias, true, kBoxMinWidth, kBoxMinHeight,
              captionEncoding, &boxPlace);
}

void SetUpCaption(int f, int slot) {
  if (texts < 1) return;
  RenderCaption(slot);
  CIB& namesLine = tt[kNamesObject];
  JmenaNabeh(kNamesKeys, f + kPhotoOffset, kNamesX, kNamesY, kNamesHold);
  namesLine.Activate(&pt[kNamesKeys], 1, false);

  CIB& box = tt[kBoxObject];
  // The box stands over the photo area until the photo is shown.
  PopisNabeh(kBoxKeys, f, kBoxX, kBoxY, kPhotoOffset);
  box.Activate(&pt[kBoxKeys], 1, false);
}

void HandleHideRequest() {
  if (doflash == 0) return;
  doflash = 0;
  tt[kBoxObject].Deactivate();
}

void ResetCaptions() {
  doflash = 0;
}
