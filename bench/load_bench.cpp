// Loading behind the loading screen: the photos as the loader takes them in, beside libjpeg
// decoding the same files on its own, and the whole of LoadGFX against the screen's 5 s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include <string>

#include "assets/assets.h"
#include "bench.h"
#include "driver/show.h"

namespace {

constexpr double kLoadingScreenNs = 5e9;
constexpr int kRounds = 15;  // of loading and decoding in turn

// Decodes one file with libjpeg into a new 24-bit picture, with the settings the image
// library gives libjpeg and the picture it makes (a zeroed SDL surface). Null on failure.
SDL_Surface* DecodeJpeg(const char* path) {
  FILE* file = fopen(path, "rb");
  if (!file) return nullptr;
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  info.quantize_colors = FALSE;
  jpeg_start_decompress(&info);
  SDL_Surface* picture = SDL_CreateRGBSurface(SDL_SWSURFACE, info.output_width, info.output_height,
                                              24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = static_cast<Uint8*>(picture->pixels) + picture->pitch * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  fclose(file);
  return picture;
}

// The working directory is a show folder with `photos` photos. Like the loader, this holds
// every picture until all are decoded: each takes memory that no picture had before.
void DecodeAll(int photos) {
  SDL_Surface* decoded[kMaxPhotos];
  for (int k = 1; k <= photos; k++) decoded[k - 1] = DecodeJpeg(PhotoName(k).path);
  for (int k = 1; k <= photos; k++) SDL_FreeSurface(decoded[k - 1]);
}

void ReleasePhotos() {
  for (SDL_Surface*& photo : foto) {
    if (photo) SDL_FreeSurface(photo);
    photo = nullptr;
  }
}

// What LoadGFX does for the photos, after releasing the photos held (as the decoding beside
// it releases each picture).
void LoadAllPhotos() {
  ReleasePhotos();
  LoadPhotos();
}

void LoadPhotoSeries(benchmark::State& state, int photos, int depth) {
  OpenBenchShow(ShowFolder(photos), depth);
  Quiet();
  for (auto _ : state) LoadAllPhotos();
  const Yardstick y = Interleaved(
      LoadAllPhotos, [photos] { DecodeAll(photos); }, kRounds, 1);
  Loud();
  state.counters["load_ms"] = y.passNs / 1e6;
  state.counters["decode_ms"] = y.yardstickNs / 1e6;
  state.counters["x_decode"] = y.passNs / y.yardstickNs;
}

void JpegDecode(benchmark::State& state, int photos) {
  OpenBenchShow(ShowFolder(photos), 16);
  for (auto _ : state) DecodeAll(photos);
}

void WholeLoadGFX(benchmark::State& state, int photos, int depth) {
  OpenBenchShow(ShowFolder(photos), depth);
  Quiet();
  double ns = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ReleaseGFX();
    state.ResumeTiming();
    const double start = ThreadNs();
    LoadGFX([] { Render(0); });
    ns += ThreadNs() - start;
  }
  Loud();
  state.counters["of_loading_screen"] =
      ns / static_cast<double>(state.iterations()) / kLoadingScreenNs;
}

}  // namespace

void RegisterLoadBenchmarks() {
  for (int photos : {19, 50}) {
    const std::string n = "/" + std::to_string(photos) + "photos";
    benchmark::RegisterBenchmark(("JpegDecode" + n).c_str(), JpegDecode, photos)
        ->Unit(benchmark::kMillisecond);
    for (int depth : {16, 32}) {
      const std::string bpp = "/" + std::to_string(depth) + "bpp";
      benchmark::RegisterBenchmark(("LoadPhotos" + n + bpp).c_str(), LoadPhotoSeries, photos, depth)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark(("LoadGFX" + n + bpp).c_str(), WholeLoadGFX, photos, depth)
          ->Unit(benchmark::kMillisecond);
    }
  }
}
