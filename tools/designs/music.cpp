// The music check: the file is loaded as the live show's mixer and as tolvane-render load it.
#include <cstdio>
#include <cstring>

#include "designs.h"
#include "render.h"

static void Say(char* why, size_t whySize, const char* text) {
  if (why && whySize) snprintf(why, whySize, "%s", text);
}

bool CheckMusic(const char* file, char* why, size_t whySize) {
  char reason[256] = "";
  if (!OpenMusic(file, false, reason, sizeof reason)) {
    char text[320];
    snprintf(text, sizeof text, "It is no tracker module that the show can play (%s).", reason);
    Say(why, whySize, text);
    return false;
  }
  CloseMusic();
  return true;
}
