// Text and captions: multi-line text rendered into keyed pictures, and the caption table.
// Knows nothing of the show; text blocks take the pixel format of the display surface.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include "anim/anim.h"
#include "facts.h"

// How the bytes of a text stand for characters: one byte each (ISO 8859-1), or UTF-8.
enum TextEncoding { kLatin1, kUtf8 };

// The font layer: where SDL_ttf 2.0 differs from what the captions need.

// Opens `file` at `points` on a 96 dpi screen (SDL_ttf assumes 72 dpi), or null; a font
// without a Unicode character map or without outlines does not open.
TTF_Font* OpenFontAt96Dpi(const char* file, int points);
// The size in pixels per em of a font of `points` on a 96 dpi screen.
int FontPixels(int points);
// Opens `file` at `pixels` per em, as OpenFontAt96Dpi does, or null.
TTF_Font* OpenFontAtPixels(const char* file, int pixels);
// Renders one line of text as an opaque band of `bg` exactly as large as the box of its
// glyphs (pen start on the baseline included), or null when SDL_ttf gives nothing. A line
// without glyphs gives a picture of width 0. UTF-8 is drawn through SDL_ttf's 16-bit
// Unicode renderer; a character beyond 16 bits, or a byte that is no UTF-8, stands as
// U+FFFD, and a character the font cannot give a glyph for is left out.
SDL_Surface* RenderLine(TTF_Font* font, const char* line, SDL_Color fg, SDL_Color bg,
                        TextEncoding encoding = kLatin1);
// The characters of a UTF-8 line as SDL_ttf 2.0 takes them, 0-terminated, into `out` (at most
// kMaxLineChars - 1 of them); returns their count. Code points beyond 16 bits and bytes that
// form no UTF-8 character give U+FFFD; U+FEFF and U+FFFE, which SDL_ttf reads as byte-order
// marks, are dropped.
int DecodeUtf8Line(const char* line, Uint16* out);
// The first character of `text` and its length in bytes: -1 and 1 for a byte that starts no
// valid UTF-8 sequence (overlong forms, surrogates and code points past U+10FFFF included).
long NextUtf8(const char* text, int& length);

// Text blocks.

// Longest text and most lines a block holds; longer texts are cut at these limits.
constexpr int kTextBufferSize = 2048;
constexpr int kMaxTextLines = 50;
// Most characters a line holds, with the terminating 0.
constexpr int kMaxLineChars = kTextBufferSize;
// Rows left transparent after every line.
constexpr int kLineGap = 4;

// Renders `text` ('\n' separates lines) into a new picture in the display's format, at least
// minWidth x minHeight; pixels no line covers are 0. Lines are stacked from the top, or each
// centred and the stack centred when `centre` is set. Null if the picture cannot be made.
SDL_Surface* MyRenderText(TTF_Font* font, const char* text, SDL_Color fg, SDL_Color bg, bool centre,
                          int minWidth, int minHeight, TextEncoding encoding = kLatin1);
// Where a text block comes to rest, for its twin on a canvas larger than the show: the font
// scaled to the canvas, and the block's top-left corner in show units.
struct TextPlace {
  TTF_Font* large;
  int x, y;
};
// Replaces the object's picture with a rendered text keyed on pixel value 0. The picture it
// replaces is freed if an earlier PrepareText made it; any other picture is only dropped. On
// a canvas larger than the show, with `place`, the picture gets a twin: the same bands mapped
// to the canvas, the lines set in place->large.
void PrepareText(CIB* object, TTF_Font* font, const char* text, SDL_Color fg, SDL_Color bg,
                 bool centre, int minWidth, int minHeight, TextEncoding encoding = kLatin1,
                 const TextPlace* place = nullptr);
// Frees the pictures that PrepareText made and their objects still hold. Called at shutdown,
// and when a jump back plays the show again from its start.
void ReleaseTextPictures();

// The caption table.

// One caption per photo slot (the show has at most 50): names line, middle string (unused by
// the show), description.
constexpr int kCaptionSlots = 50;
constexpr int kCaptionNames = 0;
constexpr int kCaptionMiddle = 1;
constexpr int kCaptionDescription = 2;
extern char* texty[kCaptionSlots][3];
// Number of valid records, from index 0.
extern int texts;
// How the table's strings are encoded: Latin-1 for the built-in captions, what the caption
// file was read as for its records.
extern TextEncoding captionEncoding;
// The record photo slot `slot` shows: its own, beyond the table's last the last one; null
// for an empty table (no caption is shown) and for a slot below 0.
char** CaptionOfSlot(int slot);
// Blocks the last caption file read held, those past the table's last place included.
extern int captionBlocks;

// The built-in captions, one for each demo photo: records of 600 bytes, names line at 0,
// description at 300.
constexpr int kBuiltInCaptions = kDemoPhotos;
constexpr int kCaptionRecordSize = 600;
constexpr int kCaptionFieldSize = 300;
extern const char kecy[kBuiltInCaptions * kCaptionRecordSize];

// Points the table at the built-in captions. Called at start-up after the fonts open.
void LoadTXT2();
// What reading a caption file came to; the reason of a failure is in SDL_GetError.
enum CaptionFileResult { kCaptionsRead, kCaptionFileUnreadable, kNoCaptionInFile };
// Replaces the table with the blocks of the caption file at `path` (the table stays empty
// when it fails). The file is read as UTF-8 when all of it is valid UTF-8, a byte-order mark
// first skipped, else as Latin-1; a CR ending a line (CR LF) ends it as LF. Only regular
// files are opened, so a named pipe is never waited on.
CaptionFileResult ReadTXT(const char* path);
// ReadTXT, saying "Couldn't open PATH" (no line end) on standard error when the file
// cannot be opened.
void LoadTXT(const char* path);
// Frees what LoadTXT allocated; built-in records own nothing.
void FreeTXT();

// Puts the caption table back to its start values (freeing file captions) and forgets the
// pictures PrepareText made, without freeing them.
void ResetText();
