// The show's pictures, photos and fonts: loaded from gfx/ behind the loading screen, held for
// the whole show, released at its end; every file name built in one place.
#include <SDL_image.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "anim/canvas.h"
#include "assets/assets.h"
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
TTF_Font* large_text_font = nullptr;
TTF_Font* large_names_font = nullptr;

char tmptxt[kFileNameSize] = {};

void FileNameConversion(const char* dir, const char* base, const char* ext, char* out) {
  // Every caller passes tmptxt or a buffer of its size: cut rather than overrun it.
  if (ext[0] == '\0')
    snprintf(out, kFileNameSize, "%s%s", dir, base);
  else
    snprintf(out, kFileNameSize, "%s%s.%s", dir, base, ext);
}

bool IsSpecialFile(const char* name) {
  struct stat info;
  return stat(name, &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

// The top-left width x height of a picture in the display's format, with its colour key and
// transparency: what the screen shows of it drawn whole. Takes the picture.
static SDL_Surface* CutToWindow(SDL_Surface* whole, int width, int height) {
  if (whole->w <= width && whole->h <= height) return whole;
  const SDL_PixelFormat* f = whole->format;
  const int w = std::min(whole->w, width), h = std::min(whole->h, height);
  SDL_Surface* cut = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, f->BitsPerPixel, f->Rmask, f->Gmask,
                                          f->Bmask, f->Amask);
  if (cut) {
    for (int y = 0; y < h; ++y)
      memcpy(static_cast<Uint8*>(cut->pixels) + y * cut->pitch,
             static_cast<Uint8*>(whole->pixels) + y * whole->pitch, w * f->BytesPerPixel);
    SDL_SetColorKey(cut, whole->flags & (SDL_SRCCOLORKEY | SDL_RLEACCELOK), f->colorkey);
    SDL_SetAlpha(cut, whole->flags & (SDL_SRCALPHA | SDL_RLEACCELOK), f->alpha);
  }
  SDL_FreeSurface(whole);
  return cut;
}

SDL_Surface* LoadPicture(const char* name, int width, int height, bool& decoded) {
  decoded = false;
  const bool openable = !IsSpecialFile(name);
  PictureHeader header;
  if (openable && !ReadPictureHeader(name, header)) return nullptr;
  SDL_Surface* picture = nullptr;
  if (header.kind == kJpegFile && header.jpeg) {
    picture = DecodeJpeg(name, width, height);
  } else {
    if (!WholeDecodeIsBounded(header.width, header.height)) return nullptr;
    // The image library recognises the format from the data and closes the stream itself; a
    // file that cannot be opened gives no stream, which it answers with failure.
    picture = IMG_Load_RW(openable ? SDL_RWFromFile(name, "rb") : nullptr, 1);
  }
  if (!picture) return nullptr;
  decoded = true;
  SDL_Surface* converted = DisplayFormat(picture);
  SDL_FreeSurface(picture);
  return converted ? CutToWindow(converted, width, height) : nullptr;
}

SDL_Surface* GetPix(const char* base, const char* ext, int width, int height) {
  FileNameConversion(kPictureDir, base, ext, tmptxt);
  bool decoded = false;
  SDL_Surface* picture = LoadPicture(tmptxt, width, height, decoded);
  if (decoded)
    fprintf(stderr, "%s loaded\n", tmptxt);
  else
    fprintf(stderr, "Couldn't load %s: %s\n", tmptxt, SDL_GetError());
  return picture;
}

void LoadPhotos() {
  int found = 0;
  while (found < kMaxPhotos) {
    foto[found] = GetPix(PhotoName(found + 1).base, kPhotoExt, kPhotoSeenWidth, kPhotoSeenHeight);
    if (!foto[found]) break;
    found++;
  }
  fotos = found - 1;
  ENDTIME = kSlotLength * found + kFramesAroundSlots;
}

void LoadGFX(void (*showLoadingScreen)()) {
  load = GetPix(kShowPictures[kPictureLoad].base, kPictureExt);
  ohen = GetPix(kShowPictures[kPictureOhen].base, kPictureExt);
  // The loading screen stands while everything else loads.
  if (showLoadingScreen) showLoadingScreen();
  back = GetPix(kShowPictures[kPictureBack].base, kPictureExt);
  si = GetPix(kShowPictures[kPictureSi].base, kPictureExt);
  end = GetPix(kShowPictures[kPictureEnd].base, kPictureExt);
  LoadPhotos();
}

// Opens the font at `points`, or at `points` scaled to the canvas when `large`.
static TTF_Font* OpenFont(int points, bool large) {
  FileNameConversion(kPictureDir, kFontBase, kFontExt, tmptxt);
  TTF_Font* font = nullptr;
  if (IsSpecialFile(tmptxt))
    SDL_SetError("Couldn't open %s", tmptxt);
  else if (large)
    font = OpenFontAtPixels(tmptxt, CanvasFontPixels(FontPixels(points)));
  else
    font = OpenFontAt96Dpi(tmptxt, points);
  if (!font)
    fprintf(stderr, "Couldn't load %d pt font from %s: %s\n", points, tmptxt, SDL_GetError());
  return font;
}

static void Close(TTF_Font*& font) {
  if (font) TTF_CloseFont(font);
  font = nullptr;
}

bool FitFontsToCanvas() {
  Close(large_text_font);
  Close(large_names_font);
  // A canvas too small to hold a row of the show sets no text.
  if (AtShowSize() || canvas.area.h == 0) return true;
  large_text_font = OpenFont(kTextPoints, true);
  large_names_font = large_text_font ? OpenFont(kNamesPoints, true) : nullptr;
  return large_names_font != nullptr;
}

bool LoadFonts() {
  text_font = OpenFont(kTextPoints, false);
  if (!text_font) return false;
  names_font = OpenFont(kNamesPoints, false);
  return names_font != nullptr && FitFontsToCanvas();
}

// A picture's twin goes with it: a later picture may take its address.
static void Release(SDL_Surface*& picture) {
  if (picture) {
    SetTwin(picture, nullptr);
    SDL_FreeSurface(picture);
  }
  picture = nullptr;
}

void ReleaseGFX() {
  StopPhotos();
  for (SDL_Surface*& photo : foto) Release(photo);
  Release(back);
  Release(si);
  Release(ohen);
  Release(load);
  Release(end);
}

void ReleaseFonts() {
  Close(text_font);
  Close(names_font);
  Close(large_text_font);
  Close(large_names_font);
}

void ResetAssets() {
  ReleaseGFX();
  ReleaseFonts();
  fotos = 0;
  ENDTIME = kInitialEndTime;
  tmptxt[0] = '\0';
}
