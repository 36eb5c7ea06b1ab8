// The resident set of the real program playing a 50-photo show headless under the clock
// shim, against the bytes of the pictures it holds, and from one photo slot to the next.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench.h"

namespace {

constexpr int kPhotos = 50;
constexpr double kMiB = 1024.0 * 1024.0;

struct SlotSample {
  int slot;
  long rssKb, anonKb;
};

// Plays the show in `folder` to its end; returns the exit status.
int Play(const std::string& folder, int depth, const std::string& rssLog) {
  const std::string bpp = std::to_string(depth);
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // Ten steps per pass: every step is still computed, the show just takes fewer passes.
    setenv("TOLVANE_PASS_MS", "100", 1);
    setenv("TOLVANE_RSS_LOG", rssLog.c_str(), 1);
    setenv("LD_PRELOAD", TOLVANE_CLOCKSHIM " " TOLVANE_RSSPROBE, 1);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
    execl(TOLVANE_EXE, TOLVANE_EXE, "-bpp", bpp.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ShowMemory(benchmark::State& state, std::string (*makeFolder)(), int depth) {
  const std::string folder = makeFolder();
  OpenBenchShow(folder, depth);
  const double pictures = static_cast<double>(PictureBytes());
  const std::string rssLog = folder + "/rss-" + std::to_string(depth) + ".txt";
  for (auto _ : state) {
    if (Play(folder, depth, rssLog) != 0) {
      state.SkipWithError("the show did not end with status 0");
      return;
    }
  }
  std::vector<SlotSample> slots;
  std::ifstream in(rssLog);
  SlotSample s;
  int f;
  // The program's own peak, VmHWM: the child's ru_maxrss would count the benchmark's pages
  // from before the exec.
  long hwm, peakKb = 0;
  while (in >> s.slot >> f >> s.rssKb >> hwm >> s.anonKb) {
    if (s.slot < kPhotos) slots.push_back(s);
    peakKb = std::max(peakKb, hwm);
  }
  if (slots.size() != kPhotos) {
    state.SkipWithError("the probe saw not every slot");
    return;
  }
  // The first slot makes the first text pictures; from the second on nothing new is needed.
  // The heap may still settle over a few slots; the second half shows whether it grows.
  long largestStep = 0;
  for (int q = 2; q < kPhotos; q++)
    largestStep = std::max(largestStep, slots[q].anonKb - slots[q - 1].anonKb);
  const int half = kPhotos / 2;
  const double peak = peakKb * 1024.0;
  state.counters["peak_MiB"] = peak / kMiB;
  state.counters["pictures_MiB"] = pictures / kMiB;
  state.counters["over_pictures_MiB"] = (peak - pictures) / kMiB;
  // Pages of the libraries' files: shared with every program that maps them.
  const double files = (slots[kPhotos - 1].rssKb - slots[kPhotos - 1].anonKb) * 1024.0;
  state.counters["files_MiB"] = files / kMiB;
  state.counters["own_over_pictures_MiB"] = (peak - files - pictures) / kMiB;
  state.counters["own_slot2_to_50_KiB"] =
      static_cast<double>(slots[kPhotos - 1].anonKb - slots[1].anonKb);
  state.counters["own_slot25_to_50_KiB"] =
      static_cast<double>(slots[kPhotos - 1].anonKb - slots[half - 1].anonKb);
  state.counters["own_largest_step_KiB"] = static_cast<double>(largestStep);
  state.counters["all_slot2_to_50_KiB"] =
      static_cast<double>(slots[kPhotos - 1].rssKb - slots[1].rssKb);
}

}  // namespace

std::string DemoPhotos() {
  return ShowFolder(kPhotos);
}

void RegisterMemoryBenchmarks() {
  const std::pair<const char*, std::string (*)()> shows[] = {{"50photos", DemoPhotos},
                                                             {"50phone_photos", PhoneShowFolder},
                                                             {"50bomb_files", BombShowFolder}};
  for (const auto& [name, folder] : shows)
    for (int depth : {16, 32})
      benchmark::RegisterBenchmark(
          ("ShowMemory/" + std::string(name) + "/" + std::to_string(depth) + "bpp").c_str(),
          ShowMemory, folder, depth)
          ->Iterations(1)
          ->Unit(benchmark::kSecond);
}
