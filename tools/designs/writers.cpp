// The canvas written out: PNG for the pictures, baseline JPEG for the photos.
#include "designs.h"

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstring>

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
  FILE* out = fopen(path, "wb");
  if (!out) {
    perror(path);
    return false;
  }
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = canvas.w;
  info.image_height = canvas.h;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = canvas.px + info.next_scanline * canvas.w * 3;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return fclose(out) == 0;
}

}  // namespace draw
