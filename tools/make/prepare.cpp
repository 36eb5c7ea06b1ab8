// Pictures through libvips: its C interface, which reports failures by result rather than by
// exception. Every photo is read shrunk on load, turned upright by its EXIF orientation,
// brought to 8-bit sRGB, flattened onto the matte and fitted into the photo area.
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "common.h"
#include "make.h"
#include "render.h"

// The photo whose file this thread reads, for libvips's warnings to be told with its name.
static thread_local Photo* reading = nullptr;

// Warnings that say nothing a presenter could act on.
static bool Harmless(const char* message) {
  return strstr(message, "unknown EXIF resolution unit") != nullptr;
}

// libvips's warnings, caught on the thread that gave them: kept with the photo being read
// there, the first one each, or said at once when no photo is being read.
static void CatchWarning(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
  if (!message || Harmless(message)) return;
  if (!reading) {
    fprintf(stderr, "tolvane-make: warning: %s\n", message);
    return;
  }
  if (!reading->warning[0])
    snprintf(reading->warning, sizeof reading->warning, "%.*s",
             static_cast<int>(strcspn(message, "\n")), message);
}

// Sets the photo being read on this thread for as long as it lives.
struct Reading {
  Photo* before;
  explicit Reading(Photo* p) : before(reading) { reading = p; }
  ~Reading() { reading = before; }
};

