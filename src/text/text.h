// Text and captions: multi-line text rendered into keyed pictures, and the caption table.
// Knows nothing of the show; text blocks take the pixel format of the display surface.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include "anim/anim.h"
#include "facts.h"

// The font layer: where SDL_ttf 2.0 differs from what the captions need.

// Opens `file` at `points` on a 96 dpi screen (SDL_ttf assumes 72 dpi), or null; a font
// without a Unicode character map or without outlines does not open.
TTF_Font* OpenFontAt96Dpi(const char* file, int points);
// Renders one line of Latin-1 text as an opaque band of `bg` exactly as large as the box of
// its glyphs (pen start on the baseline included), or null when SDL_ttf gives nothing.
// A line without glyphs gives a picture of width 0.
SDL_Surface* RenderLine(TTF_Font* font, const char* line, SDL_Color fg, SDL_Color bg);

// Text blocks.

// Longest text and most lines a block holds; longer texts are cut at these limits.
constexpr int kTextBufferSize = 2048;
constexpr int kMaxTextLines = 50;
// Rows left transparent after every line.
constexpr int kLineGap = 4;

// Renders `text` ('\n' separates lines) into a new picture in the display's format, at least
// minWidth x minHeight; pixels no line covers are 0. Lines are stacked from the top, or each
// centred and the stack centred when `centre` is set. Null if the picture cannot be made.
SDL_Surface* MyRenderText(TTF_Font* font, const char* text, SDL_Color fg, SDL_Color bg, bool centre,
                          int minWidth, int minHeight);
// Replaces the object's picture with a rendered text keyed on pixel value 0. The picture it
// replaces is freed if an earlier PrepareText made it; any other picture is only dropped.
void PrepareText(CIB* object, TTF_Font* font, const char* text, SDL_Color fg, SDL_Color bg,
                 bool centre, int minWidth, int minHeight);
// Frees the pictures that PrepareText made and their objects still hold. Called at shutdown.
void ReleaseTextPictures();

// The caption table.

// One caption per photo slot: names line, middle string (unused by the show), description.
constexpr int kCaptionSlots = 30;
constexpr int kCaptionNames = 0;
constexpr int kCaptionMiddle = 1;
constexpr int kCaptionDescription = 2;
extern char* texty[kCaptionSlots][3];
// Number of valid records, from index 0.
extern int texts;

// The built-in captions, one for each demo photo: records of 600 bytes, names line at 0,
// description at 300.
constexpr int kBuiltInCaptions = kDemoPhotos;
constexpr int kCaptionRecordSize = 600;
constexpr int kCaptionFieldSize = 300;
extern const char kecy[kBuiltInCaptions * kCaptionRecordSize];

// Points the table at the built-in captions. Called at start-up after the fonts open.
void LoadTXT2();
// Replaces the table with the blocks of a caption file.
void LoadTXT(const char* path);
// Frees what LoadTXT allocated; built-in records own nothing.
void FreeTXT();

// Puts the caption table back to its start values (freeing file captions) and forgets the
// pictures PrepareText made, without freeing them.
void ResetText();
