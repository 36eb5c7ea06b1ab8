// The pre-show check: what the show will do with the folder, and what a presenter would
// want to know before the audience arrives. Every line stands alone; "PROBLEM" marks what
// makes the show differ from what the folder seems to intend.
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "common.h"
#include "assets/assets.h"
#include "driver/driver.h"
#include "render.h"
#include "text/text.h"

// The music is measured up to this long; a module that plays longer is as good as endless.
static constexpr long kLongestMusic = 2L * 3600 * kAudioRate;

static int problems = 0;

__attribute__((format(printf, 2, 3))) static void Say(const char* kind, const char* format, ...) {
  printf("%-8s ", kind);
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
  putchar('\n');
  if (strcmp(kind, "PROBLEM") == 0) problems++;
}

// Why a picture failed: missing, or the decoder's reason.
static const char* WhyNot(const char* path) {
  if (!Exists(path)) return "missing";
  static char why[300];
  bool decoded = false;
  SDL_Surface* picture = LoadPicture(path, kWholePicture, kWholePicture, decoded);
  if (picture) SDL_FreeSurface(picture);
  if (decoded) return "decodes, but not into the display's format";
  snprintf(why, sizeof why, "does not decode (%s)", SDL_GetError());
  return why;
}

static void CheckPicture(int which, SDL_Surface* picture, const char* withoutIt, bool fullScreen) {
  const char* path = kShowPictures[which].file;
  if (!picture) {
    Say("PROBLEM", "%s %s: %s", path, WhyNot(path), withoutIt);
    return;
  }
  if (fullScreen && (picture->w != kScreenWidth || picture->h != kScreenHeight)) {
    Say("PROBLEM", "%s is %dx%d, not %dx%d: %s", path, picture->w, picture->h, kScreenWidth,
        kScreenHeight,
        picture->w < kScreenWidth || picture->h < kScreenHeight
            ? "the part of the screen it leaves is never redrawn"
            : "it is cut off at the screen's edge");
    return;
  }
  Say("ok", "%s %dx%d", path, picture->w, picture->h);
}

// The EXIF orientation of a JPEG file (1 to 8), or 0 when it carries none.
static int ExifOrientation(const char* path) {
  FILE* file = OpenPlain(path, "rb");
  if (!file) return 0;
  static unsigned char data[1 << 16];
  const size_t size = fread(data, 1, sizeof data, file);
  fclose(file);
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return 0;
  size_t at = 2;
  while (at + 4 <= size && data[at] == 0xFF) {
    const int marker = data[at + 1];
    const size_t length = data[at + 2] << 8 | data[at + 3];
    if (marker == 0xDA || marker == 0xD9 || length < 2) break;  // the picture data begins
    const unsigned char* segment = data + at + 4;
    const size_t bytes = std::min(length - 2, size - (at + 4));
    if (marker == 0xE1 && bytes >= 14 && memcmp(segment, "Exif\0\0", 6) == 0) {
      const unsigned char* tiff = segment + 6;
      const size_t tiffSize = bytes - 6;
      const bool little = tiff[0] == 'I';
      auto u16 = [&](size_t o) {
        return o + 2 > tiffSize ? 0
               : little         ? tiff[o] | tiff[o + 1] << 8
                                : tiff[o] << 8 | tiff[o + 1];
      };
      auto u32 = [&](size_t o) -> size_t {
        if (o + 4 > tiffSize) return 0;
        return little ? tiff[o] | tiff[o + 1] << 8 | tiff[o + 2] << 16 | size_t(tiff[o + 3]) << 24
                      : size_t(tiff[o]) << 24 | tiff[o + 1] << 16 | tiff[o + 2] << 8 | tiff[o + 3];
      };
      const size_t ifd = u32(4);
      const int entries = u16(ifd);
      for (int i = 0; i < entries; ++i) {
        const size_t entry = ifd + 2 + 12 * i;
        if (u16(entry) == 0x0112) return u16(entry + 8);
      }
      return 0;
    }
    at += 2 + length;
  }
  return 0;
}

