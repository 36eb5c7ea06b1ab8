#include "sounds.h"

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A file's bytes, little-endian, written at increasing offsets with zeros between.
struct Bytes {
  std::vector<unsigned char> data;
  void At(size_t offset) { data.resize(std::max(data.size(), offset)); }
  void Put(unsigned value, int size) {
    for (int i = 0; i < size; ++i) data.push_back((value >> (8 * i)) & 0xFF);
  }
  void Text(const char* text, size_t size) {
    for (size_t i = 0; i < size; ++i) data.push_back(i < strlen(text) ? text[i] : 0);
  }
  bool Save(const std::string& path) const {
    FILE* out = fopen(path.c_str(), "wb");
    const bool written = out && fwrite(data.data(), 1, data.size(), out) == data.size();
    return out && fclose(out) == 0 && written;
  }
};

constexpr int kSampleLength = 64, kRows = 64;

// A square wave, signed; `unsign` for the formats that store unsigned, `delta` for XM's.
void Sample(Bytes& b, bool unsign, bool delta) {
  int last = 0;
  for (int i = 0; i < kSampleLength; ++i) {
    const int v = i % 16 < 8 ? 100 : -100;
    b.Put((delta ? v - last : v) + (unsign ? 128 : 0), 1);
    last = v;
  }
}

bool S3m(const std::string& path) {
  Bytes b;
  b.Text("square", 28);
  b.Put(0x1A, 1), b.Put(16, 1), b.Put(0, 2);
  b.Put(2, 2), b.Put(1, 2), b.Put(1, 2), b.Put(0, 2), b.Put(0x1320, 2), b.Put(2, 2);  // unsigned
  b.Text("SCRM", 4);
  b.Put(64, 1), b.Put(6, 1), b.Put(125, 1), b.Put(0xB0, 1), b.Put(0, 1), b.Put(0, 1);
  b.At(64);
  for (int c = 0; c < 32; ++c) b.Put(c < 2 ? c * 8 : 255, 1);
  b.Put(0, 1), b.Put(255, 1);              // orders
  b.Put(112 / 16, 2), b.Put(192 / 16, 2);  // the instrument and the pattern, in paragraphs
  b.At(112);
  b.Put(1, 1), b.Text("square.raw", 12), b.Put(0, 1), b.Put(272 / 16, 2);
  b.Put(kSampleLength, 4), b.Put(0, 4), b.Put(kSampleLength, 4), b.Put(64, 1), b.Put(0, 2);
  b.Put(1, 1), b.Put(8363, 4);  // looped, C-4 rate
  b.At(160), b.Text("square", 28), b.Text("SCRS", 4);
  b.Put(2 + 4 + kRows - 1, 2), b.Put(0x20, 1), b.Put(0x40, 1), b.Put(1, 1);  // C-4, sample 1
  for (int row = 0; row < kRows; ++row) b.Put(0, 1);
  b.At(272);
  Sample(b, true, false);
  return b.Save(path);
}

bool Xm(const std::string& path) {
  Bytes b;
  b.Text("Extended Module: ", 17), b.Text("square", 20), b.Put(0x1A, 1), b.Text("tests", 20);
  b.Put(0x0104, 2), b.Put(276, 4);
  b.Put(1, 2), b.Put(0, 2), b.Put(2, 2), b.Put(1, 2), b.Put(1, 2), b.Put(1, 2), b.Put(6, 2);
  b.Put(125, 2);
  b.At(336);
  b.Put(9, 4), b.Put(0, 1), b.Put(kRows, 2), b.Put(4 + 2 * (kRows - 1), 2);
  b.Put(0x83, 1), b.Put(49, 1), b.Put(1, 1), b.Put(0x80, 1);  // C-4, instrument 1
  for (int row = 1; row < kRows; ++row) b.Put(0x80, 1), b.Put(0x80, 1);
  const size_t instrument = b.data.size();
  b.Put(263, 4), b.Text("square", 22), b.Put(0, 1), b.Put(1, 2), b.Put(40, 4);
  b.At(instrument + 263);
  b.Put(kSampleLength, 4), b.Put(0, 4), b.Put(kSampleLength, 4), b.Put(64, 1), b.Put(0, 1);
  b.Put(1, 1), b.Put(128, 1), b.Put(0, 1), b.Put(0, 1), b.Text("square", 22);  // looped
  Sample(b, false, true);
  return b.Save(path);
}

