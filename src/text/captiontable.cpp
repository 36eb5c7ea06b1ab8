// The caption table: the built-in captions, and the caption file's reader (UTF-8 or Latin-1,
// bounded in its lines and blocks).
#include "text/text.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Built-in records point into the read-only block `kecy`; nothing writes through the table.
char* texty[kCaptionSlots][3];
int texts = 0;
TextEncoding captionEncoding = kLatin1;
int captionBlocks = 0;

// The caption file is read with fgets into this many bytes: longer lines arrive in pieces,
// and every piece counts as a line.
constexpr int kLineBufferSize = 1024;
// A longer description is cut to its first this many bytes, even inside a line.
constexpr int kMaxDescription = kLineBufferSize - 1;

// Whether the first `texts` records are heap copies that LoadTXT made.
static bool fileRecords = false;

// A heap copy exactly one byte longer than its text, or null.
static char* Copy(const char* text, size_t length) {
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy) {
    std::memcpy(copy, text, length);
    copy[length] = '\0';
  }
  return copy;
}

void FreeTXT() {
  if (!fileRecords) return;
  for (int i = 0; i < texts; ++i)
    for (char*& string : texty[i]) {
      std::free(string);
      string = nullptr;
    }
  texts = 0;
  fileRecords = false;
}

void LoadTXT2() {
  FreeTXT();
  for (int i = 0; i < kBuiltInCaptions; ++i) {
    const char* record = kecy + kCaptionRecordSize * i;
    texty[i][kCaptionNames] = const_cast<char*>(record);
    texty[i][kCaptionMiddle] = nullptr;
    texty[i][kCaptionDescription] = const_cast<char*>(record + kCaptionFieldSize);
  }
  texts = kBuiltInCaptions;
  captionEncoding = kLatin1;
}

static void Append(char* description, size_t& length, const char* text, size_t count) {
  if (count > kMaxDescription - length) count = kMaxDescription - length;
  std::memcpy(description + length, text, count);
  length += count;
}

// Whether the bytes from here to the end of the file are all valid UTF-8. Read in chunks; the
// last few bytes of a chunk wait for the next, since a character may go on there.
static bool RestIsUtf8(FILE* file) {
  constexpr size_t kChunk = 4096, kLongest = 4;
  char buffer[kChunk + kLongest + 1];
  size_t carry = 0;
  for (;;) {
    const size_t got = std::fread(buffer + carry, 1, kChunk, file);
    const size_t size = carry + got;
    const bool end = got < kChunk;
    buffer[size] = '\0';  // no continuation byte: a sequence cut by the end is invalid
    size_t at = 0;
    while (at < size && (end || size - at >= kLongest)) {
      int length = 0;
      if (NextUtf8(buffer + at, length) < 0) return false;
      at += length;
    }
    if (end) return true;
    carry = size - at;
    std::memmove(buffer, buffer + at, carry);
  }
}

// Skips a UTF-8 byte-order mark at the start of the file; in a Latin-1 file those three
// bytes would only be drawn as odd letters.
static void SkipByteOrderMark(FILE* file) {
  unsigned char head[3];
  const bool mark =
      std::fread(head, 1, 3, file) == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
  if (!mark) std::rewind(file);
}

// fgets, but the CRs at the end of a line (before its LF, or at the end of the file) end it
// as the LF does: a CR is never drawn. A CR LF parted by the buffer's end is put together again.
static bool ReadLine(char* line, int size, FILE* file) {
  if (!std::fgets(line, size, file)) return false;
  const size_t length = std::strlen(line);  // a NUL byte hides the rest of the piece
  const bool lf = length >= 1 && line[length - 1] == '\n';
  size_t end = lf ? length - 1 : length;
  if (end == 0 || line[end - 1] != '\r') return true;
  while (end > 0 && line[end - 1] == '\r') --end;
  line[end] = '\n';
  line[end + 1] = '\0';
  // Only a full buffer stops before a line's end; the LF may come next.
  if (!lf && length == static_cast<size_t>(size) - 1) {
    const int next = std::getc(file);
    if (next != '\n' && next != EOF) std::ungetc(next, file);
  }
  return true;
}

// Opens a regular file only: a named pipe would hold the reader until someone wrote to it.
static FILE* OpenCaptionFile(const char* path) {
  struct stat s;
  if (stat(path, &s) != 0) {
    SDL_SetError("%s", std::strerror(errno));
    return nullptr;
  }
  if (!S_ISREG(s.st_mode)) {
    SDL_SetError("not a file");
    return nullptr;
  }
  FILE* file = std::fopen(path, "rt");
  if (!file) SDL_SetError("%s", std::strerror(errno));
  return file;
}

// Stores a block as record `texts`, or leaves it out whole when a copy cannot be made.
static void StoreRecord(const char* names, const char* middle, const char* description,
                        size_t length) {
  char* copies[3] = {Copy(names, std::strlen(names)), Copy(middle, std::strlen(middle)),
                     Copy(description, length)};
  if (copies[0] && copies[1] && copies[2]) {
    for (int i = 0; i < 3; ++i) texty[texts][i] = copies[i];
    ++texts;
  } else {
    for (char* copy : copies) std::free(copy);
  }
}

// Reads the blocks of the file into the table; blocks past its last place are read and
// counted, and left out.
static void ReadBlocks(FILE* file) {
  char names[kLineBufferSize], middle[kLineBufferSize], line[kLineBufferSize];
  char description[kMaxDescription];
  // A names line that the end of the file leaves without a middle line is mostly a stray
  // blank line and makes no record.
  while (ReadLine(names, sizeof names, file) && ReadLine(middle, sizeof middle, file)) {
    size_t length = 0;
    while (ReadLine(line, sizeof line, file) && line[0] != '#') {
      const size_t count = std::strlen(line);
      Append(description, length, line, count);
      if (count == 0 || line[count - 1] != '\n') Append(description, length, "\n", 1);
    }
    ++captionBlocks;
    if (texts < kCaptionSlots) StoreRecord(names, middle, description, length);
  }
}

CaptionFileResult ReadTXT(const char* path) {
  FreeTXT();
  for (auto& record : texty)
    for (char*& string : record) string = nullptr;
  texts = 0;
  captionBlocks = 0;
  captionEncoding = kLatin1;
  FILE* file = OpenCaptionFile(path);
  if (!file) return kCaptionFileUnreadable;
  fileRecords = true;

  SkipByteOrderMark(file);
  const long start = std::ftell(file);
  captionEncoding = RestIsUtf8(file) ? kUtf8 : kLatin1;
  std::fseek(file, start, SEEK_SET);
  ReadBlocks(file);
  std::fclose(file);
  if (texts > 0) return kCaptionsRead;
  SDL_SetError("no caption in it");
  return kNoCaptionInFile;
}

void LoadTXT(const char* path) {
  if (ReadTXT(path) == kCaptionFileUnreadable) fprintf(stderr, "Couldn't open %s", path);
}

char** CaptionOfSlot(int slot) {
  if (texts < 1 || slot < 0) return nullptr;
  return texty[slot < texts ? slot : texts - 1];
}
