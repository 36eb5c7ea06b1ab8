// Any bytes as the show's music: measured for --check, rendered as a video's sound track and
// judged by tolvane-make's music check. Each must end in bounded time, leave no buffer behind
// and agree with the others: music the check takes can be measured and rendered.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzzing.h"
#include "render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::fopen(InputPath("tolvane_music").c_str(), "wb");
  Check(file && std::fwrite(data, 1, size, file) == size);
  Check(std::fclose(file) == 0);
  const char* path = InputPath("tolvane_music").c_str();

  char title[64], why[256] = "";
  // Ten minutes of music is more than any of these bytes can hold at the mixer's pace.
  constexpr long kLimit = 600L * kAudioRate;
  const long length = ModuleLength(path, kLimit, title, sizeof title, why, sizeof why);
  Check(length >= -1 && length <= kLimit);

  // Two seconds of sound track, looping and fading as a video's, thrown away.
  FILE* sink = std::fopen("/dev/null", "wb");
  Check(sink != nullptr);
  bool loaded = false;
  Check(WriteSoundTrack(path, 0, 2 * kAudioRate, kAudioRate, sink, loaded, why, sizeof why));
  std::fclose(sink);
  Check(loaded == (length >= 0));

  if (CheckMusic(path, why, sizeof why)) Check(loaded);
  return 0;
}
