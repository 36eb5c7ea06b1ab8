// The show's music rendered offline with libmikmod, the engine SDL_mixer plays tracker
// modules with, set up as SDL_mixer 1.2 sets it up and fed buffer by buffer as its audio
// callback is, so that the samples are the ones the show plays.
#include <mikmod.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render.h"

// Sample frames per mixer buffer, as the show opens the mixer; the mixer restarts a module
// that has ended only at the start of a buffer.
static constexpr long kMixerBuffer = kAudioBufferFrames;
// The mixer's settings of the engine and of each module it loads.
static constexpr int kMaxVoices = 64;
static constexpr int kEngineVolume = 96;
static constexpr int kFullVolume = 128;
static constexpr int kPanSeparation = 128;

static constexpr int kChannels = kAudioChannels;
static constexpr int kBytesPerFrame = kChannels * 2;  // 16-bit samples

static bool engineReady = false;
static MODULE* module = nullptr;
static bool looping = false;
static int loopsLeft = 0;
static bool halted = false;  // the mixer has stopped the music: silence from here on
static long bufferUsed = 0;  // sample frames of the current mixer buffer handed out

static void Reason(char* why, size_t size, const char* what) {
  if (why && size) snprintf(why, size, "%s", what);
}

static bool StartEngine(char* why, size_t whySize) {
  if (engineReady) return true;
  md_mixfreq = kAudioRate;
  md_mode = DMODE_16BITS | DMODE_STEREO | DMODE_SOFT_MUSIC | DMODE_HQMIXER | DMODE_SURROUND;
  md_device = 0;
  md_volume = kEngineVolume;
  md_musicvolume = kFullVolume;
  md_sndfxvolume = kFullVolume;
  md_pansep = kPanSeparation;
  md_reverb = 0;
  MikMod_RegisterAllLoaders();
  MikMod_RegisterDriver(&drv_nos);
  if (MikMod_Init("") != 0) {
    Reason(why, whySize, MikMod_strerror(MikMod_errno));
    return false;
  }
  atexit(MikMod_Exit);
  engineReady = true;
  return true;
}

// What the mixer does to (re)start a module: stop what plays (which also resets the
// engine's tick counter), start, set its volume, seek to the top.
static void StartFromTop() {
  Player_Stop();
  Player_Start(module);
  Player_SetVolume(kFullVolume);
  Player_SetPosition(0);
}

void CloseMusic() {
  if (!module) return;
  Player_Stop();
  Player_Free(module);
  module = nullptr;
}

bool OpenMusic(const char* path, bool loop, char* why, size_t whySize) {
  CloseMusic();
  if (!StartEngine(why, whySize)) return false;
  FILE* probe = fopen(path, "rb");
  if (!probe) {
    Reason(why, whySize, strerror(errno));
    return false;
  }
  fclose(probe);
  module = Player_Load(const_cast<char*>(path), kMaxVoices, 0);
  if (!module) {
    Reason(why, whySize, MikMod_strerror(MikMod_errno));
    return false;
  }
  // No implicit looping or fading by the engine: the mixer restarts the module itself.
  module->extspd = 1;
  module->panflag = 1;
  module->wrap = 0;
  module->loop = 0;
  looping = loop;
  loopsLeft = kMusicLoops;
  halted = false;
  bufferUsed = kMixerBuffer;  // the first buffer is mixed when it is asked for
  StartFromTop();
  return true;
}

// One mixer buffer, mixed by one call of the engine as the mixer's callback does: the
// engine's output depends on how much it is asked for at a time.
static Sint16 mixed[kMixerBuffer * kChannels];

static void MixBuffer() {
  // The mixer looks at the module only at the start of a buffer: an ended one is started
  // again there, or, with no loop left, the music stops.
  if (!halted && !Player_Active()) {
    if (looping && loopsLeft > 0) {
      --loopsLeft;
      StartFromTop();
    } else {
      halted = true;
    }
  }
  if (halted)
    memset(mixed, 0, sizeof mixed);
  else
    VC_WriteBytes(reinterpret_cast<SBYTE*>(mixed), sizeof mixed);
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

const char* MusicTitle() {
  return module && module->songname ? module->songname : "";
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
  // Ten milliseconds at a time: the module ends between two such pieces.
  constexpr long kPiece = kAudioRate / 100;
  static Sint16 piece[kPiece * kChannels];
  long played = 0;
  while (played < limit && Player_Active()) {
    VC_WriteBytes(reinterpret_cast<SBYTE*>(piece), kPiece * kBytesPerFrame);
    played += kPiece;
  }
  CloseMusic();
  return played;
}
