// The show's music rendered offline as SDL_mixer 1.2 plays it: it tells the music's kind by
// the file's first bytes, plays tracker modules with libmikmod and Ogg Vorbis with
// libvorbisfile, each set up as the mixer sets it up and fed buffer by buffer as its audio
// callback is, so that the samples are the ones the show plays.
#include <mikmod.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common.h"
#include "assets/assets.h"
#include "render.h"

// Sample frames per mixer buffer, as the show opens the mixer; the mixer looks at the
// music's end at the start of a buffer, and for Ogg Vorbis also where it runs out.
static constexpr long kMixerBuffer = kAudioBufferFrames;
// The mixer's settings of the engine and of each module it loads.
static constexpr int kMaxVoices = 64;
static constexpr int kEngineVolume = 96;
static constexpr int kFullVolume = 128;
static constexpr int kPanSeparation = 128;

static constexpr int kChannels = kAudioChannels;
static constexpr int kBytesPerFrame = kChannels * 2;  // 16-bit samples
static constexpr long kBufferBytes = kMixerBuffer * kBytesPerFrame;
// The mixer decodes Ogg Vorbis this many bytes at a time, and converts each piece alone.
static constexpr int kVorbisPiece = 4096;
// A stream that fails this many times in a row is taken as ended: the mixer would spin.
static constexpr int kMostErrorsInARow = 100;
// Ogg Vorbis is decoded in a child process for at most this long before it is trusted.
static constexpr Uint32 kTrialMs = 3000;

static MusicKind playing = kNoMusic;
static MODULE* module = nullptr;
static OggVorbis_File vorbis;
static bool looping = false;
static int loopsLeft = 0;
static bool halted = false;  // the mixer has stopped the music: silence from here on
static long bufferUsed = 0;  // sample frames of the current mixer buffer handed out

// Ogg Vorbis as the mixer holds it: the stream's end, the conversion of its section, and
// what is left of the piece decoded last.
static bool vorbisPlaying = false;
static int vorbisSection = -1;
static SDL_AudioCVT convert;
static const Uint8* pieceLeft = nullptr;
static long pieceBytes = 0;
static int errorsInARow = 0;

static void Reason(char* why, size_t size, const char* what) {
  if (why && size) snprintf(why, size, "%s", what);
}

MusicKind MusicKindOf(const char* path) {
  FILE* file = OpenPlain(path, "rb");
  Uint8 magic[12];
  const bool read = file && fread(magic, 1, sizeof magic, file) == sizeof magic;
  if (file) fclose(file);
  if (!read) return kNoMusic;
  // The mixer compares the first four bytes as a string, and the four from the ninth.
  char first[5] = {}, ninth[5] = {};
  memcpy(first, magic, 4);
  memcpy(ninth, magic + 8, 4);
  if ((!strcmp(first, "RIFF") && !strcmp(ninth, "WAVE")) || !strcmp(first, "FORM"))
    return kWaveMusic;
  if (!strcmp(first, "OggS")) return kVorbisMusic;
  if (!strcmp(first, "fLaC")) return kFlacMusic;
  if (!strcmp(first, "MThd")) return kMidiMusic;
  if (!strncmp(first, "ID3", 3) || (magic[0] == 0xFF && (magic[1] & 0xFE) == 0xFA))
    return kMp3Music;
  return kModuleMusic;  // whatever else: the mixer hands it to the module engine
}

const char* MusicKindName(MusicKind kind) {
  static const char* const kNames[] = {
      "no music", "a tracker module", "Ogg Vorbis", "WAV or AIFF", "FLAC", "MIDI", "MP3"};
  return kNames[kind];
}

// The engine is started for each module, as the mixer starts it when it opens. Drivers and
// loaders are registered once per process, by whoever comes first (the mixer does the
// same): a second registration makes their lists endless.
static bool StartEngine(char* why, size_t whySize) {
  md_mixfreq = kAudioRate;
  md_mode = DMODE_16BITS | DMODE_STEREO | DMODE_SOFT_MUSIC | DMODE_HQMIXER | DMODE_SURROUND;
  md_device = 0;
  md_volume = kEngineVolume;
  md_musicvolume = kFullVolume;
  md_sndfxvolume = kFullVolume;
  md_pansep = kPanSeparation;
  md_reverb = 0;
  if (char* drivers = MikMod_InfoDriver())
    MikMod_free(drivers);
  else
    MikMod_RegisterDriver(&drv_nos);
  if (char* loaders = MikMod_InfoLoader())
    MikMod_free(loaders);
  else
    MikMod_RegisterAllLoaders();
  if (MikMod_Init("") != 0) {
    Reason(why, whySize, MikMod_strerror(MikMod_errno));
    return false;
  }
  return true;
}

