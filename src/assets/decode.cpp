// Photos decoded as the image library would decode them, only what the screen shows of them
// (or reduced while decoding), and pictures converted to the canvas's pixel format quickly.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "anim/canvas.h"
#include "anim/surfaces.h"
#include "assets/assets.h"

// SDL_DisplayFormat converts pictures of 3-byte pixels (what the image library makes of JPEG
// and RGB PNG files) through SDL's generic blitter, a pixel at a time: it takes as long as
// the decoding. Here each row goes first to 0x00RRGGBB words and then to the display's
// pixels: each 8-bit channel shifted down by what the display's field of it loses, then up to
// its place; 8 pixels at a time for displays of 5-6-5 and of 0x00RRGGBB. This stands in for
// SDL only for a display format where SDL's own conversion of a probe, every value of every
// channel, has given the same bytes.
typedef Uint32 Words __attribute__((vector_size(32)));
typedef Uint16 HalfWords __attribute__((vector_size(16)));
constexpr int kWordsPerVector = sizeof(Words) / sizeof(Uint32);

static const SDL_PixelFormat* DisplayPixels() {
  return canvas.surface ? canvas.surface->format : nullptr;
}

static bool IsRgbWord(const SDL_PixelFormat* t) {
  return t->BytesPerPixel == 4 && t->Rmask == 0xFF0000 && t->Gmask == 0x00FF00 &&
         t->Bmask == 0x0000FF && !t->Amask;
}

// `in` holds `width` words 0x00RRGGBB (or 0xFFRRGGBB: the top byte is not read).
static void ConvertRow(const Uint32* in, Uint8* out, int width) {
  const SDL_PixelFormat* t = DisplayPixels();
  int x = 0;
  if (Is565(t)) {
    for (; x + kWordsPerVector <= width; x += kWordsPerVector) {
      Words p;
      memcpy(&p, in + x, sizeof p);
      const Words packed = ((p >> 8) & 0xF800) | ((p >> 5) & 0x07E0) | ((p >> 3) & 0x001F);
      const HalfWords narrow = __builtin_convertvector(packed, HalfWords);
      memcpy(out + 2 * x, &narrow, sizeof narrow);
    }
  } else if (IsRgbWord(t)) {
    for (; x + kWordsPerVector <= width; x += kWordsPerVector) {
      Words p;
      memcpy(&p, in + x, sizeof p);
      p &= 0x00FFFFFF;
      memcpy(out + 4 * x, &p, sizeof p);
    }
  }
  // Whatever the vectors left, in any format of 2 or 4 bytes.
  const Uint32 alpha = t->Amask ? (SDL_ALPHA_OPAQUE >> t->Aloss) << t->Ashift : 0;
  for (; x < width; ++x) {
    const Uint32 r = in[x] >> 16 & 0xFF, g = in[x] >> 8 & 0xFF, b = in[x] & 0xFF;
    const Uint32 p = (r >> t->Rloss) << t->Rshift | (g >> t->Gloss) << t->Gshift |
                     (b >> t->Bloss) << t->Bshift | alpha;
    if (t->BytesPerPixel == 2)
      reinterpret_cast<Uint16*>(out)[x] = static_cast<Uint16>(p);
    else
      reinterpret_cast<Uint32*>(out)[x] = p;
  }
}

// One row of 3-byte pixels with 8-bit channels as words 0x00RRGGBB.
static void ExpandRow(const SDL_PixelFormat* f, const Uint8* in, Uint32* out, int width) {
  const int r = f->Rshift / 8, g = f->Gshift / 8, b = f->Bshift / 8;
  for (int x = 0; x < width; ++x, in += 3) out[x] = in[r] << 16 | in[g] << 8 | in[b];
}

// Masks of 3-byte pixels stored red, green, blue.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
static const Uint32 kRgbMasks[3] = {0x0000FF, 0x00FF00, 0xFF0000};
#else
static const Uint32 kRgbMasks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
#endif

