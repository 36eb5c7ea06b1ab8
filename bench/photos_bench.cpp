// Photos as people bring them: 50 phone photos of 4032 x 3024, loaded as the show loads them,
// beside libjpeg-turbo's own djpeg cutting the same visible part out of the same files; and
// 50 files of a few hundred bytes that declare 16000 x 16000 pixels each.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "assets/assets.h"
#include "bench.h"
#include "driver/show.h"
#include "common.h"

namespace {

constexpr int kPhotos = 50;
constexpr int kRounds = 5;  // of loading and of djpeg in turn

// What a phone writes: soft light and shapes, and sensor noise that keeps the file large.
Uint8 Scene(int x, int y, int c, Uint32& noise) {
  noise = noise * 1664525u + 1013904223u;
  const double light = 0.5 + 0.4 * std::sin(x / (310.0 + 40 * c)) * std::cos(y / 270.0);
  const double shape = ((x / 97 + y / 61) % 3) * 18.0;
  return static_cast<Uint8>(std::clamp(light * 200 + shape + (noise >> 27) * 3 / 4, 0.0, 255.0));
}

void WriteJpeg(const std::string& path, int width, int height, bool progressive) {
  JpegCoding coding;
  coding.quality = 92;
  coding.progressive = progressive;
  Uint32 noise = 1;
  WriteJpeg(path.c_str(), width, height, coding, [&](int y, unsigned char* row) {
    for (int x = 0; x < 3 * width; x++) row[x] = Scene(x / 3, y, x % 3, noise);
  });
}

// A 16 x 16 photo whose frame header says 16000 x 16000: the data ends long before.
void WriteBomb(const std::string& path) {
  WriteJpeg(path, 16, 16, false);
  FILE* file = fopen(path.c_str(), "r+b");
  std::vector<unsigned char> bytes(1 << 16);
  bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
  for (size_t at = 2; at + 9 < bytes.size(); at++)
    if (bytes[at] == 0xFF && bytes[at + 1] == 0xC0) {
      const unsigned char size[4] = {0x3E, 0x80, 0x3E, 0x80};
      fseek(file, static_cast<long>(at + 5), SEEK_SET);
      fwrite(size, 1, 4, file);
      break;
    }
  fclose(file);
}

std::string PhoneFolder(bool progressive) {
  return PhotoFolder(
      progressive ? "phone-progressive" : "phone", kPhotos,
      [progressive](const std::string& photo) { WriteJpeg(photo, 4032, 3024, progressive); });
}

// CPU time of the children that have ended, in nanoseconds.
double ChildrenNs() {
  rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  auto ns = [](const timeval& t) { return t.tv_sec * 1e9 + t.tv_usec * 1e3; };
  return ns(usage.ru_utime) + ns(usage.ru_stime);
}

// djpeg writing the part of every photo that the show can show, to nowhere.
void DjpegAll() {
  const std::string crop =
      std::to_string(kPhotoSeenWidth) + "x" + std::to_string(kPhotoSeenHeight) + "+0+0";
  for (int k = 1; k <= kPhotos; k++) {
    const PhotoFileName name = PhotoName(k);
    const pid_t child = fork();
    if (child == 0) {
      execl(TOLVANE_DJPEG, "djpeg", "-crop", crop.c_str(), "-outfile", "/dev/null", name.path,
            static_cast<char*>(nullptr));
      _exit(127);
    }
    waitpid(child, nullptr, 0);
  }
}

void LoadAllPhotos() {
  for (SDL_Surface*& photo : foto) {
    if (photo) SDL_FreeSurface(photo);
    photo = nullptr;
  }
  LoadPhotos();
}

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

void PhonePhotos(benchmark::State& state, bool progressive, int depth) {
  const std::string folder = PhoneFolder(progressive);
  OpenBenchShow(folder, depth);
  Quiet();
  for (auto _ : state) LoadAllPhotos();
  std::vector<double> loads, djpegs;
  for (int round = 0; round < kRounds; round++) {
    const double start = ThreadNs();
    LoadAllPhotos();
    loads.push_back(ThreadNs() - start);
    const double children = ChildrenNs();
    DjpegAll();
    djpegs.push_back(ChildrenNs() - children);
  }
  Loud();
  const double load = Median(loads), djpeg = Median(djpegs);
  state.counters["photos"] = PhotoSlots();
  state.counters["photo_MB"] = std::filesystem::file_size(folder + "/gfx/foto01.jpg") / 1e6;
  state.counters["load_s"] = load / 1e9;
  state.counters["djpeg_crop_s"] = djpeg / 1e9;
  state.counters["x_djpeg_crop"] = load / djpeg;
}

void BombFiles(benchmark::State& state, int depth) {
  OpenBenchShow(BombShowFolder(), depth);
  Quiet();
  double ns = 0;
  for (auto _ : state) {
    const double start = ThreadNs();
    LoadAllPhotos();
    ns += ThreadNs() - start;
  }
  Loud();
  state.counters["photos"] = PhotoSlots();
  state.counters["load_s"] = ns / static_cast<double>(state.iterations()) / 1e9;
}

}  // namespace

std::string PhoneShowFolder() {
  return PhoneFolder(false);
}

std::string BombShowFolder() {
  return PhotoFolder("bombs", kPhotos, WriteBomb);
}

void RegisterPhotoBenchmarks() {
  for (int depth : {16, 32}) {
    const std::string bpp = "/" + std::to_string(depth) + "bpp";
    benchmark::RegisterBenchmark(("PhonePhotos/50" + bpp).c_str(), PhonePhotos, false, depth)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark(("PhonePhotos/50progressive" + bpp).c_str(), PhonePhotos, true,
                                 depth)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
    benchmark::RegisterBenchmark(("BombFiles/50" + bpp).c_str(), BombFiles, depth)
        ->Unit(benchmark::kMillisecond);
  }
}
