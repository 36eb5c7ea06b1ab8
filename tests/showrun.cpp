#include "showrun.h"

#include <SDL_image.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "testing.h"

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

SDL_Surface* ShowRun::Screen(int f) const {
  return SDL_LoadBMP((shots / ("frame-" + std::to_string(f) + ".bmp")).c_str());
}

std::vector<std::vector<long>> ShowRun::Calls(const std::string& kind) const {
  std::vector<std::vector<long>> found;
  for (const std::string& line : calls) {
    if (line.compare(0, kind.size() + 1, kind + " ") != 0) continue;
    std::istringstream words(line.substr(kind.size() + 1));
    std::vector<long> numbers;
    std::string word;
    while (words >> word) numbers.push_back(strtol(word.c_str(), nullptr, 0));
    found.push_back(numbers);
  }
  return found;
}

ShowFolder::ShowFolder(const std::string& name) {
  dir = fs::temp_directory_path() / ("tolvane-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
}

ShowFolder::~ShowFolder() {
  // Tests may leave unreadable files or folders behind.
  std::error_code ignored;
  for (auto& entry : fs::recursive_directory_iterator(dir, ignored))
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(dir, ignored);
}

void ShowFolder::DemoFiles() {
  fs::create_directories(dir / "gfx");
  fs::create_directories(dir / "sfx");
  for (const char* name : kShowFiles) fs::copy_file(DemoFile(name), dir / name);
}

void ShowFolder::Photos(int count) {
  fs::create_directories(dir / "gfx");
  for (int k = 1; k <= count; k++)
    fs::copy_file(DemoFile(PhotoName((k - 1) % kDemoPhotos + 1).path), Gfx(PhotoName(k).file));
}

ShowRun Run(const fs::path& dir, const std::vector<std::string>& command,
            const std::map<std::string, std::string>& env, int timeoutSeconds, uid_t user) {
  ShowRun run;
  const fs::path out = dir / "out.txt", err = dir / "err.txt";
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    for (auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    if (!freopen(out.c_str(), "w", stdout)) _exit(126);
    if (!freopen(err.c_str(), "w", stderr)) _exit(126);
    if (user && (setgid(user) != 0 || setuid(user) != 0)) _exit(126);
    std::vector<std::string> words = command;
    std::vector<char*> argv;
    for (std::string& a : words) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  // A hang is a finding, not a stuck test: the program is killed after the time limit.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int wstatus = 0;
  while (waitpid(child, &wstatus, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      run.hung = true;
      kill(child, SIGKILL);
      waitpid(child, &wstatus, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  run.out = Slurp(out);
  run.err = Slurp(err);
  return run;
}

// The shim's logs and screens of a run in `dir`, fresh for each run.
struct ShimFiles {
  fs::path shots, passLog, callLog;
};

static ShimFiles FreshShimFiles(const fs::path& dir) {
  const ShimFiles files = {dir / "shots", dir / "passes.txt", dir / "calls.txt"};
  fs::remove_all(files.shots);
  fs::create_directories(files.shots);
  for (const fs::path& log : {files.passLog, files.callLog}) fs::remove(log);
  return files;
}

static void ReadShimLogs(const ShimFiles& files, ShowRun& run) {
  run.shots = files.shots;
  std::istringstream passes(Slurp(files.passLog));
  Pass pass;
  while (passes >> pass.frame >> pass.ms) run.passes.push_back(pass);
  std::istringstream calls(Slurp(files.callLog));
  for (std::string line; std::getline(calls, line);) run.calls.push_back(line);
}

ShowRun ShowFolder::Play(std::vector<std::string> args, std::map<std::string, std::string> env,
                         const RunOptions& options) {
  const ShimFiles files = FreshShimFiles(dir);
  env.emplace("SDL_VIDEODRIVER", "dummy");
  env.emplace("SDL_AUDIODRIVER", "dummy");
  env["TOLVANE_CAPTURE_DIR"] = files.shots;
  env["TOLVANE_SHIM_LOG"] = files.passLog;
  env["TOLVANE_CALL_LOG"] = files.callLog;
  env["LD_PRELOAD"] = options.shim;
  // A sanitized program records whole stacks, through libraries without frame pointers, so
  // that the leak suppressions can name the library call that leaked.
  const char* asan = getenv("ASAN_OPTIONS");
  env.emplace("ASAN_OPTIONS", std::string(asan ? asan : "") + ":fast_unwind_on_malloc=0");
  if (options.user) {
    // Another user must be able to write the logs and screens.
    fs::permissions(dir, fs::perms::all);
    fs::permissions(files.shots, fs::perms::all);
  }
  std::vector<std::string> command = options.wrapper;
  command.push_back(options.program);
  command.insert(command.end(), args.begin(), args.end());
  ShowRun run = Run(dir, command, env, options.timeoutSeconds, options.user);
  ReadShimLogs(files, run);
  return run;
}

SDL_Surface* Picture(const std::string& name) {
  SDL_Surface* decoded = IMG_Load(DemoFile("gfx/" + name).c_str());
  if (!decoded) return nullptr;
  SDL_Surface* converted = SDL_DisplayFormat(decoded);
  SDL_FreeSurface(decoded);
  return converted;
}

int Differences(SDL_Surface* shot, SDL_Surface* picture, int x, int y, SDL_Rect area) {
  SDL_Surface* display = SDL_GetVideoSurface();
  SDL_Surface* a = SDL_ConvertSurface(shot, display->format, 0);
  const int w = picture ? picture->w : 0, h = picture ? picture->h : 0;
  int differ = 0;
  for (int py = area.y; py < area.y + area.h; py++)
    for (int px = area.x; px < area.x + area.w; px++) {
      const bool inside = px >= x && py >= y && px < x + w && py < y + h;
      const Uint32 expected = inside ? PixelAt(picture, px - x, py - y) : 0;
      if (PixelAt(a, px, py) != expected) differ++;
    }
  SDL_FreeSurface(a);
  return differ;
}
