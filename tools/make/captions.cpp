// captions.txt for a made show: one block per shown photo, as the show's caption reader takes
// it (a names line, a middle line the show does not use, description lines, an end line '#').
// A remake keeps each block of the old show with its photo, found by the record of sources.
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common.h"
#include "make.h"

// A caption file larger than this is no presenter's text: a remake refuses to take it apart.
constexpr long kMostCaptionBytes = 16L << 20;
// The show's reader takes a line in pieces of this many bytes, each a line of its own.
constexpr size_t kCaptionPiece = 1023;

// What became of the old show's captions, said once the show is in place.
static int blocksRemoved = 0;

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

// The template block of a photo: the names line left to the presenter, the middle line one
// the show does not use; a description line beginning with '#' would end the block.
static std::string TemplateBlock(const Photo& p) {
  char name[256], date[64], block[400];
  OneLine(p.name, name, sizeof name);
  DateLine(p, date, sizeof date);
  snprintf(block, sizeof block, "\n-\n%s\n%s%s\n#\n", date, name[0] == '#' ? " " : "", name);
  return block;
}

static bool Fail2(const char* path, const char* why) {
  fprintf(stderr, "tolvane-make: %s: %s\n", path, why);
  return false;
}

// A whole file, up to kMostCaptionBytes; a missing one is empty. False with a message.
static bool ReadCaptionText(const char* path, std::string& text) {
  text.clear();
  FILE* in = OpenPlain(path, "rb");
  if (!in) return errno == ENOENT || Fail2(path, errno == EINVAL ? kNotAFile : strerror(errno));
  struct stat s;
  if (fstat(fileno(in), &s) != 0 || !S_ISREG(s.st_mode) || s.st_size > kMostCaptionBytes) {
    fclose(in);
    return Fail2(path, "not a caption file of at most 16 MB: a remake does not take it apart");
  }
  char buffer[1 << 16];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, in)) > 0 &&
         text.size() <= static_cast<size_t>(kMostCaptionBytes))
    text.append(buffer, n);
  const bool ok = !ferror(in);
  fclose(in);
  return ok || Fail2(path, "cannot be read");
}

// The next line as the show's reader takes it: up to LF, or a piece of kCaptionPiece bytes
// (with the LF of a CR LF that the piece's end parted); its end in `end`.
static bool NextPiece(const std::string& text, size_t at, size_t& end) {
  if (at >= text.size()) return false;
  const size_t lf = text.find('\n', at);
  end = lf == std::string::npos ? text.size() : lf + 1;
  if (end - at > kCaptionPiece) {
    end = at + kCaptionPiece;
    if (text[end - 1] == '\r' && end < text.size() && text[end] == '\n') ++end;
  }
  return true;
}

// The blocks of a caption file, as their bytes, as the show's reader finds them; the bytes
// before the first (a byte-order mark) and after the last (a stray line) apart.
struct CaptionBlocks {
  std::string head, tail;
  std::vector<std::string> blocks;
};

static void SplitBlocks(const std::string& text, CaptionBlocks& file) {
  size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  file.head = text.substr(0, at);
  size_t names = 0, middle = 0, end = 0;
  while (NextPiece(text, at, names)) {
    if (!NextPiece(text, names, middle)) break;
    end = middle;
    size_t piece = 0;
    bool closed = false;
    while (!closed && NextPiece(text, end, piece)) {
      closed = text[end] == '#';
      end = piece;
    }
    std::string block = text.substr(at, end - at);
    // A block the end of the file closed gets its line end and end line, so that another
    // block may follow it.
    if (block.back() != '\n') block += '\n';
    if (!closed) block += "#\n";
    file.blocks.push_back(block);
    at = end;
  }
  file.tail = text.substr(at);
}

// The old show's photo that a new photo is: the same bytes, else the same file.
static int OldPhotoOf(const Photo& p, const ShowSources& old, std::vector<bool>& taken) {
  for (int k = 0; k < old.photos; ++k)
    if (!taken[k] && p.digest && old.photo[k].digest == p.digest) return taken[k] = true, k;
  char path[PATH_MAX];
  if (!realpath(p.path, path)) return -1;
  for (int k = 0; k < old.photos; ++k)
    if (!taken[k] && strcmp(old.photo[k].path, path) == 0) return taken[k] = true, k;
  return -1;
}

