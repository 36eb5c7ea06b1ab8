// Runs the real program headless in a show folder of its own, under the preloaded clock shim
// (tests/harness/clockshim.cpp), and reads back what it left: exit status, both streams, the
// shim's pass and call logs and the screens it saved.
#pragma once

#include <SDL.h>
#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "facts.h"

// One presented frame: the step drawn and the shim's clock at that moment.
struct Pass {
  int frame;
  unsigned ms;
};

struct ShowRun {
  int status = -1;    // exit status, or 128 + signal
  bool hung = false;  // killed after the time limit
  std::string out, err;
  std::vector<Pass> passes;
  std::vector<std::string> calls;  // lines of the shim's call log
  std::filesystem::path shots;

  // The screen saved at frame f, or null.
  SDL_Surface* Screen(int f) const;
  // The last frame presented, or -1.
  int LastFrame() const { return passes.empty() ? -1 : passes.back().frame; }
  // The call log lines that begin with `kind` and a space, split into their numbers.
  std::vector<std::vector<long>> Calls(const std::string& kind) const;
};

struct RunOptions {
  int timeoutSeconds = 120;
  std::vector<std::string> wrapper;  // e.g. a memory checker and its options
  uid_t user = 0;                    // when non-zero, the program runs as this user
  std::string program = TOLVANE_EXE, shim = TOLVANE_CLOCKSHIM;
};

// Runs `command` in `dir` with `env` added (as `user` when non-zero), its streams in
// dir/out.txt and dir/err.txt; killed after `timeoutSeconds`, which sets `hung`. Fills the
// status and both streams.
ShowRun Run(const std::filesystem::path& dir, const std::vector<std::string>& command,
            const std::map<std::string, std::string>& env, int timeoutSeconds, uid_t user = 0);

// A fresh folder for one test, removed with its contents afterwards.
class ShowFolder {
 public:
  explicit ShowFolder(const std::string& name);
  ~ShowFolder();
  ShowFolder(const ShowFolder&) = delete;
  ShowFolder& operator=(const ShowFolder&) = delete;

  const std::filesystem::path& Dir() const { return dir; }
  std::filesystem::path Gfx(const std::string& name) const { return dir / "gfx" / name; }
  // The demo's font, five pictures and music.
  void DemoFiles();
  // Demo photos foto01 ... foto<count>; past the demo's last one they repeat.
  void Photos(int count);
  // Runs the program here under the clock shim with the given arguments and extra
  // environment, and reads back the shim's logs and screens.
  ShowRun Play(std::vector<std::string> args, std::map<std::string, std::string> env = {},
               const RunOptions& options = {});

 private:
  std::filesystem::path dir;
};

// Reads a whole file.
std::string Slurp(const std::filesystem::path& path);
// A demo picture as the program holds it: converted to the display's format.
SDL_Surface* Picture(const std::string& name);
// Counts the pixels of `area` on the screen that differ from `picture` placed at (x, y) (and
// from black outside it). A null picture stands for black.
int Differences(SDL_Surface* shot, SDL_Surface* picture, int x, int y, SDL_Rect area);
constexpr SDL_Rect kWholeScreen = {0, 0, kScreenWidth, kScreenHeight};
