// The rule for a picture's larger source in gfx/hd/: the loader draws from one that fits, and
// tolvane-render --check reports one that does not.
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "assets/assets.h"

LargeSourceState JudgeLargeSource(const char* path, int width, int height, char* why,
                                  size_t whySize) {
  struct stat info;
  if (stat(path, &info) != 0) return kLargeMissing;
  PictureHeader header;
  if (IsSpecialFile(path) || !ReadPictureHeader(path, header) || header.kind == kOtherFile ||
      header.width == 0 || header.height == 0) {
    snprintf(why, whySize, "%s", IsSpecialFile(path) ? "not a regular file" : SDL_GetError());
    return kLargeUnreadable;
  }
  const long long w = header.width, h = header.height;
  // |w/h - width/height| within kLargeAspectPercent of width/height, in integers.
  if (std::llabs(w * height - width * h) * 100 > kLargeAspectPercent * width * h) {
    snprintf(why, whySize, "%lldx%lld is not the shape of %dx%d", w, h, width, height);
    return kLargeWrongAspect;
  }
  if (w <= width || h <= height) {
    snprintf(why, whySize, "%lldx%lld is not larger than %dx%d", w, h, width, height);
    return kLargeNotLarger;
  }
  return kLargeFits;
}
