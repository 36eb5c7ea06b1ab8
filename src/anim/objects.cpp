// The pool of animated image objects: each follows its path and draws its copies, 3 frames
// apart, through the canvas.
#include "anim/anim.h"
#include "anim/canvas.h"
#include "anim/surfaces.h"

#include <algorithm>

CIB tt[kObjectPoolSize];

CIB::CIB() : active(false), trail(false), alpha(0), copies(0), surface(nullptr), path(nullptr) {}

CIB::~CIB() {
  Dispose();
}

void CIB::Activate(CWP* path, int copies, bool trail) {
  active = true;
  this->path = path;
  this->copies = copies;
  this->trail = trail;
}

void CIB::Deactivate() {
  active = false;
}

// Never frees: the picture is owned by whoever stored it.
void CIB::Dispose() {
  surface = nullptr;
}

constexpr int kCopyLag = 3;         // frames between consecutive copies, and before the newest
constexpr int kTrailSpread = 240;   // transparency shared out among the trail copies
constexpr int kTrailMaximum = 250;  // the faintest a trail copy gets

void CIB::Draw(int frame) {
  const int n = copies;
  if (n < 1 || !surface) return;
  const int step = kTrailSpread / (n + 1);
  // Carried from copy to copy: outside the path KeyPos leaves the key alpha as it was.
  int x = 0, y = 0;
  unsigned char keyAlpha = 0;
  for (int i = 1; i <= n; ++i) {
    const int age = n - i + 1;  // oldest first, so the newest lands on top
    KeyPos(frame - kCopyLag * age, path, x, y, keyAlpha);
    const int t = trail ? std::min(keyAlpha + age * step, kTrailMaximum) : alpha;
    SetTransparency(surface, t);
    DrawPicture(surface, x, y);
  }
}

void ResetAnim() {
  for (CWP& key : pt) key = CWP{};
  for (CIB& object : tt) {
    object.active = false;
    object.trail = false;
    object.alpha = 0;
    object.copies = 0;
    object.surface = nullptr;
    object.path = nullptr;
  }
}
