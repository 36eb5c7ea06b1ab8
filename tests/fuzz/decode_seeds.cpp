// Writes the seed corpus of the decode fuzz target into the folder given:
//   cmake --build build --target decode_seeds && build/tests/decode_seeds tests/fuzz/corpus/decode
// Small JPEG photos and PNG pictures of the kinds the loader meets, PNG files damaged the ways
// interrupted copies damage them, and small files of the other formats the image library
// recognises from their bytes. Every picture is a few pixels of the same pattern.
// Two seeds are not written here: webp-lossy is pnm-p6 through `cwebp -q 50` (Debian's webp
// package), since the image library takes lossy WebP files only; png-cHRM-length-past-end is
// a picture damaged by hand, the length of its cHRM chunk changed to 11862048.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "common.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string folder;

void Save(const std::string& name, const Bytes& bytes) {
  const std::string path = folder + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
      std::fclose(file) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

// Channel c (0 red, 1 green, 2 blue, 3 alpha or black) of the pattern at x, y.
uint8_t Pattern(int x, int y, int c) {
  switch (c) {
    case 0:
      return static_cast<uint8_t>(x * 255 / 36);
    case 1:
      return static_cast<uint8_t>(y * 255 / 20);
    case 2:
      return static_cast<uint8_t>((x ^ y) * 16);
    default:
      return static_cast<uint8_t>(255 - (x + y) * 4);
  }
}

// JPEG photos, 37 x 21 by default: a partial block at the right and the bottom, more than one
// MCU; a few larger than the part of a photo that the show can show, which is all it decodes.
struct SeedJpeg {
  int width = 37, height = 21;
  JpegCoding coding;
};

Bytes Jpeg(const SeedJpeg& seed) {
  const int width = seed.width, components = seed.coding.components;
  char* out = nullptr;
  size_t size = 0;
  FILE* memory = open_memstream(&out, &size);
  if (!memory ||
      !WriteJpeg(memory, width, seed.height, seed.coding, [&](int y, unsigned char* row) {
        for (int x = 0; x < width; ++x)
          for (int c = 0; c < components; ++c) row[x * components + c] = Pattern(x, y, c);
      })) {
    std::perror("jpeg");
    std::exit(1);
  }
  std::fclose(memory);
  Bytes bytes(out, out + size);
  std::free(out);
  return bytes;
}

void Jpegs() {
  const Bytes baseline = Jpeg({});
  Save("jpeg-baseline-420", baseline);
  SeedJpeg k422, k444, progressive, restarts, arithmetic, grey, cmyk;
  k422.coding.vSample = 1;
  k444.coding.hSample = k444.coding.vSample = 1;
  progressive.coding.progressive = true;
  restarts.coding.restartInterval = 1;
  arithmetic.coding.arithmetic = true;
  // One channel, or four: each sampled alike, 1 x 1.
  grey.coding.components = 1;
  cmyk.coding.components = 4;
  grey.coding.hSample = grey.coding.vSample = cmyk.coding.hSample = cmyk.coding.vSample = 1;
  Save("jpeg-baseline-422", Jpeg(k422));
  Save("jpeg-baseline-444", Jpeg(k444));
  Save("jpeg-progressive", Jpeg(progressive));
  Save("jpeg-restart-markers", Jpeg(restarts));
  Save("jpeg-arithmetic", Jpeg(arithmetic));
  Save("jpeg-grey", Jpeg(grey));
  Save("jpeg-cmyk", Jpeg(cmyk));
  Save("jpeg-cut-in-scan", Bytes(baseline.begin(), baseline.begin() + baseline.size() * 3 / 4));
  const Bytes prog = Jpeg(progressive);
  Save("jpeg-progressive-cut", Bytes(prog.begin(), prog.begin() + prog.size() / 2));
  Bytes trailing = baseline;
  trailing.insert(trailing.end(), {'t', 'a', 'i', 'l', 0xFF, 0xD9});
  Save("jpeg-bytes-after-end", trailing);
  SeedJpeg wide411, wideProgressive;
  wide411.width = wideProgressive.width = 541;
  wide411.height = wideProgressive.height = 389;
  wide411.coding.hSample = 4;
  wide411.coding.vSample = 1;
  wideProgressive.coding.progressive = true;
  Save("jpeg-wider-than-seen-411", Jpeg(wide411));
  Save("jpeg-wider-than-seen-progressive", Jpeg(wideProgressive));
}

// PNG pictures, 7 x 5.
struct PngKind {
  int colourType = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  bool interlaced = false;
  bool transparency = false;  // tRNS: palette alphas, or one grey or colour value
  bool extraChunks = false;   // gAMA and tEXt before the data
  size_t dataChunk = 8192;    // IDAT size: small splits the data into several chunks
};

void AppendTo(png_structp png, png_bytep data, png_size_t length) {
  auto* bytes = static_cast<Bytes*>(png_get_io_ptr(png));
  bytes->insert(bytes->end(), data, data + length);
}

int Channels(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    default:
      return 1;
  }
}

