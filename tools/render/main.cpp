// tolvane-render's main: the command line read, the show opened headless, the one job asked for
// run, and its exit status returned. What it does: PrintUsage and docs/man/tolvane-render.1.
#include "common.h"
#include "render.h"

int main(int argc, char** argv) {
  if (!ParseOptions(argc, argv)) return kExitUsage;
  if (settings.job == kHelp) {
    PrintUsage(stdout);
    return kExitDone;
  }
  if (settings.job == kVersion) {
    PrintVersion(kRenderer);
    return kExitDone;
  }
  // Before loading a whole show for nothing.
  char ffmpeg[kPathSize];
  if (settings.job == kVideo && !FindFfmpeg(ffmpeg, sizeof ffmpeg)) return ExportVideo();

  int status = OpenShow();
  if (status == kExitDone) {
    // The check lists every picture itself; the other jobs pass on what failed to load.
    if (settings.job != kCheck && !settings.verbose) fputs(loaderTrouble, stderr);
    switch (settings.job) {
      case kOneFrame:
        status = RenderOneFrame();
        break;
      case kSequence:
        status = RenderSequence();
        break;
      case kVideo:
        status = ExportVideo();
        break;
      case kCheck:
        status = CheckShow();
        break;
      case kTimeline:
        status = PrintTimeline();
        break;
      default:
        break;
    }
  }
  CloseShow();
  return status;
}
