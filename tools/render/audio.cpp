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

static void Reason(char* why, size_t size, const char* what) {
  if (why && size) snprintf(why, size, "%s", what);
}

MusicKind MusicKindOf(const char* path) {
  FILE* file = fopen(path, "rb");
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

static bool OpenVorbis(const char* path, char* why, size_t whySize) {
  const int error = ov_fopen(path, &vorbis);
  if (error) {
    Reason(why, whySize,
           error == OV_ENOTVORBIS ? "not an Ogg Vorbis audio stream" : "damaged Ogg Vorbis data");
    return false;
  }
  vorbisSection = -1;
  pieceBytes = 0;
  return true;
}

bool OpenMusic(const char* path, bool loop, char* why, size_t whySize) {
  CloseMusic();
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
  if (!(kind == kModuleMusic ? OpenModule(path, why, whySize) : OpenVorbis(path, why, whySize)))
    return false;
  playing = kind;
  looping = loop;
  loopsLeft = kMusicLoops;
  halted = false;
  bufferUsed = kMixerBuffer;  // the first buffer is mixed when it is asked for
  StartFromTop();
  return true;
}

// The mixer's next piece of Ogg Vorbis: decoded, then converted to the mixer's format on
// its own, by a conversion built again whenever the stream's section changes.
static void DecodePiece() {
  static char data[kVorbisPiece];
  int section = 0;
  const long got = ov_read(&vorbis, data, sizeof data, 0, 2, 1, &section);
  if (got <= 0) {
    if (got == 0) vorbisPlaying = false;
    return;
  }
  if (section != vorbisSection) {
    const vorbis_info* info = ov_info(&vorbis, -1);
    SDL_BuildAudioCVT(&convert, AUDIO_S16, info->channels, info->rate, kAudioFormat, kAudioChannels,
                      kAudioRate);
    SDL_free(convert.buf);
    convert.buf = static_cast<Uint8*>(SDL_malloc(sizeof data * std::max(1, convert.len_mult)));
    vorbisSection = section;
  }
  memcpy(convert.buf, data, got);
  convert.len = got;
  if (convert.needed)
    SDL_ConvertAudio(&convert);
  else
    convert.len_cvt = got;
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
    if (!pieceBytes) DecodePiece();
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
  // SDL 1.2 halves or doubles while that brings the rate nearer, in hundreds of Hz; the rest
  // of the difference it leaves, so the music plays faster or slower.
  if (rate <= 0 || rate / 100 == kAudioRate / 100) return rate;
  const bool down = rate > kAudioRate;
  long low = down ? kAudioRate : rate;
  const long high = down ? rate : kAudioRate;
  long played = rate;
  while (low * 2 / 100 <= high / 100) {
    low *= 2;
    played = down ? played / 2 : played * 2;
  }
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

bool WriteSoundTrack(const char* path, long firstSample, long samples, long fadeOutSample,
                     FILE* out, bool& musicLoaded, char* why, size_t whySize) {
  const bool playing = musicLoaded = OpenMusic(path, true, why, whySize);
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

long ModuleLength(const char* path, long limit, char* title, size_t titleSize, char* why,
                  size_t whySize) {
  if (!OpenMusic(path, false, why, whySize)) return -1;
  snprintf(title, titleSize, "%s", MusicTitle());
  // Ten milliseconds at a time: a module ends between two such pieces, Ogg Vorbis inside one.
  constexpr long kPiece = kAudioRate / 100;
  static Sint16 piece[kPiece * kChannels];
  long played = 0;
  while (played < limit && Active()) {
    const long left = Fill(reinterpret_cast<Uint8*>(piece), kPiece * kBytesPerFrame);
    played += kPiece - left / kBytesPerFrame;
  }
  CloseMusic();
  return played;
}
