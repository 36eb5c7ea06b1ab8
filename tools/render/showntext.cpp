// Caption text as the show draws it, in UTF-8: for the check's lines and the video's tracks,
// which must never carry half a character or a byte that is no UTF-8.
#include <cstring>

#include "render.h"

size_t EncodeUtf8(long code, char* out) {
  unsigned char* o = reinterpret_cast<unsigned char*>(out);
  size_t n = 0;
  if (code < 0x80) {
    o[n++] = static_cast<unsigned char>(code);
  } else if (code < 0x800) {
    o[n++] = static_cast<unsigned char>(0xC0 | code >> 6);
    o[n++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    o[n++] = static_cast<unsigned char>(0xE0 | code >> 12);
    o[n++] = static_cast<unsigned char>(0x80 | (code >> 6 & 0x3F));
    o[n++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
  } else {
    o[n++] = static_cast<unsigned char>(0xF0 | code >> 18);
    o[n++] = static_cast<unsigned char>(0x80 | (code >> 12 & 0x3F));
    o[n++] = static_cast<unsigned char>(0x80 | (code >> 6 & 0x3F));
    o[n++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
  }
  o[n] = '\0';
  return n;
}

// The show's sign for a byte that forms no UTF-8 character.
static constexpr long kReplacementCharacter = 0xFFFD;

void ShownText(const char* text, TextEncoding encoding, char* out, size_t size) {
  size_t n = 0;
  out[0] = '\0';
  for (const char* p = text; *p;) {
    int length = 1;
    long code = static_cast<unsigned char>(*p);
    if (encoding == kUtf8) code = NextUtf8(p, length);
    p += length;
    if (code < 0) code = kReplacementCharacter;
    // Controls draw nothing; SDL_ttf takes these two for byte-order marks.
    if ((code < 0x20 && code != '\n') || code == 0x7F || code == 0xFEFF || code == 0xFFFE) continue;
    char character[5];
    const size_t bytes = EncodeUtf8(code, character);
    if (n + bytes >= size) break;  // cut between characters
    memcpy(out + n, character, bytes + 1);
    n += bytes;
  }
}
