// The video's chapters and captions: a chapter for the opening, for each photo slot (named by
// its caption's names line) and for the end picture; the captions as subtitles timed to the
// show, for ffmpeg to mux and for --subtitles.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "assets/assets.h"
#include "driver/driver.h"
#include "render.h"
#include "text/text.h"

// A part of the show: its frames [start, end) and its title or caption.
struct Span {
  int start, end;
  const char* text;
};

// Chapter and caption texts are cut here: a caption's description is a few lines.
static constexpr int kTrackText = 2048;

// `text` in UTF-8 as the show draws it, into `out`: Latin-1 bytes widened, control
// characters but line ends dropped, blank lines dropped (a blank line would end a cue).
static void TrackText(const char* text, char* out, size_t size) {
  size_t n = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p && n + 3 < size;
       ++p) {
    if (*p == '\r' || (*p < 0x20 && *p != '\n')) continue;
    if (*p == '\n' && (n == 0 || out[n - 1] == '\n')) continue;
    if (*p >= 0x80 && captionEncoding == kLatin1) {
      out[n++] = static_cast<char>(0xC0 | *p >> 6);
      out[n++] = static_cast<char>(0x80 | (*p & 0x3F));
    } else {
      out[n++] = static_cast<char>(*p);
    }
  }
  while (n > 0 && out[n - 1] == '\n') n--;
  out[n] = '\0';
}

// The caption record of photo slot `slot`, as SetUpCaption picks it; null with no captions.
static char** Record(int slot) {
  return texts < 1 ? nullptr : texty[slot < texts ? slot : texts - 1];
}

static const char* Field(char** record, int field) {
  return record && record[field] ? record[field] : "";
}

// Milliseconds of video from frame `from` to frame `f`, clamped to the video.
static long VideoMs(int f, int from, int to) {
  const int clamped = f < from ? from : f > to + 1 ? to + 1 : f;
  return static_cast<long>(clamped - from) * kStepMs;
}

// FFMETADATA escapes these with a backslash.
static void WriteEscaped(FILE* out, const char* text) {
  for (const char* p = text; *p; ++p) {
    if (strchr("=;#\\\n", *p)) fputc('\\', out);
    fputc(*p, out);
  }
}

static bool WriteChapters(FILE* out, int from, int to) {
  fprintf(out, ";FFMETADATA1\n");
  const int slots = fotos;
  for (int i = -1; i <= slots; ++i) {
    char title[kTrackText];
    Span s;
    if (i < 0) {
      s = {0, kFirstSlot, "Opening"};
    } else if (i == slots) {
      s = {EndPictureStart(), LastFrame() + 1, "End"};
    } else {
      s = {kFirstSlot + i * kSlotLength, kFirstSlot + (i + 1) * kSlotLength,
           Field(Record(i), kCaptionNames)};
      TrackText(s.text, title, sizeof title);
      for (char* c = title; *c; ++c)
        if (*c == '\n') *c = ' ';
      if (!title[0]) snprintf(title, sizeof title, "Photo %d", i + 1);
      s.text = title;
    }
    if (s.end <= from || s.start > to) continue;
    fprintf(out,
            "[CHAPTER]\nTIMEBASE=1/1000\nSTART=%ld\nEND=%ld\ntitle=", VideoMs(s.start, from, to),
            VideoMs(s.end, from, to));
    WriteEscaped(out, s.text);
    fputc('\n', out);
  }
  return !ferror(out);
}

static void WriteSrtTime(FILE* out, long ms) {
  fprintf(out, "%02ld:%02ld:%02ld,%03ld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

// The captions as SRT cues: each slot's description while its box stands, then its names line
// while its photo does. Returns the number of cues, or -1 when writing fails.
static int WriteCaptions(FILE* out, int from, int to) {
  int cues = 0;
  for (int i = 0; i < fotos; ++i) {
    char** record = Record(i);
    const int slot = kFirstSlot + i * kSlotLength;
    const Span parts[] = {{slot, slot + kHideOffset, Field(record, kCaptionDescription)},
                          {slot + kPhotoOffset, slot + kSlotLength, Field(record, kCaptionNames)}};
    for (const Span& s : parts) {
      char text[kTrackText];
      TrackText(s.text, text, sizeof text);
      if (!text[0] || s.end <= from || s.start > to) continue;
      fprintf(out, "%d\n", ++cues);
      WriteSrtTime(out, VideoMs(s.start, from, to));
      fputs(" --> ", out);
      WriteSrtTime(out, VideoMs(s.end, from, to));
      fprintf(out, "\n%s\n\n", text);
    }
  }
  return ferror(out) ? -1 : cues;
}

// The temporary files ffmpeg reads, made by PrepareTracks.
static char chapterFile[kPathSize], captionFile[kPathSize];
static bool hasCaptions = false;

static FILE* TemporaryFile(char (&name)[kPathSize], const char* what) {
  const char* tmp = getenv("TMPDIR");
  snprintf(name, sizeof name, "%s/tolvane-render-%s-XXXXXX", tmp && *tmp ? tmp : "/tmp", what);
  const int fd = MakeRemovedIfStopped(name);
  FILE* file = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (!file) {
    if (fd >= 0) close(fd);
    fprintf(stderr, "tolvane-render: cannot make a temporary file for the %s: %s\n", what,
            strerror(errno));
    name[0] = '\0';
  }
  return file;
}

int PrepareTracks(int from, int to) {
  FILE* chapters = TemporaryFile(chapterFile, "chapters");
  FILE* captions = chapters ? TemporaryFile(captionFile, "captions") : nullptr;
  bool ok = chapters && captions && WriteChapters(chapters, from, to);
  const int cues = ok ? WriteCaptions(captions, from, to) : -1;
  ok = cues >= 0;
  hasCaptions = cues > 0;
  if (chapters && fclose(chapters) != 0) ok = false;
  if (captions && fclose(captions) != 0) ok = false;
  if (ok && settings.subtitles[0]) {
    FILE* srt = fopen(settings.subtitles, "w");
    if (!srt || WriteCaptions(srt, from, to) < 0 || fclose(srt) != 0) {
      fprintf(stderr, "tolvane-render: cannot write %s: %s\n", settings.subtitles, strerror(errno));
      RemoveTracks();
      return kExitOutput;
    }
  }
  if (!ok) {
    if (chapters && captions)
      fprintf(stderr, "tolvane-render: cannot write the chapters and captions: %s\n",
              strerror(errno));
    RemoveTracks();
    return kExitOutput;
  }
  return kExitDone;
}

void TrackInputs(const char** argv, int& count) {
  for (const char* a : {"-f", "ffmetadata", "-i", static_cast<const char*>(chapterFile)})
    argv[count++] = a;
  if (hasCaptions)
    for (const char* a : {"-f", "srt", "-i", static_cast<const char*>(captionFile)})
      argv[count++] = a;
}

void TrackOutputs(const char** argv, int& count, bool mp4) {
  // Inputs 0 and 1 are the pictures and the sound.
  for (const char* a : {"-map_chapters", "2", "-force_key_frames", "chapters"}) argv[count++] = a;
  if (!hasCaptions) return;
  for (const char* a :
       {"-map", "3:s:0", "-c:s", mp4 ? "mov_text" : "srt", "-metadata:s:s:0", "title=Captions"})
    argv[count++] = a;
}

void RemoveTracks() {
  for (char* name : {chapterFile, captionFile})
    if (name[0]) {
      KeepIfStopped(name);
      unlink(name);
    }
  chapterFile[0] = captionFile[0] = '\0';
}
