// What the benchmarks share: a headless display, show folders made once, the show loaded as at
// start-up, the memcpy yardstick every figure is measured beside, and programs run as children
// for their CPU time.
#include "bench.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "anim/anim.h"
#include "assets/assets.h"
#include "driver/driver.h"
#include "render.h"
#include "text/text.h"

namespace fs = std::filesystem;

static constexpr int kBatches = 41, kBatch = 10;  // calls timed together, batches compared

SDL_Surface* OpenBenchDisplay(int depth, int width, int height) {
  SDL_Surface* display = SDL_GetVideoSurface();
  if (!display || display->format->BitsPerPixel != depth || display->w != width ||
      display->h != height)
    display = SDL_SetVideoMode(width, height, depth, kDefaultVideoFlags);
  SetCanvas(display);
  return display;
}

static fs::path FolderRoot() {
  return fs::temp_directory_path() / ("tolvane-bench-" + std::to_string(getpid()));
}

// A new show folder with the demo's pictures, font and music, and no photo.
static void MakeShowFolder(const fs::path& dir) {
  const fs::path demo = TOLVANE_DEMO_DIR;
  fs::create_directories(dir / "gfx");
  fs::create_directories(dir / "sfx");
  for (const char* name : kShowFiles) fs::copy_file(demo / name, dir / name);
}

std::string PhotoFolder(const std::string& name, int photos,
                        const std::function<void(const std::string& photo)>& write) {
  const fs::path dir = FolderRoot() / name;
  if (fs::exists(dir)) return dir;
  MakeShowFolder(dir);
  const fs::path photo = FolderRoot() / (name + ".photo");
  write(photo);
  for (int k = 1; k <= photos; k++) fs::copy_file(photo, dir / PhotoName(k).path);
  return dir;
}

std::string ShowFolder(int photos) {
  const fs::path dir = FolderRoot() / ("show" + std::to_string(photos));
  if (fs::exists(dir)) return dir;
  const fs::path demo = TOLVANE_DEMO_DIR;
  MakeShowFolder(dir);
  for (int k = 1; k <= photos; k++)
    fs::copy_file(demo / PhotoName((k - 1) % kDemoPhotos + 1).path, dir / PhotoName(k).path);
  return dir;
}

void RemoveShowFolders() {
  std::error_code ignored;
  fs::remove_all(FolderRoot(), ignored);
}

void Quiet() {
  static FILE* null = fopen("/dev/null", "w");
  if (null) RedirectStderr(null);
}

void Loud() {
  RestoreStderr();
}

void OpenBenchShow(const std::string& folder, int depth, int width, int height) {
  ReleaseTextPictures();
  ResetAssets();
  ResetAnim();
  ResetText();
  ResetDriver();
  OpenBenchDisplay(depth, width, height);
  fs::current_path(folder);
  Quiet();
  LoadShow(nullptr);
  Loud();
  StartShow();
}

static size_t Bytes(const SDL_Surface* picture) {
  return picture ? static_cast<size_t>(picture->pitch) * picture->h : 0;
}

size_t PictureBytes() {
  size_t total = Bytes(load) + Bytes(ohen) + Bytes(back) + Bytes(si) + Bytes(end);
  for (const SDL_Surface* photo : foto) total += Bytes(photo);
  return total;
}

// The memcpy a pass is measured against: the same bytes between two buffers that stay put.
static void CopyOnce(size_t bytes) {
  static std::vector<unsigned char> from, to;
  if (from.size() < bytes) {
    from.assign(bytes, 0x5A);
    to.assign(bytes, 0);
  }
  memcpy(to.data(), from.data(), bytes);
  benchmark::DoNotOptimize(to.data());
  benchmark::ClobberMemory();
}

static double BatchNs(const std::function<void()>& call, int calls) {
  const double start = ThreadNs();
  for (int i = 0; i < calls; i++) call();
  return (ThreadNs() - start) / calls;
}

static double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

Yardstick Interleaved(const std::function<void()>& pass, const std::function<void()>& yardstick,
                      int batches, int calls) {
  BatchNs(pass, 1);  // warm
  BatchNs(yardstick, 1);
  std::vector<double> passes, yardsticks;
  for (int i = 0; i < batches; i++) {
    passes.push_back(BatchNs(pass, calls));
    yardsticks.push_back(BatchNs(yardstick, calls));
  }
  return Yardstick{Median(passes), Median(yardsticks)};
}

Yardstick BesideMemcpy(const std::function<void()>& pass, size_t bytes) {
  return Interleaved(
      pass, [bytes] { CopyOnce(bytes); }, kBatches, kBatch);
}

double MemcpyNs(size_t bytes) {
  return BesideMemcpy([] {}, bytes).yardstickNs;
}

ChildRun RunChild(const std::vector<std::string>& command) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage = {};
  wait4(child, &status, 0, &usage);
  ChildRun run;
  run.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peakKb = usage.ru_maxrss;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}