static const char* OrientationMeaning(int orientation) {
  switch (orientation) {
    case 2:
      return "to be mirrored left to right";
    case 3:
      return "to be turned upside down";
    case 4:
      return "to be mirrored top to bottom";
    case 5:
    case 7:
      return "to be mirrored and turned a quarter";
    case 6:
      return "to be turned 90 degrees clockwise";
    case 8:
      return "to be turned 90 degrees anticlockwise";
    default:
      return "unknown";
  }
}

static void CheckPhoto(int k) {
  const PhotoFileName name = PhotoName(k + 1);
  const char* path = name.path;
  // The show keeps only what can be seen of a photo: its size is the file's.
  PictureHeader photo;
  ReadPictureHeader(path, photo);
  if (photo.width > kPhotoWidth || photo.height > kPhotoHeight) {
    const bool cutRight = kPhotoX + photo.width > kScreenWidth;
    const bool cutBottom = kPhotoY + photo.height > kScreenHeight;
    char consequence[200];
    if (cutRight || cutBottom)
      snprintf(consequence, sizeof consequence, "it is cut off at the screen's %s edge%s",
               cutRight && cutBottom ? "right and bottom"
               : cutRight            ? "right"
                                     : "bottom",
               cutRight && cutBottom ? "s" : "");
    else
      snprintf(consequence, sizeof consequence, "it spills over the photo frame");
    if (kPhotoY + photo.height > kNamesY)
      snprintf(consequence + strlen(consequence), sizeof consequence - strlen(consequence),
               " and reaches under the names line");
    Say("PROBLEM", "%s is %ux%u, larger than the %dx%d photo area: %s; photos are not scaled", path,
        photo.width, photo.height, kPhotoWidth, kPhotoHeight, consequence);
  }
  const int orientation = ExifOrientation(path);
  if (orientation > 1)
    Say("PROBLEM",
        "%s carries an EXIF orientation (%d, %s) that the show does not apply: it shows the "
        "photo as stored",
        path, orientation, OrientationMeaning(orientation));
}

// Every photo-like file in gfx/ that the show will not show: the series has `count` photos
// and ends at `next`, which is missing or does not load.
static void CheckStrayPhotos(int count, const char* next) {
  DIR* dir = opendir("gfx");
  if (!dir) return;
  constexpr int kMaxNames = 256;
  static char files[kMaxNames][256];
  int found = 0;
  while (dirent* entry = readdir(dir)) {
    char lower[256];
    size_t i = 0;
    for (; entry->d_name[i] && i + 1 < sizeof lower; ++i)
      lower[i] = static_cast<char>(tolower(static_cast<unsigned char>(entry->d_name[i])));
    lower[i] = '\0';
    if (strncmp(lower, kPhotoStem, strlen(kPhotoStem)) != 0 || found == kMaxNames) continue;
    snprintf(files[found++], sizeof files[0], "%s", entry->d_name);
  }
  closedir(dir);
  qsort(files, found, sizeof files[0],
        [](const void* a, const void* b) { return strcmp((const char*)a, (const char*)b); });
  for (int i = 0; i < found; ++i) {
    const char* name = files[i];
    const int number = PhotoNumber(name, kMaxPhotos);
    if (number >= 1 && number <= count + 1) continue;  // shown, or reported above
    if (number > 0)
      Say("PROBLEM", "gfx/%s is never shown: the photo series ends at photo %d, before %s", name,
          count, next);
    else
      Say("PROBLEM",
          "gfx/%s is never looked at: the show reads photos named %s to %s, two digits, lower "
          "case",
          name, PhotoName(1).file, PhotoName(kMaxPhotos).file);
  }
}

// Photos that will look wrong though the show plays them as the folder intends: one
// tolvane-make enlarged from a small photo (its record, kSourcesFile, keeps the size) looks
// blurred; a small photo put in by hand stands small in the photo frame.
static void CheckSmallPhotos(int count) {
  static ShowSources record;
  const bool made = ReadSources(kSourcesFile, record);
  for (int k = 0; k < count; ++k) {
    if (made && k < record.photos) {
      const PhotoSource& source = record.photo[k];
      if (LooksBlurred(source.width, source.height))
        Say("note", "%s was enlarged from %s, only %dx%d: it will look blurred",
            PhotoName(k + 1).path, source.path, source.width, source.height);
      continue;
    }
    const PhotoFileName name = PhotoName(k + 1);
    const char* path = name.path;
    PictureHeader photo;
    ReadPictureHeader(path, photo);
    if (LooksBlurred(photo.width, photo.height))
      Say("note",
          "%s is only %ux%u, less than half the %dx%d photo area both ways: it stands small in "
          "the top-left corner of the photo frame",
          path, photo.width, photo.height, kPhotoWidth, kPhotoHeight);
  }
}