// The block of old photo `k` as it goes to the removed file: its middle line, which no
// program uses, says which photo it belonged to and when it was removed, so that the block
// reads as before when the file is given back with --captions.
static std::string RemovedBlock(const std::string& block, int k, const ShowSources& old) {
  size_t names = 0, middle = 0;
  if (!NextPiece(block, 0, names) || !NextPiece(block, names, middle)) return block;
  char source[256], day[64], info[600];
  OneLine(k < old.photos ? old.photo[k].path : "", source, sizeof source);
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  strftime(day, sizeof day, "%-d %B %Y", &local);
  if (k < old.photos)
    snprintf(info, sizeof info, "was %s, made from %s; removed %s", PhotoName(k + 1).path, source,
             day);
  else
    snprintf(info, sizeof info, "belonged to no photo; removed %s", day);
  // The line without its end, which stays as it was.
  size_t end = middle;
  while (end > names && (block[end - 1] == '\n' || block[end - 1] == '\r')) --end;
  const std::string line = block.substr(names, end - names);
  const bool unused = line.find_first_not_of(" \t-") == std::string::npos;
  const std::string marked = unused ? "- " + std::string(info) : line + " - " + info;
  // A line the reader would cut in two stays as it is.
  if (marked.size() + 2 > kCaptionPiece) return block;
  return block.substr(0, names) + marked + block.substr(end);
}

bool ComposeCaptions(std::string& captions, std::string& removed, bool& isTemplate) {
  const int total = photoCount < kMaxPhotos ? photoCount : kMaxPhotos;
  const ShowSources* old = OldSources();
  CaptionBlocks file;
  removed.clear();
  blocksRemoved = 0;
  if (old) {
    char path[kMakePath + 32];
    snprintf(path, sizeof path, "%s/%s", made.showDir, kCaptionFile);
    std::string text;
    if (!ReadCaptionText(path, text)) return false;
    // A template never touched holds nothing of the presenter's: it is written anew.
    if (!(old->isTemplate && Digest(text.data(), text.size()) == old->captions))
      SplitBlocks(text, file);
    snprintf(path, sizeof path, "%s/%s", made.showDir, kRemovedCaptionFile);
    if (!ReadCaptionText(path, removed)) return false;
  }
  captions = file.head;
  isTemplate = true;
  std::vector<bool> taken(kMaxPhotos, false);
  for (int i = 0; i < total; ++i) {
    if (photos[i].bad) continue;
    const int k = old ? OldPhotoOf(photos[i], *old, taken) : -1;
    const bool kept = k >= 0 && k < static_cast<int>(file.blocks.size());
    const std::string block = kept ? file.blocks[k] : TemplateBlock(photos[i]);
    captions += block;
    if (kept) isTemplate = false;
    // A template, or an old template never touched: the block's lines before its end line.
    const unsigned long long digest = Digest(block.data(), block.rfind('\n', block.size() - 2) + 1);
    photos[i].captionTemplate =
        !kept || (old->photo[k].captionTemplate && old->photo[k].caption == digest);
    photos[i].caption = digest;
  }
  captions += file.tail;
  for (size_t k = 0; k < file.blocks.size(); ++k)
    if (k >= taken.size() || !taken[k]) {
      if (!removed.empty() && removed.back() != '\n') removed += '\n';
      removed += RemovedBlock(file.blocks[k], static_cast<int>(k), *old);
      ++blocksRemoved;
    }
  return true;
}

void SayWhatBecameOfCaptions() {
  if (KeepsOldCaptions())
    fprintf(stderr,
            "tolvane-make: %s has no %s (made by hand or by an older tolvane-make): its %s is "
            "kept as it is; see that its blocks still follow the photos\n",
            made.showDir, kSourcesFile, kCaptionFile);
  if (blocksRemoved)
    fprintf(stderr,
            "tolvane-make: %d caption block%s of photos no longer in the show: kept in %s/%s\n",
            blocksRemoved, blocksRemoved == 1 ? "" : "s", made.showDir, kRemovedCaptionFile);
}