// What the mixer does to (re)start the music. A module: stop what plays (which also resets
// the engine's tick counter), start, set its volume, seek to the top. Ogg Vorbis: seek to
// the top, keeping what is left of the piece decoded last.
static void StartFromTop() {
  if (playing == kVorbisMusic) {
    ov_time_seek(&vorbis, 0);
    vorbisPlaying = true;
    return;
  }
  Player_Stop();
  Player_Start(module);
  Player_SetVolume(kFullVolume);
  Player_SetPosition(0);
}

static bool Active() {
  return playing == kVorbisMusic ? vorbisPlaying : Player_Active();
}

void CloseMusic() {
  if (playing == kModuleMusic) {
    Player_Stop();
    Player_Free(module);
    module = nullptr;
    MikMod_Exit();
  } else if (playing == kVorbisMusic) {
    ov_clear(&vorbis);
    SDL_free(convert.buf);
    convert.buf = nullptr;
  }
  playing = kNoMusic;
}

static bool OpenModule(const char* path, char* why, size_t whySize) {
  if (!StartEngine(why, whySize)) return false;
  module = Player_Load(const_cast<char*>(path), kMaxVoices, 0);
  if (!module) {
    Reason(why, whySize, MikMod_strerror(MikMod_errno));
    MikMod_Exit();
    return false;
  }
  // No implicit looping or fading by the engine: the mixer restarts the module itself.
  module->extspd = 1;
  module->panflag = 1;
  module->wrap = 0;
  module->loop = 0;
  return true;
}

// Whether every section of the stream is one SDL's converter takes to the mixer's format.
static bool Convertible(char* why, size_t whySize) {
  char reason[160] = "";
  for (long link = 0; link < ov_streams(&vorbis); ++link) {
    const vorbis_info* info = ov_info(&vorbis, static_cast<int>(link));
    if (!info || !ConverterReaches(info->channels, info->rate, kAudioChannels, kAudioRate, reason,
                                   sizeof reason)) {
      Reason(why, whySize, info ? reason : "damaged Ogg Vorbis data");
      return false;
    }
  }
  return true;
}

// Music played once is read as a stream: opened for seeking, the decoder would hold the
// set-up of every section of a chained file at once.
static bool OpenVorbis(const char* path, bool loop, char* why, size_t whySize) {
  int error = OV_EREAD;
  if (loop) {
    error = ov_fopen(path, &vorbis);
  } else if (FILE* file = fopen(path, "rb")) {
    error = ov_open_callbacks(file, &vorbis, nullptr, 0, OV_CALLBACKS_STREAMONLY);
    if (error) fclose(file);
  }
  if (error) {
    Reason(why, whySize,
           error == OV_ENOTVORBIS ? "not an Ogg Vorbis audio stream" : "damaged Ogg Vorbis data");
    return false;
  }
  if (!Convertible(why, whySize)) {
    ov_clear(&vorbis);
    return false;
  }
  vorbisSection = -1;
  pieceBytes = 0;
  errorsInARow = 0;
  return true;
}

bool OpenMusic(const char* path, bool loop, char* why, size_t whySize) {
  CloseMusic();
  if (WhySpecial(path)) {
    Reason(why, whySize, "not a regular file");
    return false;
  }
  FILE* probe = fopen(path, "rb");
  if (!probe) {
    Reason(why, whySize, strerror(errno));
    return false;
  }
  fclose(probe);
  const MusicKind kind = MusicKindOf(path);
  if (kind == kNoMusic) {
    Reason(why, whySize, "too short to be music");
    return false;
  }
  if (kind != kModuleMusic && kind != kVorbisMusic) {
    char text[96];
    snprintf(text, sizeof text, "%s, which tolvane-render does not play", MusicKindName(kind));
    Reason(why, whySize, text);
    return false;
  }
  if (!(kind == kModuleMusic ? OpenModule(path, why, whySize)
                             : OpenVorbis(path, loop, why, whySize)))
    return false;
  playing = kind;
  looping = loop;
  loopsLeft = kMusicLoops;
  halted = false;
  bufferUsed = kMixerBuffer;  // the first buffer is mixed when it is asked for
  StartFromTop();
  return true;
}