// The photo series, each photo of it, and every photo-like file in gfx/ that the show will
// not show.
static void CheckPhotos() {
  const int count = fotos + 1;
  const PhotoFileName nextName = PhotoName(count + 1);
  const char* next = nextName.path;
  const bool brokenEnd = count < kMaxPhotos && Exists(next);
  if (count == 0)
    Say("PROBLEM", "no photo: the show has no photo slot, the end picture follows the logo%s%s%s",
        brokenEnd ? "" : " (", brokenEnd ? "" : PhotoName(1).path, brokenEnd ? "" : " is missing)");
  else if (count == kMaxPhotos)
    Say("ok", "%d photos, %s to %s, the most the show takes", count, PhotoName(1).path,
        PhotoName(kMaxPhotos).path);
  else if (!brokenEnd)
    Say("ok", "%d photo%s, %s to %s: the series ends there (no %s)", count, count == 1 ? "" : "s",
        PhotoName(1).path, PhotoName(count).path, next);
  if (brokenEnd)
    Say("PROBLEM", "%s %s: the photo series ends before it, after %d photo%s", next, WhyNot(next),
        count, count == 1 ? "" : "s");
  for (int k = 0; k < count; ++k) CheckPhoto(k);
  CheckSmallPhotos(count);
  CheckStrayPhotos(count, next);
}

// The large sources in gfx/hd/, beside the pictures and the `photos` shown: one there that the
// show cannot draw from is a problem, as on a big screen the gfx/ picture is then enlarged;
// those not there are named in one note.
static void CheckLargeSources(int photos) {
  const char* folder = kLargeDir;
  static char missing[(kPictureCount + kMaxPhotos) * 16];
  missing[0] = '\0';
  int all = 0, fit = 0;
  auto judge = [&](const char* file) {
    ++all;
    PictureHeader picture;
    if (!ReadPictureHeader(file, picture) || picture.width == 0) return;  // reported above
    const char* name = file + strlen(kPictureDir);
    char large[kPathSize], why[300];
    snprintf(large, sizeof large, "%s%s", folder, name);
    LargeSourceState state =
        JudgeLargeSource(large, picture.width, picture.height, why, sizeof why);
    if (state == kLargeFits && !LargeSourceDecodes(large, why, sizeof why))
      state = kLargeUnreadable;
    if (state == kLargeMissing)
      snprintf(missing + strlen(missing), sizeof missing - strlen(missing), "%s%s",
               missing[0] ? ", " : "", name);
    else if (state != kLargeFits)
      Say("PROBLEM", "%s is not used (%s): on a big screen the show enlarges %s instead", large,
          why, file);
    else
      ++fit;
  };
  for (const PictureName& picture : kShowPictures) judge(picture.file);
  for (int k = 1; k <= photos; ++k) judge(PhotoName(k).path);
  if (fit) Say("ok", "%s: large sources of %d of the %d pictures and photos", folder, fit, all);
  if (!missing[0]) return;
  if (!Exists(folder))
    Say("note", "no %s folder: on a big screen the show enlarges every picture and photo", folder);
  else
    Say("note", "no large source in %s for %s: on a big screen the show enlarges %s", folder,
        missing, strchr(missing, ',') ? "these" : "it");
}

// Whether the text holds a UTF-8 sequence: a caption file read as Latin-1 draws it as two
// odd characters.
static bool LooksLikeUtf8(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    if (p[0] >= 0xC2 && p[0] <= 0xF4 && (p[1] & 0xC0) == 0x80) return true;
  return false;
}

// The first character of `text` as a code point, and its length in bytes, as the caption
// table's encoding reads it.
static long CodePoint(const char* text, int& length) {
  if (captionEncoding == kUtf8) return NextUtf8(text, length);
  length = 1;
  return static_cast<unsigned char>(*text);
}

