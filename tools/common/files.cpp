// The files the tools read and write, and the frame of a show folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "assets/assets.h"
#include "common.h"
#include "facts.h"

const char kNotAFile[] = "not a file";

const char* WhyUnreadable(const char* path) {
  struct stat s;
  if (stat(path, &s) != 0) return strerror(errno);
  if (!S_ISREG(s.st_mode)) return kNotAFile;
  return access(path, R_OK) == 0 ? nullptr : strerror(errno);
}

const char* WhySpecial(const char* path) {
  return IsSpecialFile(path) ? kNotAFile : nullptr;
}

bool RefuseSpecial(const char* program, const char* path) {
  return !WhySpecial(path) ||
         Fail(program, "%s: %s (a named pipe, a device or a socket, which would be waited on)",
              path, kNotAFile);
}

FILE* OpenPlain(const char* path, const char* mode) {
  if (WhySpecial(path)) {
    errno = EINVAL;
    return nullptr;
  }
  return fopen(path, mode);
}

bool CopyFile(const char* program, const char* from, const char* to) {
  // Only a file: a named pipe would hold the copy for ever.
  const char* why = WhyUnreadable(from);
  FILE* in = why ? nullptr : fopen(from, "rb");
  if (!in) return Fail(program, "cannot read %s: %s", from, why ? why : strerror(errno));
  FILE* out = OpenPlain(to, "wb");
  if (!out) {
    fclose(in);
    return Fail(program, "cannot write %s: %s", to, strerror(errno));
  }
  char buffer[1 << 16];
  size_t n = 0;
  bool ok = true;
  while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0) ok = fwrite(buffer, 1, n, out) == n;
  ok = ok && !ferror(in);
  fclose(in);
  if (fclose(out) != 0 || !ok)
    return Fail(program, "cannot copy %s to %s: %s", from, to, strerror(errno));
  return true;
}

bool MakeShowFolders(const char* program, const char* dir) {
  for (const char* part : {kPictureDir, kLargeDir, kMusicDir}) {
    // The folder's names end in a slash; a message names the folder without it.
    const std::string sub = std::string(dir) + "/" + std::string(part, strlen(part) - 1);
    if (mkdir(sub.c_str(), 0777) != 0 && errno != EEXIST)
      return Fail(program, "cannot make %s: %s", sub.c_str(), strerror(errno));
  }
  return true;
}

bool CopyShowFont(const char* program, const char* fontDir, const char* dir) {
  const std::string from = std::string(fontDir) + "/DejaVuSans.ttf";
  const std::string to = std::string(dir) + "/" + kFontFile;
  return CopyFile(program, from.c_str(), to.c_str());
}

std::string LargePath(const char* dir, const char* file) {
  const size_t in = strncmp(file, kPictureDir, strlen(kPictureDir)) == 0 ? strlen(kPictureDir) : 0;
  return std::string(dir) + "/" + kLargeDir + (file + in);
}
