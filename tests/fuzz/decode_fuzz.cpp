// Any bytes as a picture file, loaded by GetPix as a photo on a 16-bit display (the part of it
// that can be seen) and as a fixed picture on a 32-bit one (whole). Each time GetPix must end
// in bounded time with one line of its own, and a picture it gives must be exactly the same
// part of what the image library and SDL_DisplayFormat make of the same file.
#include <SDL_image.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzzing.h"
#include "anim/canvas.h"
#include "assets/assets.h"
#include "driver/show.h"

namespace {

constexpr Uint32 kSdlMostWidth = 16384;  // SDL 1.2 makes no picture this wide

// GetPix reads from gfx/ under the working directory: the process works in a folder of its own.
// Every name the input is loaded under is a link to the one file that holds it.
constexpr char kInput[] = "gfx/foto01.jpg";
const char* const kFixedPictures[] = {"load", "ohen", "back", "si", "end"};
std::string folder;

void RemoveFolder() {
  for (const char* base : kFixedPictures) std::remove((folder + "/gfx/" + base + ".png").c_str());
  std::remove((folder + "/" + kInput).c_str());
  rmdir((folder + "/gfx").c_str());
  rmdir(folder.c_str());
}

void Open() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  // No parachute: the sanitizers and the fuzzer report signals themselves.
  Check(SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) == 0);
  const char* tmp = std::getenv("TMPDIR");
  folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/tolvane_decode_XXXXXX";
  Check(mkdtemp(folder.data()) && chdir(folder.c_str()) == 0 && mkdir("gfx", 0700) == 0);
  for (const char* base : kFixedPictures)
    Check(symlink("foto01.jpg", (std::string("gfx/") + base + ".png").c_str()) == 0);
  std::atexit(RemoveFolder);
}

// What the loader makes depends on the display's pixel format alone, not on its size: a
// display of a few pixels makes the switch between the two depths cheap.
void UseDisplay(int depth) {
  const SDL_Surface* display = SDL_GetVideoSurface();
  if (!display || display->format->BitsPerPixel != depth)
    Check(SDL_SetVideoMode(8, 8, depth, kDefaultVideoFlags) != nullptr);
  SetCanvas(SDL_GetVideoSurface());
}

// The image library's view of the file, for comparison: read through a stream on which a read
// past the end fills the rest of what was asked with bytes 0xFF (the count stays short). Its
// PNG loader does not look at that count and, given stale bytes, can spin for ever; from
// bytes 0xFF libpng reads a chunk length out of range and stops, as at an error.
int ReadFillingPastEnd(SDL_RWops* stream, void* area, int size, int count) {
  auto* file = static_cast<SDL_RWops*>(stream->hidden.unknown.data1);
  const int asked = size * count;
  const int got = asked > 0 ? SDL_RWread(file, area, 1, asked) : 0;
  if (got < 0) return -1;
  std::memset(static_cast<Uint8*>(area) + got, 0xFF, asked - got);
  return size > 0 ? got / size : 0;
}

int SeekFile(SDL_RWops* stream, int offset, int whence) {
  return SDL_RWseek(static_cast<SDL_RWops*>(stream->hidden.unknown.data1), offset, whence);
}

int CloseFile(SDL_RWops* stream) {
  SDL_RWclose(static_cast<SDL_RWops*>(stream->hidden.unknown.data1));
  SDL_FreeRW(stream);
  return 0;
}

// The image library's picture in the display's format (null when the conversion fails).
struct Reference {
  bool decodes;
  SDL_Surface* picture;
};

Reference ByTheLibrary() {
  SDL_RWops* file = SDL_RWFromFile(kInput, "rb");
  SDL_RWops* stream = SDL_AllocRW();
  Check(file && stream);
  stream->hidden.unknown.data1 = file;
  stream->read = ReadFillingPastEnd;
  stream->seek = SeekFile;
  stream->close = CloseFile;
  // libpng's own messages about the file are not the loader's: keep them out of the way.
  static FILE* const nowhere = std::fopen("/dev/null", "w");
  Check(nowhere != nullptr);
  FILE* saved = stderr;
  stderr = nowhere;
  SDL_Surface* decoded = IMG_Load_RW(stream, 1);
  stderr = saved;
  if (!decoded) return {false, nullptr};
  SDL_Surface* converted = SDL_DisplayFormat(decoded);
  SDL_FreeSurface(decoded);
  return {true, converted};
}