// A sample of the pattern scaled to `depth` bits; palette pictures index 16 colours.
unsigned Sample(const PngKind& kind, int x, int y, int c) {
  if (kind.colourType == PNG_COLOR_TYPE_PALETTE) return (x + 2 * y) % 16 % (1u << kind.depth);
  const unsigned v = Pattern(x, y, kind.colourType & PNG_COLOR_MASK_COLOR ? c : c ? 3 : 1);
  return kind.depth == 16 ? v * 257 : v >> (8 - kind.depth);
}

Bytes Png(const PngKind& kind) {
  constexpr int kWidth = 7, kHeight = 5;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Bytes bytes;
  if (setjmp(png_jmpbuf(png))) {
    std::fprintf(stderr, "libpng failed\n");
    std::exit(1);
  }
  png_set_write_fn(png, &bytes, AppendTo, nullptr);
  png_set_compression_buffer_size(png, kind.dataChunk);
  png_set_IHDR(png, info, kWidth, kHeight, kind.depth, kind.colourType,
               kind.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[16];
  png_byte alphas[16];
  for (int i = 0; i < 16; ++i) {
    palette[i] = {Pattern(i * 2, 0, 0), Pattern(0, i, 1), Pattern(i, 3, 2)};
    alphas[i] = static_cast<png_byte>(i * 17);
  }
  if (kind.colourType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 16);
  if (kind.transparency) {
    png_color_16 key = {};
    key.gray = key.red = static_cast<png_uint_16>(Sample(kind, 0, 0, 0));
    key.green = static_cast<png_uint_16>(Sample(kind, 0, 0, 1));
    key.blue = static_cast<png_uint_16>(Sample(kind, 0, 0, 2));
    png_set_tRNS(png, info, alphas, 1 << kind.depth < 16 ? 1 << kind.depth : 16, &key);
  }
  if (kind.extraChunks) {
    png_set_gAMA_fixed(png, info, 45455);
    png_text text = {};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Title");
    text.text = const_cast<char*>("pattern");
    png_set_text(png, info, &text, 1);
  }
  png_write_info(png, info);
  const int channels = Channels(kind.colourType);
  const int passes = png_set_interlace_handling(png);
  Bytes row((kWidth * channels * kind.depth + 7) / 8);
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < kHeight; ++y) {
      std::fill(row.begin(), row.end(), 0);
      for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < channels; ++c) {
          const unsigned v = Sample(kind, x, y, c);
          const int bit = (x * channels + c) * kind.depth;
          if (kind.depth == 16) {
            row[bit / 8] = static_cast<uint8_t>(v >> 8);
            row[bit / 8 + 1] = static_cast<uint8_t>(v);
          } else {
            row[bit / 8] |= static_cast<uint8_t>(v << (8 - kind.depth - bit % 8));
          }
        }
      png_write_row(png, row.data());
    }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

void Pngs() {
  PngKind rgb, rgbKey, palette, palette4, grey1, grey16, greyAlpha, rgba, rgb16, interlaced;
  rgbKey.transparency = true;
  palette.colourType = palette4.colourType = PNG_COLOR_TYPE_PALETTE;
  palette.transparency = true;
  palette4.depth = 4;
  grey1.colourType = grey16.colourType = PNG_COLOR_TYPE_GRAY;
  grey1.depth = 1;
  grey16.depth = 16;
  grey16.transparency = true;
  greyAlpha.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
  rgba.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  rgb16.depth = 16;
  interlaced.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  interlaced.interlaced = true;
  Save("png-rgb", Png(rgb));
  Save("png-rgb-colour-key", Png(rgbKey));
  Save("png-palette-alphas", Png(palette));
  Save("png-palette-4bit", Png(palette4));
  Save("png-grey-1bit", Png(grey1));
  Save("png-grey-16bit-key", Png(grey16));
  Save("png-grey-alpha", Png(greyAlpha));
  Save("png-rgba", Png(rgba));
  Save("png-rgb-16bit", Png(rgb16));
  Save("png-rgba-interlaced", Png(interlaced));
}

