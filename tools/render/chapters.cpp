// The video's chapters and captions: a chapter for the opening, for each photo slot (named by
// its caption's names line) and for the end picture; the captions as subtitles timed to the
// show, for ffmpeg to mux and for --subtitles. Each text is escaped for the reader of its
// format, so that what the show draws comes back exactly, markup and all.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "assets/assets.h"
#include "driver/driver.h"
#include "common.h"
#include "render.h"
#include "text/text.h"

// A part of the show: its frames [start, end) and its title or caption.
struct Span {
  int start, end;
  const char* text;
};

// Chapter and caption texts are cut here, between characters: a caption's description is a
// few lines.
static constexpr int kTrackText = 2048;

// `text` as the show draws it, for a track: UTF-8, each line without the spaces around it,
// which SRT readers drop, and blank lines left out, which would end a cue.
static void TrackText(const char* text, char* out, size_t size) {
  char shown[kTrackText];
  ShownText(text, captionEncoding, shown, sizeof shown);
  size_t n = 0;
  for (char* line = shown; line;) {
    char* end = strchr(line, '\n');
    if (end) *end = '\0';
    while (*line == ' ' || *line == '\t') ++line;
    size_t length = strlen(line);
    while (length > 0 && (line[length - 1] == ' ' || line[length - 1] == '\t')) --length;
    if (length > 0 && n + length + 1 < size) {
      if (n > 0) out[n++] = '\n';
      memcpy(out + n, line, length);
      n += length;
    }
    line = end ? end + 1 : nullptr;
  }
  out[n] = '\0';
}

static const char* Field(char** record, int field) {
  return record && record[field] ? record[field] : "";
}

// Milliseconds of video from frame `from` to frame `f`, clamped to the video.
static long VideoMs(int f, int from, int to) {
  const int clamped = f < from ? from : f > to + 1 ? to + 1 : f;
  return static_cast<long>(clamped - from) * kStepMs;
}

// An FFMETADATA value: these escaped with a backslash. Its reader takes a line end after a
// backslash for an escaped one, even when that backslash is itself escaped: a value ending in
// one is closed by a NUL, where the reader's value ends.
static void WriteMetadataValue(FILE* out, const char* text) {
  for (const char* p = text; *p; ++p) {
    if (strchr("=;#\\\n", *p)) fputc('\\', out);
    fputc(*p, out);
  }
  if (*text && text[strlen(text) - 1] == '\\') fputc('\0', out);
  fputc('\n', out);
}

static bool WriteChapters(FILE* out, int from, int to) {
  fprintf(out, ";FFMETADATA1\n");
  const int slots = PhotoSlots();
  for (int i = -1; i <= slots; ++i) {
    char title[kTrackText];
    Span s;
    if (i < 0) {
      s = {0, SlotStart(0), "Opening"};
    } else if (i == slots) {
      s = {EndPictureStart(), LastFrame() + 1, "End"};
    } else {
      s = {SlotStart(i), i + 1 < slots ? SlotStart(i + 1) : EndPictureStart(), title};
      TrackText(Field(CaptionOfSlot(i), kCaptionNames), title, sizeof title);
      for (char* c = title; *c; ++c)
        if (*c == '\n') *c = ' ';
      if (!title[0]) snprintf(title, sizeof title, "Photo %d", i + 1);
    }
    if (s.end <= from || s.start > to) continue;
    fprintf(out,
            "[CHAPTER]\nTIMEBASE=1/1000\nSTART=%ld\nEND=%ld\ntitle=", VideoMs(s.start, from, to),
            VideoMs(s.end, from, to));
    WriteMetadataValue(out, s.text);
  }
  return !ferror(out);
}

// The formats the captions are written in: SRT for Matroska's track and --subtitles, ASS for
// ffmpeg's mov_text encoder, which takes no SRT without reading markup into it.
enum CaptionFormat { kSrt, kMovText };

// An end tag of no element: SRT readers drop it. It parts what they would take for markup.
static constexpr char kNoTag[] = "</x>";

// SRT text shown literally: a reader takes <...> for a tag, {\...} for a style, a backslash
// for an escape and a line with "-->" for the next cue's timing.
static void WriteSrtText(FILE* out, const char* text) {
  bool lineStart = true;
  for (const char* p = text; *p; ++p) {
    const char* arrow = lineStart ? strstr(p, "-->") : nullptr;
    if (arrow && arrow < p + strcspn(p, "\n")) fputs(kNoTag, out);
    lineStart = *p == '\n';
    if (*p == '\\' || *p == '{' || *p == '}') fputc('\\', out);
    fputc(*p, out);
    if (*p == '{' || *p == '<') fputs(kNoTag, out);
  }
}

// ASS as the mov_text encoder reads it: "\n", "\N" and "{\" are its only markup, parted here
// by an empty style block.
static void WriteMovText(FILE* out, const char* text) {
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') {
      fputs("\\N", out);
      continue;
    }
    fputc(*p, out);
    if (*p == '\\' || *p == '{') fputs("{\\}", out);
  }
}

