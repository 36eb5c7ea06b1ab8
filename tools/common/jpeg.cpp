// The one JPEG writer of the tools, the tests and the benchmarks.
#include "common.h"

#include <vector>
// After common.h: jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

bool WriteJpeg(FILE* out, int width, int height, const JpegCoding& coding, const JpegRows& fill) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = width;
  info.image_height = height;
  info.input_components = coding.components;
  info.in_color_space = coding.components == 4   ? JCS_CMYK
                        : coding.components == 1 ? JCS_GRAYSCALE
                                                 : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, coding.quality, TRUE);
  info.comp_info[0].h_samp_factor = coding.hSample;
  info.comp_info[0].v_samp_factor = coding.vSample;
  if (coding.progressive) jpeg_simple_progression(&info);
  info.arith_code = coding.arithmetic;
  info.restart_interval = coding.restartInterval;
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(width) * coding.components);
  while (info.next_scanline < info.image_height) {
    fill(static_cast<int>(info.next_scanline), row.data());
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return !ferror(out);
}

bool WriteJpeg(const char* path, int width, int height, const JpegCoding& coding,
               const JpegRows& fill) {
  FILE* out = fopen(path, "wb");
  if (!out) return false;
  const bool written = WriteJpeg(out, width, height, coding, fill);
  return fclose(out) == 0 && written;
}
