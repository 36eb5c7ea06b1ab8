// The show folder: made under a temporary name beside SHOWDIR, filled, and only then given
// SHOWDIR's name, so that a failure or an interruption never leaves half a show in its place.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "designs.h"
#include "make.h"

// The demo's module, built into the program (music.cpp).
extern const unsigned char demoModule[], demoModuleEnd[];

__attribute__((format(printf, 1, 2))) static bool Fail(const char* format, ...) {
  fprintf(stderr, "tolvane-make: ");
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  fputc('\n', stderr);
  return false;
}

static bool IsDir(const char* path) {
  struct stat s;
  return stat(path, &s) == 0 && S_ISDIR(s.st_mode);
}

// Whether `path` lies in `folder` (both as they resolve).
static bool Inside(const char* path, const char* folder) {
  char p[PATH_MAX], f[PATH_MAX];
  if (!realpath(path, p) || !realpath(folder, f)) return false;
  const size_t n = strlen(f);
  return strncmp(p, f, n) == 0 && (p[n] == '/' || p[n] == '\0');
}

// An empty folder or one with a gfx/ folder: what --force may replace without losing more
// than a show.
static bool LooksLikeShow(const char* dir) {
  char gfx[kMakePath + 8];
  snprintf(gfx, sizeof gfx, "%s/gfx", dir);
  if (IsDir(gfx)) return true;
  DIR* d = opendir(dir);
  if (!d) return false;
  int entries = 0;
  while (dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) ++entries;
  closedir(d);
  return entries == 0;
}

bool MayMakeShowDir() {
  const char* dir = made.showDir;
  struct stat s;
  if (lstat(dir, &s) != 0) return true;
  if (!made.force) return Fail("%s exists: name another folder, or replace it with --force", dir);
  if (!S_ISDIR(s.st_mode) || !LooksLikeShow(dir))
    return Fail("%s is not a show folder (it has no gfx/): --force replaces only show folders",
                dir);
  for (int i = 0; i < made.inputCount; ++i)
    if (Inside(made.inputs[i], dir))
      return Fail("%s lies in %s, which --force would replace: name another folder", made.inputs[i],
                  dir);
  for (const char* file : {made.background, made.logo, made.end, made.captions, made.music})
    if (file && Inside(file, dir))
      return Fail("%s lies in %s, which --force would replace: name another folder", file, dir);
  return true;
}

// SHOWDIR without trailing slashes, its parent folder and its last name.
static void SplitShowDir(char* parent, char* name, size_t size) {
  char dir[kMakePath];
  snprintf(dir, sizeof dir, "%s", made.showDir);
  for (size_t n = strlen(dir); n > 1 && dir[n - 1] == '/'; --n) dir[n - 1] = '\0';
  const char* slash = strrchr(dir, '/');
  if (!slash) {
    snprintf(parent, size, ".");
    snprintf(name, size, "%s", dir);
  } else {
    snprintf(parent, size, "%.*s", static_cast<int>(slash == dir ? 1 : slash - dir), dir);
    snprintf(name, size, "%s", slash + 1);
  }
}

// The work folder while it is being filled, for an interruption to remove.
static char workDir[kMakePath];
static size_t workLength;

// Appends `part` to the work folder's name in `path`; only what a signal handler may call.
static void WorkPath(char* path, const char* part) {
  const size_t n = strlen(part);
  memcpy(path, workDir, workLength);
  memcpy(path + workLength, part, n + 1);
}

// Ctrl-C or a kill while the folder is made: its files are removed by name (the handler may
// not walk folders), then the signal ends the program as it would have.
static void RemoveWorkAndStop(int signal) {
  if (workLength) {
    char path[kMakePath + 64];
    char photo[] = "/gfx/fotoNN.jpg", work[] = "/gfx/.photoNN.jpg";
    for (int k = 0; k <= kMaxPhotos; ++k) {
      photo[9] = work[11] = static_cast<char>('0' + k / 10);
      photo[10] = work[12] = static_cast<char>('0' + k % 10);
      WorkPath(path, photo);
      unlink(path);
      WorkPath(path, work);
      unlink(path);
    }
    for (const char* file :
         {"/gfx/load.png", "/gfx/ohen.png", "/gfx/back.png", "/gfx/si.png", "/gfx/end.png",
          "/gfx/arial.ttf", "/sfx/belong.mod", "/captions.txt"}) {
      WorkPath(path, file);
      unlink(path);
    }
    for (const char* folder : {"/gfx", "/sfx", ""}) {
      WorkPath(path, folder);
      rmdir(path);
    }
  }
  ::signal(signal, SIG_DFL);
  raise(signal);
}

static void Watch(const char* dir) {
  snprintf(workDir, sizeof workDir, "%s", dir);
  workLength = strlen(workDir);
  // A signal ignored when the program started (a background job's Ctrl-C) stays ignored.
  for (int s : {SIGINT, SIGTERM, SIGHUP})
    if (signal(s, RemoveWorkAndStop) == SIG_IGN) signal(s, SIG_IGN);
}

