#include "text/text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Built-in records point into the read-only block `kecy`; nothing writes through the table.
char* texty[kCaptionSlots][3];
int texts = 0;

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
}

static void Append(char* description, size_t& length, const char* text, size_t count) {
  if (count > kMaxDescription - length) count = kMaxDescription - length;
  std::memcpy(description + length, text, count);
  length += count;
}

void LoadTXT(const char* path) {
  FreeTXT();
  FILE* file = std::fopen(path, "rt");
  if (!file) {
    fprintf(stderr, "Couldn't open %s", path);
    texts = 0;
    return;
  }
  for (auto& record : texty)
    for (char*& string : record) string = nullptr;
  texts = 0;
  fileRecords = true;

  char names[kLineBufferSize], middle[kLineBufferSize], line[kLineBufferSize];
  char description[kMaxDescription];
  // Blocks past the last place of the table are not read; a names line that the end of the
  // file leaves without a middle line is mostly a stray blank line and makes no record.
  while (texts < kCaptionSlots && std::fgets(names, sizeof names, file) &&
         std::fgets(middle, sizeof middle, file)) {
    size_t length = 0;
    while (std::fgets(line, sizeof line, file) && line[0] != '#') {
      const size_t count = std::strlen(line);
      Append(description, length, line, count);
      if (count == 0 || line[count - 1] != '\n') Append(description, length, "\n", 1);
    }
    char* copies[3] = {Copy(names, std::strlen(names)), Copy(middle, std::strlen(middle)),
                       Copy(description, length)};
    if (copies[0] && copies[1] && copies[2]) {
      for (int i = 0; i < 3; ++i) texty[texts][i] = copies[i];
      ++texts;
    } else {
      for (char* copy : copies) std::free(copy);  // the block is left out whole
    }
  }
  std::fclose(file);
}
