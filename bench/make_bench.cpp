// tolvane-make on 50 phone-sized photos (4032x3024 JPEG, made here), beside Debian's
// vipsthumbnail making 394x290 and 1773x1305 thumbnails of the same files (the photos and
// their large sources) and beside the photos alone,
// all in the same run; and its peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vips/vips.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"
#include "make.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPhotos = 50;
constexpr int kPhoneWidth = 4032, kPhoneHeight = 3024;
constexpr double kMiB = 1024.0 * 1024.0;

fs::path Work() {
  static const fs::path dir =
      fs::temp_directory_path() / ("tolvane-make-bench-" + std::to_string(getpid()));
  return dir;
}

// A demo photo enlarged to a phone's size, with grain so that it holds a photo's detail.
bool PhonePhoto(int k, const fs::path& out) {
  const std::string demo =
      TOLVANE_DEMO_DIR + std::string("/") + PhotoName(k % kDemoPhotos + 1).path;
  VipsImage* in = vips_image_new_from_file(demo.c_str(), nullptr);
  VipsImage *big = nullptr, *noise = nullptr, *grainy = nullptr;
  bool ok = in &&
            !vips_resize(in, &big, double(kPhoneWidth) / in->Xsize, "vscale",
                         double(kPhoneHeight) / in->Ysize, nullptr) &&
            !vips_gaussnoise(&noise, big->Xsize, big->Ysize, "sigma", 12.0, "mean", 0.0, nullptr) &&
            !vips_add(big, noise, &grainy, nullptr);
  VipsImage* photo = nullptr;
  ok = ok && !vips_cast(grainy, &photo, VIPS_FORMAT_UCHAR, nullptr) &&
       !vips_jpegsave(photo, out.c_str(), "Q", 90, nullptr);
  for (VipsImage* image : {in, big, noise, grainy, photo})
    if (image) g_object_unref(image);
  return ok;
}

// The 50 photos, made once.
fs::path Photos() {
  const fs::path dir = Work() / "photos";
  if (fs::exists(dir / "IMG_50.jpg")) return dir;
  fs::create_directories(dir);
  for (int k = 1; k <= kPhotos; ++k)
    if (!PhonePhoto(k, dir / ("IMG_" + std::to_string(k) + ".jpg"))) return {};
  return dir;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// What tolvane-make does for the photos alone, in this process.
double PhotosAlone(const fs::path& photos, const fs::path& out) {
  fs::remove_all(out);
  fs::create_directories(out / kLargeDir);
  char arg0[] = "bench", o[] = "-o", dir[] = "unused";
  std::string folder = photos.string();
  char* argv[] = {arg0, o, dir, folder.data(), nullptr};
  ParseMakeOptions(4, argv);
  GatherPhotos();
  const auto started = std::chrono::steady_clock::now();
  const int shown = PrepareAllPhotos(out.c_str());
  const double seconds = Seconds(started);
  return shown == kPhotos ? seconds : -1;
}

void MakeShow(benchmark::State& state) {
  if (VIPS_INIT("tolvane_bench")) {
    state.SkipWithError("libvips does not start");
    return;
  }
  const fs::path photos = Photos();
  if (photos.empty()) {
    state.SkipWithError("the photos could not be made");
    return;
  }
  std::vector<std::string> files;
  for (int k = 1; k <= kPhotos; ++k)
    files.push_back((photos / ("IMG_" + std::to_string(k) + ".jpg")).string());
  StartVips("tolvane_bench");
  const fs::path show = Work() / "show", thumbs = Work() / "thumbs";
  std::vector<double> make, vipsthumbnail, alone;
  long makePeakKb = 0, thumbnailPeakKb = 0;
  for (auto _ : state) {
    fs::remove_all(show);
    const ChildRun made = RunChild({TOLVANE_MAKE, "-o", show.string(), photos.string()});
    make.push_back(made.wallSeconds);
    makePeakKb = std::max(makePeakKb, made.peakKb);
    if (!made.ok) return state.SkipWithError("tolvane-make failed");
    // The same two sizes as tolvane-make: the photo area, and its large source's.
    double thumbnailSeconds = 0;
    for (const char* size : {"394x290", "1773x1305"}) {
      fs::remove_all(thumbs);
      fs::create_directories(thumbs);
      std::vector<std::string> command = {TOLVANE_VIPSTHUMBNAIL, "-s", size, "-o",
                                          (thumbs / "%s.jpg[Q=92,strip]").string()};
      command.insert(command.end(), files.begin(), files.end());
      const ChildRun thumbnailed = RunChild(command);
      thumbnailSeconds += thumbnailed.wallSeconds;
      thumbnailPeakKb = std::max(thumbnailPeakKb, thumbnailed.peakKb);
      if (!thumbnailed.ok) return state.SkipWithError("vipsthumbnail failed");
    }
    vipsthumbnail.push_back(thumbnailSeconds);
    alone.push_back(PhotosAlone(photos, Work() / "alone"));
    if (alone.back() < 0) return state.SkipWithError("the photos alone failed");
    state.SetIterationTime(make.back());
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  state.counters["make_s"] = median(make);
  state.counters["vipsthumbnail_s"] = median(vipsthumbnail);
  state.counters["photos_alone_s"] = median(alone);
  state.counters["x_vipsthumbnail"] = median(make) / median(vipsthumbnail);
  state.counters["x_photos_alone"] = median(make) / median(alone);
  state.counters["peak_MiB"] = makePeakKb * 1024.0 / kMiB;
  state.counters["vipsthumbnail_peak_MiB"] = thumbnailPeakKb * 1024.0 / kMiB;
  fs::remove_all(Work());
}

}  // namespace

void RegisterMakeBenchmarks() {
  // Wall time: tolvane-make uses every core, and so may vipsthumbnail.
  benchmark::RegisterBenchmark("MakeShow/50photos", MakeShow)
      ->UseManualTime()
      ->Iterations(3)
      ->Unit(benchmark::kSecond);
}