// Whether `a` is the top-left width x height of `b`, or all of a smaller `b`.
bool SameWindow(const SDL_Surface* a, const SDL_Surface* b, int width, int height) {
  if (!a || !b) return a == b;
  const SDL_PixelFormat *f = a->format, *g = b->format;
  const Uint32 keyed = SDL_SRCCOLORKEY | SDL_SRCALPHA;
  if (a->w != std::min(b->w, width) || a->h != std::min(b->h, height) ||
      (a->flags & keyed) != (b->flags & keyed) || f->BitsPerPixel != g->BitsPerPixel ||
      f->Rmask != g->Rmask || f->Gmask != g->Gmask || f->Bmask != g->Bmask ||
      f->Amask != g->Amask || f->colorkey != g->colorkey || f->alpha != g->alpha)
    return false;
  for (int y = 0; y < a->h; ++y)
    if (std::memcmp(static_cast<const Uint8*>(a->pixels) + y * a->pitch,
                    static_cast<const Uint8*>(b->pixels) + y * b->pitch,
                    a->w * f->BytesPerPixel) != 0)
      return false;
  return true;
}

// Runs GetPix with standard error caught; libpng may speak before the loader's own line.
SDL_Surface* GetPixSaying(const char* base, const char* ext, int width, int height,
                          std::string& said) {
  char* text = nullptr;
  size_t length = 0;
  FILE* saved = stderr;
  stderr = open_memstream(&text, &length);
  Check(stderr != nullptr);
  SDL_Surface* picture = GetPix(base, ext, width, height);
  std::fclose(stderr);
  stderr = saved;
  said.assign(text, length);
  std::free(text);
  return picture;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The line that ends `text`, its newline left out; empty when `text` does not end in one.
std::string LastLine(const std::string& text) {
  if (text.empty() || text.back() != '\n') return "";
  const size_t end = text.rfind('\n', text.size() - 2);
  const size_t from = end == std::string::npos ? 0 : end + 1;
  return text.substr(from, text.size() - 1 - from);
}

// GetPix runs first, so that a file that holds it up is its finding, not the comparison's.
void LoadAs(const char* base, const char* ext, int depth, int width, int height) {
  UseDisplay(depth);
  std::string said;
  SDL_Surface* picture = GetPixSaying(base, ext, width, height, said);
  const std::string name = std::string("gfx/") + base + "." + ext;
  const std::string line = LastLine(said), failed = "Couldn't load " + name + ": ";
  const bool loaded = line == name + " loaded";
  // One line of the loader's own, the last one: loaded, or failed with a reason.
  Check(loaded || (line.compare(0, failed.size(), failed) == 0 && line.size() > failed.size()));
  Check(Count(said, name) == 1);
  Check(loaded || !picture);
  Check(!picture || (picture->w <= width && picture->h <= height));

  // A file that the loader refuses by its header (of another format, a damaged PNG) needs no
  // second view: the library could spin on it. Nor one the library would make gigabytes of,
  // or fail on for want of an SDL picture that holds it whole (16384 pixels wide or more),
  // where the loader decodes what can be seen.
  PictureHeader header;
  if (!ReadPictureHeader(name.c_str(), header) ||
      !WholeDecodeIsBounded(header.width, header.height) || header.width >= kSdlMostWidth) {
    if (picture) SDL_FreeSurface(picture);
    return;
  }
  const Reference reference = ByTheLibrary();
  if (loaded) {
    // The loader reads no row below the part it keeps, where a damaged file may still fail.
    Check(reference.decodes ? SameWindow(picture, reference.picture, width, height)
                            : header.kind == kJpegFile && header.height > Uint32(height));
  } else {
    // A file the loader refuses, the library refuses too.
    Check(!reference.decodes);
  }
  if (picture) SDL_FreeSurface(picture);
  if (reference.picture) SDL_FreeSurface(reference.picture);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool opened = (Open(), true);
  (void)opened;
  FILE* file = std::fopen(kInput, "wb");
  Check(file && std::fwrite(data, 1, size, file) == size);
  std::fclose(file);
  // The five names differ only in the loader's line: the size picks one.
  LoadAs("foto01", "jpg", 16, kPhotoSeenWidth, kPhotoSeenHeight);
  LoadAs(kFixedPictures[size % 5], "png", 32, kWholePicture, kWholePicture);
  return 0;
}
