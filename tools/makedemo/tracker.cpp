// The show's music: a four-channel, 31-sample "M.K." tracker module with instruments
// synthesised here and a tune in A minor, written note by note.
#include "makedemo.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

constexpr int kSampleSlots = 31;
constexpr int kChannels = 4;
constexpr int kRows = 64;
constexpr int kOrderSlots = 128;
// Amiga periods of C-1 .. B-3, the range every player knows.
constexpr Uint16 kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                                 428, 404, 381, 360, 340, 320, 302, 285, 269, 254, 240, 226,
                                 214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};
// Playback rate of a sample at C-2 and at C-3 (periods 428 and 214) on a PAL machine.
constexpr double kPalClock = 7093789.2;
constexpr double kRateC2 = kPalClock / (2 * 428);
constexpr double kRateC3 = kPalClock / (2 * 214);
constexpr double kPi = 3.14159265358979;

// Instrument numbers as the patterns use them (1-based, 0 means "keep the last one").
enum Instrument { kKick = 1, kSnare, kHat, kBass, kLead, kPad, kPluck, kInstruments = kPluck };

constexpr int kMaxSampleLength = 16384;  // bytes; the format allows 128 KiB
struct Sample {
  char name[23];
  int length, loopStart, loopLength;  // bytes; loopLength 0: plays once
  int volume;                         // 0..64
  int finetune;                       // -8..7, eighths of a semitone
  Sint8 data[kMaxSampleLength];
};
static Sample samples[kInstruments + 1];

constexpr int kPatterns = 5;
struct Cell {
  Uint8 instrument;
  Uint16 period;
  Uint8 effect, param;
};
static Cell patterns[kPatterns][kRows][kChannels];

// Effects used (ProTracker numbering).
constexpr Uint8 kArpeggio = 0x0, kSetPanning = 0x8, kSetVolume = 0xC, kSetSpeed = 0xF;
constexpr int kSpeed = 6;    // ticks per row
constexpr int kTempo = 118;  // beats per minute in the usual 4-rows-a-beat sense

// Stores `wave` (any range) scaled so that its peak sits a little below full scale.
static void Store(Sample& s, const float* wave, int length) {
  float peak = 1e-6f;
  for (int i = 0; i < length; ++i) peak = std::fmax(peak, std::fabs(wave[i]));
  for (int i = 0; i < length; ++i)
    s.data[i] = static_cast<Sint8>(std::lround(wave[i] * 118 / peak));
  s.length = length;
}

static float wave[kMaxSampleLength];

// A tone built from harmonics, one waveform cycle of `cycle` samples, whose brightness and
// loudness settle during `cycles` cycles; the last cycle, which no longer changes, loops.
static void Tonal(Sample& s, int cycle, int cycles, float (*harmonic)(int k, float t),
                  float (*loudness)(float t)) {
  const int length = cycle * cycles, loopStart = cycle * (cycles - 1);
  for (int i = 0; i < length; ++i) {
    const float t = static_cast<float>(i < loopStart ? i : loopStart) / loopStart;
    float v = 0;
    for (int k = 1; k < cycle / 2; ++k) v += harmonic(k, t) * std::sin(2 * kPi * k * i / cycle);
    wave[i] = v * loudness(t);
  }
  Store(s, wave, length);
  s.loopStart = loopStart;
  s.loopLength = cycle;
}

// Bass: a saw that starts bright and mellows.
static float BassHarmonic(int k, float t) {
  const float b = 0.25f + 0.6f * std::exp(-t * 5);
  return std::pow(b, k - 1) / k;
}
static float BassLoudness(float t) {
  return 0.75f + 0.25f * std::exp(-t * 8);
}

// Lead: a hollow, square-like tone with a touch of even harmonics.
static float LeadHarmonic(int k, float t) {
  const float b = 0.55f + 0.35f * std::exp(-t * 4);
  return (k % 2 ? 1.0f : 0.18f) * std::pow(b, k - 1) / k;
}
static float LeadLoudness(float t) {
  return 0.8f + 0.2f * std::exp(-t * 6);
}

// Pad: round and soft, swelling in.
static float PadHarmonic(int k, float) {
  return k > 5 ? 0 : std::pow(0.45f, k - 1);
}
static float PadLoudness(float t) {
  return 0.35f + 0.65f * (1 - std::exp(-t * 4));
}