// A PNG file's chunks: where each starts, and its type.
struct Chunk {
  size_t at;
  std::string type;
};

uint32_t Word(const Bytes& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

std::vector<Chunk> Chunks(const Bytes& png) {
  std::vector<Chunk> chunks;
  for (size_t at = 8; at + 8 <= png.size(); at += 12 + Word(png, at))
    chunks.push_back({at, std::string(png.begin() + at + 4, png.begin() + at + 8)});
  return chunks;
}

// The damage of interrupted copies and bad disks: the file ends at a chunk boundary or inside
// a chunk's length or type, or a chunk's length runs past the end of the file.
void DamagedPngs() {
  PngKind kind;
  kind.extraChunks = true;
  kind.dataChunk = 32;
  const Bytes png = Png(kind);
  std::vector<Chunk> chunks = Chunks(png);
  for (size_t i = 0; i < chunks.size(); ++i) {
    const Chunk& c = chunks[i];
    const std::string name = "png-" + std::to_string(i) + "-" + c.type;
    const auto cut = [&](size_t size) { return Bytes(png.begin(), png.begin() + size); };
    Save(name + "-cut-before", cut(c.at));
    Save(name + "-cut-in-length", cut(c.at + 2));
    Save(name + "-cut-in-type", cut(c.at + 6));
    Bytes longer = png;
    const uint32_t past = static_cast<uint32_t>(png.size() - c.at - 8 - 4 + 1);
    for (int k = 0; k < 4; ++k) longer[c.at + k] = static_cast<uint8_t>(past >> (24 - 8 * k));
    Save(name + "-length-past-end", longer);
    if (c.type == "IDAT") {
      for (int k = 0; k < 4; ++k) longer[c.at + k] = k ? 0xFF : 0x7F;
      Save(name + "-length-2g", longer);
    }
  }
}

// Small files in the other formats the image library tells from their first bytes, each a
// way into one of its loaders, written out field by field.
struct Writer {
  Bytes bytes;
  Writer& operator()(std::initializer_list<uint8_t> list) {
    bytes.insert(bytes.end(), list);
    return *this;
  }
  Writer& Text(const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
  }
  Writer& Le(uint32_t v, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(v >> 8 * i));
    return *this;
  }
  Writer& Be(uint32_t v, int size) {
    for (int i = size - 1; i >= 0; --i) bytes.push_back(static_cast<uint8_t>(v >> 8 * i));
    return *this;
  }
  Writer& Zeros(size_t n) {
    bytes.insert(bytes.end(), n, 0);
    return *this;
  }
  // Fills in a 32-bit length of what follows `at` (+ extra) at `at`.
  void PatchLe(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> 8 * i);
  }
  void PatchBe(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  }
};

constexpr int kW = 7, kH = 5;

// Bottom-up rows of blue, green, red bytes padded to 4, as in BMP and ICO files.
void BmpPixels(Writer& w, int bits) {
  for (int y = kH - 1; y >= 0; --y) {
    for (int x = 0; x < kW; ++x) {
      w({Pattern(x, y, 2), Pattern(x, y, 1), Pattern(x, y, 0)});
      if (bits == 32) w({Pattern(x, y, 3)});
    }
    if (bits == 24) w.Zeros((4 - kW * 3 % 4) % 4);
  }
}

void InfoHeader(Writer& w, int height, int bits, int compression, uint32_t colours) {
  w.Le(40, 4).Le(kW, 4).Le(height, 4).Le(1, 2).Le(bits, 2).Le(compression, 4).Le(0, 4);
  w.Le(2835, 4).Le(2835, 4).Le(colours, 4).Le(0, 4);
}

