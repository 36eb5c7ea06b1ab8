#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common.h"
#include "make.h"

Photo photos[kMaxPhotos];
int photoCount = 0;

bool LooksLikePicture(const char* name) {
  static const char* const kExtensions[] = {"jpg",  "jpeg", "jpe",  "png",  "webp", "tif",
                                            "tiff", "heic", "heif", "avif", "gif"};
  const char* dot = strrchr(name, '.');
  if (!dot) return false;
  for (const char* e : kExtensions)
    if (strcasecmp(dot + 1, e) == 0) return true;
  return false;
}

int NaturalCompare(const char* a, const char* b) {
  while (*a && *b) {
    if (isdigit(static_cast<unsigned char>(*a)) && isdigit(static_cast<unsigned char>(*b))) {
      // Numbers compare by value: without their leading zeros, the longer is the larger.
      while (*a == '0') ++a;
      while (*b == '0') ++b;
      size_t la = 0, lb = 0;
      while (isdigit(static_cast<unsigned char>(a[la]))) ++la;
      while (isdigit(static_cast<unsigned char>(b[lb]))) ++lb;
      if (la != lb) return la < lb ? -1 : 1;
      const int digits = strncmp(a, b, la);
      if (digits) return digits;
      a += la;
      b += lb;
      continue;
    }
    const int ca = tolower(static_cast<unsigned char>(*a));
    const int cb = tolower(static_cast<unsigned char>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    ++a;
    ++b;
  }
  if (*a || *b) return *a ? 1 : -1;
  return 0;
}

// Photos past the most a show takes are only counted, for the message.
static void AddPhoto(const char* path) {
  if (photoCount++ >= kMaxPhotos) return;
  Photo& p = photos[photoCount - 1];
  p = Photo{};
  snprintf(p.path, sizeof p.path, "%s", path);
  const char* slash = strrchr(path, '/');
  snprintf(p.name, sizeof p.name, "%s", slash ? slash + 1 : path);
}

// The pictures of a folder, by natural name order; hidden files are left out.
static bool AddFolder(const char* folder) {
  DIR* dir = opendir(folder);
  if (!dir) {
    fprintf(stderr, "tolvane-make: %s: %s\n", folder, strerror(errno));
    return false;
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.' && LooksLikePicture(entry->d_name)) names.push_back(entry->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const int order = NaturalCompare(a.c_str(), b.c_str());
    return order ? order < 0 : a < b;
  });
  const size_t length = strlen(folder);
  const bool slash = length && folder[length - 1] == '/';
  for (const std::string& name : names) {
    char path[kMakePath];
    if (snprintf(path, sizeof path, "%s%s%s", folder, slash ? "" : "/", name.c_str()) >=
        static_cast<int>(sizeof path))
      continue;
    struct stat s;
    if (stat(path, &s) == 0 && S_ISDIR(s.st_mode)) continue;
    AddPhoto(path);
  }
  return true;
}

bool GatherPhotos() {
  photoCount = 0;
  for (int i = 0; i < made.inputCount; ++i) {
    const char* input = made.inputs[i];
    struct stat s;
    if (stat(input, &s) != 0) {
      fprintf(stderr, "tolvane-make: %s: %s\n", input,
              errno == ENOENT ? "no such file or folder" : strerror(errno));
      return false;
    }
    if (S_ISDIR(s.st_mode)) {
      if (!AddFolder(input)) return false;
      continue;
    }
    // A file that cannot be read is found when the photos are prepared, with its reason.
    AddPhoto(input);
  }
  return true;
}

void SortByDate() {
  for (int i = 0; i < photoCount; ++i) {
    Photo& p = photos[i];
    // A named pipe or a device would hold the reading of its header for ever.
    p.exifDate = !WhySpecial(p.path) && ExifDate(p.path, p.taken);
    struct stat s;
    if (!p.exifDate) p.taken = stat(p.path, &s) == 0 ? s.st_mtime : 0;
  }
  std::stable_sort(photos, photos + photoCount,
                   [](const Photo& a, const Photo& b) { return a.taken < b.taken; });
}