// The conversion of the section now playing, with room for a converted piece; false when
// the section cannot be converted (SDL refuses it) or there is no memory for it.
static bool BuildConversion(int section) {
  const vorbis_info* info = ov_info(&vorbis, -1);
  char reason[160];
  if (!info || !ConverterReaches(info->channels, info->rate, kAudioChannels, kAudioRate, reason,
                                 sizeof reason))
    return false;
  // SDL_BuildAudioCVT clears the whole record, the buffer's address with it.
  Uint8* old = convert.buf;
  const bool built = SDL_BuildAudioCVT(&convert, AUDIO_S16, info->channels, info->rate,
                                       kAudioFormat, kAudioChannels, kAudioRate) >= 0;
  SDL_free(old);
  convert.buf = built
                    ? static_cast<Uint8*>(SDL_malloc(kVorbisPiece * std::max(1, convert.len_mult)))
                    : nullptr;
  vorbisSection = convert.buf ? section : -1;
  return convert.buf != nullptr;
}

// The mixer's next piece of Ogg Vorbis: decoded, then converted to the mixer's format on
// its own, by a conversion built again whenever the stream's section changes. A stream that
// cannot go on ends.
static void DecodePiece() {
  static char data[kVorbisPiece];
  int section = 0;
  const long got = ov_read(&vorbis, data, sizeof data, 0, 2, 1, &section);
  errorsInARow = got < 0 ? errorsInARow + 1 : 0;
  if (got == 0 || errorsInARow == kMostErrorsInARow) vorbisPlaying = false;
  if (got <= 0) return;
  if (section != vorbisSection && !BuildConversion(section)) {
    vorbisPlaying = false;
    return;
  }
  memcpy(convert.buf, data, got);
  convert.len = got;
  convert.len_cvt = got;
  if (convert.needed && SDL_ConvertAudio(&convert) < 0) {
    vorbisPlaying = false;  // as a stream that cannot go on
    return;
  }
  pieceLeft = convert.buf;
  pieceBytes = convert.len_cvt;
}

// Fills `bytes` of a mixer buffer with the music; gives the bytes left when it ends.
static long Fill(Uint8* out, long bytes) {
  if (playing == kModuleMusic) {
    VC_WriteBytes(reinterpret_cast<SBYTE*>(out), bytes);
    return 0;
  }
  while (bytes > 0 && vorbisPlaying) {
    if (!pieceBytes) {
      DecodePiece();  // a piece, or the stream's end, or one more error in a row
      continue;
    }
    const long n = std::min(bytes, pieceBytes);
    memcpy(out, pieceLeft, n);
    pieceLeft += n;
    pieceBytes -= n;
    out += n;
    bytes -= n;
  }
  return bytes;
}

// The mixer's look at music that has ended: start it again while loops are left, else stop.
static bool GoesOn() {
  if (halted) return false;
  if (Active()) return true;
  if (looping && loopsLeft > 0) {
    --loopsLeft;
    StartFromTop();
    return true;
  }
  halted = true;
  return false;
}

// One mixer buffer, mixed as the mixer's callback does: the engine's output depends on how
// much it is asked for at a time. Music that ends inside the buffer goes on at once, but not
// when it is found ended as the buffer starts: that buffer stays silent.
static Sint16 mixed[kMixerBuffer * kChannels];

static void MixBuffer() {
  memset(mixed, 0, sizeof mixed);
  Uint8* out = reinterpret_cast<Uint8*>(mixed);
  long bytes = kBufferBytes;
  while (GoesOn()) {
    const long left = Fill(out, bytes);
    if (left == 0 || left == bytes) break;
    out += bytes - left;
    bytes = left;
  }
}

void PlayMusic(Sint16* out, long frames) {
  while (frames > 0) {
    if (bufferUsed == kMixerBuffer) bufferUsed = 0;
    if (bufferUsed == 0) MixBuffer();
    const long n = std::min(frames, kMixerBuffer - bufferUsed);
    memcpy(out, mixed + bufferUsed * kChannels, n * kBytesPerFrame);
    out += n * kChannels;
    frames -= n;
    bufferUsed += n;
  }
}

int RateAsPlayed(int rate) {
  if (rate <= 0) return rate;
  const int steps = RateSteps(rate, kAudioRate);
  long played = rate;
  for (int i = 0; i < steps; ++i) played = rate > kAudioRate ? played / 2 : played * 2;
  return static_cast<int>(played);
}

int MusicRate() {
  return playing == kVorbisMusic ? static_cast<int>(ov_info(&vorbis, -1)->rate) : kAudioRate;
}

