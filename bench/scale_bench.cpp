// One pass of tolvane -fit's scaler: the show's 640x480 picture onto a 32-bit display of a
// big screen's size, beside a memcpy of the display's bytes; and tolvane-render's video at a
// big size beside the same at 640x480.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"
#include "driver/display.h"
#include "driver/driver.h"

namespace {

// A photo slot with its names line: the photo, the background and text.
constexpr int kSlotFrame = kFirstSlot + 1000;

void Scale(benchmark::State& state, int depth, int width, int height) {
  OpenBenchShow(ShowFolder(1), depth);
  StepTo(kSlotFrame, kOnePass);
  Render(kSlotFrame);
  SDL_Surface* display =
      SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
  if (!display) {
    state.SkipWithError("no display surface");
    return;
  }
  for (auto _ : state) {
    ScalePicture(canvas.surface, display);
    benchmark::ClobberMemory();
  }
  const size_t bytes = static_cast<size_t>(display->pitch) * height;
  const Yardstick y = BesideMemcpy([display] { ScalePicture(canvas.surface, display); }, bytes);
  state.counters["pass_us"] = y.passNs / 1000;
  state.counters["memcpy_us"] = y.yardstickNs / 1000;
  state.counters["x_memcpy"] = y.passNs / y.yardstickNs;
  SDL_FreeSurface(display);
}

}  // namespace

void RegisterVideoSizeBenchmarks();

void RegisterScaleBenchmarks() {
  RegisterVideoSizeBenchmarks();
  for (const auto& size : {std::pair{1920, 1080}, std::pair{3840, 2160}})
    for (int depth : {16, 32}) {
      const std::string name = "Scale/" + std::to_string(size.first) + "x" +
                               std::to_string(size.second) + "/" + std::to_string(depth) + "bpp";
      benchmark::RegisterBenchmark(name.c_str(), Scale, depth, size.first, size.second)
          ->Unit(benchmark::kMicrosecond);
    }
}

namespace {

// 60 s of the demo show (the logo, three photo slots) as a video at `size`, against the same
// span at 640x480 in the same run: CPU time of the renderer and ffmpeg together.
void VideoSize(benchmark::State& state, const char* size) {
  const std::string folder = ShowFolder(19), video = folder + "/bench-video.mp4";
  for (auto _ : state) {
    const std::vector<std::string> common = {TOLVANE_RENDER, "-C",  folder, "--video", video,
                                             "--from",       "10s", "--to", "70s"};
    std::vector<std::string> sized = common;
    sized.insert(sized.end(), {"--size", size});
    const ChildRun plainRun = RunChild(common), sizedRun = RunChild(sized);
    const double plain = plainRun.cpuSeconds, seconds = sizedRun.cpuSeconds;
    if (!plainRun.ok || !sizedRun.ok) {
      state.SkipWithError("tolvane-render --video failed (is ffmpeg installed?)");
      return;
    }
    state.SetIterationTime(seconds);
    state.counters["plain_s"] = plain;
    state.counters["x_640x480"] = seconds / plain;
  }
  std::filesystem::remove(video);
}

}  // namespace

void RegisterVideoSizeBenchmarks() {
  benchmark::RegisterBenchmark("VideoSize/1920x1080_60s", VideoSize, "1920x1080")
      ->UseManualTime()
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
}