static bool ConversionAgreesWithSdl() {
  constexpr int kValues = 256, kRows = 4;
  SDL_Surface* probe = SDL_CreateRGBSurface(SDL_SWSURFACE, kValues, kRows, 24, kRgbMasks[0],
                                            kRgbMasks[1], kRgbMasks[2], 0);
  if (!probe) return false;
  // A row of each channel's values, then one mixing the three.
  Uint32 words[kRows][kValues];
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kValues; ++x) {
      Uint8 rgb[3];
      for (int i = 0; i < 3; ++i)
        rgb[i] = static_cast<Uint8>(y == kRows - 1 ? x * (i + 3) : y == i ? x : 0);
      memcpy(static_cast<Uint8*>(probe->pixels) + y * probe->pitch + 3 * x, rgb, 3);
      words[y][x] = static_cast<Uint32>(rgb[0]) << 16 | rgb[1] << 8 | rgb[2];
    }
  SDL_Surface* bySdl = CanvasFormat(probe);
  const SDL_PixelFormat* t = DisplayPixels();
  SDL_Surface* byLoop = NewCanvasSurface(kValues, kRows);
  bool agrees = bySdl && byLoop && bySdl->flags == byLoop->flags;
  for (int y = 0; y < kRows && agrees; ++y) {
    Uint8* out = static_cast<Uint8*>(byLoop->pixels) + y * byLoop->pitch;
    ConvertRow(words[y], out, kValues);
    agrees = memcmp(static_cast<Uint8*>(bySdl->pixels) + y * bySdl->pitch, out,
                    kValues * t->BytesPerPixel) == 0;
  }
  SDL_Surface* const made[] = {probe, bySdl, byLoop};
  for (SDL_Surface* s : made)
    if (s) SDL_FreeSurface(s);
  return agrees;
}

// Whether ConvertRow may stand in for SDL_DisplayFormat on this display.
static bool ConversionStandsIn() {
  const SDL_Surface* display = canvas.surface;
  const SDL_PixelFormat* t = DisplayPixels();
  if (!t || (display->flags & SDL_HWSURFACE) || t->palette ||
      (t->BytesPerPixel != 2 && t->BytesPerPixel != 4))
    return false;
  static Uint32 checked[5];  // the display format of the verdict
  static bool agrees = false;
  const Uint32 format[5] = {t->BitsPerPixel, t->Rmask, t->Gmask, t->Bmask, t->Amask};
  if (memcmp(format, checked, sizeof format) != 0) {
    memcpy(checked, format, sizeof format);
    agrees = ConversionAgreesWithSdl();
  }
  return agrees;
}

SDL_Surface* DisplayFormat(SDL_Surface* decoded) {
  const SDL_PixelFormat* f = decoded->format;
  const bool wholeByteRgb = f->BytesPerPixel == 3 && !f->palette && !f->Amask &&
                            f->Rmask >> f->Rshift == 0xFF && f->Gmask >> f->Gshift == 0xFF &&
                            f->Bmask >> f->Bshift == 0xFF && f->Rshift % 8 == 0 &&
                            f->Gshift % 8 == 0 && f->Bshift % 8 == 0 &&
                            !(decoded->flags & (SDL_SRCCOLORKEY | SDL_SRCALPHA | SDL_RLEACCELOK));
  if (!wholeByteRgb || !ConversionStandsIn()) return CanvasFormat(decoded);
  SDL_Surface* converted = NewCanvasSurface(decoded->w, decoded->h);
  Uint32* words = static_cast<Uint32*>(malloc(decoded->w * sizeof(Uint32)));
  if (converted && words)
    for (int y = 0; y < decoded->h; ++y) {
      ExpandRow(f, static_cast<Uint8*>(decoded->pixels) + y * decoded->pitch, words, decoded->w);
      ConvertRow(words, static_cast<Uint8*>(converted->pixels) + y * converted->pitch, decoded->w);
    }
  free(words);
  if (!words && converted) SDL_FreeSurface(converted);
  return words ? converted : nullptr;
}

