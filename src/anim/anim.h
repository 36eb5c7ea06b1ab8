// Animation: key-frame paths and the pool of animated image objects that follow them.
// Knows nothing of the show; it draws onto the display surface that the driver opened.
#pragma once

#include <SDL.h>

// One key of a path. A plain record: the pool lives in zero-filled static storage.
class CWP {
 public:
  int x, y;             // top-left corner of the picture, screen pixels (may be off-screen)
  int time;             // absolute frame at which the object is exactly here
  unsigned char alpha;  // transparency: 0 opaque, 255 invisible
  CWP* next;            // following key of the same path; null ends the path

  // Alpha comes before time here, unlike the field order.
  void Set(int x, int y, unsigned char alpha, int time, CWP* next);
};

// All keys of all paths. Callers choose indices and keep paths from overlapping.
constexpr int kKeyPoolSize = 200;
extern CWP pt[kKeyPoolSize];

// Path builders: write consecutive keys from pt[first] on, linked in order, alpha 0.
// `start` is the absolute frame of the first key; `hold` the frames the picture rests.
// Logo drop from a screen height above, overshoot, rest, fall a screen height (6 keys).
void SiNabeh(int first, int start, int x, int y, int hold);
// Slide in from a screen width right of x, bounce, settle at x + 20, leave left (6 keys).
void JmenaNabeh(int first, int start, int x, int y, int hold);
// The same slide on the vertical axis; note y comes before x (6 keys).
void TextNabeh(int first, int start, int y, int x, int hold);
// Stand still at (x, y) from start to start + hold (2 keys).
void PopisNabeh(int first, int start, int x, int y, int hold);

// Evaluates `path` at `frame`. Outside the path only x and y are written; between two
// keys all three are, interpolated linearly and truncated toward zero.
void KeyPos(int frame, CWP* path, int& x, int& y, unsigned char& alpha);

// The layer over SDL 1.2's surfaces (surfaces.cpp), where the library differs from what the
// program needs; the driver, the text blocks and the loader draw through it too.

// SDL 1.2 surface alpha is opacity; ours is transparency. Every whole-surface alpha goes
// through here.
void SetTransparency(SDL_Surface* picture, int transparency);
// Whether `picture` covers all that lies under it when drawn: no key, no alpha that blends.
bool DrawnOpaque(const SDL_Surface* picture);
// Blits all of `picture` onto `target` with its top-left corner at (x, y), as SDL_UpperBlit
// does. Where SDL would only copy (no key, opaque, the target's format) it copies with memcpy:
// SDL 1.2's copy goes around the cache 8 bytes at a time and is several times slower.
void BlitWhole(SDL_Surface* picture, SDL_Surface* target, int x, int y);
// The part of the w x h rectangle at (x, y) that lies in `clip`, as its edges; nothing lies
// there when left >= right or top >= bottom.
struct Edges {
  int left, top, right, bottom;
};
Edges ClipEdges(const SDL_Rect& clip, int x, int y, int w, int h);
// The picture the show draws into where it is not SDL's display (tolvane -fit, which scales
// it onto the display); null where the show draws on the display itself.
extern SDL_Surface* showPicture;
// The surface whose pixel format every picture of the show takes: showPicture, else SDL's
// display; null when there is neither.
SDL_Surface* DrawingSurface();
// SDL_DisplayFormat, for DrawingSurface's format.
SDL_Surface* DrawingFormat(SDL_Surface* picture);
// A new w x h surface in system memory in the display's pixel format; null when there is no
// display or SDL makes none.
SDL_Surface* NewDisplaySurface(int w, int h);
// Whether pixels of `format` are 16-bit 5-6-5 red, green, blue.
bool Is565(const SDL_PixelFormat* format);
// The pixel value at `p` in a surface of `bytes` bytes per pixel.
Uint32 PixelValue(const Uint8* p, int bytes);

// One animated picture. Never owns its picture.
class CIB {
 public:
  bool active;           // drawn by the show's object layer only while set
  bool trail;            // on: copies get graded transparency; off: all use `alpha`
  unsigned char alpha;   // fixed transparency while the trail is off
  int copies;            // delayed copies drawn per frame, 3 frames apart
  SDL_Surface* surface;  // the picture, or null
  CWP* path;             // first key of the path followed, an entry of pt, or null

  // Inactive, no copies, no picture, no path.
  CIB();
  ~CIB();
  void Activate(CWP* path, int copies, bool trail);
  void Deactivate();
  // Drops the picture reference without freeing it.
  void Dispose();
  // Draws the copies for `frame` onto the display; copy i stands where the path was
  // 3 * (copies - i + 1) frames earlier. Draws nothing without a picture.
  void Draw(int frame);
};

constexpr int kObjectPoolSize = 30;
extern CIB tt[kObjectPoolSize];

// Puts pt and tt back to their start values (zero keys, inactive objects without
// picture or path); pictures are not freed.
void ResetAnim();