void Bmps() {
  Writer rgb;
  rgb.Text("BM").Le(0, 4).Le(0, 4).Le(54, 4);
  InfoHeader(rgb, kH, 24, 0, 0);
  BmpPixels(rgb, 24);
  rgb.PatchLe(2, static_cast<uint32_t>(rgb.bytes.size()));
  Save("bmp-24bit", rgb.bytes);

  // 8 bits a pixel, run-length coded: a run and a literal a row, then the end.
  Writer rle;
  rle.Text("BM").Le(0, 4).Le(0, 4).Le(54 + 16 * 4, 4);
  InfoHeader(rle, kH, 8, 1, 16);
  for (int i = 0; i < 16; ++i) rle({Pattern(i, 0, 2), Pattern(0, i, 1), Pattern(i, i, 0), 0});
  for (int y = 0; y < kH; ++y) rle({4, static_cast<uint8_t>(y), 0, 3, 1, 2, 3, 0, 0, 0});
  rle({0, 1});
  rle.PatchLe(2, static_cast<uint32_t>(rle.bytes.size()));
  Save("bmp-8bit-rle", rle.bytes);

  // Icon and cursor: a directory of one 32-bit picture, twice as high with its mask.
  for (int type = 1; type <= 2; ++type) {
    Writer icon;
    icon.Le(0, 2).Le(type, 2).Le(1, 2);
    icon({kW, kH, 0, 0}).Le(type == 1 ? 1 : 3, 2).Le(type == 1 ? 32 : 2, 2);
    const size_t size = icon.bytes.size();
    icon.Le(0, 4).Le(22, 4);
    InfoHeader(icon, 2 * kH, 32, 0, 0);
    BmpPixels(icon, 32);
    for (int y = 0; y < kH; ++y) icon({0x55, 0, 0, 0});  // the mask: 1 bit a pixel
    icon.PatchLe(size, static_cast<uint32_t>(icon.bytes.size() - 22));
    Save(type == 1 ? "ico-32bit" : "cur-32bit", icon.bytes);
  }
}

// GIF with a transparent colour; LZW codes of 3 bits, kept so by a clear code every second
// pixel.
void Gif() {
  Writer w;
  w.Text("GIF89a").Le(kW, 2).Le(kH, 2)({0x81, 0, 0});
  for (int i = 0; i < 4; ++i) w({Pattern(i * 9, 0, 0), Pattern(0, i * 5, 1), Pattern(i, i, 2)});
  w({0x21, 0xF9, 4, 1, 0, 0, 3, 0});  // graphic control: colour 3 is transparent
  w({0x2C}).Le(0, 2).Le(0, 2).Le(kW, 2).Le(kH, 2)({0, 2});
  std::vector<int> codes;
  for (int i = 0; i < kW * kH; ++i) {
    if (i % 2 == 0) codes.push_back(4);
    codes.push_back((i % kW + i / kW) % 4);
  }
  codes.push_back(5);
  Bytes data;
  unsigned bits = 0, count = 0;
  for (int code : codes) {
    bits |= code << count;
    for (count += 3; count >= 8; count -= 8, bits >>= 8) data.push_back(bits & 0xFF);
  }
  if (count) data.push_back(bits & 0xFF);
  w({static_cast<uint8_t>(data.size())});
  w.bytes.insert(w.bytes.end(), data.begin(), data.end());
  w({0, 0x3B});
  Save("gif-transparent", w.bytes);
}

// PCX: 24-bit in three planes, and 8-bit with its palette at the end; run-length coded.
void Pcx() {
  for (int planes : {3, 1}) {
    Writer w;
    w({10, 5, 1, 8}).Le(0, 2).Le(0, 2).Le(kW - 1, 2).Le(kH - 1, 2).Le(72, 2).Le(72, 2);
    w.Zeros(48)({0, static_cast<uint8_t>(planes)}).Le(kW + 1, 2).Le(1, 2).Zeros(58);
    for (int y = 0; y < kH; ++y)
      for (int p = 0; p < planes; ++p) {
        w({0xC3, Pattern(0, y, p)});  // a run of 3
        for (int x = 3; x <= kW; ++x) w({static_cast<uint8_t>(Pattern(x, y, p) & 0x3F)});
      }
    if (planes == 1) {
      w({12});
      for (int i = 0; i < 256; ++i) w({Pattern(i, 0, 0), Pattern(0, i, 1), Pattern(i, i, 2)});
    }
    Save(planes == 3 ? "pcx-24bit" : "pcx-8bit-palette", w.bytes);
  }
}

