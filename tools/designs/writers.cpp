// The canvas written out: PNG for the pictures, baseline JPEG for the photos.
#include "designs.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include "common.h"

namespace draw {

bool WritePng(const char* path) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = canvas.w;
  image.height = canvas.h;
  image.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_file(&image, path, 0, canvas.px, canvas.w * 3, nullptr)) {
    fprintf(stderr, "Couldn't write %s: %s\n", path, image.message);
    return false;
  }
  return true;
}

bool WriteJpeg(const char* path, int quality) {
  JpegCoding coding;
  coding.quality = quality;
  const size_t rowBytes = static_cast<size_t>(canvas.w) * 3;
  if (::WriteJpeg(path, canvas.w, canvas.h, coding, [rowBytes](int y, unsigned char* row) {
        memcpy(row, canvas.px + y * rowBytes, rowBytes);
      }))
    return true;
  perror(path);
  return false;
}

}  // namespace draw
