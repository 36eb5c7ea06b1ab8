// Shared by the benchmarks: a headless display, show folders, the show loaded as at start-up,
// and the yardsticks that every figure is measured against in the same run.
#pragma once

#include <SDL.h>

#include <time.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "facts.h"

constexpr double kStepNs = kStepMs * 1e6;  // one step of the show's clock

// Opens SDL's dummy display of width x height (the show's size unless said) in `depth` bits
// per pixel with the program's default flags and makes it the canvas.
SDL_Surface* OpenBenchDisplay(int depth, int width = kScreenWidth, int height = kScreenHeight);

// A show folder with the demo's pictures, font and music and `photos` photos, the demo's own
// repeated beyond its 19. Made once per count under the temporary directory.
std::string ShowFolder(int photos);
// A show folder `name` like ShowFolder's, with `photos` copies of the file `photo`, made
// once by `write` under the benchmarks' temporary folder.
std::string PhotoFolder(const std::string& name, int photos,
                        const std::function<void(const std::string& photo)>& write);
// Show folders of 50 phone photos of 4032 x 3024, and of 50 files of a few hundred bytes
// that declare 16000 x 16000 pixels.
std::string PhoneShowFolder();
std::string BombShowFolder();
// Removes every folder ShowFolder and PhotoFolder made.
void RemoveShowFolders();

// Standard error goes to /dev/null from Quiet until Loud (through the renderer's
// redirection): the loader reports every picture.
void Quiet();
void Loud();

// The show of `folder` opened at `depth` on a width x height canvas as every program opens it
// (LoadShow, StartShow), with all state reset first. The working directory stays `folder`.
void OpenBenchShow(const std::string& folder, int depth, int width = kScreenWidth,
                   int height = kScreenHeight);
// Bytes of every picture and photo held, as decoded and converted.
size_t PictureBytes();

// Nanoseconds of CPU time of one call of `pass` and of one call of `yardstick`, timed in
// `batches` of `calls` that take turns, so that both meet the same machine; the medians drop
// the batches that another process disturbed.
struct Yardstick {
  double passNs, yardstickNs;
};
Yardstick Interleaved(const std::function<void()>& pass, const std::function<void()>& yardstick,
                      int batches, int calls);
// Interleaved with a memcpy of `bytes` between two buffers that stay put.
Yardstick BesideMemcpy(const std::function<void()>& pass, size_t bytes);
// The memcpy of BesideMemcpy alone.
double MemcpyNs(size_t bytes);

// CPU time of the calling thread, in nanoseconds: the benchmarks share the machine, and time
// spent waiting for a core is not time the pass takes.
inline double ThreadNs() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e9 + now.tv_nsec;
}

// Each benchmark file registers its benchmarks, in the order they are reported.
// A program run to its end, its output thrown away: what it cost.
struct ChildRun {
  double wallSeconds;
  double cpuSeconds;  // of the program and every child it waited for (ffmpeg, say)
  long peakKb;        // its peak resident set
  bool ok;            // it ended with status 0
};
ChildRun RunChild(const std::vector<std::string>& command);

void RegisterRenderBenchmarks();
void RegisterLoadBenchmarks();
void RegisterMemoryBenchmarks();
void RegisterPhotoBenchmarks();
void RegisterMakeBenchmarks();
void RegisterScaleBenchmarks();
void RegisterLiveBenchmarks();
