// The final fade's sweep: the snapshot blended over black several pixels at a time, where it
// gives SDL's own bytes.
#include <algorithm>
#include <cstring>

#include "anim/canvas.h"
#include "anim/surfaces.h"
#include "driver/driver.h"

// The fade blends the snapshot over black, which SDL 1.2 does a pixel at a time in plain C:
// some thirty times a memcpy. Over black each channel comes out as its value times the
// opacity, scaled down; the sweep computes that for 8 or 4 pixels at once straight from the
// snapshot, and needs no black fill first since it writes every pixel. It is used for an
// opacity only once SDL's own blend of a probe, every value of every channel, has given the
// sweep's bytes.
struct FadeSweep {
  int bytes;       // per pixel: 2 (5-6-5) or 4 (channels of whole bytes)
  Uint32 mask[3];  // red, green, blue
  int shift[3];    // of each channel's lowest bit
  int scale;       // the blend's fixed-point bits: 5 for 2-byte pixels, 8 for 4-byte ones
  Uint32 other;    // the bits of a pixel outside its three channels
  Uint32 factor;   // the opacity in `scale` bits
  Uint32 fixed;    // what the blend leaves in `other`
};

static Uint32 SweptPixel(const FadeSweep& s, Uint32 p) {
  Uint32 out = s.fixed;
  for (int c = 0; c < 3; ++c)
    out |= (((p & s.mask[c]) >> s.shift[c]) * s.factor >> s.scale) << s.shift[c];
  return out;
}

typedef Uint16 Lanes __attribute__((vector_size(32)));  // 16 pixels of 2 bytes, 8 of 4

// On x86-64 the sweep is built for AVX2 as well, which takes twice the pixels per instruction,
// and the loader picks the build that the processor runs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TOLVANE_SWEEP_BUILDS __attribute__((target_clones("avx2", "default")))
#else
#define TOLVANE_SWEEP_BUILDS
#endif

// SweptPixel for every pixel of `from`, written to `to` at (x, y), a vector at a time.
TOLVANE_SWEEP_BUILDS static void Sweep(const FadeSweep& s, SDL_Surface* from, SDL_Surface* to,
                                       int x0, int y0) {
  // Locals: the stores may alias anything that the compiler would otherwise read again.
  const int bytes = s.bytes, width = from->w, height = from->h;
  const int fromPitch = from->pitch, toPitch = to->pitch;
  const int vectorBytes = (width - width % static_cast<int>(sizeof(Lanes) / bytes)) * bytes;
  const Uint16 factor = static_cast<Uint16>(s.factor);
  const Uint16 redFactor = static_cast<Uint16>(factor << 6);
  // Pixels of 4 bytes: the channel bytes to keep and the fixed bits, as pairs of lanes.
  const Uint32 channels = s.mask[0] | s.mask[1] | s.mask[2];
  Lanes keep, fixed;
  for (size_t i = 0; i < sizeof(Lanes) / sizeof(Uint16); i += 2) {
    keep[i] = static_cast<Uint16>(channels), keep[i + 1] = static_cast<Uint16>(channels >> 16);
    fixed[i] = static_cast<Uint16>(s.fixed), fixed[i + 1] = static_cast<Uint16>(s.fixed >> 16);
  }
  const Uint8* in = static_cast<const Uint8*>(from->pixels);
  Uint8* out = static_cast<Uint8*>(to->pixels) + y0 * toPitch + x0 * bytes;
  for (int y = 0; y < height; ++y, in += fromPitch, out += toPitch) {
    for (int i = 0; i < vectorBytes; i += sizeof(Lanes)) {
      Lanes p;
      memcpy(&p, in + i, sizeof p);
      if (bytes == 2) {
        // 5-6-5: each (value * factor) >> 5 is made in place, shifted by what the >> 5 and
        // the field's position leave, then masked.
        p = (((p >> 11) * redFactor) & 0xF800) | ((((p & 0x07E0) * factor) >> 5) & 0x07E0) |
            (((p & 0x001F) * factor) >> 5);
      } else {
        // Channels of whole bytes: every byte becomes (value * factor) >> 8, two to a lane;
        // the bytes outside the channels then take the fixed bits.
        p = (((((p & 0x00FF) * factor) >> 8) | (((p >> 8) * factor) & 0xFF00)) & keep) | fixed;
      }
      memcpy(out + i, &p, sizeof p);
    }
    for (int x = vectorBytes / bytes; x < width; ++x) {
      Uint32 p = 0;
      memcpy(&p, in + x * bytes, bytes);  // little-endian: the low bytes
      p = SweptPixel(s, p);
      memcpy(out + x * bytes, &p, bytes);
    }
  }
}

