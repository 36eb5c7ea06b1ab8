// Whether a large source in gfx/hd/ decodes to its end, found out with bounded memory and time:
// a JPEG file at an eighth of its size (libjpeg's DCT scaling), a PNG file a row at a time.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <png.h>

#include "assets/assets.h"
#include "render.h"

namespace {

// libjpeg's errors leave by longjmp; its warnings (a file cut short, damaged data it fills
// with grey) count as failures here, as the picture would not be what the file meant.
struct JpegTrouble {
  jpeg_error_mgr manager;
  jmp_buf escape;
  char what[JMSG_LENGTH_MAX];
};

void JpegEscape(j_common_ptr info) {
  JpegTrouble* trouble = reinterpret_cast<JpegTrouble*>(info->err);
  (*info->err->format_message)(info, trouble->what);
  longjmp(trouble->escape, 1);
}

void JpegWarning(j_common_ptr info, int level) {
  if (level < 0) JpegEscape(info);
}

bool JpegDecodes(FILE* file, char* why, size_t whySize) {
  jpeg_decompress_struct info;
  JpegTrouble trouble;
  info.err = jpeg_std_error(&trouble.manager);
  trouble.manager.error_exit = JpegEscape;
  trouble.manager.emit_message = JpegWarning;
  // Set after setjmp and read after longjmp: volatile.
  JSAMPLE* volatile row = nullptr;
  if (setjmp(trouble.escape)) {
    jpeg_destroy_decompress(&info);
    free(row);
    snprintf(why, whySize, "%s", trouble.what);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.scale_num = 1;
  info.scale_denom = 8;
  jpeg_calc_output_dimensions(&info);
  // A file of many scans is held whole, as coefficients: bounded as whole pictures are.
  if (jpeg_has_multiple_scans(&info) &&
      !WholeDecodeIsBounded(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    snprintf(why, whySize, "%s", SDL_GetError());
    return false;
  }
  jpeg_start_decompress(&info);
  row = static_cast<JSAMPLE*>(malloc(info.output_width * info.output_components));
  while (row && info.output_scanline < info.output_height) {
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&info, rows, 1);
  }
  const bool whole = row != nullptr;
  if (whole) jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  free(row);
  if (!whole) snprintf(why, whySize, "out of memory");
  return whole;
}

// libpng's errors leave by longjmp with the message kept; its warnings are let be, as the
// image library lets them be.
struct PngTrouble {
  jmp_buf escape;
  char what[200];
};

void PngError(png_structp png, png_const_charp message) {
  PngTrouble* trouble = static_cast<PngTrouble*>(png_get_error_ptr(png));
  snprintf(trouble->what, sizeof trouble->what, "%s", message);
  longjmp(trouble->escape, 1);
}

void PngWarning(png_structp, png_const_charp) {}

bool PngDecodes(FILE* file, char* why, size_t whySize) {
  PngTrouble trouble;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &trouble, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    snprintf(why, whySize, "out of memory");
    return false;
  }
  // Set after setjmp and read after longjmp: volatile.
  png_bytep volatile row = nullptr;
  if (setjmp(trouble.escape)) {
    png_destroy_read_struct(&png, &info, nullptr);
    free(row);
    snprintf(why, whySize, "%s", trouble.what);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!WholeDecodeIsBounded(png_get_image_width(png, info), height)) {
    png_destroy_read_struct(&png, &info, nullptr);
    snprintf(why, whySize, "%s", SDL_GetError());
    return false;
  }
  // Interlaced rows come pass after pass into the one row.
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  row = static_cast<png_bytep>(malloc(png_get_rowbytes(png, info)));
  for (int pass = 0; row && pass < passes; ++pass)
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, row, nullptr);
  const bool whole = row != nullptr;
  if (whole) png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  free(row);
  if (!whole) snprintf(why, whySize, "out of memory");
  return whole;
}

}  // namespace

bool LargeSourceDecodes(const char* path, char* why, size_t whySize) {
  PictureHeader header;
  if (IsSpecialFile(path) || !ReadPictureHeader(path, header) || header.kind == kOtherFile) {
    snprintf(why, whySize, "%s", IsSpecialFile(path) ? "not a regular file" : SDL_GetError());
    return false;
  }
  FILE* file = fopen(path, "rb");
  if (!file) {
    snprintf(why, whySize, "cannot be opened");
    return false;
  }
  const bool ok =
      header.kind == kJpegFile ? JpegDecodes(file, why, whySize) : PngDecodes(file, why, whySize);
  fclose(file);
  return ok;
}