// Plucked string: a burst of soft noise recirculating through a 32-sample delay.
static void Pluck(Sample& s) {
  constexpr int kDelay = 32, kLength = 7000;
  float last = 0;
  for (int i = 0; i < kLength; ++i) {
    if (i < kDelay) {
      last = 0.5f * last + 0.5f * draw::Random(-1, 1);
      wave[i] = last;
    } else {
      const float older = i > kDelay ? wave[i - kDelay - 1] : 0;  // silence before the burst
      wave[i] = 0.4985f * (wave[i - kDelay] + older);
    }
  }
  Store(s, wave, kLength);
}

// Drums are sampled at the C-3 rate and always played at C-3.
static void Kick(Sample& s) {
  constexpr int kLength = 4200;
  double phase = 0;
  for (int i = 0; i < kLength; ++i) {
    const double t = i / kRateC3;
    phase += 2 * kPi * (44 + 120 * std::exp(-t * 28)) / kRateC3;
    wave[i] = static_cast<float>(std::sin(phase) * std::exp(-t * 8));
  }
  Store(s, wave, kLength);
}

static void Snare(Sample& s) {
  constexpr int kLength = 3600;
  float noise = 0;
  for (int i = 0; i < kLength; ++i) {
    const double t = i / kRateC3;
    noise = 0.6f * noise + 0.4f * draw::Random(-1, 1);
    wave[i] = static_cast<float>(noise * 1.6 * std::exp(-t * 16) +
                                 0.6 * std::sin(2 * kPi * 185 * t) * std::exp(-t * 30));
  }
  Store(s, wave, kLength);
}

static void HiHat(Sample& s) {
  constexpr int kLength = 1400;
  float previous = 0;
  for (int i = 0; i < kLength; ++i) {
    const float noise = draw::Random(-1, 1);
    wave[i] = static_cast<float>((noise - previous) * std::exp(-i / kRateC3 * 55));
    previous = noise;
  }
  Store(s, wave, kLength);
}

static void MakeInstruments() {
  draw::Seed(31337);
  // Finetune +1 (1/8 semitone) lifts the 32-sample cycle from 259 Hz to about C at 261 Hz.
  struct Setup {
    const char* name;
    int volume, finetune;
  };
  const Setup setup[kInstruments + 1] = {{"", 0, 0},        {"kick", 64, 0}, {"snare", 46, 0},
                                         {"hi-hat", 30, 0}, {"bass", 52, 1}, {"lead", 38, 1},
                                         {"pad", 24, 1},    {"pluck", 40, 1}};
  Kick(samples[kKick]);
  Snare(samples[kSnare]);
  HiHat(samples[kHat]);
  Tonal(samples[kBass], 64, 40, BassHarmonic, BassLoudness);
  Tonal(samples[kLead], 32, 60, LeadHarmonic, LeadLoudness);
  Tonal(samples[kPad], 32, 90, PadHarmonic, PadLoudness);
  Pluck(samples[kPluck]);
  for (int i = 1; i <= kInstruments; ++i) {
    snprintf(samples[i].name, sizeof samples[i].name, "%s", setup[i].name);
    samples[i].volume = setup[i].volume;
    samples[i].finetune = setup[i].finetune;
    // The first word of a sample doubles as the idle loop of players of the time: keep it silent.
    samples[i].data[0] = samples[i].data[1] = 0;
  }
}

// Note numbers count semitones from C-1 (0) to B-3 (35).
static void Put(int pattern, int row, int channel, int instrument, int note, Uint8 effect = 0,
                Uint8 param = 0) {
  Cell& c = patterns[pattern][row][channel];
  if (note >= 0 && note < 36) {
    c.instrument = static_cast<Uint8>(instrument);
    c.period = kPeriods[note];
  }
  c.effect = effect;
  c.param = param;
}

static void Effect(int pattern, int row, int channel, Uint8 effect, Uint8 param) {
  patterns[pattern][row][channel].effect = effect;
  patterns[pattern][row][channel].param = param;
}