const char* MusicTitle() {
  const char* title = nullptr;
  if (playing == kModuleMusic) title = module->songname;
  if (playing == kVorbisMusic) title = vorbis_comment_query(ov_comment(&vorbis, -1), "TITLE", 0);
  return title ? title : "";
}

bool TrustMusic(const char* path, char* why, size_t whySize) {
  return TryMusic(path, kAudioChannels, kAudioRate, kTrialMs, why, whySize);
}

bool WriteSoundTrack(const char* path, long firstSample, long samples, long fadeOutSample,
                     FILE* out, bool& musicLoaded, char* why, size_t whySize) {
  const bool playing = musicLoaded =
      TrustMusic(path, why, whySize) && OpenMusic(path, true, why, whySize);
  const long fadeIn = static_cast<long>(kAudioRate) * kMusicFadeInMs / 1000;
  const long fadeOut = static_cast<long>(kAudioRate) * kMusicFadeOutMs / 1000;
  const long silentFrom = fadeOutSample + fadeOut;  // the mixer halts the music here
  const long end = firstSample + samples;
  constexpr long kPiece = 4096;
  static Sint16 piece[kPiece * kChannels];
  bool written = true;
  for (long s = 0; s < end && written; s += kPiece) {
    const long n = std::min(kPiece, end - s);
    if (!playing || s >= silentFrom) {
      if (s + n <= firstSample) continue;
      memset(piece, 0, sizeof piece);
    } else {
      PlayMusic(piece, n);
      if (s + n <= firstSample) continue;
      for (long i = 0; i < n; ++i) {
        const long at = s + i;
        // Linear ramps: up over the fade-in from sample 0, down over the fade-out from its start.
        double gain = at < fadeIn ? static_cast<double>(at) / fadeIn : 1.0;
        if (at >= fadeOutSample)
          gain *= std::max(0.0, static_cast<double>(silentFrom - at) / fadeOut);
        for (int c = 0; c < kChannels; ++c) {
          Sint16& v = piece[i * kChannels + c];
          v = static_cast<Sint16>(std::lrint(v * gain));
        }
      }
    }
    const long skip = std::max(0L, firstSample - s);
    written = fwrite(piece + skip * kChannels, kBytesPerFrame, n - skip, out) ==
              static_cast<size_t>(n - skip);
  }
  CloseMusic();
  if (!written) Reason(why, whySize, strerror(errno));
  return written;
}

// The engine's software mixer runs a tick every kAudioRate * 125 / (bpm * 50) sample frames.
static long TickFrames() {
  long bpm = module->bpm + module->relspd;
  bpm = bpm < 32 ? 32 : !(module->flags & UF_HIGHBPM) && bpm > 255 ? 255 : bpm;
  return kAudioRate * 125L / (bpm * 50);
}

// A module's length in pieces of `piece` sample frames, as the mixer asks for them, without
// mixing it: the engine's ticks are stepped as its mixer would step them.
static long TickedLength(long limit, long piece) {
  const MikMod_player_t tick = MikMod_RegisterPlayer(nullptr);
  MikMod_RegisterPlayer(tick);
  long played = 0, tickLeft = 0;
  while (played < limit && Player_Active()) {
    for (long todo = piece; todo > 0;) {
      if (tickLeft == 0) {
        tick();
        tickLeft = TickFrames();
      }
      const long n = std::min(todo, tickLeft);
      tickLeft -= n;
      todo -= n;
    }
    played += piece;
  }
  return std::min(played, limit);
}

// What the mixer plays of the stream, decoded and converted as it converts it: fast enough
// for the longest music measured.
static long VorbisLength(long limit, long piece) {
  static Sint16 samples[kAudioRate / 100 * kChannels];
  long played = 0;
  while (played < limit && Active()) {
    const long left = Fill(reinterpret_cast<Uint8*>(samples), piece * kBytesPerFrame);
    played += piece - left / kBytesPerFrame;
  }
  return std::min(played, limit);
}

long ModuleLength(const char* path, long limit, char* title, size_t titleSize, char* why,
                  size_t whySize) {
  if (!TrustMusic(path, why, whySize) || !OpenMusic(path, false, why, whySize)) return -1;
  snprintf(title, titleSize, "%s", MusicTitle());
  // Ten milliseconds at a time: a module ends between two such pieces, Ogg Vorbis inside one.
  constexpr long kPiece = kAudioRate / 100;
  const long played =
      playing == kVorbisMusic ? VorbisLength(limit, kPiece) : TickedLength(limit, kPiece);
  CloseMusic();
  return played;
}