static void WriteSrtTime(FILE* out, long ms) {
  fprintf(out, "%02ld:%02ld:%02ld,%03ld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

static void WriteAssTime(FILE* out, long ms) {
  fprintf(out, "%ld:%02ld:%02ld.%02ld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
          ms % 1000 / 10);
}

static void WriteCue(FILE* out, CaptionFormat format, int number, long start, long end,
                     const char* text) {
  if (format == kSrt) {
    fprintf(out, "%d\n", number);
    WriteSrtTime(out, start);
    fputs(" --> ", out);
    WriteSrtTime(out, end);
    fputc('\n', out);
    WriteSrtText(out, text);
    fputs("\n\n", out);
    return;
  }
  fputs("Dialogue: 0,", out);
  WriteAssTime(out, start);
  fputc(',', out);
  WriteAssTime(out, end);
  fputs(",Default,,0,0,0,,", out);
  WriteMovText(out, text);
  fputc('\n', out);
}

static constexpr char kAssHeader[] =
    "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
    "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
    "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
    "Style: Default,Sans,16,&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,0\n"
    "\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, "
    "Text\n";

// The captions as cues: each slot's description while its box stands, then its names line
// while its photo does. Returns the number of cues, or -1 when writing fails.
static int WriteCaptions(FILE* out, CaptionFormat format, int from, int to) {
  if (format == kMovText) fputs(kAssHeader, out);
  int cues = 0;
  for (int i = 0; i < PhotoSlots(); ++i) {
    char** record = CaptionOfSlot(i);
    const int slot = SlotStart(i);
    const Span parts[] = {{slot, slot + kHideOffset, Field(record, kCaptionDescription)},
                          {slot + kPhotoOffset, slot + kSlotLength, Field(record, kCaptionNames)}};
    for (const Span& s : parts) {
      char text[kTrackText];
      TrackText(s.text, text, sizeof text);
      if (!text[0] || s.end <= from || s.start > to) continue;
      WriteCue(out, format, ++cues, VideoMs(s.start, from, to), VideoMs(s.end, from, to), text);
    }
  }
  return ferror(out) ? -1 : cues;
}

// The temporary files ffmpeg reads, made by PrepareTracks, and the captions for
// settings.subtitles until they take its name.
static char chapterFile[kPathSize], captionFile[kPathSize], subtitleFile[kPathSize + 8];
static bool hasCaptions = false;

static FILE* TemporaryFile(char (&name)[kPathSize], const char* what) {
  const char* tmp = getenv("TMPDIR");
  snprintf(name, sizeof name, "%s/tolvane-render-%s-XXXXXX", tmp && *tmp ? tmp : "/tmp", what);
  const int fd = MakeRemovedIfStopped(name);
  FILE* file = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (!file) {
    if (fd >= 0) close(fd);
    Fail(kRenderer, "cannot make a temporary file for the %s: %s", what, strerror(errno));
    name[0] = '\0';
  }
  return file;
}

// The captions for settings.subtitles, beside it under a name of its own; false, having said
// why, when they cannot be written.
static bool WriteSubtitles(int from, int to) {
  snprintf(subtitleFile, sizeof subtitleFile, "%s.XXXXXX", settings.subtitles);
  const int fd = MakeRemovedIfStopped(subtitleFile);
  FILE* srt = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (fd >= 0 && !srt) close(fd);
  const bool written = srt && WriteCaptions(srt, kSrt, from, to) >= 0;
  if ((srt && fclose(srt) != 0) || !written)
    return Fail(kRenderer, "cannot write %s: %s", settings.subtitles, strerror(errno));
  const mode_t mask = umask(0);
  umask(mask);
  chmod(subtitleFile, 0666 & ~mask);  // as a file made in place
  return true;
}

int PrepareTracks(int from, int to) {
  FILE* chapters = TemporaryFile(chapterFile, "chapters");
  FILE* captions = chapters ? TemporaryFile(captionFile, "captions") : nullptr;
  bool ok = chapters && captions && WriteChapters(chapters, from, to);
  const int cues =
      ok ? WriteCaptions(captions, IsMp4Name(settings.output) ? kMovText : kSrt, from, to) : -1;
  ok = cues >= 0;
  hasCaptions = cues > 0;
  if (chapters && fclose(chapters) != 0) ok = false;
  if (captions && fclose(captions) != 0) ok = false;
  if (!ok) {
    if (chapters && captions)
      Fail(kRenderer, "cannot write the chapters and captions: %s", strerror(errno));
    RemoveTracks();
    return kExitOutput;
  }
  if (settings.subtitles[0] && !WriteSubtitles(from, to)) {
    RemoveTracks();
    return kExitOutput;
  }
  return kExitDone;
}

int PlaceSubtitles() {
  if (!subtitleFile[0]) return kExitDone;
  if (rename(subtitleFile, settings.subtitles) != 0) {
    Fail(kRenderer, "cannot write %s: %s", settings.subtitles, strerror(errno));
    return kExitOutput;
  }
  KeepIfStopped(subtitleFile);
  subtitleFile[0] = '\0';
  return kExitDone;
}

void TrackInputs(const char** argv, int& count) {
  for (const char* a : {"-f", "ffmetadata", "-i", static_cast<const char*>(chapterFile)})
    argv[count++] = a;
  if (hasCaptions)
    for (const char* a : {"-f", IsMp4Name(settings.output) ? "ass" : "srt", "-i",
                          static_cast<const char*>(captionFile)})
      argv[count++] = a;
}

void TrackOutputs(const char** argv, int& count, bool mp4) {
  // Inputs 0 and 1 are the pictures and the sound. Matroska takes the SRT as it is written.
  for (const char* a : {"-map_chapters", "2", "-force_key_frames", "chapters"}) argv[count++] = a;
  if (!hasCaptions) return;
  for (const char* a :
       {"-map", "3:s:0", "-c:s", mp4 ? "mov_text" : "copy", "-metadata:s:s:0", "title=Captions"})
    argv[count++] = a;
}

void RemoveTracks() {
  for (char* name : {chapterFile, captionFile, subtitleFile})
    if (name[0]) {
      KeepIfStopped(name);
      unlink(name);
      name[0] = '\0';
    }
}