// The image library decodes a JPEG file with libjpeg's defaults into a picture of 3-byte RGB
// pixels, or of CMYK bytes taken for 4-byte pixels with alpha when the file has four channels.
// Here libjpeg decodes it with the same settings, but stops at the last row wanted and
// leaves out the columns right of the last one wanted: the rows it gives are the rows of the
// whole decoding, and no row or column wanted lies at the edge of what is decoded, where
// upsampled colour would be drawn from fewer samples. A picture of multiple scans is held
// whole by libjpeg, coefficients of every block, so it is bounded as whole pictures are.
struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf escape;
};

static void Escape(j_common_ptr info) {
  longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

static void Silent(j_common_ptr) {}  // warnings, which the image library ignores too

// Columns decoded beyond the last one wanted: libjpeg cuts at blocks of up to 32 columns.
constexpr JDIMENSION kCropMargin = 32;

#if SDL_BYTEORDER == SDL_LIL_ENDIAN
static const Uint32 kCmykMasks[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000};
#else
static const Uint32 kCmykMasks[4] = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
#endif

// The picture the image library would make for `info`, `width` x `height`.
static SDL_Surface* NewDecodedPicture(const jpeg_decompress_struct& info, int width, int height) {
  const bool cmyk = info.out_color_space == JCS_CMYK;
  const Uint32* m = cmyk ? kCmykMasks : kRgbMasks;
  return SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, cmyk ? 32 : 24, m[0], m[1], m[2],
                              cmyk ? m[3] : 0);
}

SDL_Surface* DecodeJpeg(const char* name, int width, int height, int eighths) {
  FILE* file = fopen(name, "rb");
  if (!file) {
    SDL_SetError("Couldn't open %s", name);
    return nullptr;
  }
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = Escape;
  errors.manager.output_message = Silent;
  // Set after setjmp and read after longjmp: volatile.
  SDL_Surface* volatile picture = nullptr;
  JSAMPLE* volatile row = nullptr;
  // The image library's words for a failure of the decoder; null once SDL's error is set.
  const char* volatile failure = "JPEG loading error";
  if (setjmp(errors.escape)) {
    jpeg_destroy_decompress(&info);
    fclose(file);
    if (picture) SDL_FreeSurface(picture);
    free(row);
    if (failure) SDL_SetError("%s", failure);
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = info.num_components == 4 ? JCS_CMYK : JCS_RGB;
  info.quantize_colors = FALSE;
  // Reduced while decoding: the blocks' coefficients give the smaller picture at once.
  info.scale_num = static_cast<unsigned>(std::clamp(eighths, 1, 8));
  info.scale_denom = 8;
  jpeg_calc_output_dimensions(&info);
  const int w = std::min<JDIMENSION>(info.output_width, width);
  const int h = std::min<JDIMENSION>(info.output_height, height);
  const bool whole = jpeg_has_multiple_scans(&info);
  if (!WholeDecodeIsBounded(whole ? info.output_width : w, whole ? info.output_height : h)) {
    failure = nullptr;
    longjmp(errors.escape, 1);
  }
  jpeg_start_decompress(&info);
  JDIMENSION left = 0, columns = std::min(info.output_width, w + kCropMargin);
  if (columns < info.output_width) jpeg_crop_scanline(&info, &left, &columns);
  picture = NewDecodedPicture(info, w, h);
  row = static_cast<JSAMPLE*>(malloc(info.output_width * info.output_components));
  if (!picture || !row) {
    failure = "Out of memory";
    longjmp(errors.escape, 1);
  }
  while (info.output_scanline < static_cast<JDIMENSION>(h)) {
    Uint8* out = static_cast<Uint8*>(picture->pixels) + info.output_scanline * picture->pitch;
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&info, rows, 1);
    memcpy(out, row, w * picture->format->BytesPerPixel);
  }
  // Decoded to its end, the file is read to its end as the image library reads it. Below the
  // rows wanted nothing is read: reading past the rest would take five times as long, for
  // the one thing it could tell, a file damaged further on, whose part that shows is loaded.
  if (info.output_scanline == info.output_height)
    jpeg_finish_decompress(&info);
  else
    jpeg_abort_decompress(&info);
  jpeg_destroy_decompress(&info);
  fclose(file);
  free(row);
  return picture;
}