// Reports each character of a caption that the font has no glyph for, once each: the
// show draws the font's sign for a missing character in its place, or U+FFFD for one past
// the 16 bits SDL_ttf 2.0 takes.
static void ReportMissingGlyphs(int caption, const char* namesLine, const char* description) {
  long reported[64];
  int count = 0;
  char text[2 * kTextBufferSize];
  snprintf(text, sizeof text, "%s%s", namesLine, description);
  for (const char* p = text; *p;) {
    int length = 1;
    const long code = CodePoint(p, length);
    p += length;
    // Controls draw nothing that matters (the file's check tells of C1 controls), byte-order
    // marks are dropped.
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0xFEFF || code == 0xFFFE) continue;
    if (code <= 0xFFFF && TTF_GlyphIsProvided(text_font, static_cast<Uint16>(code))) continue;
    if (std::find(reported, reported + count, code) != reported + count) continue;
    if (count < 64) reported[count++] = code;
    char character[5];
    EncodeUtf8(code, character);
    if (code > 0xFFFF)
      Say("PROBLEM",
          "caption %d: '%s' (U+%04lX) is beyond the characters the show draws (up to U+FFFF): "
          "it stands as U+FFFD",
          caption, character, code);
    else
      Say("PROBLEM",
          "caption %d: the font has no '%s' (U+%04lX): the show draws the font's sign for a "
          "missing character",
          caption, character, code);
  }
}

static int LineWidth(TTF_Font* font, const char* line) {
  SDL_Surface* band = RenderLine(font, line, textcol, alias, captionEncoding);
  const int width = band ? band->w : 0;
  if (band) SDL_FreeSurface(band);
  return width;
}

// Reports the lines of `text` that reach past `limit` pixels when drawn in its block.
static void ReportWideLines(int caption, const char* what, TTF_Font* font, const char* text,
                            int limit, const char* consequence) {
  char copy[kTextBufferSize];
  snprintf(copy, sizeof copy, "%s", text);
  int number = 0;
  for (char* line = copy; line; ++number) {
    char* end = strchr(line, '\n');
    if (end) *end = '\0';
    const int width = LineWidth(font, line);
    char shown[kTextBufferSize];
    ShownText(line, captionEncoding, shown, sizeof shown);
    if (width > limit)
      Say("PROBLEM", "caption %d, %s line %d is %d px wide, more than %d: %s: \"%s\"", caption,
          what, number + 1, width, limit, consequence, shown);
    line = end ? end + 1 : nullptr;
  }
}

static void CheckCaption(int c) {
  const char* namesLine = texty[c][kCaptionNames] ? texty[c][kCaptionNames] : "";
  const char* description = texty[c][kCaptionDescription] ? texty[c][kCaptionDescription] : "";
  const int caption = c + 1;
  ReportWideLines(caption, "names", names_font, namesLine, kScreenWidth - kNamesRestX,
                  "it is cut off at the screen's right edge");
  ReportWideLines(caption, "description", text_font, description, kBoxMinWidth,
                  "the box grows to the right of the photo area");
  SDL_Surface* box = MyRenderText(text_font, description, textcol, alias, true, kBoxMinWidth,
                                  kBoxMinHeight, captionEncoding);
  if (box) {
    if (kBoxX + box->w > kScreenWidth)
      Say("PROBLEM",
          "caption %d: the description box is %d px wide and is cut off at the "
          "screen's right edge",
          caption, box->w);
    if (box->h > kBoxMinHeight)
      Say("PROBLEM", "caption %d: the description is %d px tall, more than the %d px box%s",
          caption, box->h, kBoxMinHeight,
          kBoxY + box->h > kScreenHeight ? ": it is cut off at the screen's bottom edge"
                                         : ": the box grows down over the names line");
    SDL_FreeSurface(box);
  }
  SDL_Surface* namesPicture =
      MyRenderText(names_font, namesLine, textcol, alias, false, 0, 0, captionEncoding);
  if (namesPicture) {
    if (kNamesY + namesPicture->h > kScreenHeight)
      Say("PROBLEM",
          "caption %d: the names line is %d px tall and is cut off at the "
          "screen's bottom edge",
          caption, namesPicture->h);
    SDL_FreeSurface(namesPicture);
  }
  ReportMissingGlyphs(caption, namesLine, description);
  if (!description[0])
    Say("note", "caption %d has no description lines: no box stands over the photo area", caption);
  if (captionEncoding == kLatin1 && (LooksLikeUtf8(namesLine) || LooksLikeUtf8(description)))
    Say("PROBLEM",
        "caption %d holds UTF-8 text, but the file is not all valid UTF-8, so the show reads it "
        "as Latin-1 (ISO 8859-1): letters such as 'e' with an accent come out as two odd "
        "characters",
        caption);
}

