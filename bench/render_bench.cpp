// One drawing pass of each phase of the show, and the steps that do real work, measured
// against a memcpy of the bytes a pass writes and against the 10 ms step.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "assets/assets.h"
#include "bench.h"
#include "driver/driver.h"
#include "text/text.h"

namespace {

constexpr int kPhotos = kDemoPhotos;
constexpr int kFadeSample = 150;  // transparency 95: a mid value off SDL's special case of 128

struct Phase {
  const char* name;
  int (*frameOf)();  // the frame drawn, once the show is loaded
};

const Phase kPhases[] = {
    {"black_logo", [] { return 1000; }},
    {"slot_box", [] { return kFirstSlot + 400; }},
    {"slot_photo_names", [] { return kFirstSlot + 1500; }},
    {"end_picture", [] { return ENDTIME - 1000; }},
    {"fade", [] { return ENDTIME + kFadeSample; }},
};

// A canvas: the show's own size, or a screen it is drawn at the resolution of.
struct Screen {
  int width, height;
};
constexpr Screen kShowSize = {kScreenWidth, kScreenHeight};
constexpr Screen kBigScreens[] = {{1920, 1080}, {3840, 2160}};

size_t PassBytes(int depth, Screen s = kShowSize) {
  return static_cast<size_t>(s.width) * s.height * (depth / 8);
}

// The show loaded at `depth` on a canvas of `s` and stepped to the frame `frameOf` gives
// once it is loaded, as when every step is drawn: a frame of the fade has its snapshot.
template <typename FrameOf>
void ShowAt(int depth, FrameOf frameOf, Screen s = kShowSize) {
  OpenBenchShow(ShowFolder(kPhotos), depth, s.width, s.height);
  StepTo(frameOf(), kEveryStep);
  AwaitPhotos();
  // The first pass carries out what the steps requested and lets SDL prepare its blits.
  Render(frame);
}

void RenderPass(benchmark::State& state, const Phase* phase, int depth, Screen s) {
  ShowAt(depth, phase->frameOf, s);
  const int drawn = frame;
  for (auto _ : state) {
    Render(drawn);
    benchmark::ClobberMemory();
  }
  const Yardstick y = BesideMemcpy([drawn] { Render(drawn); }, PassBytes(depth, s));
  state.counters["pass_us"] = y.passNs / 1000;
  state.counters["memcpy_us"] = y.yardstickNs / 1000;
  state.counters["x_memcpy"] = y.passNs / y.yardstickNs;
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(PassBytes(depth, s)));
}

// The whole fade as the show draws it, each frame once. The first pass at each opacity also
// checks the sweep against SDL, once per process, so each round runs in a child of its own.
void FadeThrough(benchmark::State& state, int depth) {
  ShowAt(depth, [] { return ENDTIME + 1; });
  const int first = frame;
  std::vector<double> rounds;
  for (auto _ : state) {
    int channel[2];
    if (pipe(channel) != 0) {
      state.SkipWithError("no pipe");
      return;
    }
    const pid_t child = fork();
    if (child == 0) {
      const auto start = std::chrono::steady_clock::now();
      for (int f = first; f < first + kFadeLength; f++) Render(f);
      const double ns =
          std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
              .count() /
          kFadeLength;
      _exit(write(channel[1], &ns, sizeof ns) == sizeof ns ? 0 : 1);
    }
    double ns = 0;
    const bool got = read(channel[0], &ns, sizeof ns) == sizeof ns;
    close(channel[0]);
    close(channel[1]);
    waitpid(child, nullptr, 0);
    if (!got) {
      state.SkipWithError("the child measured nothing");
      return;
    }
    state.SetIterationTime(ns / 1e9);
    rounds.push_back(ns);
  }
  std::nth_element(rounds.begin(), rounds.begin() + rounds.size() / 2, rounds.end());
  const double passNs = rounds[rounds.size() / 2], copyNs = MemcpyNs(PassBytes(depth));
  state.counters["pass_us"] = passNs / 1000;
  state.counters["memcpy_us"] = copyNs / 1000;
  state.counters["x_memcpy"] = passNs / copyNs;
}

