// What the tools share with each other and with the tests and benchmarks: the one JPEG
// writer.
#pragma once

#include <cstdio>
#include <functional>

// How a JPEG file is coded.
struct JpegCoding {
  int quality = 75;
  int components = 3;            // 1 grey, 3 RGB, 4 CMYK
  int hSample = 2, vSample = 2;  // of the first channel; the others are 1 x 1
  bool progressive = false, arithmetic = false;
  int restartInterval = 0;  // in MCUs
};
// Fills `row` with the samples of row `y`, `components` to a pixel.
using JpegRows = std::function<void(int y, unsigned char* row)>;
// Writes a width x height JPEG to `out`, which stays open; false when a write failed.
bool WriteJpeg(FILE* out, int width, int height, const JpegCoding& coding, const JpegRows& fill);
// The same into the file `path`, made or replaced; false when it cannot be written.
bool WriteJpeg(const char* path, int width, int height, const JpegCoding& coding,
               const JpegRows& fill);
