// The benchmarks run headless on SDL's dummy drivers, with the font engine started as the
// program starts it.
#include <SDL.h>
#include <SDL_ttf.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "assets/assets.h"
#include "bench.h"
#include "text/text.h"

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (SDL_Init(SDL_INIT_VIDEO) < 0 || TTF_Init() < 0) {
    fprintf(stderr, "Couldn't start SDL: %s\n", SDL_GetError());
    return 1;
  }
  RegisterRenderBenchmarks();
  RegisterLoadBenchmarks();
  RegisterPhotoBenchmarks();
  RegisterMemoryBenchmarks();
  RegisterMakeBenchmarks();
  RegisterScaleBenchmarks();
  RegisterLiveBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ReleaseTextPictures();
  ResetAssets();
  RemoveShowFolders();
  TTF_Quit();
  SDL_Quit();
  return 0;
}
