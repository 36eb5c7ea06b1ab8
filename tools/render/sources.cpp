// The record tolvane-make leaves in a show folder: which file each photo was made from, so
// that a remake keeps each caption with its photo and the check can tell what was enlarged.
// One line per photo, "fotoNN.jpg DIGEST WxH PATH", PATH with \\ and \n escaped, after a
// first line that names the record; "captions.txt DIGEST template" when the caption file
// was written as the template; "fotoNN.jpg DIGEST template" for each photo whose caption block
// was (DIGEST its CaptionDigest); "made DIGEST NAME" for each file the make wrote; then
// "choices 1" and a line "choice NAME VALUE" (VALUE escaped) for each choice of the make.
#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "common.h"
#include "render.h"

static constexpr char kSourcesHeading[] =
    "tolvane-make: the file each photo of this show was made from";
// Bounds on what a record may hold, against a damaged or foreign file: the lines a record
// of kMaxPhotos photos has, with room to spare.
static constexpr int kMostSourceLines = 2 * kMaxPhotos + kMostMadeFiles + kMostRecordedChoices + 8;
// The version of the choices' lines this program writes and reads.
static constexpr int kChoicesVersion = 1;

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
  FILE* file = OpenPlain(path, "rb");
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

// Undoes WriteEscaped up to the end of the line, cut to `size`.
static void Unescape(const char* in, char* out, size_t size) {
  size_t n = 0;
  for (const char* c = in; *c && *c != '\n' && n + 1 < size; ++c) {
    if (*c == '\\' && (c[1] == '\\' || c[1] == 'n'))
      out[n++] = *++c == 'n' ? '\n' : '\\';
    else
      out[n++] = *c;
  }
  out[n] = '\0';
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
  FILE* out = OpenPlain(path, "w");
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
  for (int i = 0; i < sources.made; ++i)
    fprintf(out, "made %016llx %s\n", sources.madeFile[i].digest, sources.madeFile[i].path);
  fprintf(out, "choices %d\n", kChoicesVersion);
  for (int i = 0; i < sources.choices; ++i) {
    fprintf(out, "choice %s ", sources.choice[i].name);
    WriteEscaped(out, sources.choice[i].value);
    fputc('\n', out);
  }
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
  Unescape(line + at, p.path, sizeof p.path);
  return true;
}

// A made file's line: "made DIGEST NAME".
static bool ReadMadeLine(const char* line, ShowSources& sources) {
  if (sources.made == kMostMadeFiles) return false;
  MadeFile& m = sources.madeFile[sources.made];
  int at = 0;
  if (sscanf(line, "made %16llx %63s%n", &m.digest, m.path, &at) != 2 ||
      (line[at] != '\n' && line[at] != '\0'))
    return false;
  sources.listsMade = true;
  ++sources.made;
  return true;
}

// A choice's line, "choice NAME VALUE", after the line "choices VERSION"; a fault goes to
// choiceTrouble, and the record stays good.
static void ReadChoiceLine(const char* line, int number, bool heading, ShowSources& sources) {
  auto trouble = [&](const char* why) {
    if (!sources.choiceTrouble[0])
      snprintf(sources.choiceTrouble, sizeof sources.choiceTrouble, "line %d: %s", number, why);
  };
  int version = 0, at = 0;
  if (sscanf(line, "choices %d%n", &version, &at) == 1) {
    if (version != kChoicesVersion || line[at] != '\n') trouble("from another version");
    return;
  }
  const size_t length = strlen(line);
  if (!heading) return trouble("a choice before the line that heads them");
  if (length == 0 || line[length - 1] != '\n') return trouble("too long, or cut off");
  if (sources.choices == kMostRecordedChoices) return trouble("too many choices");
  RecordedChoice& c = sources.choice[sources.choices];
  if (sscanf(line, "choice %31[^ \n]%n", c.name, &at) != 1 || line[at] != ' ')
    return trouble("not a choice");
  Unescape(line + at + 1, c.value, sizeof c.value);
  ++sources.choices;
}

bool ReadSources(const char* path, ShowSources& sources) {
  sources.photos = sources.made = sources.choices = 0;
  sources.isTemplate = sources.listsMade = false;
  sources.choiceTrouble[0] = '\0';
  FILE* in = OpenPlain(path, "r");
  if (!in) return false;
  static char line[2 * kPathSize + 128];
  bool ours =
      fgets(line, sizeof line, in) && strncmp(line, kSourcesHeading, strlen(kSourcesHeading)) == 0;
  bool heading = false;
  for (int n = 0; ours && n < kMostSourceLines && fgets(line, sizeof line, in); ++n) {
    // The rest of a line too long for the buffer is passed over; the line stays cut.
    const size_t length = strlen(line);
    if (length > 0 && line[length - 1] != '\n')
      for (int c = getc(in); c != EOF && c != '\n';) c = getc(in);
    char name[32], word[16];
    unsigned long long digest = 0;
    int at = 0;
    const bool isTemplate = sscanf(line, "%31s %16llx %15s %n", name, &digest, word, &at) == 3 &&
                            strcmp(word, "template") == 0 && line[at] == '\0';
    const int photo = isTemplate ? PhotoNumber(name, sources.photos) : 0;
    if (strncmp(line, "choice", 6) == 0) {
      heading = heading || strncmp(line, "choices ", 8) == 0;
      ReadChoiceLine(line, n + 2, heading, sources);
    } else if (strncmp(line, "made ", 5) == 0) {
      ours = ReadMadeLine(line, sources);
    } else if (isTemplate && strcmp(name, kCaptionFile) == 0) {
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
  if (sources.choiceTrouble[0]) sources.choices = 0;
  return ours;
}

const MadeFile* FindMade(const ShowSources& sources, const char* path) {
  for (int i = 0; i < sources.made; ++i)
    if (strcmp(sources.madeFile[i].path, path) == 0) return &sources.madeFile[i];
  return nullptr;
}

bool LooksBlurred(int width, int height) {
  return width > 0 && height > 0 && 2 * width < kPhotoWidth && 2 * height < kPhotoHeight;
}