void Pnms() {
  Writer p6, p2, p4;
  p6.Text("P6\n# pattern\n7 5\n255\n");
  p2.Text("P2\n7 5\n15\n");
  p4.Text("P4\n7 5\n");
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      p6({Pattern(x, y, 0), Pattern(x, y, 1), Pattern(x, y, 2)});
      p2.Text(std::to_string(Pattern(x, y, 1) >> 4) + (x + 1 < kW ? " " : "\n"));
    }
    p4({static_cast<uint8_t>(0xA5 << y)});
  }
  Save("pnm-p6", p6.bytes);
  Save("pnm-p2", p2.bytes);
  Save("pnm-p4", p4.bytes);
}

void TextFormats() {
  Writer xpm;
  xpm.Text("/* XPM */\nstatic char *pattern[] = {\n\"7 5 3 1\",\n");
  xpm.Text("\"  c None\",\n\". c #FF8000\",\n\"+ c blue\",\n");
  for (int y = 0; y < kH; ++y) {
    std::string row = "\"";
    for (int x = 0; x < kW; ++x) row += " .+"[(x + y) % 3];
    xpm.Text(row + (y + 1 < kH ? "\",\n" : "\"\n};\n"));
  }
  Save("xpm", xpm.bytes);

  // XV's thumbnails: bytes of 3-3-2 bits of red, green and blue.
  Writer xv;
  xv.Text("P7 332\n#XVVERSION:Version 2.28\n#END_OF_COMMENTS\n7 5 255\n");
  for (int i = 0; i < kW * kH; ++i) xv({static_cast<uint8_t>(i * 7)});
  Save("xv-thumbnail", xv.bytes);
}

// TIFF, little-endian, one strip: uncompressed colour, and grey in PackBits runs.
void Tiffs() {
  for (bool colour : {true, false}) {
    Writer w;
    const int samples = colour ? 3 : 1, entries = 10;
    const uint32_t bitsAt = 8 + 2 + entries * 12 + 4, dataAt = bitsAt + 8;
    Bytes strip;
    for (int y = 0; y < kH; ++y) {
      if (!colour) strip.insert(strip.end(), {static_cast<uint8_t>(0x100 - 2), Pattern(0, y, 1)});
      if (!colour) strip.push_back(kW - 3 - 1);
      for (int x = colour ? 0 : 3; x < kW; ++x)
        for (int c = 0; c < samples; ++c) strip.push_back(Pattern(x, y, colour ? c : 1));
    }
    const auto tag = [&](int id, int type, uint32_t count, uint32_t value) {
      w.Le(id, 2).Le(type, 2).Le(count, 4);
      if (type == 3 && count == 1)
        w.Le(value, 2).Le(0, 2);
      else
        w.Le(value, 4);
    };
    w.Text("II").Le(42, 2).Le(8, 4).Le(entries, 2);
    tag(256, 3, 1, kW);
    tag(257, 3, 1, kH);
    tag(258, 3, samples, colour ? bitsAt : 8);
    tag(259, 3, 1, colour ? 1 : 32773);
    tag(262, 3, 1, colour ? 2 : 1);
    tag(273, 4, 1, dataAt);
    tag(277, 3, 1, samples);
    tag(278, 3, 1, kH);
    tag(279, 4, 1, static_cast<uint32_t>(strip.size()));
    tag(284, 3, 1, 1);
    w.Le(0, 4);
    w.Le(8, 2).Le(8, 2).Le(8, 2).Le(0, 2);
    w.bytes.insert(w.bytes.end(), strip.begin(), strip.end());
    Save(colour ? "tiff-rgb" : "tiff-grey-packbits", w.bytes);
  }
}

