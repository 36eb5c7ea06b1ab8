// The record tolvane-make leaves in a show folder: which file each photo was made from, so
// that a remake keeps each caption with its photo and the check can tell what was enlarged.
// One line per photo, "fotoNN.jpg DIGEST WxH PATH", PATH with \\ and \n escaped, after a
// first line that names the record; "captions.txt DIGEST template" when the caption file
// was written as the template, "fotoNN.jpg DIGEST template" for each photo whose caption block
// was (DIGEST its CaptionDigest).
#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "render.h"

static constexpr char kSourcesHeading[] =
    "tolvane-make: the file each photo of this show was made from";
// Bounds on what a record may hold, against a damaged or foreign file: the lines a record
// of kMaxPhotos photos has, with room to spare.
static constexpr int kMostSourceLines = 4 * kMaxPhotos;

// FNV-1a, 64 bits: tells files apart, guards against nothing deliberate.
unsigned long long Digest(const void* data, size_t size, unsigned long long hash) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ULL;
  return hash;
}

unsigned long long CaptionDigest(char* const record[3]) {
  unsigned long long hash = kDigestStart;
  for (int field = 0; field < 3; ++field)
    if (record[field]) hash = Digest(record[field], strlen(record[field]), hash);
  return hash;
}

bool FileDigest(const char* path, unsigned long long& digest) {
  FILE* file = fopen(path, "rb");
  if (!file) return false;
  unsigned long long hash = kDigestStart;
  static thread_local unsigned char buffer[1 << 16];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) hash = Digest(buffer, n, hash);
  const bool ok = !ferror(file);
  fclose(file);
  digest = hash;
  return ok;
}

static void WriteEscaped(FILE* out, const char* text) {
  for (const char* c = text; *c; ++c) {
    if (*c == '\\')
      fputs("\\\\", out);
    else if (*c == '\n')
      fputs("\\n", out);
    else
      fputc(*c, out);
  }
}

bool WriteSources(const char* path, const ShowSources& sources) {
  FILE* out = fopen(path, "w");
  if (!out) return false;
  fprintf(out, "%s\n", kSourcesHeading);
  for (int i = 0; i < sources.photos; ++i) {
    const PhotoSource& p = sources.photo[i];
    fprintf(out, "%s %016llx %dx%d ", PhotoName(i + 1).file, p.digest, p.width, p.height);
    WriteEscaped(out, p.path);
    fputc('\n', out);
  }
  for (int i = 0; i < sources.photos; ++i)
    if (sources.photo[i].captionTemplate)
      fprintf(out, "%s %016llx template\n", PhotoName(i + 1).file, sources.photo[i].caption);
  if (sources.isTemplate) fprintf(out, "%s %016llx template\n", kCaptionFile, sources.captions);
  const bool ok = !ferror(out);
  return fclose(out) == 0 && ok;
}

// A photo's line: its number, digest, size and path, unescaped.
static bool ReadPhotoLine(const char* line, ShowSources& sources) {
  if (sources.photos == kMaxPhotos) return false;
  // The photos in order, from the first.
  const PhotoFileName name = PhotoName(sources.photos + 1);
  const size_t length = strlen(name.file);
  if (strncmp(line, name.file, length) != 0) return false;
  line += length;
  int width = 0, height = 0, at = 0;
  unsigned long long digest = 0;
  if (sscanf(line, " %16llx %dx%d %n", &digest, &width, &height, &at) != 3 || at == 0) return false;
  PhotoSource& p = sources.photo[sources.photos++];
  p = PhotoSource{};
  p.digest = digest;
  p.width = width;
  p.height = height;
  size_t n = 0;
  for (const char* c = line + at; *c && *c != '\n' && n + 1 < sizeof p.path; ++c) {
    if (*c == '\\' && (c[1] == '\\' || c[1] == 'n'))
      p.path[n++] = *++c == 'n' ? '\n' : '\\';
    else
      p.path[n++] = *c;
  }
  p.path[n] = '\0';
  return true;
}

bool ReadSources(const char* path, ShowSources& sources) {
  sources.photos = 0;
  sources.isTemplate = false;
  FILE* in = fopen(path, "r");
  if (!in) return false;
  static char line[2 * kPathSize + 64];
  bool ours =
      fgets(line, sizeof line, in) && strncmp(line, kSourcesHeading, strlen(kSourcesHeading)) == 0;
  for (int n = 0; ours && n < kMostSourceLines && fgets(line, sizeof line, in); ++n) {
    char name[32], word[16];
    unsigned long long digest = 0;
    int at = 0;
    const bool isTemplate = sscanf(line, "%31s %16llx %15s %n", name, &digest, word, &at) == 3 &&
                            strcmp(word, "template") == 0 && line[at] == '\0';
    const int photo = isTemplate ? PhotoNumber(name, sources.photos) : 0;
    if (isTemplate && strcmp(name, kCaptionFile) == 0) {
      sources.isTemplate = true;
      sources.captions = digest;
    } else if (photo > 0) {
      sources.photo[photo - 1].captionTemplate = true;
      sources.photo[photo - 1].caption = digest;
    } else {
      ours = ReadPhotoLine(line, sources);
    }
  }
  fclose(in);
  return ours;
}

bool LooksBlurred(int width, int height) {
  return width > 0 && height > 0 && 2 * width < kPhotoWidth && 2 * height < kPhotoHeight;
}
