// Any bytes as a command line: NUL bytes separate the arguments. The scan runs from the last
// argument backwards and stops at the first it does not know, so for every split of the
// arguments into a front A and a back B (where A does not end in "-bpp", which would take
// B's first argument as its value):
//   - if scanning B alone prints the usage line, scanning A + B gives exactly that result;
//   - otherwise scanning A + B is scanning A, starting from what scanning B left.
// Besides: only the three option bits of the flags ever change, the depth is the default or
// the low 8 bits of an argument that follows a "-bpp", the one line ever printed is the
// usage line, and the arguments are left as they were.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzzing.h"
#include "driver/driver.h"

namespace {

constexpr char kProgram[] = "tolvane";
constexpr size_t kMostArguments = 64;

struct Scan {
  Uint8 depth;
  Uint32 flags;
  std::string printed;
  bool operator==(const Scan& o) const {
    return depth == o.depth && flags == o.flags && printed == o.printed;
  }
};

Scan Parse(const std::vector<std::string>& args, Uint8 depth, Uint32 flags) {
  std::vector<std::string> copy = args;
  copy.insert(copy.begin(), kProgram);
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The usage line goes to standard error: catch it in memory.
  static char output[256];
  std::memset(output, 0, sizeof output);
  FILE* saved = stderr;
  stderr = fmemopen(output, sizeof output - 1, "w");
  Check(stderr != nullptr);
  ParseCommandLine(static_cast<int>(copy.size()), argv.data(), depth, flags);
  std::fclose(stderr);
  stderr = saved;

  for (size_t i = 0; i < args.size(); i++) Check(copy[i + 1] == args[i]);
  return Scan{depth, flags, output};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; i++) {
    if (data[i] != '\0') {
      args.back() += static_cast<char>(data[i]);
    } else {
      if (args.size() == kMostArguments) break;
      args.emplace_back();
    }
  }
  if (size == 0) args.clear();

  const Scan whole = Parse(args, kDefaultDepth, kDefaultVideoFlags);
  const std::string usage =
      std::string("Usage: ") + kProgram + " [-bpp N] [-warp] [-sw] [-windowed]\n";
  Check(whole.printed.empty() || whole.printed == usage);
  Check((whole.flags & ~kDefaultVideoFlags & ~SDL_HWPALETTE) == 0);  // set: the palette only
  Check((kDefaultVideoFlags & ~whole.flags & ~(SDL_HWSURFACE | SDL_FULLSCREEN)) == 0);
  bool depthFromArgument = whole.depth == kDefaultDepth;
  for (size_t i = 1; i < args.size(); i++)
    if (args[i - 1] == "-bpp")
      depthFromArgument |= whole.depth == static_cast<Uint8>(strtol(args[i].c_str(), nullptr, 10));
  Check(depthFromArgument);

  for (size_t split = 0; split <= args.size(); split++) {
    const std::vector<std::string> front(args.begin(), args.begin() + split);
    const std::vector<std::string> back(args.begin() + split, args.end());
    if (!front.empty() && front.back() == "-bpp") continue;
    const Scan b = Parse(back, kDefaultDepth, kDefaultVideoFlags);
    if (!b.printed.empty()) {
      Check(whole == b);
    } else {
      Check(whole == Parse(front, b.depth, b.flags));
    }
  }
  return 0;
}
