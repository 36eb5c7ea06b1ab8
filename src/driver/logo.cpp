// The logo's set-up at frame 1: its drop path, centred, and its object.
#include "anim/anim.h"
#include "assets/assets.h"
#include "driver/driver.h"

void SetUpLogo() {
  CIB& logo = tt[kLogoObject];
  logo.surface = si;
  // A missing logo centres as a picture of no size; the object then draws nothing.
  const int width = si ? si->w : 0, height = si ? si->h : 0;
  SiNabeh(kLogoKeys, kLogoDropStart, (kScreenWidth - width) / 2, (kScreenHeight - height) / 2,
          kLogoHold);
  logo.Activate(&pt[kLogoKeys], 1, false);
}
