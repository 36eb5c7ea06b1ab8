// The live program's start-up and shutdown: SDL and the mixer, the command line, the display
// and cursor, the show loaded behind the loading screen, the music tried and started; at the
// end everything released in order.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/anim.h"
#include "assets/assets.h"
#include "driver/display.h"
#include "driver/driver.h"
#include "text/text.h"

Mix_Music* music = nullptr;

// Made at start-up, installed once loading is over, freed at shutdown.
static SDL_Cursor* invisibleCursor = nullptr;

// The shortest trial of the music, when loading has used up the loading screen's time.
static constexpr Uint32 kMinMusicTrialMs = 1000;

static constexpr char kWindowCaption[] = "Quorlaks internal meeting #1 - codename Tolvane";

void ParseCommandLine(int argc, char** argv, Uint8& depth, Uint32& flags) {
  // From the last argument backwards, so of two -bpp options the leftmost wins.
  int n = argc;
  while (n > 1) {
    n--;
    if (strcmp(argv[n - 1], "-bpp") == 0) {
      depth = static_cast<Uint8>(strtol(argv[n], nullptr, 10));  // only the low 8 bits
      depthGiven = true;
      n--;
    } else if (strcmp(argv[n], "-sw") == 0) {
      flags &= ~SDL_HWSURFACE;
    } else if (strcmp(argv[n], "-warp") == 0) {
      flags |= SDL_HWPALETTE;
    } else if (strcmp(argv[n], "-windowed") == 0) {
      flags &= ~SDL_FULLSCREEN;
    } else if (strcmp(argv[n], "-fit") == 0) {
      fitScreen = true;
    } else if (strcmp(argv[n], "-pixels") == 0) {
      fitPixels = true;
    } else {
      fprintf(stderr, "Usage: %s [-bpp N] [-warp] [-sw] [-windowed]\n", argv[0]);
      return;
    }
  }
}

// Why the music cannot be played, found before it is loaded: the audio is not open, or the
// trial of the music failed. Empty when nothing stands in the way.
static char musicTrouble[256] = "";

static void OpenAudio() {
  if (Mix_OpenAudio(kAudioRate, kAudioFormat, kAudioChannels, kAudioBufferFrames) < 0) {
    fprintf(stderr, "Couldn't open audio: %s\n", SDL_GetError());
    snprintf(musicTrouble, sizeof musicTrouble, "audio is not open (%s)", SDL_GetError());
    return;
  }
  int rate = 0, channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  printf("Opened audio at %d Hz %d bit %s, %d bytes audio buffer\n", rate, format & 0xFF,
         channels >= 2 ? "stereo" : "mono", kAudioBufferFrames);
}

// The music is tried while the loading screen stands (at least a second), by the mixer's
// own decoder in a child process: a stream that crashes it is not played.
static void TryShowMusic(Uint32 loadingStart) {
  if (musicTrouble[0] || getenv("MUSIC_CMD")) return;
  const Uint32 spent = SDL_GetTicks() - loadingStart;
  const Uint32 ms =
      spent + kMinMusicTrialMs < kLoadingScreenMs ? kLoadingScreenMs - spent : kMinMusicTrialMs;
  int rate = 0, channels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&rate, &format, &channels);
  FileNameConversion(kMusicDir, kMusicBase, kMusicExt, tmptxt);
  if (!IsSpecialFile(tmptxt))
    TryMusic(tmptxt, channels, rate, ms, musicTrouble, sizeof musicTrouble);
}

static void StartMusic() {
  // Unset, the mixer plays the module itself; set, it hands the file to that command.
  const char* command = getenv("MUSIC_CMD");
  Mix_SetMusicCMD(command);
  FileNameConversion(kMusicDir, kMusicBase, kMusicExt, tmptxt);
  // The mixer would wait for ever on a named pipe; a command reads it as it likes.
  if (!command && IsSpecialFile(tmptxt))
    Mix_SetError("Couldn't open '%s'", tmptxt);
  else if (!command && musicTrouble[0])
    Mix_SetError("%s", musicTrouble);
  else
    music = Mix_LoadMUS(tmptxt);
  if (!music) {
    fprintf(stderr, "Music: Couldn't load %s: %s\n", tmptxt, SDL_GetError());
    return;
  }
  fprintf(stderr, "Music: music %s loaded, playing ...", tmptxt);
  Mix_FadeInMusic(music, kMusicLoops, kMusicFadeInMs);
}

// The display and the invisible cursor; exits with status 2 when the mode is refused.
static void OpenDisplay(Uint8 depth, Uint32 flags) {
  SDL_WM_SetCaption(kWindowCaption, nullptr);
  bool refused = false;
  const bool fitted = fitScreen && OpenFitDisplay(depth, flags, refused);
  if (refused) exit(2);
  if (!fitted)
    SetCanvas(DrawableSurface(SDL_SetVideoMode(kScreenWidth, kScreenHeight, depth, flags)));
  if (!canvas.surface) {
    fprintf(stderr, "Couldn't set %dx%dx%dbpp video mode: %s\n", kScreenWidth, kScreenHeight, depth,
            SDL_GetError());
    exit(2);
  }
  // 8x1 pixels, all transparent: no pointer over the show.
  Uint8 shape = 0, mask = 0;
  invisibleCursor = SDL_CreateCursor(&shape, &mask, 8, 1, 0, 0);
}

Uint32 StartUp(int argc, char** argv) {
  if (PrintInfo(argc, argv)) exit(0);
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0) {
    fprintf(stderr, "Couldn't initialize SDL: %s\n", SDL_GetError());
    exit(1);
  }
  atexit(SDL_Quit);
  OpenAudio();

  Uint8 depth = kDefaultDepth;
  Uint32 flags = kDefaultVideoFlags;
  ParseCommandLine(argc, argv, depth, flags);

  if (TTF_Init() < 0) {
    fprintf(stderr, "Couldn't initialize TTF: %s\n", SDL_GetError());
    exit(2);
  }
  atexit(TTF_Quit);
  OpenDisplay(depth, flags);

  const Uint32 loadingStart = SDL_GetTicks();
  if (!LoadShow(nullptr)) exit(2);
  TryShowMusic(loadingStart);
  // Busy wait without events: the loading screen stands at least 5 s. Esc pressed meanwhile
  // stays queued for the first pass of the loop.
  while (SDL_GetTicks() - loadingStart < kLoadingScreenMs) {
  }

  SDL_ShowCursor(SDL_DISABLE);
  SDL_WarpMouse(0, 0);
  if (invisibleCursor) SDL_SetCursor(invisibleCursor);
  StartMusic();

  const Uint32 base = SDL_GetTicks();
  StartShow();
  return base;
}

void ShutDown() {
  Mix_CloseAudio();
  if (invisibleCursor) SDL_FreeCursor(invisibleCursor);
  ReleaseShow();
  // The exit handlers close the font engine, then SDL.
  exit(0);
}