// A byte that Latin-1 text would not hold: controls but tab, LF, FF and CR, and the C1
// controls 0x80 to 0x9F, which a text from Windows or a damaged UTF-8 file brings.
static bool UnlikelyInLatin1(unsigned char byte) {
  return (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\f' && byte != '\r') ||
         (byte >= 0x7F && byte <= 0x9F);
}

// How the caption file was read: its encoding, a byte-order mark, and when it was read as
// Latin-1, the first byte that makes that doubtful.
static void CheckCaptionEncoding(const char* path) {
  FILE* file = OpenPlain(path, "rb");
  if (!file) return;
  unsigned char head[3] = {0, 0, 0};
  const bool mark =
      fread(head, 1, 3, file) == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
  if (!mark) rewind(file);
  long line = 1, doubtful = -1;
  int byte = 0, c;
  while ((c = getc(file)) != EOF && doubtful < 0) {
    if (UnlikelyInLatin1(static_cast<unsigned char>(c))) doubtful = line, byte = c;
    line += c == '\n';
  }
  fclose(file);
  const char* source = captionSource;
  if (captionEncoding == kUtf8)
    Say("ok", "%d caption%s from %s, read as UTF-8%s", texts, texts == 1 ? "" : "s", source,
        mark ? " (after its byte-order mark)" : "");
  else if (doubtful < 0)
    Say("ok", "%d caption%s from %s, read as Latin-1 (ISO 8859-1): it is not valid UTF-8", texts,
        texts == 1 ? "" : "s", source);
  else
    Say("PROBLEM",
        "%s is neither valid UTF-8 nor plausible Latin-1 (byte 0x%02X on line %ld): the show "
        "reads its %d caption%s as Latin-1 (ISO 8859-1); save it as UTF-8",
        source, byte, doubtful, texts, texts == 1 ? "" : "s");
}

// Which captions the show will use: the caption file's, or the built-in ones, and why.
static void CheckCaptionSource() {
  if (captionSource) {
    CheckCaptionEncoding(captionSource);
    if (captionBlocks > kCaptionSlots)
      Say("PROBLEM",
          "%s holds %d captions: the show takes the first %d, captions %d to %d are "
          "never shown",
          captionSource, captionBlocks, kCaptionSlots, kCaptionSlots + 1, captionBlocks);
    return;
  }
  // The show says why it could not take the folder's file; the loader's lines hold it.
  char said[64];
  snprintf(said, sizeof said, "Couldn't load %s: ", kCaptionFile);
  const char* why = settings.builtInCaptions ? nullptr : strstr(loaderTrouble, said);
  if (!why) {
    Say("ok", "%d built-in captions%s", texts,
        settings.builtInCaptions && Exists(kCaptionFile) ? " (--captions none)" : "");
    return;
  }
  why += strlen(said);
  Say("PROBLEM", "%s cannot be used (%.*s): the show takes its %d built-in captions", kCaptionFile,
      static_cast<int>(strcspn(why, "\n")), why, texts);
}

int templateCaptions = 0;

// The file name of a path, without its folders.
static const char* BaseName(const char* path) {
  const char* slash = strrchr(path, '/');
  return slash ? slash + 1 : path;
}

// A caption file still as tolvane-make wrote it, and each photo whose caption block still is:
// its record keeps the template's digests.
static void CheckTemplate(int photos) {
  static ShowSources record;
  unsigned long long digest = 0;
  templateCaptions = 0;
  if (!captionSource || !ReadSources(kSourcesFile, record)) return;
  if (record.isTemplate && FileDigest(captionSource, digest) && digest == record.captions)
    Say("note",
        "%s is still the template tolvane-make wrote: each caption shows its photo's date and "
        "file name until you write your own",
        captionSource);
  for (int k = 0; k < photos && k < record.photos && k < texts; ++k) {
    const PhotoSource& source = record.photo[k];
    if (!source.captionTemplate || CaptionDigest(texty[k]) != source.caption) continue;
    char from[kPathSize];
    ShownText(BaseName(source.path), kUtf8, from, sizeof from);
    Say("note", "%s (from %s): caption still the template", PhotoName(k + 1).file, from);
    ++templateCaptions;
  }
}

static void CheckCaptions(int photos) {
  CheckCaptionSource();
  CheckTemplate(photos);
  const int shown = photos < texts ? photos : texts;
  for (int c = 0; c < shown; ++c) CheckCaption(c);
  if (photos > texts)
    Say("PROBLEM", "%d photos but %d caption%s: slots %d to %d all repeat caption %d", photos,
        texts, texts == 1 ? "" : "s", texts + 1, photos, texts);
  else if (photos < texts)
    Say("note", "captions %d to %d are not shown: there %s only %d photo%s", photos + 1, texts,
        photos == 1 ? "is" : "are", photos, photos == 1 ? "" : "s");
}

static void CheckFolderMusic() {
  char title[64] = "", why[256] = "";
  const long samples =
      ModuleLength(kMusicFile, kLongestMusic, title, sizeof title, why, sizeof why);
  char show[32], fadeAt[32], musicLength[32];
  FormatTime(LastFrame(), show, sizeof show);
  FormatTime(ENDTIME, fadeAt, sizeof fadeAt);
  Say("ok", "the show lasts %s after its loading screen; the music fades out from %s", show,
      fadeAt);
  const MusicKind kind = MusicKindOf(kMusicFile);
  if (samples < 0 && kind != kNoMusic && kind != kModuleMusic && kind != kVorbisMusic) {
    // The show's mixer plays these; only the renderer's sound track does not.
    Say("PROBLEM", "%s is %s: the show plays it, but tolvane-render's video has no sound",
        kMusicFile, MusicKindName(kind));
    return;
  }
  if (samples < 0) {
    Say("PROBLEM", "%s cannot be played (%s): the show runs silent", kMusicFile, why);
    return;
  }
  const long frames = samples * kFramesPerSecond / kAudioRate;
  FormatTime(frames, musicLength, sizeof musicLength);
  if (samples >= kLongestMusic) {
    Say("note", "music %s \"%s\" plays on past %s without ending", kMusicFile, title, musicLength);
    return;
  }
  if (frames < ENDTIME)
    Say("note", "music %s \"%s\" lasts %s: the show starts it again from the top when it ends",
        kMusicFile, title, musicLength);
  else {
    char early[32];
    FormatTime(frames - ENDTIME, early, sizeof early);
    Say("note", "music %s \"%s\" lasts %s: the show fades it out %s before its end", kMusicFile,
        title, musicLength, early);
  }
}

int CheckShow() {
  problems = 0;
  char cwd[kPathSize];
  printf("Check of the show in %s\n", getcwd(cwd, sizeof cwd) ? cwd : ".");
  const char* family = TTF_FontFaceFamilyName(text_font);
  const char* style = TTF_FontFaceStyleName(text_font);
  Say("ok", "%s: %s %s", kFontFile, family ? family : "?", style ? style : "");
  CheckPicture(kPictureLoad, load, "the loading screen has no corner picture", false);
  CheckPicture(kPictureOhen, ohen, "the loading screen has no centre picture", false);
  CheckPicture(kPictureBack, back, "the photo slots are black behind the photos", true);
  CheckPicture(kPictureSi, si, "no logo drops in", false);
  CheckPicture(kPictureEnd, end, "the end picture is black", true);
  CheckPhotos();
  CheckLargeSources(fotos + 1);
  CheckCaptions(fotos + 1);
  CheckFolderMusic();
  if (problems == 0)
    printf("No problems: the show will play as this folder seems to intend.\n");
  else
    printf("%d problem%s: the show would differ from what this folder seems to intend.\n", problems,
           problems == 1 ? "" : "s");
  return problems ? kExitCheckFound : kExitDone;
}

int CheckShowFolder(const char* dir, int& lastFrame) {
  settings = DefaultSettings();
  settings.job = kCheck;
  snprintf(settings.folder, sizeof settings.folder, "%s", dir);
  int status = OpenShow();
  if (status == kExitDone) status = CheckShow();
  lastFrame = LastFrame();
  CloseShow();
  return status;
}