// Amiga ILBM: 4 bit planes, uncompressed, with a palette.
void Lbm() {
  Writer w;
  w.Text("FORM").Be(0, 4).Text("ILBM");
  w.Text("BMHD").Be(20, 4).Be(kW, 2).Be(kH, 2).Be(0, 2).Be(0, 2)({4, 0, 0, 0});
  w.Be(0, 2)({10, 11}).Be(kW, 2).Be(kH, 2);
  w.Text("CMAP").Be(48, 4);
  for (int i = 0; i < 16; ++i) w({Pattern(i * 2, 0, 0), Pattern(0, i, 1), Pattern(i, 3, 2)});
  w.Text("BODY").Be(kH * 4 * 2, 4);
  for (int y = 0; y < kH; ++y)
    for (int plane = 0; plane < 4; ++plane) w({static_cast<uint8_t>(0x96 >> plane << y), 0});
  w.PatchBe(4, static_cast<uint32_t>(w.bytes.size() - 8));
  Save("lbm-ilbm", w.bytes);
}

// GIMP's XCF: one visible RGBA layer of one uncompressed tile.
void Xcf() {
  Writer w;
  w.Text("gimp xcf file").Zeros(1).Be(kW, 4).Be(kH, 4).Be(0, 4);
  w.Be(17, 4).Be(1, 4)({0});  // compression: none
  w.Be(0, 4).Be(0, 4);        // end of the properties
  const size_t layerList = w.bytes.size();
  w.Be(0, 4).Be(0, 4).Be(0, 4);  // one layer, no channel
  w.PatchBe(layerList, static_cast<uint32_t>(w.bytes.size()));
  w.Be(kW, 4).Be(kH, 4).Be(1, 4).Be(2, 4).Text("L").Zeros(1);
  w.Be(8, 4).Be(4, 4).Be(1, 4);            // visible
  w.Be(15, 4).Be(8, 4).Be(0, 4).Be(0, 4);  // offsets
  w.Be(0, 4).Be(0, 4);
  const size_t hierarchyAt = w.bytes.size();
  w.Be(0, 4).Be(0, 4);  // hierarchy, no mask
  w.PatchBe(hierarchyAt, static_cast<uint32_t>(w.bytes.size()));
  w.Be(kW, 4).Be(kH, 4).Be(4, 4);
  const size_t levelAt = w.bytes.size();
  w.Be(0, 4).Be(0, 4);
  w.PatchBe(levelAt, static_cast<uint32_t>(w.bytes.size()));
  w.Be(kW, 4).Be(kH, 4);
  const size_t tileAt = w.bytes.size();
  w.Be(0, 4).Be(0, 4);
  w.PatchBe(tileAt, static_cast<uint32_t>(w.bytes.size()));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      for (int c = 0; c < 4; ++c) w({Pattern(x, y, c)});
  Save("xcf-rgba", w.bytes);
}

// WebP, lossless: a picture of one colour, five prefix codes of one symbol each, so that the
// pixels take no bits.
void Webp() {
  Bytes bits;
  unsigned acc = 0, count = 0;
  const auto put = [&](unsigned v, unsigned n) {
    for (unsigned i = 0; i < n; ++i, v >>= 1) {
      acc |= (v & 1) << count;
      if (++count == 8) bits.push_back(static_cast<uint8_t>(acc)), acc = count = 0;
    }
  };
  put(0x2F, 8);
  put(kW - 1, 14), put(kH - 1, 14), put(0, 1), put(0, 3);
  put(0, 1), put(0, 1), put(0, 1);  // no transform, no colour cache, no meta codes
  const unsigned symbols[5] = {0x80, 0x20, 0xC0, 0xFF, 0};
  for (unsigned symbol : symbols) put(1, 1), put(0, 1), put(1, 1), put(symbol, 8);
  if (count) bits.push_back(static_cast<uint8_t>(acc));
  if (bits.size() % 2) bits.push_back(0);
  Writer w;
  w.Text("RIFF").Le(static_cast<uint32_t>(12 + bits.size()), 4).Text("WEBPVP8L");
  w.Le(static_cast<uint32_t>(bits.size()), 4);
  w.bytes.insert(w.bytes.end(), bits.begin(), bits.end());
  Save("webp-lossless", w.bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  folder = argv[1];
  Jpegs();
  Pngs();
  DamagedPngs();
  Bmps();
  Gif();
  Pcx();
  Pnms();
  TextFormats();
  Tiffs();
  Lbm();
  Xcf();
  Webp();
  return 0;
}
