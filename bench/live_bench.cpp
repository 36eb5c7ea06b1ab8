// The real program playing a 50-photo show with -fit on a virtual 3840x2160 X screen, with
// its real clock: passes a second, and the longest pass, overall and while the photo worker
// makes the next slot's photo; beside a memcpy of the display's bytes in the same run.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "bench.h"
#include "driver/show.h"

namespace {

constexpr int kWidth = 3840, kHeight = 2160;
// From the logo's last second through the first slot into the second, whose start asks the
// worker for the photo of the third.
constexpr int kFrom = kFirstSlot - 100, kQuitAt = kFirstSlot + kSlotLength + 300;  // slot 1
// The photo the worker makes at the second slot's start takes well under this many frames.
constexpr int kMakingFrames = 100;

struct Pass {
  int frame;
  long long ns;
};

// Plays the show in `folder` under Xvfb until kQuitAt; its passes, or none on a failure.
std::vector<Pass> Play(const std::string& folder) {
  const std::string log = folder + "/passes.txt";
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("TOLVANE_PASS_LOG", log.c_str(), 1);
    setenv("TOLVANE_QUIT_AT", std::to_string(kQuitAt).c_str(), 1);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
    const std::string screen =
        "-screen 0 " + std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24";
    const std::string preload = std::string("LD_PRELOAD=") + TOLVANE_PASSPROBE;
    execlp("xvfb-run", "xvfb-run", "-a", "-s", screen.c_str(), "env", preload.c_str(),
           "SDL_VIDEODRIVER=x11", TOLVANE_EXE, "-fit", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  std::vector<Pass> passes;
  std::ifstream in(log);
  Pass p;
  while (in >> p.frame >> p.ns) passes.push_back(p);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) passes.clear();
  return passes;
}

void LiveShow(benchmark::State& state) {
  const std::string folder = ShowFolder(kMaxPhotos);
  std::vector<Pass> passes;
  for (auto _ : state) passes = Play(folder);
  std::vector<Pass> shown;
  for (const Pass& p : passes)
    if (p.frame >= kFrom) shown.push_back(p);
  if (shown.size() < 2) {
    state.SkipWithError("the show did not play under Xvfb (scripts/setup installs xvfb)");
    return;
  }
  double longest = 0, longestMaking = 0;
  const int making = SlotStart(1);
  for (size_t i = 1; i < shown.size(); i++) {
    const double ms = (shown[i].ns - shown[i - 1].ns) / 1e6;
    longest = std::max(longest, ms);
    if (shown[i].frame >= making && shown[i].frame < making + kMakingFrames)
      longestMaking = std::max(longestMaking, ms);
  }
  const double seconds = (shown.back().ns - shown.front().ns) / 1e9;
  state.counters["passes_per_s"] = (shown.size() - 1) / seconds;
  state.counters["longest_pass_ms"] = longest;
  state.counters["longest_while_making_ms"] = longestMaking;
  state.counters["memcpy_display_ms"] = MemcpyNs(static_cast<size_t>(kWidth) * kHeight * 4) / 1e6;
}

}  // namespace

void RegisterLiveBenchmarks() {
  benchmark::RegisterBenchmark("LiveShow/fit/3840x2160", LiveShow)
      ->Iterations(1)
      ->Unit(benchmark::kSecond);
}
