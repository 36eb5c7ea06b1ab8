// The music check: the file is loaded as the live show's mixer loads sfx/belong.mod, and as
// tolvane-render loads it for the video's sound; both have to play it, and as the same kind.
#include <SDL_mixer.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common.h"
#include "assets/assets.h"
#include "render.h"

static void Say(char* why, size_t whySize, const char* format, const char* a = "",
                const char* b = "") {
  if (why && whySize) snprintf(why, whySize, format, a, b);
}

// The mixer's answer for a file, from a child process: it needs an open audio device, and
// the silent driver SDL 1.2 offers only by the environment; a module engine of the mixer
// beside the renderer's, or a decoder crashing on a bad file, stays out of the caller.
struct MixerAnswer {
  int type;  // a Mix_MusicType; MUS_NONE when the mixer cannot load the file
  char error[240];
};

// What the mixer loads does not depend on its buffer, and closing the silent driver waits
// for a whole buffer: the show's would cost three quarters of a second.
static constexpr int kAskingBufferFrames = 1024;

static void AskMixerInChild(const char* file, int to) {
  MixerAnswer answer = {MUS_NONE, ""};
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0 ||
      Mix_OpenAudio(kAudioRate, kAudioFormat, kAudioChannels, kAskingBufferFrames) < 0) {
    snprintf(answer.error, sizeof answer.error, "%s", Mix_GetError());
  } else if (Mix_Music* music = Mix_LoadMUS_RW(SDL_RWFromFile(file, "rb"))) {
    // By content alone, as under the show's fixed name, whose extension tells it nothing.
    answer.type = Mix_GetMusicType(music);
    Mix_FreeMusic(music);
  } else {
    snprintf(answer.error, sizeof answer.error, "%s", Mix_GetError());
  }
  Mix_CloseAudio();
  const bool sent = write(to, &answer, sizeof answer) == sizeof answer;
  _exit(sent ? 0 : 1);
}

static bool AskMixer(const char* file, MixerAnswer& answer) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return false;
  fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a parent ended by a signal takes the child along
    close(pipeEnds[0]);
    AskMixerInChild(file, pipeEnds[1]);
  }
  close(pipeEnds[1]);
  const bool got = child > 0 && read(pipeEnds[0], &answer, sizeof answer) == sizeof answer;
  close(pipeEnds[0]);
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
  answer.error[sizeof answer.error - 1] = 0;
  return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

static MusicKind KindOfMixerType(int type) {
  switch (type) {
    case MUS_MOD:
    case MUS_MODPLUG:
      return kModuleMusic;
    case MUS_OGG:
      return kVorbisMusic;
    case MUS_WAV:
      return kWaveMusic;
    case MUS_FLAC:
      return kFlacMusic;
    case MUS_MID:
      return kMidiMusic;
    case MUS_MP3:
    case MUS_MP3_MAD:
      return kMp3Music;
    default:
      return kNoMusic;
  }
}

// Music off its speed by more than this share plays audibly out of tune.
constexpr double kSpeedTolerance = 0.01;

// Whether music sampled at `rate` plays at its own speed in the show's mixer.
static bool InTune(int rate, char* why, size_t whySize) {
  const double speed = static_cast<double>(kAudioRate) / RateAsPlayed(rate);
  if (speed > 1 - kSpeedTolerance && speed < 1 + kSpeedTolerance) return true;
  char sampled[16], share[16];
  snprintf(sampled, sizeof sampled, "%d", rate);
  snprintf(share, sizeof share, "%.0f%%", speed * 100);
  Say(why, whySize,
      "It is sampled at %s Hz, which the show's mixer plays at %s of its speed: it has to be "
      "sampled at 44100 Hz.",
      sampled, share);
  return false;
}

bool CheckMusic(const char* file, char* why, size_t whySize) {
  if (WhySpecial(file)) {
    Say(why, whySize, "It is not a regular file.");
    return false;
  }
  FILE* readable = fopen(file, "rb");
  if (!readable) {
    Say(why, whySize, "It cannot be read: %s.", strerror(errno));
    return false;
  }
  fclose(readable);
  const MusicKind kind = MusicKindOf(file);
  if (kind == kNoMusic) {
    Say(why, whySize, "It is too short to be music.");
    return false;
  }
  char reason[256] = "";
  if (!TrustMusic(file, reason, sizeof reason)) {
    Say(why, whySize, "Neither the show nor tolvane-render --video can play it: %s.", reason);
    return false;
  }
  MixerAnswer answer;
  if (!AskMixer(file, answer)) {
    Say(why, whySize, "The show's mixer could not be asked about it.");
    return false;
  }
  if (answer.type == MUS_NONE) {
    Say(why, whySize, "The show cannot play it as %s: %s.", MusicKindName(kind), answer.error);
    return false;
  }
  if (KindOfMixerType(answer.type) != kind || (kind != kModuleMusic && kind != kVorbisMusic)) {
    Say(why, whySize,
        "The show plays it as %s, but tolvane-render --video does not: the music has to be a "
        "tracker module (MOD, XM, S3M, IT) or Ogg Vorbis.",
        MusicKindName(KindOfMixerType(answer.type)));
    return false;
  }
  const bool renders = OpenMusic(file, false, reason, sizeof reason);
  const int rate = MusicRate();
  CloseMusic();
  if (!renders) {
    Say(why, whySize, "tolvane-render --video cannot play it as %s: %s.", MusicKindName(kind),
        reason);
    return false;
  }
  return InTune(rate, why, whySize);
}
