// Any bytes as a caption file: the table must stay within its places and sizes, and the
// reader must leave nothing behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "fuzzing.h"
#include "text/text.h"

// Most pieces fgets can return for these bytes: one per line, and one more for every 1023
// bytes of a line longer than that.
static size_t Pieces(const uint8_t* data, size_t size) {
  size_t pieces = 1 + size / 1023;
  for (size_t i = 0; i < size; ++i) pieces += data[i] == '\n';
  return pieces;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(InputPath("tolvane_captions").c_str(), "wb");
  Check(file && std::fwrite(data, 1, size, file) == size);
  std::fclose(file);

  // Loading over the built-in table and over an earlier file must both replace it cleanly.
  LoadTXT2();
  LoadTXT(InputPath("tolvane_captions").c_str());
  LoadTXT(InputPath("tolvane_captions").c_str());
  Check(texts >= 0 && texts <= kCaptionSlots && captionBlocks >= texts);
  Check(captionEncoding == kLatin1 || captionEncoding == kUtf8);
  Check(static_cast<size_t>(texts) * 2 <= Pieces(data, size));  // two head lines a record
  for (int i = 0; i < kCaptionSlots; ++i)
    for (int k = 0; k < 3; ++k) {
      const char* string = texty[i][k];
      Check((string != nullptr) == (i < texts));
      if (string) Check(std::strlen(string) <= 1023);
      if (string) Check(!std::strstr(string, "\r\n"));  // CR LF ends a line as LF
    }
  for (int i = 0; i < texts; ++i) {
    const size_t n = std::strlen(texty[i][kCaptionDescription]);
    Check(n == 0 || n == 1023 || texty[i][kCaptionDescription][n - 1] == '\n');
  }
  FreeTXT();
  Check(texts == 0);
  for (auto& record : texty)
    for (const char* string : record) Check(string == nullptr);
  return 0;
}
