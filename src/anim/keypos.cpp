// Key-frame paths: the builders of the show's standard motions into the key pool, and KeyPos,
// which places a picture on a path at any frame.
#include "anim/anim.h"
#include "facts.h"

CWP pt[kKeyPoolSize];

void CWP::Set(int x, int y, unsigned char alpha, int time, CWP* next) {
  this->x = x;
  this->y = y;
  this->time = time;
  this->alpha = alpha;
  this->next = next;
}

// The motions' distances and times are the show's, in facts.h.
void SiNabeh(int first, int start, int x, int y, int hold) {
  CWP* k = &pt[first];
  k[0].Set(x, y - kDropHeight, 0, start, &k[1]);
  k[1].Set(x, y - kDropShort, 0, start + kArrive, &k[2]);
  k[2].Set(x, y + kDropOvershoot, 0, start + kBounce, &k[3]);
  k[3].Set(x, y, 0, start + kSettle, &k[4]);
  k[4].Set(x, y, 0, start + hold + kSettle, &k[5]);
  k[5].Set(x, y + kDropHeight, 0, start + hold + kSettle + kDropFall, nullptr);
}

// Slides along the axis (ax, ay), a unit vector: in to the rest point, back, settles past it
// (not at it), rests, leaves the other way.
static void Slide(int first, int start, int x, int y, int hold, int ax, int ay) {
  CWP* k = &pt[first];
  k[0].Set(x + kSlideDistance * ax, y + kSlideDistance * ay, 0, start, &k[1]);
  k[1].Set(x, y, 0, start + kArrive, &k[2]);
  k[2].Set(x + kSlideBounce * ax, y + kSlideBounce * ay, 0, start + kBounce, &k[3]);
  k[3].Set(x + kSlideSettle * ax, y + kSlideSettle * ay, 0, start + kSettle, &k[4]);
  k[4].Set(x + kSlideSettle * ax, y + kSlideSettle * ay, 0, start + hold + kSettle, &k[5]);
  k[5].Set(x - kLeaveDistance * ax, y - kLeaveDistance * ay, 0,
           start + hold + kSettle + kSlideLeave, nullptr);
}

void JmenaNabeh(int first, int start, int x, int y, int hold) {
  Slide(first, start, x, y, hold, 1, 0);
}

void TextNabeh(int first, int start, int y, int x, int hold) {
  Slide(first, start, x, y, hold, 0, 1);
}

void PopisNabeh(int first, int start, int x, int y, int hold) {
  pt[first].Set(x, y, 0, start, &pt[first + 1]);
  pt[first + 1].Set(x, y, 0, start + hold, nullptr);
}

// Truncates toward zero. Fraction and product stay in 80-bit extended precision (long double
// on x86-64); positions depend on it: 5/7 * 21 comes out just below 15, so 14.
static int Portion(long double fraction, int difference) {
  return static_cast<int>(fraction * static_cast<long double>(difference));
}

void KeyPos(int frame, CWP* path, int& x, int& y, unsigned char& alpha) {
  if (!path) return;
  CWP* before = nullptr;
  CWP* key = path;
  while (key && frame > key->time) {
    before = key;
    key = key->next;
  }
  if (!before || !key) {
    // Outside the path: stand at the end key, keep the caller's alpha.
    const CWP* end = before ? before : path;
    x = end->x;
    y = end->y;
    return;
  }
  const long double fraction = static_cast<long double>(frame - before->time) /
                               static_cast<long double>(key->time - before->time);
  x = before->x + Portion(fraction, key->x - before->x);
  y = before->y + Portion(fraction, key->y - before->y);
  alpha = static_cast<unsigned char>(before->alpha +
                                     Portion(fraction, int{key->alpha} - int{before->alpha}));
}