void ForgetWorkFolder() {
  for (int s : {SIGINT, SIGTERM, SIGHUP})
    if (signal(s, SIG_DFL) == SIG_IGN) signal(s, SIG_IGN);
  workLength = 0;
}

bool MakeWorkFolder(char* dir, size_t size) {
  char parent[kMakePath], name[kMakePath];
  SplitShowDir(parent, name, sizeof parent);
  snprintf(dir, size, "%s/.%s.making-XXXXXX", parent, name);
  if (!mkdtemp(dir)) return Fail("cannot make a folder in %s: %s", parent, strerror(errno));
  Watch(dir);
  // mkdtemp keeps the folder to its owner; a show folder is as open as any other folder.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(dir, 0777 & ~mask);
  char sub[kMakePath];
  for (const char* part : {"gfx", "sfx"}) {
    snprintf(sub, sizeof sub, "%s/%s", dir, part);
    if (mkdir(sub, 0777) != 0) return Fail("cannot make %s: %s", sub, strerror(errno));
  }
  return true;
}

static int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

void RemoveTree(const char* dir) {
  nftw(dir, RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

bool InstallFolder(const char* dir) {
  struct stat s;
  const bool replacing = lstat(made.showDir, &s) == 0;
  const unsigned flags = replacing ? RENAME_EXCHANGE : RENAME_NOREPLACE;
  if (renameat2(AT_FDCWD, dir, AT_FDCWD, made.showDir, flags) == 0) {
    if (replacing) RemoveTree(dir);  // the old show, now under the temporary name
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS)
    return Fail("cannot name the new show %s: %s", made.showDir, strerror(errno));
  // A file system without exchange: the old show steps aside just before the new one
  // takes its name.
  char old[kMakePath];
  snprintf(old, sizeof old, "%s.old", dir);
  if (replacing && rename(made.showDir, old) != 0)
    return Fail("cannot move the old show %s aside: %s", made.showDir, strerror(errno));
  if (rename(dir, made.showDir) != 0) {
    const int error = errno;
    if (replacing) rename(old, made.showDir);
    return Fail("cannot name the new show %s: %s", made.showDir, strerror(error));
  }
  if (replacing) RemoveTree(old);
  return true;
}

static bool WriteBytes(const char* path, const unsigned char* data, size_t size) {
  FILE* out = fopen(path, "wb");
  if (!out) return Fail("cannot write %s: %s", path, strerror(errno));
  const bool ok = fwrite(data, 1, size, out) == size;
  if (fclose(out) != 0 || !ok) return Fail("cannot write %s: %s", path, strerror(errno));
  return true;
}

static bool CopyFile(const char* from, const char* to) {
  FILE* in = fopen(from, "rb");
  if (!in) return Fail("cannot read %s: %s", from, strerror(errno));
  FILE* out = fopen(to, "wb");
  if (!out) {
    fclose(in);
    return Fail("cannot write %s: %s", to, strerror(errno));
  }
  char buffer[1 << 16];
  size_t n = 0;
  bool ok = true;
  while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0) ok = fwrite(buffer, 1, n, out) == n;
  ok = ok && !ferror(in);
  fclose(in);
  if (fclose(out) != 0 || !ok) return Fail("cannot copy %s to %s: %s", from, to, strerror(errno));
  return true;
}

// One of the five pictures: the presenter's own file, or the design with the title.
static bool WritePicture(const char* dir, Design design, const char* own, bool logo) {
  char path[kMakePath], why[256];
  snprintf(path, sizeof path, "%s/%s", dir, kDesignFiles[design]);
  if (!own) {
    if (WriteDesign(design, path, made.title, made.subtitle, TOLVANE_FONT_DIR)) return true;
    return Fail("cannot draw %s", path);
  }
  const bool ok = logo ? PrepareLogo(own, path, why, sizeof why)
                       : PrepareScreenPicture(own, path, why, sizeof why);
  return ok || Fail("%s: %s", own, why);
}

bool WriteShowFiles(const char* dir) {
  if (!WritePicture(dir, kLoadingCornerDesign, nullptr, false) ||
      !WritePicture(dir, kLoadingDesign, nullptr, false) ||
      !WritePicture(dir, kBackgroundDesign, made.background, false) ||
      !WritePicture(dir, kLogoDesign, made.logo, true) ||
      !WritePicture(dir, kEndDesign, made.end, false))
    return false;
  char path[kMakePath];
  snprintf(path, sizeof path, "%s/%s", dir, kFontFile);
  if (!CopyFile(TOLVANE_FONT_DIR "/DejaVuSans.ttf", path)) return false;
  snprintf(path, sizeof path, "%s/%s", dir, kMusicFile);
  if (made.music ? !CopyFile(made.music, path)
                 : !WriteBytes(path, demoModule, demoModuleEnd - demoModule))
    return false;
  snprintf(path, sizeof path, "%s/%s", dir, kCaptionFile);
  return made.captions ? CopyFile(made.captions, path) : WriteCaptionTemplate(path);
}