// The sweep for a display format, or one with no bytes when there is none.
static FadeSweep SweepFor(const SDL_PixelFormat* f) {
  FadeSweep s = {};
  const Uint32 masks[3] = {f->Rmask, f->Gmask, f->Bmask};
  const int shifts[3] = {f->Rshift, f->Gshift, f->Bshift};
  bool wholeByteChannels = f->BytesPerPixel == 4 && !f->palette;
  for (int c = 0; c < 3; ++c) {
    s.mask[c] = masks[c];
    s.shift[c] = shifts[c];
    wholeByteChannels = wholeByteChannels && shifts[c] % 8 == 0 && masks[c] >> shifts[c] == 0xFF;
  }
  const bool is565 = Is565(f);
  s.bytes = is565 ? 2 : wholeByteChannels ? 4 : 0;
  s.scale = is565 ? 5 : 8;
  s.other = (is565 ? 0xFFFF : 0xFFFFFFFF) & ~(f->Rmask | f->Gmask | f->Bmask);
  return s;
}

// The probe that SDL and the sweep both blend, one row in the display's format. Pixel x holds
// value x / 8 in each channel (offset per channel), so every value of every channel stands at
// each of 8 lane positions (SDL's blends take at most 8 pixels at once); every other value
// comes with the bits outside the channels set; the last pixels, past the sweep's last
// vector, take its pixel-by-pixel path.
constexpr int kLanePositions = 8, kProbeWidth = kLanePositions * 256 + 5;

static void FillProbe(const FadeSweep& s, SDL_Surface* probe) {
  Uint8* row = static_cast<Uint8*>(probe->pixels);
  for (int x = 0; x < kProbeWidth; ++x) {
    const int value = x / kLanePositions % 256;
    Uint32 p = value % 2 ? s.other : 0;
    for (int c = 0; c < 3; ++c) p |= static_cast<Uint32>(value + 85 * c) << s.shift[c] & s.mask[c];
    if (s.bytes == 2)
      reinterpret_cast<Uint16*>(row)[x] = static_cast<Uint16>(p);
    else
      reinterpret_cast<Uint32*>(row)[x] = p;
  }
}

// Lets SDL blend the probe `made[0]` over black at `opacity` into `made[1]`, sweeps it into
// `made[2]`, and compares; fills in the sweep's factor and fixed bits.
static bool SweepAgreesWithSdl(FadeSweep& s, SDL_Surface* const made[3], Uint8 opacity) {
  SDL_Surface *probe = made[0], *blended = made[1], *swept = made[2];
  SDL_FillRect(blended, nullptr, 0);
  SDL_SetAlpha(probe, SDL_SRCALPHA, opacity);
  SDL_UpperBlit(probe, nullptr, blended, nullptr);
  s.factor = opacity >> (8 - s.scale);
  s.fixed = 0;
  memcpy(&s.fixed, blended->pixels, s.bytes);  // what the blend left outside the channels
  s.fixed &= s.other;
  Sweep(s, probe, swept, 0, 0);
  return memcmp(blended->pixels, swept->pixels, kProbeWidth * s.bytes) == 0;
}

// Draws the snapshot at `transparency` over black with the sweep, if it may; else false.
bool SweepFade(int transparency) {
  struct Verdict {
    Sint8 agrees;  // 1 the sweep gives SDL's bytes, -1 it does not, 0 not probed yet
    Uint32 fixed;
  };
  static FadeSweep known = {};
  static Verdict verdicts[256];   // per opacity, for the format of `known`
  static SDL_Surface* probes[3];  // kept for the whole fade: one probe per opacity
  SDL_Surface* target = canvas.surface;
  FadeSweep s = SweepFor(target->format);
  const SDL_PixelFormat *f = target->format, *from = fade->format;
  const SDL_Rect &clip = target->clip_rect, &area = canvas.area;
  // The snapshot fills the area, which is the clip rectangle: the sweep writes all of it.
  const bool fits = s.bytes && !SDL_MUSTLOCK(target) && !SDL_MUSTLOCK(fade) && fade->w == area.w &&
                    fade->h == area.h && clip.x == area.x && clip.y == area.y && clip.w == area.w &&
                    clip.h == area.h && from->BytesPerPixel == f->BytesPerPixel &&
                    from->Rmask == f->Rmask && from->Gmask == f->Gmask && from->Bmask == f->Bmask &&
                    from->Amask == f->Amask;
  // Opaque, the blit is a copy, which BlitFaded makes quickly.
  if (!fits || transparency <= 0) return false;
  if (memcmp(s.mask, known.mask, sizeof s.mask) != 0 || s.bytes != known.bytes) {
    known = s;
    for (Verdict& v : verdicts) v = Verdict{};
    for (SDL_Surface*& surface : probes) {
      if (surface) SDL_FreeSurface(surface);
      surface = NewCanvasSurface(kProbeWidth, 1);
    }
    if (probes[0]) FillProbe(s, probes[0]);
  }
  if (!probes[0] || !probes[1] || !probes[2]) return false;
  const Uint8 opacity = static_cast<Uint8>(255 - std::min(transparency, 255));
  Verdict& verdict = verdicts[opacity];
  if (verdict.agrees == 0) {
    verdict.agrees = SweepAgreesWithSdl(s, probes, opacity) ? 1 : -1;
    verdict.fixed = s.fixed;
  }
  if (verdict.agrees < 0) return false;
  s.factor = opacity >> (8 - s.scale);
  s.fixed = verdict.fixed;
  SetTransparency(fade, transparency);  // as the blit would leave the snapshot
  Sweep(s, fade, target, area.x, area.y);
  return true;
}
