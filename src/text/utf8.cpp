// UTF-8 read as SDL_ttf 2.0 takes it: characters past 16 bits and broken bytes as U+FFFD.
#include "text/text.h"

// The replacement character: what stands for what SDL_ttf 2.0 cannot be given.
constexpr Uint16 kReplacement = 0xFFFD;

long NextUtf8(const char* text, int& length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  length = 1;
  if (p[0] < 0x80) return p[0];
  // The lead byte gives the length and the lowest code point of that length (no overlong form).
  int more = 0;
  long lowest = 0;
  if (p[0] >= 0xC2 && p[0] <= 0xDF)
    more = 1, lowest = 0x80;
  else if (p[0] >= 0xE0 && p[0] <= 0xEF)
    more = 2, lowest = 0x800;
  else if (p[0] >= 0xF0 && p[0] <= 0xF4)
    more = 3, lowest = 0x10000;
  else
    return -1;
  long code = p[0] & (0x7F >> (more + 1));
  for (int i = 1; i <= more; ++i) {
    if ((p[i] & 0xC0) != 0x80) return -1;  // also at the terminating NUL
    code = code << 6 | (p[i] & 0x3F);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
  length = 1 + more;
  return code;
}

int DecodeUtf8Line(const char* line, Uint16* out) {
  int count = 0;
  for (const char* p = line; *p && count < kMaxLineChars - 1;) {
    int length = 0;
    const long code = NextUtf8(p, length);
    p += length;
    if (code == 0xFEFF || code == 0xFFFE) continue;
    out[count++] = code < 0 || code > 0xFFFF ? kReplacement : static_cast<Uint16>(code);
  }
  out[count] = 0;
  return count;
}