bool StartVips(const char* argv0) {
  if (VIPS_INIT(argv0)) {
    fprintf(stderr, "tolvane-make: cannot start libvips: %s\n", vips_error_buffer());
    return false;
  }
  // Photos are prepared one per core: each one's own pipeline needs no threads of its own,
  // and nothing is read twice, so nothing is worth caching.
  vips_concurrency_set(1);
  vips_cache_set_max(0);
  g_log_set_handler("VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                    CatchWarning, nullptr);
  return true;
}

void StopVips() {
  vips_shutdown();
}

// The first line of libvips's error text, which it then forgets.
static void TakeVipsError(char* why, size_t whySize, const char* otherwise) {
  char* text = vips_error_buffer_copy();
  if (!text || !text[0]) {
    if (why != otherwise) snprintf(why, whySize, "%s", otherwise);
  } else {
    const size_t line = strcspn(text, "\n");
    snprintf(why, whySize, "%.*s", static_cast<int>(line), text);
  }
  g_free(text);
}

bool CanOpenPicture(const char* path, char* why, size_t whySize) {
  if (const char* trouble = WhyUnreadable(path)) {
    snprintf(why, whySize, "%s", trouble);
    return false;
  }
  if (!vips_foreign_find_load(path)) {
    vips_error_clear();
    snprintf(why, whySize, "not a picture in a format that can be read");
    return false;
  }
  return true;
}

// Owns the images of one pipeline; each step replaces `image` by its result.
struct Pipeline {
  VipsImage* image = nullptr;
  // `next` is read once the step has run: by reference, whatever the order of arguments.
  bool Step(int status, VipsImage*& next) {
    if (status) return false;
    g_object_unref(image);
    image = next;
    return true;
  }
  ~Pipeline() {
    if (image) g_object_unref(image);
  }
};

// Whether the image carries an ICC profile for its own pixels: libvips's thumbnail turns a
// CMYK photo into sRGB but leaves its CMYK profile attached.
static bool HasOwnProfile(VipsImage* image) {
  const void* data = nullptr;
  size_t size = 0;
  if (!vips_image_get_typeof(image, VIPS_META_ICC_NAME) ||
      vips_image_get_blob(image, VIPS_META_ICC_NAME, &data, &size) || size < 20)
    return false;
  // The profile's colour space, bytes 16 to 19 of its header.
  const char* space = static_cast<const char*>(data) + 16;
  const bool colour = image->Bands >= 3;
  return memcmp(space, colour ? "RGB " : "GRAY", 4) == 0;
}

// 8-bit sRGB, with or without an alpha band: through the photo's own ICC profile when it
// has one, else from grey, CMYK, 16-bit or any other space by its interpretation.
static bool ToSrgb(Pipeline& p) {
  VipsImage* next = nullptr;
  const VipsInterpretation space = vips_image_guess_interpretation(p.image);
  if (HasOwnProfile(p.image)) {
    if (!p.Step(vips_icc_transform(p.image, &next, "srgb", "embedded", TRUE, nullptr), next))
      return false;
  } else if (space != VIPS_INTERPRETATION_sRGB || p.image->BandFmt != VIPS_FORMAT_UCHAR) {
    if (!p.Step(vips_colourspace(p.image, &next, VIPS_INTERPRETATION_sRGB, nullptr), next))
      return false;
  }
  if (p.image->BandFmt != VIPS_FORMAT_UCHAR)
    return p.Step(vips_cast(p.image, &next, VIPS_FORMAT_UCHAR, nullptr), next);
  return true;
}

static bool Flatten(Pipeline& p, const unsigned char rgb[3]) {
  if (!vips_image_hasalpha(p.image)) return true;
  VipsArrayDouble* background =
      vips_array_double_newv(3, double(rgb[0]), double(rgb[1]), double(rgb[2]));
  VipsImage* next = nullptr;
  const int status = vips_flatten(p.image, &next, "background", background, nullptr);
  vips_area_unref(VIPS_AREA(background));
  if (!p.Step(status, next)) return false;
  return p.image->BandFmt == VIPS_FORMAT_UCHAR ||
         p.Step(vips_cast(p.image, &next, VIPS_FORMAT_UCHAR, nullptr), next);
}

// The picture shrunk on load (or enlarged) to fit, or with `crop` to cover, w x h.
static bool Thumbnail(Pipeline& p, const char* path, int w, int h, bool crop, VipsSize size) {
  return vips_thumbnail(path, &p.image, w, "height", h, "size", size, "crop",
                        crop ? VIPS_INTERESTING_CENTRE : VIPS_INTERESTING_NONE, "fail_on",
                        VIPS_FAIL_ON_ERROR, nullptr) == 0;
}

// Writes the bytes to `path`; false with the reason, a full disk's among them.
static bool WriteEncoded(const char* path, const void* data, size_t size, char* why,
                         size_t whySize) {
  FILE* out = fopen(path, "wb");
  bool ok = out && fwrite(data, 1, size, out) == size;
  if (out && fclose(out) != 0) ok = false;
  if (!ok) {
    snprintf(why, whySize, "%s", strerror(errno ? errno : EIO));
    if (out) unlink(path);
  }
  return ok;
}

// Rows of the fitted photo computed at a time: what upstream of it holds in memory stays
// a strip of the source, as a libvips sink would keep it.
constexpr int kStripRows = 16;

// The pipeline's pixels computed on this thread, into memory: a libvips sink would compute
// them on threads of its own, where a warning could not be told from another photo's.
static bool ComputeHere(Pipeline& p) {
  VipsRegion* region = vips_region_new(p.image);
  const size_t row = VIPS_IMAGE_SIZEOF_LINE(p.image);
  std::vector<unsigned char> pixels(row * p.image->Ysize);
  bool ok = true;
  for (int top = 0; ok && top < p.image->Ysize; top += kStripRows) {
    const VipsRect strip = {0, top, p.image->Xsize, std::min(kStripRows, p.image->Ysize - top)};
    ok = vips_region_prepare(region, &strip) == 0;
    for (int y = top; ok && y < top + strip.height; ++y)
      memcpy(pixels.data() + row * y, VIPS_REGION_ADDR(region, 0, y), row);
  }
  g_object_unref(region);
  VipsImage* memory =
      ok ? vips_image_new_from_memory_copy(pixels.data(), pixels.size(), p.image->Xsize,
                                           p.image->Ysize, p.image->Bands, p.image->BandFmt)
         : nullptr;
  return memory && p.Step(0, memory);
}

// The photo's size as it stands upright.
static void UprightSize(Photo& photo) {
  VipsImage* header = vips_image_new_from_file(photo.path, nullptr);
  if (!header) return;
  const bool swap = vips_image_get_orientation_swap(header);
  photo.width = swap ? header->Ysize : header->Xsize;
  photo.height = swap ? header->Xsize : header->Ysize;
  g_object_unref(header);
}

// The photo area at the large sources' scale.
constexpr int kLargePhotoWidth = LargeLength(kPhotoWidth);
constexpr int kLargePhotoHeight = LargeLength(kPhotoHeight);
static_assert(kLargePhotoWidth * kLargeScaleDen == kPhotoWidth * kLargeScaleNum &&
                  kLargePhotoHeight * kLargeScaleDen == kPhotoHeight * kLargeScaleNum,
              "the large photo area has the photo area's shape exactly");

// Fits the photo from its own file into w x h on the matte and writes it to `out`, leaving
// libvips's error text where it is.
static bool FitInto(Photo& photo, int w, int h, const char* out) {
  Pipeline p;
  VipsImage* next = nullptr;
  VipsArrayDouble* matte = vips_array_double_newv(3, double(made.matte[0]), double(made.matte[1]),
                                                  double(made.matte[2]));
  void* jpeg = nullptr;
  size_t size = 0;
  const bool ok = Thumbnail(p, photo.path, w, h, made.fill, VIPS_SIZE_BOTH) && ToSrgb(p) &&
                  Flatten(p, made.matte) &&
                  p.Step(vips_gravity(p.image, &next, VIPS_COMPASS_DIRECTION_CENTRE, w, h, "extend",
                                      VIPS_EXTEND_BACKGROUND, "background", matte, nullptr),
                         next) &&
                  ComputeHere(p) &&
                  vips_jpegsave_buffer(p.image, &jpeg, &size, "Q", kPhotoJpegQuality, "interlace",
                                       FALSE, "strip", TRUE, nullptr) == 0;
  vips_area_unref(VIPS_AREA(matte));
  if (!ok) {
    snprintf(photo.why, sizeof photo.why, "it does not decode");
    return false;
  }
  errno = 0;
  photo.unwritten = !WriteEncoded(out, jpeg, size, photo.why, sizeof photo.why);
  g_free(jpeg);
  return !photo.unwritten;
}

// Fits and writes the photo and its large source, each from the photo's own file (the photo
// exactly as it would be without the large one), leaving libvips's error text where it is.
static bool FitPhoto(Photo& photo, const char* out, const char* largeOut) {
  photo.bad = photo.unwritten = false;
  if (!CanOpenPicture(photo.path, photo.why, sizeof photo.why)) return false;
  Reading scope(&photo);
  UprightSize(photo);
  if (!FitInto(photo, kPhotoWidth, kPhotoHeight, out) ||
      !FitInto(photo, kLargePhotoWidth, kLargePhotoHeight, largeOut))
    return false;
  if (!FileDigest(photo.path, photo.digest)) photo.digest = 0;
  return true;
}

bool PreparePhoto(Photo& photo, const char* out, const char* largeOut) {
  vips_error_clear();
  const bool ok = FitPhoto(photo, out, largeOut);
  if (!ok && !photo.unwritten) TakeVipsError(photo.why, sizeof photo.why, photo.why);
  return ok;
}

// Encodes the picture as PNG and writes it; `unwritten` when the writing failed.
static bool SavePng(Pipeline& p, const char* out, char* why, size_t whySize, bool& unwritten) {
  void* png = nullptr;
  size_t size = 0;
  if (vips_pngsave_buffer(p.image, &png, &size, nullptr)) {
    TakeVipsError(why, whySize, "it cannot be encoded");
    return false;
  }
  errno = 0;
  unwritten = !WriteEncoded(out, png, size, why, whySize);
  g_free(png);
  return !unwritten;
}

bool PrepareScreenPicture(const char* in, const char* out, const char* largeOut, char* why,
                          size_t whySize, bool& unwritten) {
  unwritten = false;
  if (!CanOpenPicture(in, why, whySize)) return false;
  static const unsigned char kBlack[3] = {0, 0, 0};
  for (const auto& [path, w, h] :
       {std::tuple{out, kScreenWidth, kScreenHeight},
        std::tuple{largeOut, LargeLength(kScreenWidth), LargeLength(kScreenHeight)}}) {
    Pipeline p;
    const bool ok = Thumbnail(p, in, w, h, true, VIPS_SIZE_BOTH) && ToSrgb(p) && Flatten(p, kBlack);
    if (!ok) return TakeVipsError(why, whySize, "it does not decode"), false;
    if (!SavePng(p, path, why, whySize, unwritten)) return false;
  }
  return true;
}

// The show draws the logo on black without its alpha: the colours under the transparency
// are those it would have on black, so that the show and any other reader agree.
static bool ColoursOnBlack(Pipeline& p) {
  if (!vips_image_hasalpha(p.image)) return true;
  VipsImage *alpha = nullptr, *onBlack = nullptr, *next = nullptr;
  static const unsigned char kBlack[3] = {0, 0, 0};
  if (vips_extract_band(p.image, &alpha, p.image->Bands - 1, nullptr)) return false;
  Pipeline flat;
  flat.image = p.image;
  g_object_ref(flat.image);
  const bool ok = Flatten(flat, kBlack);
  onBlack = flat.image;
  const int status = ok ? vips_bandjoin2(onBlack, alpha, &next, nullptr) : -1;
  g_object_unref(alpha);
  return p.Step(status, next);
}

bool PrepareLogo(const char* in, const char* out, const char* largeOut, char* why, size_t whySize,
                 bool& unwritten) {
  unwritten = false;
  if (!CanOpenPicture(in, why, whySize)) return false;
  Pipeline p;
  bool ok = Thumbnail(p, in, kLogoMaxWidth, kLogoMaxHeight, false, VIPS_SIZE_DOWN) && ToSrgb(p) &&
            ColoursOnBlack(p);
  if (!ok) return TakeVipsError(why, whySize, "it does not decode"), false;
  if (!SavePng(p, out, why, whySize, unwritten)) return false;
  // The large source: the logo's own size at the large scale, its shape kept to the pixel.
  Pipeline large;
  ok = vips_thumbnail(in, &large.image, LargeLength(p.image->Xsize), "height",
                      LargeLength(p.image->Ysize), "size", VIPS_SIZE_FORCE, "fail_on",
                      VIPS_FAIL_ON_ERROR, nullptr) == 0 &&
       ToSrgb(large) && ColoursOnBlack(large);
  if (!ok) return TakeVipsError(why, whySize, "it does not decode"), false;
  return SavePng(large, largeOut, why, whySize, unwritten);
}

// "2023:05:01 12:34:56 (2023:05:01 12:34:56, ASCII, 20 components, 20 bytes)", as libvips
// gives the EXIF field, read as local time.
bool ExifDate(const char* path, time_t& taken) {
  // Its warnings are told when the photo is prepared.
  Photo quiet;
  Reading scope(&quiet);
  VipsImage* header = vips_image_new_from_file(path, nullptr);
  if (!header) {
    vips_error_clear();
    return false;
  }
  const char* text = nullptr;
  bool found = false;
  for (const char* field :
       {"exif-ifd2-DateTimeOriginal", "exif-ifd2-DateTimeDigitized", "exif-ifd0-DateTime"}) {
    if (vips_image_get_typeof(header, field) && !vips_image_get_string(header, field, &text)) {
      tm t{};
      if (sscanf(text, "%4d:%2d:%2d %2d:%2d:%2d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                 &t.tm_min, &t.tm_sec) == 6 &&
          t.tm_year > 1900) {
        t.tm_year -= 1900;
        t.tm_mon -= 1;
        t.tm_isdst = -1;
        taken = mktime(&t);
        found = true;
        break;
      }
    }
  }
  g_object_unref(header);
  return found;
}

void WorkPhotoName(int i, char* out, size_t size, bool large) {
  snprintf(out, size, "%s.photo%02d.jpg", large ? kLargeDir : kPictureDir, i);
}

// Photo `i`'s file, or its large source's, while the photos are prepared; the shown ones are
// numbered afterwards.
static void WorkPath(const char* dir, int i, char* out, size_t size, bool large = false) {
  char name[64];
  WorkPhotoName(i, name, sizeof name, large);
  snprintf(out, size, "%s/%s", dir, name);
}

static void ShowProgress(int done, int total, bool terminal) {
  if (!terminal) return;
  fprintf(stderr, "\rPreparing photos: %d of %d", done, total);
  if (done == total) fprintf(stderr, "\r\033[K");
  fflush(stderr);
}

// Photos that failed on the workers, prepared again one by one on this thread: libvips's
// error text is the whole process's, so only here is each reason the photo's own.
static void RetakeReasons(const char* dir, int total) {
  for (int i = 0; i < total; ++i) {
    if (!photos[i].bad || photos[i].unwritten) continue;
    char out[kMakePath], largeOut[kMakePath];
    WorkPath(dir, i, out, sizeof out);
    WorkPath(dir, i, largeOut, sizeof largeOut, true);
    photos[i].bad = !PreparePhoto(photos[i], out, largeOut);
  }
}

int PrepareAllPhotos(const char* dir) {
  const int total = photoCount < kMaxPhotos ? photoCount : kMaxPhotos;
  std::atomic<int> next{0};
  int done = 0;
  std::mutex lock;
  std::condition_variable progress;
  auto work = [&] {
    for (int i = next++; i < total; i = next++) {
      char out[kMakePath], largeOut[kMakePath];
      WorkPath(dir, i, out, sizeof out);
      WorkPath(dir, i, largeOut, sizeof largeOut, true);
      photos[i].bad = !FitPhoto(photos[i], out, largeOut);
      std::lock_guard<std::mutex> hold(lock);
      ++done;
      progress.notify_one();
    }
    vips_thread_shutdown();
  };
  const unsigned cores = std::thread::hardware_concurrency();
  const int workers = static_cast<int>(cores ? cores : 1) < total ? (cores ? cores : 1) : total;
  std::vector<std::thread> threads;
  for (int w = 0; w < workers; ++w) threads.emplace_back(work);
  const bool terminal = isatty(STDERR_FILENO);
  {
    std::unique_lock<std::mutex> hold(lock);
    while (done < total) {
      progress.wait(hold);
      ShowProgress(done, total, terminal);
    }
  }
  for (std::thread& t : threads) t.join();
  RetakeReasons(dir, total);
  for (int i = 0; i < total; ++i)
    if (photos[i].unwritten) {
      char out[kMakePath];
      WorkPath(dir, i, out, sizeof out);
      fprintf(stderr, "tolvane-make: cannot write %s: %s\n", out, photos[i].why);
      return -1;
    }
  int shown = 0;
  for (int i = 0; i < total; ++i) {
    const PhotoFileName name = PhotoName(shown + 1);
    for (bool large : {false, true}) {
      char from[kMakePath], to[kMakePath];
      WorkPath(dir, i, from, sizeof from, large);
      // A bad photo may leave its first file: one that decodes small but not large.
      if (photos[i].bad) {
        unlink(from);
        continue;
      }
      snprintf(
          to, sizeof to, "%s",
          large ? LargePath(dir, name.path).c_str() : (std::string(dir) + "/" + name.path).c_str());
      if (rename(from, to) != 0) {
        fprintf(stderr, "tolvane-make: cannot write %s: %s\n", to, strerror(errno));
        return -1;
      }
    }
    if (!photos[i].bad) ++shown;
  }
  return shown;
}
