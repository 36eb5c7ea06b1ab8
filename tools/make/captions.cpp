// The caption template: one block per shown photo, as the show's caption reader takes it (a
// names line, a middle line the show does not use, description lines, an end line '#').
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "make.h"

// A file name as one line of a caption: line ends and other control bytes would split it.
static void OneLine(const char* in, char* out, size_t size) {
  size_t n = 0;
  for (; in[n] && n + 1 < size; ++n)
    out[n] = static_cast<unsigned char>(in[n]) < 0x20 ? '?' : in[n];
  out[n] = '\0';
}

// "1 May 2023, 12:34": the date taken, or the day of the file when the photo has none.
static void DateLine(const Photo& p, char* out, size_t size) {
  time_t when = 0;
  const bool exif = ExifDate(p.path, when);
  struct stat s;
  if (!exif) when = stat(p.path, &s) == 0 ? s.st_mtime : 0;
  tm local{};
  localtime_r(&when, &local);
  strftime(out, size, exif ? "%-d %B %Y, %H:%M" : "File of %-d %B %Y", &local);
}

bool WriteCaptionTemplate(const char* path) {
  FILE* out = fopen(path, "w");
  if (!out) {
    fprintf(stderr, "tolvane-make: cannot write %s: %s\n", path, strerror(errno));
    return false;
  }
  const int total = photoCount < kMaxPhotos ? photoCount : kMaxPhotos;
  for (int i = 0; i < total; ++i) {
    if (photos[i].bad) continue;
    char name[256], date[64];
    OneLine(photos[i].name, name, sizeof name);
    DateLine(photos[i], date, sizeof date);
    // The names line is left to the presenter, the middle line is one the show does not
    // use; a description line beginning with '#' would end the block.
    fprintf(out, "\n-\n%s\n%s%s\n#\n", date, name[0] == '#' ? " " : "", name);
  }
  const bool ok = !ferror(out);
  if (fclose(out) != 0 || !ok) {
    fprintf(stderr, "tolvane-make: cannot write %s: %s\n", path, strerror(errno));
    return false;
  }
  return true;
}
