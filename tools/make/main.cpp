// tolvane-make: see PrintMakeUsage and docs/man/tolvane-make.1.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <initializer_list>

#include "common.h"
#include "designs.h"
#include "make.h"
#include "render.h"

// The presenter's own files, each read as the folder will use it, and the words to be
// lettered, before anything is made.
static int CheckOwnFiles() {
  char why[256];
  const WordsFitting words =
      WordsFit(made.title, made.subtitle, made.endText, TOLVANE_FONT_DIR, why, sizeof why);
  if (words != kWordsFit) {
    fprintf(stderr, "tolvane-make: %s: %s; nothing was made\n",
            words == kTitleUnfit ? "--title" : "--end-text", why);
    return kMakeBadFile;
  }
  for (const char* picture : {made.background, made.logo, made.end})
    if (picture && !CanOpenPicture(picture, why, sizeof why)) {
      fprintf(stderr, "tolvane-make: %s: %s\n", picture, why);
      return kMakeBadFile;
    }
  if (made.music && !CheckMusic(made.music, why, sizeof why)) {
    fprintf(stderr, "tolvane-make: %s: %s\n", made.music, why);
    return kMakeBadFile;
  }
  if (made.captions) {
    const char* trouble = WhyUnreadable(made.captions);
    if (trouble) {
      fprintf(stderr, "tolvane-make: %s: %s\n", made.captions, trouble);
      return kMakeBadFile;
    }
  }
  return kMadeOk;
}

// The named files, the ones that failed reported; with --skip-bad only warned of.
static int ReportBadPhotos() {
  int bad = 0;
  const int total = photoCount < kMaxPhotos ? photoCount : kMaxPhotos;
  for (int i = 0; i < total; ++i) {
    if (!photos[i].bad) continue;
    ++bad;
    fprintf(stderr, "tolvane-make: %s%s: %s\n", made.skipBad ? "left out " : "", photos[i].path,
            photos[i].why);
  }
  if (bad == 0 || made.skipBad) return kMadeOk;
  fprintf(stderr,
          "tolvane-make: %d photo%s cannot be read; nothing was made (--skip-bad leaves "
          "them out)\n",
          bad, bad == 1 ? "" : "s");
  return kMakeBadFile;
}

// Everything up to the folder that would be made; an exit status.
static int CheckRequest() {
  if (!GatherPhotos()) return kMakeBadFile;
  if (photoCount == 0) {
    fprintf(stderr, "tolvane-make: no photos in the folders named\n");
    return kMakeUsage;
  }
  if (photoCount > kMaxPhotos) {
    fprintf(stderr, "tolvane-make: %d photos named: a show takes at most %d\n", photoCount,
            kMaxPhotos);
    return kMakeUsage;
  }
  if (const int status = MayMakeShowDir()) return status;
  if (const int status = CheckOwnFiles()) return status;
  return TakeRecordedChoices();
}

// What the presenter should know of the photos that were read: libvips's warnings, and
// photos so small that they are enlarged into a blur.
static void WarnOfPhotos() {
  const int total = photoCount < kMaxPhotos ? photoCount : kMaxPhotos;
  for (int i = 0; i < total; ++i) {
    const Photo& p = photos[i];
    if (p.bad) continue;
    if (p.warning[0]) fprintf(stderr, "tolvane-make: %s: warning: %s\n", p.path, p.warning);
    if (LooksBlurred(p.width, p.height))
      fprintf(stderr,
              "tolvane-make: %s: warning: it is only %dx%d, less than half the %dx%d photo area "
              "both ways: enlarged to fit, it will look blurred\n",
              p.path, p.width, p.height, kPhotoWidth, kPhotoHeight);
  }
}

// Fills the work folder; an exit status.
static int FillFolder(const char* dir, int& shown) {
  shown = PrepareAllPhotos(dir);
  if (shown < 0) return kMakeWrite;
  if (const int status = ReportBadPhotos()) return status;
  if (shown == 0) {
    fprintf(stderr, "tolvane-make: no photo can be read; nothing was made\n");
    return kMakeBadFile;
  }
  WarnOfPhotos();
  return WriteShowFiles(dir);
}

// A folder name as the shell takes it.
static void ShellWord(const char* word, char* out, size_t size) {
  if (strspn(word, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./+") ==
      strlen(word)) {
    snprintf(out, size, "%s", word);
    return;
  }
  size_t n = 0;
  out[n++] = '\'';
  for (const char* c = word; *c && n + 6 < size; ++c) {
    if (*c == '\'') {
      memcpy(out + n, "'\\''", 4);
      n += 4;
    } else {
      out[n++] = *c;
    }
  }
  out[n++] = '\'';
  out[n] = '\0';
}

// The check of tolvane-render --check on the new folder, the show's length and how to play
// it; an exit status.
static int CheckMadeShow(int shown) {
  char folder[kMakePath];
  if (!realpath(made.showDir, folder)) snprintf(folder, sizeof folder, "%s", made.showDir);
  int last = 0;
  const int status = CheckShowFolder(folder, last);
  char length[32], word[2 * kMakePath];
  FormatTime(last, length, sizeof length);
  ShellWord(made.showDir, word, sizeof word);
  printf("Made %s: %d photo%s, a show of %s after its loading screen.\n", made.showDir, shown,
         shown == 1 ? "" : "s", length);
  if (templateCaptions > 0)
    printf("%d caption%s still the template: write %s in %s/%s.\n", templateCaptions,
           templateCaptions == 1 ? " is" : "s are", templateCaptions == 1 ? "it" : "them",
           made.showDir, kCaptionFile);
  printf("Play it: cd %s && tolvane -fit\n", word);
  return status == kExitDone ? kMadeOk : kMadeWithProblems;
}

static int Make() {
  ListMadeNames();
  // What a run killed outright left, brought back before the folder is looked at.
  RecoverStaleWork();
  if (const int status = CheckRequest()) return status;
  if (made.order == kOrderDate) SortByDate();
  char dir[kMakePath];
  if (!MakeWorkFolder(dir, sizeof dir)) {
    ForgetWorkFolder();
    return kMakeWrite;
  }
  int shown = 0;
  int status = FillFolder(dir, shown);
  if (status != kMadeOk) {
    RemoveTree(dir);
    ForgetWorkFolder();
    return status;
  }
  bool interrupted = false;
  status = InstallFolder(dir, shown, interrupted);
  if (status != kMadeOk) return status;
  SayWhatBecameOfCaptions();
  if (interrupted) {
    printf("Made %s: %d photo%s; stopped before its check.\n", made.showDir, shown,
           shown == 1 ? "" : "s");
    return kMadeOk;
  }
  return CheckMadeShow(shown);
}

int main(int argc, char** argv) {
  if (!ParseMakeOptions(argc, argv)) return kMakeUsage;
  if (made.help) {
    PrintMakeUsage(stdout);
    return kMadeOk;
  }
  if (made.version) {
    PrintVersion(kMakeProgram);
    return kMadeOk;
  }
  if (!StartVips(argv[0])) return kMakeWrite;
  const int status = Make();
  StopVips();
  return status;
}