// "A-2", "C#3": the note number, or -1.
static int ParseNote(const char* token) {
  static const int kSemitone[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (token[0] < 'A' || token[0] > 'G') return -1;
  const int octave = token[2] - '1';
  if (octave < 0 || octave > 2) return -1;
  return octave * 12 + kSemitone[token[0] - 'A'] + (token[1] == '#' ? 1 : 0);
}

// One token a row, separated by spaces: a note, "." for nothing, "=" to silence the channel.
static void Melody(int pattern, int channel, int instrument, const char* rows) {
  int row = 0;
  for (const char* p = rows; *p && row < kRows;) {
    while (*p == ' ' || *p == '\n') ++p;
    if (!*p) break;
    if (*p == '.') {
      ++p;
    } else if (*p == '=') {
      Effect(pattern, row, channel, kSetVolume, 0);
      ++p;
    } else {
      Put(pattern, row, channel, instrument, ParseNote(p));
      p += 3;
    }
    ++row;
  }
}

struct Chord {
  int root;  // semitone above C, 0..11
  bool minor;
};
constexpr Chord kAm = {9, true}, kF = {5, false}, kC = {0, false}, kG = {7, false}, kEm = {4, true},
                kDm = {2, true};

// Drums on channel 0, one character a row for each bar: K kick, S snare, h and H soft and
// accented hi-hat, "." nothing. `fill` replaces the pattern's last bar.
static void Drums(int pattern, const char* bar, const char* fill) {
  for (int row = 0; row < kRows; ++row) {
    const char c = (row >= 48 ? fill : bar)[row % 16];
    if (c == 'K') Put(pattern, row, 0, kKick, 24);
    if (c == 'S') Put(pattern, row, 0, kSnare, 24);
    if (c == 'h') Put(pattern, row, 0, kHat, 24, kSetVolume, 20);
    if (c == 'H') Put(pattern, row, 0, kHat, 24, kSetVolume, 36);
  }
}

// Bass on channel 1 following one chord a bar: R root, O root an octave up, F the fifth.
static void Bass(int pattern, const Chord chords[4], const char* rhythm) {
  for (int row = 0; row < kRows; ++row) {
    const int root = chords[row / 16].root;
    const char c = rhythm[row % 16];
    if (c == 'R') Put(pattern, row, 1, kBass, root);
    if (c == 'O') Put(pattern, row, 1, kBass, root + 12);
    if (c == 'F') Put(pattern, row, 1, kBass, root + 7);
  }
}

// Chords on channel 3: the pad's root held through the bar, the third and fifth added by the
// arpeggio effect, which must be repeated on every row.
static void Pad(int pattern, const Chord chords[4]) {
  for (int row = 0; row < kRows; ++row) {
    const Chord& chord = chords[row / 16];
    const Uint8 param = chord.minor ? 0x37 : 0x47;
    if (row % 16 == 0)
      Put(pattern, row, 3, kPad, chord.root, kArpeggio, param);
    else
      Effect(pattern, row, 3, kArpeggio, param);
  }
}

// Broken chords on channel 2, plucked in eighth notes.
static void Arpeggio(int pattern, const Chord chords[4]) {
  static const int kSteps[8] = {0, 1, 2, 3, 2, 1, 2, 3};  // root, third, fifth, octave
  for (int row = 0; row < kRows; row += 2) {
    const Chord& chord = chords[row / 16];
    const int intervals[4] = {0, chord.minor ? 3 : 4, 7, 12};
    const int root = chord.root < 7 ? chord.root + 12 : chord.root;
    Put(pattern, row, 2, kPluck, root + intervals[kSteps[(row / 2) % 8]]);
  }
}

static void Compose() {
  const Chord verse[4] = {kAm, kF, kC, kG};
  const Chord chorus[4] = {kF, kG, kEm, kAm};
  const Chord bridge[4] = {kDm, kF, kAm, kG};
  memset(patterns, 0, sizeof patterns);

  // 0: intro, plucked chords over the pad, hi-hats joining halfway.
  Arpeggio(0, verse);
  Pad(0, verse);
  Bass(0, verse, "R.......R.......");
  Drums(0, "................", "..h...h...S.S.SS");
  for (int row = 32; row < 48; row += 4) Put(0, row + 2, 0, kHat, 24, kSetVolume, 20);
  Effect(0, 0, 0, kSetSpeed, kSpeed);
  Effect(0, 0, 1, kSetSpeed, kTempo);
  // Channels come from the hard left and right of the day; bring them towards the middle.
  for (int channel = 0; channel < kChannels; ++channel)
    Effect(0, 1, channel, kSetPanning, channel == 0 || channel == 3 ? 0x50 : 0xB0);

  // 1 and 2: the verse, a tune and its answer.
  for (int p = 1; p <= 2; ++p) {
    Drums(p, "K.h.S.h.K.hKS.h.", p == 1 ? "K.h.S.h.K.hKS.H." : "K.h.S.h.K.S.SSSS");
    Bass(p, verse, "R.R.O.R.R.R.O.R.");
    Pad(p, verse);
  }
  Melody(1, 2, kLead,
         "A-2 . . . C-3 . E-3 . . . D-3 . C-3 . . . "
         "A-2 . . . . . . . C-3 . A-2 . G-2 . F-2 . "
         "G-2 . . . E-2 . G-2 . C-3 . . . E-3 . D-3 . "
         "D-3 . . . . . . . B-2 . . . G-2 . . . ");
  Melody(2, 2, kLead,
         "E-3 . . . E-3 . D-3 . C-3 . . . B-2 . A-2 . "
         "C-3 . . . A-2 . . . F-2 . A-2 . C-3 . . . "
         "E-3 . . . G-3 . . . E-3 . D-3 . C-3 . . . "
         "D-3 . . . . . B-2 . G-2 . . . = . . . ");

  // 3: the chorus, higher and busier.
  Drums(3, "K.hhS.hhK.hhS.hH", "K.hhS.hhK.K.S.SS");
  Bass(3, chorus, "R.RO.RR.R.RO.RF.");
  Pad(3, chorus);
  Melody(3, 2, kLead,
         "A-3 . . . G-3 . F-3 . E-3 . . . F-3 . A-3 . "
         "G-3 . . . . . D-3 . B-2 . . . D-3 . G-3 . "
         "E-3 . . . G-3 . B-3 . . . A-3 . G-3 . E-3 . "
         "A-3 . . . . . . . . . . . = . . . ");

  // 4: the bridge, half-time drums under plucked chords.
  Drums(4, "K.h.h.h.S.h.h.h.", "K.h.h.h.S.h.S.SS");
  Bass(4, bridge, "R.....R.R.......");
  Pad(4, bridge);
  Arpeggio(4, bridge);
}

// Intro, verse, answer, chorus, bridge, then verse, answer and chorus again.
static const Uint8 kOrder[] = {0, 1, 2, 3, 4, 1, 2, 3};
constexpr Uint8 kRestart = 1;

static void PutWord(FILE* out, int value) {
  fputc((value >> 8) & 0xFF, out);
  fputc(value & 0xFF, out);
}

static bool WriteModule(const char* path) {
  FILE* out = fopen(path, "wb");
  if (!out) {
    perror(path);
    return false;
  }
  char title[20] = "Tolvane";
  fwrite(title, 1, sizeof title, out);
  for (int i = 1; i <= kSampleSlots; ++i) {
    static const Sample kEmpty = {};
    const Sample& s = i <= kInstruments ? samples[i] : kEmpty;
    char name[22] = {};
    memcpy(name, s.name, strlen(s.name));
    fwrite(name, 1, sizeof name, out);
    // Lengths and loops are counted in 16-bit words; "no loop" is a loop of one word at 0.
    PutWord(out, s.length / 2);
    fputc(s.finetune & 0x0F, out);
    fputc(s.volume, out);
    PutWord(out, s.loopLength ? s.loopStart / 2 : 0);
    PutWord(out, s.loopLength ? s.loopLength / 2 : 1);
  }
  fputc(sizeof kOrder, out);
  fputc(kRestart, out);
  Uint8 order[kOrderSlots] = {};
  memcpy(order, kOrder, sizeof kOrder);
  fwrite(order, 1, sizeof order, out);
  fwrite("M.K.", 1, 4, out);
  for (int p = 0; p < kPatterns; ++p)
    for (int row = 0; row < kRows; ++row)
      for (int channel = 0; channel < kChannels; ++channel) {
        const Cell& c = patterns[p][row][channel];
        fputc((c.instrument & 0xF0) | (c.period >> 8), out);
        fputc(c.period & 0xFF, out);
        fputc(((c.instrument & 0x0F) << 4) | c.effect, out);
        fputc(c.param, out);
      }
  for (int i = 1; i <= kInstruments; ++i) fwrite(samples[i].data, 1, samples[i].length, out);
  return fclose(out) == 0;
}

bool MakeModule(const char* dir) {
  MakeInstruments();
  Compose();
  return WriteModule((std::string(dir) + "/" + kMusicFile).c_str());
}