void Memcpy(benchmark::State& state, int depth) {
  std::vector<unsigned char> from(PassBytes(depth), 0x5A), to(PassBytes(depth));
  for (auto _ : state) {
    memcpy(to.data(), from.data(), to.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(to.size()));
}

// Compute at the first step of a slot renders the caption's two text pictures. The slots
// are visited in turn, so every caption of the table is made; the slowest one counts.
void ComputeSlotStart(benchmark::State& state, int depth) {
  ShowAt(depth, [] { return SlotStart(0); });
  std::vector<double> ns(kPhotos, 0);
  std::vector<int> count(kPhotos, 0);
  int slot = 0;
  for (auto _ : state) {
    const double start = ThreadNs();
    Compute(SlotStart(slot));
    ns[slot] += ThreadNs() - start;
    count[slot]++;
    slot = (slot + 1) % kPhotos;
  }
  double worst = 0;
  for (int q = 0; q < kPhotos; q++)
    if (count[q]) worst = std::max(worst, ns[q] / count[q]);
  state.counters["worst_slot_us"] = worst / 1000;
  state.counters["worst_of_step"] = worst / kStepNs;
}

// The first pass of a slot: its step, then the pass that draws the new pictures first.
void FirstPassOfSlot(benchmark::State& state, int depth) {
  ShowAt(depth, [] { return SlotStart(0); });
  int slot = 0;
  const double start = ThreadNs();
  for (auto _ : state) {
    Compute(SlotStart(slot));
    Render(SlotStart(slot));
    slot = (slot + 1) % kPhotos;
  }
  state.counters["of_step"] =
      (ThreadNs() - start) / static_cast<double>(state.iterations()) / kStepNs;
}

// Any other step: a few comparisons.
void ComputePlainStep(benchmark::State& state, int depth) {
  ShowAt(depth, [] { return SlotStart(0) + 1000; });
  for (auto _ : state) {
    Compute(SlotStart(0) + 1001);
    benchmark::ClobberMemory();
  }
}

// A jump back to the last slot of a 50-photo show: the show played again from its start, as
// if every frame were drawn, every slot's caption pictures made on the way.
void JumpBackToLastSlot(benchmark::State& state, int depth) {
  OpenBenchShow(ShowFolder(kMaxPhotos), depth);
  const int last = SlotStart(fotos);
  StepTo(last, kOnePass);
  const double start = ThreadNs();
  for (auto _ : state) JumpTo(last);
  state.counters["of_step"] =
      (ThreadNs() - start) / static_cast<double>(state.iterations()) / kStepNs;
}

}  // namespace

void RegisterRenderBenchmarks() {
  for (int depth : {16, 32}) {
    const std::string bpp = "/" + std::to_string(depth) + "bpp";
    benchmark::RegisterBenchmark(("Memcpy_pass" + bpp).c_str(), Memcpy, depth);
    for (const Phase& phase : kPhases)
      benchmark::RegisterBenchmark(("Render/" + std::string(phase.name) + bpp).c_str(), RenderPass,
                                   &phase, depth, kShowSize)
          ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Render/fade_every_frame" + bpp).c_str(), FadeThrough, depth)
        ->UseManualTime()
        ->Iterations(20)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Compute/slot_start" + bpp).c_str(), ComputeSlotStart, depth)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Compute/plain_step" + bpp).c_str(), ComputePlainStep, depth);
    benchmark::RegisterBenchmark(("Pass/slot_start" + bpp).c_str(), FirstPassOfSlot, depth)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Jump/back_to_slot_50" + bpp).c_str(), JumpBackToLastSlot, depth)
        ->Unit(benchmark::kMillisecond);
  }
  // The show drawn at a big screen's resolution, on today's 32-bit displays.
  for (const Screen& s : kBigScreens)
    for (const Phase& phase : kPhases) {
      const std::string name = "Render/" + std::string(phase.name) + "/32bpp/" +
                               std::to_string(s.width) + "x" + std::to_string(s.height);
      benchmark::RegisterBenchmark(name.c_str(), RenderPass, &phase, 32, s)
          ->Unit(benchmark::kMicrosecond);
    }
}