bool It(const std::string& path) {
  Bytes b;
  b.Text("IMPM", 4), b.Text("square", 26), b.Put(0x1004, 2);
  b.Put(2, 2), b.Put(0, 2), b.Put(1, 2), b.Put(1, 2), b.Put(0x0214, 2), b.Put(0x0200, 2);
  b.Put(1, 2), b.Put(0, 2);  // stereo, samples without instruments
  b.Put(128, 1), b.Put(48, 1), b.Put(6, 1), b.Put(125, 1), b.Put(128, 1), b.Put(0, 1);
  b.At(64);
  for (int c = 0; c < 64; ++c) b.Put(32, 1);
  for (int c = 0; c < 64; ++c) b.Put(64, 1);
  b.Put(0, 1), b.Put(255, 1);    // orders
  b.Put(202, 4), b.Put(282, 4);  // the sample's header and the pattern
  b.Text("IMPS", 4), b.Text("square.raw", 12), b.Put(0, 1), b.Put(64, 1), b.Put(0x11, 1);
  b.Put(64, 1), b.Text("square", 26), b.Put(1, 1), b.Put(0, 1);  // looped, signed
  b.Put(kSampleLength, 4), b.Put(0, 4), b.Put(kSampleLength, 4), b.Put(8363, 4);
  b.Put(0, 4), b.Put(0, 4), b.Put(358, 4), b.Put(0, 4);
  b.Put(5 + kRows - 1, 2), b.Put(kRows, 2), b.Put(0, 4);
  b.Put(0x81, 1), b.Put(0x03, 1), b.Put(60, 1), b.Put(1, 1);  // C-5, sample 1
  for (int row = 0; row < kRows; ++row) b.Put(0, 1);
  Sample(b, false, false);
  return b.Save(path);
}

void WritePages(ogg_stream_state& stream, FILE* out, bool flush) {
  ogg_page page;
  while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
    fwrite(page.header, 1, page.header_len, out);
    fwrite(page.body, 1, page.body_len, out);
  }
}

}  // namespace

bool WriteModule(const std::string& path, ModuleFormat format) {
  return format == kXmModule ? Xm(path) : format == kS3mModule ? S3m(path) : It(path);
}

bool WriteOgg(const std::string& path, int rate, int channels, int ms, long declaredRate) {
  FILE* out = fopen(path.c_str(), "wb");
  if (!out) return false;
  vorbis_info info;
  vorbis_info_init(&info);
  vorbis_encode_init_vbr(&info, channels, rate, 0.4f);
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", "Two tones");
  vorbis_dsp_state dsp;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block block;
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, 1);
  ogg_packet header, commentHeader, codebooks;
  if (declaredRate) info.rate = declaredRate;
  vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codebooks);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &commentHeader);
  ogg_stream_packetin(&stream, &codebooks);
  WritePages(stream, out, true);
  const long total = static_cast<long>(rate) * ms / 1000;
  for (long done = 0;;) {
    const long n = std::min(1024L, total - done);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&dsp, n);
      for (long i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
          buffer[c][i] = 0.4f * std::sin((done + i) * 2 * M_PI * (330 + 110 * c) / rate);
    }
    vorbis_analysis_wrote(&dsp, n > 0 ? n : 0);
    done += n > 0 ? n : 0;
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
      vorbis_analysis(&block, nullptr);
      vorbis_bitrate_addblock(&block);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp, &packet)) ogg_stream_packetin(&stream, &packet);
      WritePages(stream, out, false);
    }
    if (n <= 0) break;
  }
  WritePages(stream, out, true);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  return fclose(out) == 0;
}
