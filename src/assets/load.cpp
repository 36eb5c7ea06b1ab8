#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "assets/assets.h"
#include "driver/driver.h"
#include "text/text.h"

SDL_Surface* load = nullptr;
SDL_Surface* ohen = nullptr;
SDL_Surface* back = nullptr;
SDL_Surface* si = nullptr;
SDL_Surface* end = nullptr;

SDL_Surface* foto[kMaxPhotos] = {};
int fotos = 0;
int ENDTIME = kInitialEndTime;

TTF_Font* text_font = nullptr;
TTF_Font* names_font = nullptr;

char tmptxt[kFileNameSize] = {};

void FileNameConversion(const char* dir, const char* base, const char* ext, char* out) {
  // Every caller passes tmptxt or a buffer of its size: cut rather than overrun it.
  if (ext[0] == '\0')
    snprintf(out, kFileNameSize, "%s%s", dir, base);
  else
    snprintf(out, kFileNameSize, "%s%s.%s", dir, base, ext);
}

bool IsNamedPipe(const char* name) {
  struct stat info;
  return stat(name, &info) == 0 && S_ISFIFO(info.st_mode);
}

SDL_Surface* GetPix(const char* base, const char* ext) {
  FileNameConversion(kPictureDir, base, ext, tmptxt);
  const bool openable = !IsNamedPipe(tmptxt);
  PictureHeader header;
  if (openable && !ReadPictureHeader(tmptxt, header)) {
    fprintf(stderr, "Couldn't load %s: %s\n", tmptxt, SDL_GetError());
    return nullptr;
  }
  if (SDL_Surface* photo = openable ? DecodeJpeg(tmptxt) : nullptr) {
    fprintf(stderr, "%s loaded\n", tmptxt);
    return photo;
  }
  // The image library recognises the format from the data and closes the stream itself; a
  // file that cannot be opened gives no stream, which it answers with failure.
  SDL_Surface* decoded = IMG_Load_RW(openable ? SDL_RWFromFile(tmptxt, "rb") : nullptr, 1);
  if (!decoded) {
    fprintf(stderr, "Couldn't load %s: %s\n", tmptxt, SDL_GetError());
    return nullptr;
  }
  fprintf(stderr, "%s loaded\n", tmptxt);
  SDL_Surface* converted = DisplayFormat(decoded);
  SDL_FreeSurface(decoded);
  return converted;
}

static void LoadPhotos() {
  int found = 0;
  while (found < kMaxPhotos) {
    char base[16];
    snprintf(base, sizeof base, "foto%02d", found + 1);
    foto[found] = GetPix(base, "jpg");
    if (!foto[found]) break;
    found++;
  }
  fotos = found - 1;
  ENDTIME = kSlotLength * found + kFramesAroundSlots;
}

void LoadGFX() {
  load = GetPix("load", "png");
  ohen = GetPix("ohen", "png");
  // The loading screen stands while everything else loads.
  Render(0);
  back = GetPix("back", "png");
  si = GetPix("si", "png");
  end = GetPix("end", "png");
  LoadPhotos();
}

static TTF_Font* OpenFont(int points) {
  FileNameConversion(kPictureDir, kFontBase, kFontExt, tmptxt);
  TTF_Font* font = nullptr;
  if (IsNamedPipe(tmptxt))
    SDL_SetError("Couldn't open %s", tmptxt);
  else
    font = OpenFontAt96Dpi(tmptxt, points);
  if (!font) {
    fprintf(stderr, "Couldn't load %d pt font from %s: %s\n", points, tmptxt, SDL_GetError());
    exit(2);
  }
  return font;
}

void LoadFonts() {
  text_font = OpenFont(kTextPoints);
  names_font = OpenFont(kNamesPoints);
}

static void Release(SDL_Surface*& picture) {
  if (picture) SDL_FreeSurface(picture);
  picture = nullptr;
}

void ReleaseGFX() {
  for (SDL_Surface*& photo : foto) Release(photo);
  Release(back);
  Release(si);
  Release(ohen);
  Release(load);
  Release(fade);
  Release(end);
}

void ReleaseFonts() {
  TTF_CloseFont(text_font);
  TTF_CloseFont(names_font);
  text_font = names_font = nullptr;
}

void ResetAssets() {
  ReleaseGFX();
  if (text_font) TTF_CloseFont(text_font);
  if (names_font) TTF_CloseFont(names_font);
  text_font = names_font = nullptr;
  fotos = 0;
  ENDTIME = kInitialEndTime;
  tmptxt[0] = '\0';
}
