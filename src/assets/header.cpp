// A picture file's header read before it is decoded: its kind and size, and the bounds that keep
// a damaged or hostile file from hanging or exhausting the decoder.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "assets/assets.h"

// libpng reads a PNG file through the image library, which does not tell it when a read comes
// back short: past the end of a cut-off file, or of a chunk whose length field is wrong,
// libpng goes on with the bytes of an earlier read, and may take the same chunk again and
// again for ever. So before the file reaches libpng its chunks are walked here: each must lie
// within the file, and the file must reach its IEND chunk. libpng then never reads past the
// end, and every other inconsistency is its own to report, as an error.
static constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
static constexpr Uint32 kPngLongestChunk = 0x7FFFFFFF;  // lengths are 31-bit numbers
static constexpr int kChunkFraming = 12;                // length, type and CRC around the data
// A few bytes may declare a picture of gigabytes. Where the decoder has to make the whole
// of it, 4 bytes a pixel and twice over, 64 million pixels (half a gigabyte) still load
// within seconds; the screen shows a small part of any of them.
static constexpr unsigned long long kMostPixels = 64000000;

// Says why a file is not decoded, as SDL's error; false.
__attribute__((format(printf, 2, 3))) static bool Refused(const char* what, const char* format,
                                                          ...) {
  char why[200];
  va_list args;
  va_start(args, format);
  vsnprintf(why, sizeof why, format, args);
  va_end(args);
  SDL_SetError("%s%s", what, why);
  return false;
}

bool WholeDecodeIsBounded(Uint32 width, Uint32 height) {
  if (1ull * width * height <= kMostPixels) return true;
  return Refused("",
                 "a picture of %ux%u pixels is more than the show decodes (%llu million "
                 "pixels at most)",
                 width, height, kMostPixels / 1000000);
}

// Reads the size from a JPEG file's frame header, walking the segments before it as libjpeg
// does (bytes between segments skipped up to the next 0xFF); leaves the size 0 where there is
// none, and anything wrong to the decoder.
static void ReadJpegSize(FILE* file, PictureHeader& header) {
  if (fseek(file, 2, SEEK_SET) != 0) return;
  for (;;) {
    int c = fgetc(file);
    while (c != EOF && c != 0xFF) c = fgetc(file);
    while (c == 0xFF) c = fgetc(file);
    const int marker = c, high = fgetc(file), low = fgetc(file);
    if (marker == EOF || low == EOF || marker == 0xDA || marker == 0xD9) return;
    const long length = high << 8 | low;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    unsigned char size[5];
    if (frame) {
      if (fread(size, 1, 5, file) != 5) return;
      header.height = size[1] << 8 | size[2];
      header.width = size[3] << 8 | size[4];
      return;
    }
    // Markers without a length (the standalone ones) have none to skip.
    const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0;
    if (!standalone && (length < 2 || fseek(file, length - 2, SEEK_CUR) != 0)) return;
    if (standalone) fseek(file, -2, SEEK_CUR);
  }
}

// Whether the image library takes the JPEG file for one: it walks the file's segments from
// the start, each length skipped without a test (even one below 2, which goes back), up to
// the start of the first scan or an end-of-image marker; a file that ends before is none.
static bool TakenForJpeg(FILE* file) {
  if (fseek(file, 2, SEEK_SET) != 0) return false;
  for (;;) {
    const int ff = fgetc(file), marker = fgetc(file);
    if (ff != 0xFF || marker == EOF) return false;
    if (marker == 0xFF) {  // fill bytes
      fseek(file, -1, SEEK_CUR);
      continue;
    }
    if (marker == 0xD9) return true;
    if (marker >= 0xD0 && marker <= 0xD8) continue;
    const int high = fgetc(file), low = fgetc(file);
    if (low == EOF) return false;
    if (marker == 0xDA) return true;
    if (fseek(file, (high << 8 | low) - 2, SEEK_CUR) != 0) return false;
  }
}

static Uint32 BigEndian32(const unsigned char* b) {
  return static_cast<Uint32>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
}

// A chunk type as text for messages: four letters, or what stands there in hex.
static const char* ChunkName(const unsigned char* type) {
  static char name[16];
  bool letters = true;
  for (int i = 0; i < 4; ++i)
    letters = letters && ((type[i] >= 'A' && type[i] <= 'Z') || (type[i] >= 'a' && type[i] <= 'z'));
  if (letters)
    snprintf(name, sizeof name, "%.4s", reinterpret_cast<const char*>(type));
  else
    snprintf(name, sizeof name, "0x%08X", BigEndian32(type));
  return name;
}

// Walks the chunks of the PNG file `file` of `size` bytes, just past its signature; fills in
// the size its IHDR chunk declares. False, with the reason as SDL's error, where it is damaged.
static bool WalkPngChunks(FILE* file, long long size, PictureHeader& header) {
  long long at = sizeof kPngSignature;
  for (bool first = true;; first = false) {
    unsigned char head[8];
    if (at == size) return Refused("damaged PNG file: ", "it ends before its IEND chunk");
    if (at + 8 > size || fseek(file, at, SEEK_SET) != 0 || fread(head, 1, 8, file) != 8)
      return Refused("damaged PNG file: ", "it ends inside a chunk header");
    const Uint32 length = BigEndian32(head);
    const unsigned char* type = head + 4;
    if (length > kPngLongestChunk || at + kChunkFraming + length > size)
      return Refused("damaged PNG file: ", "chunk %s at byte %lld is longer than the file",
                     ChunkName(type), at);
    if (first) {
      unsigned char ihdr[8];
      if (memcmp(type, "IHDR", 4) != 0 || length != 13 || fread(ihdr, 1, 8, file) != 8)
        return Refused("damaged PNG file: ", "it does not begin with its IHDR chunk");
      header.width = BigEndian32(ihdr);
      header.height = BigEndian32(ihdr + 4);
    }
    if (memcmp(type, "IEND", 4) == 0) return true;
    at += kChunkFraming + length;
  }
}

bool ReadPictureHeader(const char* name, PictureHeader& header) {
  header = PictureHeader{};
  FILE* file = IsSpecialFile(name) ? nullptr : fopen(name, "rb");
  if (!file) return true;  // the decoder says why it cannot be opened, as for any file
  struct stat info;
  unsigned char signature[sizeof kPngSignature] = {};
  const size_t got = fread(signature, 1, sizeof signature, file);
  bool sound = true;
  // The image library takes a file for JPEG by its first two bytes, for PNG by four.
  if (got >= 2 && signature[0] == 0xFF && signature[1] == 0xD8) {
    header.kind = kJpegFile;
    ReadJpegSize(file, header);
    header.jpeg = TakenForJpeg(file);
  } else if (got < 4 || memcmp(signature, kPngSignature, 4) != 0) {
    // The image library's loaders of other formats share the fault of its PNG loader.
    sound = Refused("", "not a PNG or JPEG file");
  } else {
    header.kind = kPngFile;
    if (got < sizeof signature || memcmp(signature, kPngSignature, sizeof signature) != 0)
      sound = Refused("damaged PNG file: ", "its signature is cut off or changed");
    else
      sound = fstat(fileno(file), &info) == 0 && WalkPngChunks(file, info.st_size, header);
  }
  fclose(file);
  return sound;
}
