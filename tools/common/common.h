// What the tools share with each other and with the tests and benchmarks: how a tool says
// what went wrong, the files it reads and writes, a show folder's frame, and the one JPEG
// writer.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

#include "facts.h"

// Messages: "PROGRAM: MESSAGE" on standard error. Each returns false, for `return Fail(...)`.
__attribute__((format(printf, 2, 3))) bool Fail(const char* program, const char* format, ...);
// The same, then "Try 'PROGRAM --help'." on a line of its own: for a bad command line.
__attribute__((format(printf, 2, 3))) bool FailUsage(const char* program, const char* format, ...);
// "PROGRAM VERSION" on standard output, as tolvane --version says it.
void PrintVersion(const char* program);

// Files.

// What WhyUnreadable says of a folder, a named pipe, a device.
extern const char kNotAFile[];
// Null when `path` is a regular file this process may read; else why not: the system's reason
// (no such file, no permission) or kNotAFile. Opening a named pipe would wait for a writer.
const char* WhyUnreadable(const char* path);
// kNotAFile when `path` is a named pipe, a device or a socket, which the tools neither read
// nor write (an open would wait for the other end, or worse); else null, a missing path and a
// folder included. The one test every tool makes before it opens a file, output or input.
const char* WhySpecial(const char* path);
// WhySpecial as a refusal: false, having said "PROGRAM: PATH: not a file (...)", when it is one.
bool RefuseSpecial(const char* program, const char* path);
// fopen(path, mode) of anything but what WhySpecial refuses: null with errno EINVAL for one.
FILE* OpenPlain(const char* path, const char* mode);
// Copies the file `from` to `to`, made or replaced; false, having said why, when it cannot.
bool CopyFile(const char* program, const char* from, const char* to);

// A show folder as the tools make one.

// Makes the folders of the show folder `dir` (which exists): gfx/, gfx/hd/ and sfx/. False,
// having said why, when one cannot be made; one that is there already is fine.
bool MakeShowFolders(const char* program, const char* dir);
// The path in the show folder `dir` of the large source of `file`, a picture or photo of the
// show ("gfx/back.png" gives "DIR/gfx/hd/back.png").
std::string LargePath(const char* dir, const char* file);
// A length of the show's pictures at the large sources' scale, rounded.
constexpr int LargeLength(int n) {
  return (n * kLargeScaleNum + kLargeScaleDen / 2) / kLargeScaleDen;
}
// The caption font of every show the tools make: DejaVu Sans from `fontDir`, copied under the
// show's font name into the show folder `dir`.
bool CopyShowFont(const char* program, const char* fontDir, const char* dir);

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
