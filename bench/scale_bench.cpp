// One pass of tolvane -fit's scaler: the show's 640x480 picture onto a 32-bit display of a
// big screen's size, beside a memcpy of the display's bytes.
#include <benchmark/benchmark.h>

#include <string>

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
    ScalePicture(screen, display);
    benchmark::ClobberMemory();
  }
  const size_t bytes = static_cast<size_t>(display->pitch) * height;
  const Yardstick y = BesideMemcpy([display] { ScalePicture(screen, display); }, bytes);
  state.counters["pass_us"] = y.passNs / 1000;
  state.counters["memcpy_us"] = y.yardstickNs / 1000;
  state.counters["x_memcpy"] = y.passNs / y.yardstickNs;
  SDL_FreeSurface(display);
}

}  // namespace

void RegisterScaleBenchmarks() {
  for (const auto& size : {std::pair{1920, 1080}, std::pair{3840, 2160}})
    for (int depth : {16, 32}) {
      const std::string name = "Scale/" + std::to_string(size.first) + "x" +
                               std::to_string(size.second) + "/" + std::to_string(depth) + "bpp";
      benchmark::RegisterBenchmark(name.c_str(), Scale, depth, size.first, size.second)
          ->Unit(benchmark::kMicrosecond);
    }
}
